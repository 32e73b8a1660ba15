#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace korvane {

// Replaces `target` with `contents` so that a reader (or a crash) sees either the whole old file or
// the whole new one: the bytes go to a temporary file in the same folder, are flushed to disk and
// then renamed over the target. Missing parent folders are created. An existing target's
// permissions carry over; a new file is readable by its owner only. When the target is a symbolic
// link, the file it points to is replaced and the link stays.
//
// Returns an empty string on success, otherwise what failed (the target is then untouched and no
// temporary file is left behind).
std::string replaceFileAtomically(const std::filesystem::path& target, std::string_view contents);

}  // namespace korvane
