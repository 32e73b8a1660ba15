// SPDX-License-Identifier: MIT
// Loads arbitrary bytes as the settings file, as a launch does, reads every setting and saves one
// change. Nothing may crash; the bytes are never lost (the file still holds them, or the copy set
// aside beside it does); and a save is either refused, leaving the file alone, or writes a JSON
// object that a fresh store reads back with every setting the first store saw, keeps every member
// of an accepted document, and holds the change. Any breach aborts.

#include "core/settings/SettingsKeys.h"
#include "core/settings/SettingsStore.h"
#include "tests/fuzz/FuzzChecks.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;
using korvane::SettingsStore;
using korvane::fuzz::require;

constexpr std::string_view kProbe = "fuzzProbe";

const std::array kKeys = {
    korvane::SettingsKeys::modelSize,
    korvane::SettingsKeys::hotkeyMode,
    korvane::SettingsKeys::hotkeyBindingV2,
    korvane::SettingsKeys::hotkeyModifiers,
    korvane::SettingsKeys::hotkeyKeyCode,
    korvane::SettingsKeys::vocabularyV1,
    korvane::SettingsKeys::debugLogging,
    korvane::SettingsKeys::pasteKeys,
    korvane::SettingsKeys::inputDevice,
    korvane::SettingsKeys::unloadModelAfterMinutes,
    kProbe,
};

// Every typed reading of one key.
struct Reading {
    std::optional<std::string> string;
    std::optional<bool> boolean;
    std::optional<std::int64_t> integer;
    std::optional<std::vector<std::string>> stringArray;
    std::optional<std::map<std::string, std::string>> stringMap;
    std::optional<std::string> data;
    bool contains = false;

    bool operator==(const Reading&) const = default;
};

std::map<std::string_view, Reading> readAll(const SettingsStore& store)
{
    std::map<std::string_view, Reading> readings;
    for (const std::string_view key : kKeys) {
        readings[key] = Reading{store.string(key),    store.boolean(key), store.integer(key), store.stringArray(key),
                                store.stringMap(key), store.data(key),    store.contains(key)};
    }
    return readings;
}

std::string contentsOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The contents of every file in `folder`.
std::vector<std::string> filesIn(const fs::path& folder)
{
    std::vector<std::string> contents;
    for (const auto& entry : fs::directory_iterator(folder)) {
        contents.push_back(contentsOf(entry.path()));
    }
    return contents;
}

bool holds(const std::vector<std::string>& contents, std::string_view bytes)
{
    for (const std::string& content : contents) {
        if (content == bytes) {
            return true;
        }
    }
    return false;
}

const fs::path& scratchFolder()
{
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "korvane-settings-fuzz.XXXXXX").string();
        require(mkdtemp(pattern.data()) != nullptr);
        return fs::path(pattern);
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes = korvane::fuzz::textOf(data, size);
    const fs::path folder = scratchFolder() / "korvane";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path file = folder / "settings.json";
    std::ofstream(file, std::ios::binary) << bytes;

    const auto noPause = [](std::chrono::milliseconds) {};
    std::map<std::string_view, Reading> before;
    bool keptInPlace = false;
    bool saved = false;
    {
        SettingsStore store(file, {}, noPause);
        before = readAll(store);
        require(holds(filesIn(folder), bytes));
        keptInPlace = fs::exists(file) && contentsOf(file) == bytes;
        saved = store.setString(kProbe, "saved");
    }
    if (!saved) {
        require(holds(filesIn(folder), bytes));
        return 0;
    }

    const std::string written = contentsOf(file);
    const auto document = nlohmann::json::parse(written, nullptr, false);
    require(document.is_object());
    // A document taken as it was keeps every member, known or not.
    if (keptInPlace) {
        const auto original = nlohmann::json::parse(bytes, nullptr, false);
        if (original.is_object()) {
            for (const auto& member : original.items()) {
                require(document.contains(member.key()));
            }
        }
    }

    SettingsStore reread(file, {}, noPause);
    auto after = readAll(reread);
    require(after[kProbe].string == std::optional<std::string>("saved"));
    after[kProbe] = before[kProbe];
    require(after == before);
    return 0;
}
