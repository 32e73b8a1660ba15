#include "ui/logic/LoginItem.h"

#include "base/files/AtomicFile.h"
#include "base/files/UserDirectories.h"
#include "ui/logic/AutostartEntry.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>
#include <utility>

namespace korvane {

namespace {

std::optional<std::string> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

bool isActiveEntry(const std::filesystem::path& path)
{
    const std::optional<std::string> text = readFile(path);
    return text && parseAutostartEntry(*text).isActive();
}

std::vector<std::filesystem::path> systemAutostartFolders(const char* configDirs)
{
    // An unset or empty $XDG_CONFIG_DIRS means /etc/xdg; relative entries are ignored.
    std::string list = configDirs != nullptr && *configDirs != '\0' ? configDirs : "/etc/xdg";
    std::vector<std::filesystem::path> folders;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        const std::filesystem::path folder = list.substr(start, end - start);
        if (folder.is_absolute()) {
            folders.push_back(folder / "autostart");
        }
        start = end + 1;
    }
    return folders;
}

}  // namespace

LoginItem::LoginItem(std::filesystem::path userFolder, std::vector<std::filesystem::path> systemFolders,
                     std::filesystem::path executable)
    : userFolder_(std::move(userFolder)), systemFolders_(std::move(systemFolders)), executable_(std::move(executable))
{
}

LoginItem LoginItem::forSession(std::filesystem::path executable)
{
    const std::filesystem::path config = configHome();
    return LoginItem(config.empty() ? std::filesystem::path() : config / "autostart",
                     systemAutostartFolders(std::getenv("XDG_CONFIG_DIRS")), std::move(executable));
}

std::filesystem::path LoginItem::entryPath() const
{
    return userFolder_.empty() ? std::filesystem::path() : userFolder_ / kEntryName;
}

std::filesystem::path LoginItem::effectiveEntryPath() const
{
    std::error_code error;
    if (!userFolder_.empty() && std::filesystem::exists(entryPath(), error)) {
        return entryPath();
    }
    for (const std::filesystem::path& folder : systemFolders_) {
        if (std::filesystem::exists(folder / kEntryName, error)) {
            return folder / kEntryName;
        }
    }
    return {};
}

bool LoginItem::systemEntryActive() const
{
    std::error_code error;
    for (const std::filesystem::path& folder : systemFolders_) {
        if (std::filesystem::exists(folder / kEntryName, error)) {
            return isActiveEntry(folder / kEntryName);
        }
    }
    return false;
}

LoginItemStatus LoginItem::status() const
{
    if (userFolder_.empty()) {
        return LoginItemStatus::notFound;
    }
    const std::filesystem::path effective = effectiveEntryPath();
    if (effective.empty()) {
        return LoginItemStatus::notRegistered;
    }
    return isActiveEntry(effective) ? LoginItemStatus::enabled : LoginItemStatus::notRegistered;
}

std::string LoginItem::registerEntry()
{
    if (userFolder_.empty()) {
        return "no home folder to keep the autostart entry in";
    }
    if (!executable_.is_absolute()) {
        return "the path of the Korvane program is unknown";
    }
    return replaceFileAtomically(entryPath(), autostartEntryText(executable_));
}

std::string LoginItem::unregisterEntry()
{
    if (userFolder_.empty()) {
        return "no home folder to keep the autostart entry in";
    }
    if (systemEntryActive()) {
        return replaceFileAtomically(entryPath(), autostartEntryText(executable_, /*hidden=*/true));
    }
    std::error_code error;
    std::filesystem::remove(entryPath(), error);
    if (error) {
        return error.message();
    }
    return {};
}

}  // namespace korvane
