#include "core/settings/SettingsStore.h"

#include "base/files/AtomicFile.h"
#include "base/files/PosixFile.h"
#include "base/json/NestingDepth.h"
#include "base/json/WholeNumber.h"
#include "base/logging/Logger.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace korvane {

namespace {

using Json = nlohmann::json;

std::string errnoText(int error)
{
    return std::generic_category().message(error);
}

// How long a file that looks empty or broken must stay unchanged before it is taken as it is, and
// how many looks a file that keeps changing gets before it counts as unusable for now.
constexpr std::chrono::milliseconds kSettleTime{150};
constexpr int kSettleLooks = 5;

// Korvane's own values nest two levels deep. A document nested much deeper is refused like one that
// does not parse: reading, copying and writing JSON recurse once per level, and a few hundred
// kilobytes of brackets would otherwise overflow the stack at every launch.
constexpr std::size_t kDeepestDocument = 32;

void sleepFor(std::chrono::milliseconds time)
{
    std::this_thread::sleep_for(time);
}

bool isBlank(std::string_view text)
{
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Renames `file` to "<file>.corrupt-YYYYMMDD-HHMMSS" (local time), or with "-2", "-3", ... added
// when that name is taken, never replacing an existing file. The new name, or nothing with `error`
// set.
std::optional<std::filesystem::path> moveAsideUnderFreshName(const std::filesystem::path& file, int& error)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32] = "unknown-time";
    if (::localtime_r(&now, &local) != nullptr) {
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    }
    const std::string base = file.string() + ".corrupt-" + stamp;
    for (int n = 1; n < 1000; ++n) {
        const std::string candidate = n == 1 ? base : base + "-" + std::to_string(n);
        int result = ::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // A file system without no-replace renames: look first instead.
            std::error_code ignored;
            if (std::filesystem::symlink_status(candidate, ignored).type() != std::filesystem::file_type::not_found) {
                errno = EEXIST;
            } else {
                result = ::rename(file.c_str(), candidate.c_str());
            }
        }
        if (result == 0) {
            return candidate;
        }
        if (errno != EEXIST) {
            error = errno;
            return std::nullopt;
        }
    }
    error = EEXIST;
    return std::nullopt;
}

}  // namespace

struct SettingsStore::Document {
    Json json = Json::object();
};

SettingsStore::SettingsStore(std::filesystem::path file, ChangeObserver onChange, SettlePause pause)
    : file_(std::move(file)), onChange_(std::move(onChange)), pause_(pause ? std::move(pause) : SettlePause(sleepFor)),
      document_(std::make_unique<Document>())
{
    settle();
    if (file_.empty()) {
        return;
    }
    try {
        watcher_ = std::make_unique<FileChangeWatcher>(file_, [this] { reloadIfChanged(); });
    } catch (const std::exception& error) {
        Logger::log(std::string("Settings watcher could not start (") + error.what() +
                    ") -- hand edits are seen after a restart");
    }
}

SettingsStore::~SettingsStore() = default;

SettingsStore::FileIdentity SettingsStore::identityOf(const std::filesystem::path& file)
{
    UniqueFd fd(::open(file.c_str(), O_PATH | O_CLOEXEC));
    if (!fd) {
        return {};
    }
    return identityOfOpen(fd.get());
}

SettingsStore::FileIdentity SettingsStore::identityOfOpen(int fd)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return {};
    }
    FileIdentity identity;
    identity.exists = true;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    identity.size = info.st_size;
    identity.modifiedSeconds = info.st_mtim.tv_sec;
    identity.modifiedNanoseconds = info.st_mtim.tv_nsec;
    identity.changedSeconds = info.st_ctim.tv_sec;
    identity.changedNanoseconds = info.st_ctim.tv_nsec;
    return identity;
}

template <class Read>
auto SettingsStore::read(std::string_view key, Read reader) const
{
    std::lock_guard<std::mutex> lock(documentMutex_);
    const Json& document = document_->json;
    const auto found = document.find(key);
    using Result = decltype(reader(*found));
    if (found == document.end()) {
        return Result();
    }
    return reader(*found);
}

bool SettingsStore::contains(std::string_view key) const
{
    std::lock_guard<std::mutex> lock(documentMutex_);
    return document_->json.contains(key);
}

std::optional<std::string> SettingsStore::string(std::string_view key) const
{
    return read(key, [](const Json& value) -> std::optional<std::string> {
        if (!value.is_string()) {
            return std::nullopt;
        }
        return value.get_ref<const std::string&>();
    });
}

std::optional<bool> SettingsStore::boolean(std::string_view key) const
{
    return read(key, [](const Json& value) -> std::optional<bool> {
        if (!value.is_boolean()) {
            return std::nullopt;
        }
        return value.get<bool>();
    });
}

std::optional<std::int64_t> SettingsStore::integer(std::string_view key) const
{
    return read(key, [](const Json& value) { return wholeNumber(value); });
}

