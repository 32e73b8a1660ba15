#pragma once

#include <string>

namespace korvane {

// Why an update check did not run or did not succeed. Only the description is meant for the user;
// the domain and code identify the refusal for callers that act on it.
struct UpdateError {
    std::string domain;
    int code = 0;
    std::string description;

    bool operator==(const UpdateError&) const = default;
};

// The refusal of a scheduled check while a dictation is recording, transcribing or pasting:
// domain "Korvane.Update", code 1, "Dictation in progress".
UpdateError dictationInProgressError();

}  // namespace korvane
