#pragma once

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"

#include <filesystem>
#include <string>

namespace korvane::testing {

// A fresh directory that stands in for the user's home (HOME, XDG_CONFIG_HOME and XDG_DATA_HOME
// point into it) for the lifetime of the object; removed afterwards. Not for concurrent use.
class TempHome {
public:
    TempHome();

    const std::filesystem::path& path() const { return root_.path(); }

private:
    // Declared first so it is removed last, once the variables point away from it again.
    TemporaryDirectory root_{"korvane-home"};
    ScopedEnvironment home_;
    ScopedEnvironment configHome_;
    ScopedEnvironment dataHome_;
};

// Reads a whole file; empty when it does not exist.
std::string readFile(const std::filesystem::path& path);

// Writes a whole file, creating parent directories.
void writeFile(const std::filesystem::path& path, const std::string& contents);

}  // namespace korvane::testing
