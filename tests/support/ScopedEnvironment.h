#pragma once

#include <string>

namespace korvane::testing {

// Sets an environment variable for the lifetime of the object; afterwards the variable has its old
// value again, or is unset when it had none. Not for concurrent use with other threads that read
// or change the environment.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value);
    ~ScopedEnvironment();

    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::string saved_;
    bool hadValue_ = false;
};

}  // namespace korvane::testing