std::optional<std::vector<std::string>> SettingsStore::stringArray(std::string_view key) const
{
    return read(key, [](const Json& value) -> std::optional<std::vector<std::string>> {
        if (!value.is_array()) {
            return std::nullopt;
        }
        std::vector<std::string> strings;
        strings.reserve(value.size());
        for (const Json& element : value) {
            if (!element.is_string()) {
                return std::nullopt;
            }
            strings.push_back(element.get<std::string>());
        }
        return strings;
    });
}

std::optional<std::map<std::string, std::string>> SettingsStore::stringMap(std::string_view key) const
{
    return read(key, [](const Json& value) -> std::optional<std::map<std::string, std::string>> {
        if (!value.is_object()) {
            return std::nullopt;
        }
        std::map<std::string, std::string> strings;
        for (const auto& [name, member] : value.items()) {
            if (member.is_string()) {
                strings.emplace(name, member.get<std::string>());
            }
        }
        return strings;
    });
}

std::optional<std::string> SettingsStore::data(std::string_view key) const
{
    return read(key, [](const Json& value) -> std::optional<std::string> {
        if (value.is_string()) {
            return value.get<std::string>();
        }
        if (value.is_object() || value.is_array()) {
            return value.dump();
        }
        return std::nullopt;
    });
}

bool SettingsStore::setString(std::string_view key, std::string_view value)
{
    return modify([&](Document& document) { document.json[std::string(key)] = std::string(value); });
}

bool SettingsStore::setBoolean(std::string_view key, bool value)
{
    return modify([&](Document& document) { document.json[std::string(key)] = value; });
}

bool SettingsStore::setInteger(std::string_view key, std::int64_t value)
{
    return modify([&](Document& document) { document.json[std::string(key)] = value; });
}

bool SettingsStore::setStringArray(std::string_view key, const std::vector<std::string>& value)
{
    return modify([&](Document& document) { document.json[std::string(key)] = value; });
}

bool SettingsStore::setData(std::string_view key, std::string_view bytes)
{
    return modify([&](Document& document) { document.json[std::string(key)] = std::string(bytes); });
}

bool SettingsStore::remove(std::string_view key)
{
    return modify([&](Document& document) { document.json.erase(std::string(key)); });
}

bool SettingsStore::apply(const SettingsBatch& batch)
{
    return modify([&](Document& document) {
        for (const auto& change : batch.values_) {
            std::visit([&](const auto& typed) { document.json[change.first] = typed; }, change.second);
        }
    });
}

SettingsBatch& SettingsBatch::setString(std::string_view key, std::string_view value)
{
    values_.emplace_back(std::string(key), std::string(value));
    return *this;
}

SettingsBatch& SettingsBatch::setInteger(std::string_view key, std::int64_t value)
{
    values_.emplace_back(std::string(key), value);
    return *this;
}

SettingsBatch& SettingsBatch::setStringArray(std::string_view key, const std::vector<std::string>& value)
{
    values_.emplace_back(std::string(key), value);
    return *this;
}

SettingsBatch& SettingsBatch::setData(std::string_view key, std::string_view bytes)
{
    values_.emplace_back(std::string(key), std::string(bytes));
    return *this;
}

bool SettingsStore::modify(const std::function<void(Document&)>& change)
{
    std::lock_guard<std::mutex> io(ioMutex_);
    // A hand edit the watcher has not delivered yet must not be lost under this write. A file that
    // does not parse may be one an editor is still writing: waiting for it to settle is the
    // watcher's job, since this may be the interface thread.
    const bool unsettled = lookLocked(std::nullopt).has_value();
    // Only holders of ioMutex_ replace document_, so it can be read here without documentMutex_.
    Document next = *document_;
    change(next);
    if (next.json == document_->json) {
        return true;
    }
    if (unsettled && watcher_) {
        // The watcher may have given up on the file before it broke again, or not have seen it yet.
        watcher_->lookAgain();
    }
    if (diskState_ == DiskState::unusable) {
        Logger::log("Refusing to overwrite unreadable settings file " + file_.string());
        return refuseSaveLocked("the settings file " + file_.string() + " cannot be read, so it is left as it is");
    }
    if (unsettled) {
        Logger::log("Settings not saved: " + file_.string() +
                    " does not parse and may be in the middle of an edit -- left untouched");
        return false;
    }
    if (file_.empty()) {
        Logger::log("Settings not saved: no home directory is known");
        return refuseSaveLocked("no home folder is known");
    }
    std::string text;
    try {
        text = next.json.dump(2) + "\n";
    } catch (const Json::exception& error) {
        // Only text that is not UTF-8 gets here; keeping it would make the whole file unreadable.
        Logger::log(std::string("Settings not saved: a value is not UTF-8 text (") + error.what() + ")");
        return refuseSaveLocked("a value is not UTF-8 text");
    }
    if (const std::string failure = replaceFileAtomically(file_, text); !failure.empty()) {
        Logger::log("Settings not saved: " + failure);
        return refuseSaveLocked(failure);
    }
    publishLocked(std::move(next), DiskState::document, std::move(text));
    {
        std::lock_guard<std::mutex> lock(problemMutex_);
        saveProblem_.clear();
    }
    return true;
}

