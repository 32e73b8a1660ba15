#pragma once

#include <filesystem>

namespace korvane {

// The user's home directory: $HOME when it is set and not empty, otherwise the password database
// entry of the current user. Empty when neither gives one.
std::filesystem::path homeDirectory();

// The base folder for per-user configuration: $XDG_CONFIG_HOME when it is an absolute path (the
// XDG rules ignore relative ones), otherwise ~/.config. Empty when no home directory is known.
std::filesystem::path configHome();

// The XDG rule for base folders (also used for $XDG_DATA_HOME by the model catalogue), without the environment:
// `xdgValue` when it is an absolute path, otherwise `home` joined with `fallback`; empty when `home` is empty or
// relative too.
std::filesystem::path xdgBaseDirectory(const char* xdgValue, const std::filesystem::path& home,
                                       const std::filesystem::path& fallback);

}  // namespace korvane
