#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane::modelgen {

// What a generated whisper.cpp model computes. No real Whisper weights are available to the tests,
// so every model file they load is generated from one of these.
enum class ModelKind {
    // Header, mel filters and vocabulary, no tensors: whisper.cpp accepts it as an "empty model"
    // (it can tokenise; its weights are whatever memory the loader allocated).
    vocabularyOnly,
    // Every tensor filled with deterministic pseudo-random values: decodes noise, but runs the whole
    // encoder and decoder at the given size.
    random,
    // Random encoder and attention weights as above (so the work is that of a real model of this
    // size), but the decoder's attention outputs are zero and one decoder MLP maps each token of
    // `phrase` to the next, with tied output embeddings: it decodes `phrase` for any audio.
    scripted,
};

struct ModelRecipe {
    ModelKind kind = ModelKind::scripted;

    // Network size. The audio and text widths are one value because whisper.cpp requires them equal.
    int state = 64;      // n_audio_state = n_text_state
    int audioHeads = 2;  // must divide `state`
    int audioLayers = 1;
    int textHeads = 2;   // must divide `state`
    int textLayers = 1;  // 2 is refused: whisper.cpp treats 2-layer English models as distilled
    // Decoder positions. whisper.cpp decodes at most half of them per window, so a model that never
    // ends its text is cut off sooner, and more cheaply, with fewer.
    int textContext = 448;
    // Matrices and convolution kernels are stored in f16 (ftype 1, like the published models). There
    // is no f32 choice: whisper.cpp 1.9.1's CPU encoder aborts on f32 convolution kernels.

    // The text a scripted model decodes. It is split as whisper.cpp's tokenizer splits words; each
    // piece becomes one vocabulary token, and the pieces must all differ.
    std::string phrase = " Hello from Korvane.";

    // Scripted models only: the phrase's last piece leads back to its first instead of to the
    // end-of-text token, so decoding never ends by itself. It repeats the phrase until whisper.cpp's
    // token limit stops it, as a real model caught in a repetition loop does.
    bool loopsPhrase = false;

    // Extra vocabulary tokens (exact byte strings, e.g. " Kubernetes") on top of the 256 single-byte
    // tokens that make every text tokenisable.
    std::vector<std::string> extraTokens;

    // Seed of the pseudo-random weights.
    std::uint64_t seed = 1;
};

}  // namespace korvane::modelgen
