#pragma once

#include "transcription/models/ModelLoadFailure.h"

#include <functional>
#include <string>
#include <vector>

namespace korvane {

// The speech recogniser and its model files as the dictation controller sees them.
// Implemented by WhisperTranscriber (transcription/).
class SpeechTranscribing {
public:
    virtual ~SpeechTranscribing() = default;

    // Downloads the named model when needed, validates and loads it. Blocks; call it on a
    // background thread. onDownloadProgress may be called with whole percentages from any thread.
    // Tests true when the model is loaded; otherwise carries why it could not be had.
    virtual ModelLoadResult loadModel(const std::string& name, std::function<void(int percent)> onDownloadProgress) = 0;

    // Turns 16 kHz mono samples into raw text (possibly empty). Blocks; background thread. Throws
    // an exception derived from std::exception (what() is the diagnostic text) on failure. Safe to
    // call while another thread loads a model.
    virtual std::string transcribe(const std::vector<float>& audio) = 0;

    // Frees the model and refuses further loads and transcriptions (used at quit).
    virtual void unload() = 0;

    // Frees the loaded model to give its memory back while dictation is idle. Unlike unload(), a
    // later loadModel() loads again. Waits for a running transcription.
    virtual void releaseModel() = 0;

    // Deletes the downloaded file of the named model. Throws (as above) when it cannot.
    virtual void deleteModelFile(const std::string& name) = 0;
};

}  // namespace korvane
