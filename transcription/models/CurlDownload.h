#pragma once

#include "transcription/models/ModelStore.h"

#include <cstdint>
#include <string>

namespace korvane {

class DownloadProgress;
class TempFile;

// What one transfer did. The fields are filled independently so that the caller can apply its own
// order of checks.
struct DownloadOutcome {
    // Empty when the transfer itself completed; otherwise libcurl's explanation (a refused
    // protocol, a failed connection, a low-speed abort, ...). Not set for the aborts below.
    std::string transportError;
    // The transport failed before any server answered: the name did not resolve, or no connection
    // could be made in time. Usually the machine is offline.
    bool serverUnreachable = false;
    long httpStatus = 0;                  // status of the last response (after redirects); 0 when none came
    std::int64_t receivedBytes = 0;       // body bytes of a successful response received so far
    int writeError = 0;                   // errno of a failed write to the file
    bool stoppedAtRefusedStatus = false;  // aborted because the response status was not 2xx
    bool stoppedAtExcessBytes = false;    // aborted because more than `limitBytes` arrived
};

// Fetches `url` into `file` with libcurl: certificate verification on, redirects followed within the
// allowed protocols, the low-speed abort of `options`. Bodies of responses outside 200...299 are not
// written; the transfer stops when more than `limitBytes` of body arrive, so a misbehaving server
// cannot fill the disk. Reports received bytes to `progress`. Blocks; never throws for network
// failures.
DownloadOutcome downloadToFile(const std::string& url, const ModelDownloadOptions& options, TempFile& file,
                               std::int64_t limitBytes, DownloadProgress& progress);

// The host part of `url` ("huggingface.co"); empty when it has none or does not parse.
std::string hostOf(const std::string& url);

// True when libcurl accepts `url` as a well-formed absolute URL.
bool isWellFormedUrl(const std::string& url);

}  // namespace korvane
