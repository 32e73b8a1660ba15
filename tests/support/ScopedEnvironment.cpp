#include "tests/support/ScopedEnvironment.h"

#include <cstdlib>
#include <utility>

namespace korvane::testing {

ScopedEnvironment::ScopedEnvironment(std::string name, const std::string& value) : name_(std::move(name))
{
    if (const char* old = std::getenv(name_.c_str())) {
        saved_ = old;
        hadValue_ = true;
    }
    ::setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (hadValue_) {
        ::setenv(name_.c_str(), saved_.c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

}  // namespace korvane::testing
