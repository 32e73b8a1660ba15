#pragma once

#include <stdexcept>
#include <string>

namespace korvane::testing {

// What fakes throw where the real collaborator would throw its own error type; what() is the
// diagnostic text the controller is expected to log.
class FakeError : public std::runtime_error {
public:
    explicit FakeError(const std::string& text) : std::runtime_error(text) {}
};

}  // namespace korvane::testing