bool SettingsStore::refuseSaveLocked(const std::string& reason)
{
    {
        std::lock_guard<std::mutex> lock(problemMutex_);
        saveProblem_ = reason;
    }
    if (onSaveFailure_) {
        onSaveFailure_(reason);
    }
    return false;
}

void SettingsStore::setSaveFailureObserver(SaveFailureObserver observer)
{
    std::lock_guard<std::mutex> io(ioMutex_);
    onSaveFailure_ = std::move(observer);
}

std::string SettingsStore::saveProblem() const
{
    std::lock_guard<std::mutex> lock(problemMutex_);
    return saveProblem_;
}

void SettingsStore::reloadIfChanged()
{
    settle();
}

void SettingsStore::settle()
{
    std::optional<UnsettledText> unsettled;
    for (int look = 1;; ++look) {
        {
            std::lock_guard<std::mutex> io(ioMutex_);
            unsettled = lookLocked(unsettled);
            if (!unsettled) {
                return;
            }
            if (look == kSettleLooks) {
                markUnusableLocked("unsettled", "Settings file " + file_.string() +
                                                    " keeps changing while being read -- using defaults for now");
                return;
            }
        }
        // Nothing is published meanwhile, so readers keep the last good document, and setters are
        // not held up: they see the same text and leave the file alone.
        pause_(kSettleTime);
    }
}

std::optional<SettingsStore::UnsettledText> SettingsStore::lookLocked(const std::optional<UnsettledText>& earlier)
{
    if (file_.empty()) {
        if (diskState_ != DiskState::missing) {
            publishLocked(Document(), DiskState::missing, {});
        }
        return std::nullopt;
    }
    UniqueFd fd(::open(file_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        const int error = errno;
        if (error != ENOENT) {
            markUnusableLocked("open: " + errnoText(error), "Settings file " + file_.string() + " cannot be read (" +
                                                                errnoText(error) +
                                                                ") -- using defaults and leaving it untouched");
        } else if (diskState_ != DiskState::missing) {
            publishLocked(Document(), DiskState::missing, {});
        }
        return std::nullopt;
    }
    const FileIdentity identity = identityOfOpen(fd.get());
    std::optional<std::string> text = readAll(fd.get());
    if (!text) {
        const int error = errno;
        markUnusableLocked("read: " + errnoText(error), "Settings file " + file_.string() + " cannot be read (" +
                                                            errnoText(error) +
                                                            ") -- using defaults and leaving it untouched");
        return std::nullopt;
    }
    if (diskState_ == DiskState::document && *text == seenText_) {
        return std::nullopt;
    }

    std::string problem;
    std::optional<Json> document;
    if (isBlank(*text)) {
        document = Json::object();
    } else if (const std::size_t depth = jsonNestingDepth(*text); depth > kDeepestDocument) {
        problem = "nested " + std::to_string(depth) + " levels deep, more than " + std::to_string(kDeepestDocument);
    } else {
        try {
            document = Json::parse(*text);
            if (!document->is_object()) {
                document.reset();
                problem = "the top level is not an object";
            }
        } catch (const Json::exception& error) {
            problem = error.what();
        }
    }
    if (document && !isBlank(*text)) {
        publishLocked(Document{std::move(*document)}, DiskState::document, std::move(*text));
        return std::nullopt;
    }
    // The same text alone is not enough: a writer that keeps truncating and refilling the file in
    // place shows the same blank text at two moments a pause apart.
    if (earlier && earlier->text == *text && earlier->identity == identity && identityOf(file_) == identity) {
        if (document) {
            // An empty file holds nothing to lose: it reads as an empty document.
            publishLocked(Document{std::move(*document)}, DiskState::document, std::move(*text));
        } else {
            moveAsideLocked(*text, problem);
        }
        return std::nullopt;
    }
    return UnsettledText{std::move(*text), identity};
}

void SettingsStore::moveAsideLocked(const std::string& text, const std::string& reason)
{
    int error = 0;
    if (const auto aside = moveAsideUnderFreshName(file_, error)) {
        Logger::log("Settings file could not be parsed (" + reason + ") -- moved it aside to " + aside->string() +
                    " and using defaults");
        publishLocked(Document(), DiskState::missing, {});
        return;
    }
    markUnusableLocked("corrupt: " + text, "Settings file could not be parsed (" + reason +
                                               ") and could not be moved aside (" + errnoText(error) +
                                               ") -- using defaults and leaving it untouched");
}

void SettingsStore::markUnusableLocked(const std::string& cause, const std::string& logLine)
{
    if (diskState_ == DiskState::unusable && seenText_ == cause) {
        return;
    }
    Logger::log(logLine);
    publishLocked(Document(), DiskState::unusable, cause);
}

void SettingsStore::publishLocked(Document document, DiskState state, std::string seenText)
{
    diskState_ = state;
    seenText_ = std::move(seenText);
    {
        std::lock_guard<std::mutex> lock(documentMutex_);
        *document_ = std::move(document);
    }
    if (onChange_) {
        onChange_(*this);
    }
}

}  // namespace korvane
