#pragma once

#include "base/files/FileChangeWatcher.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace korvane {

// Several changes to be saved together, in one atomic write (see SettingsStore::apply).
class SettingsBatch {
public:
    SettingsBatch& setString(std::string_view key, std::string_view value);
    SettingsBatch& setInteger(std::string_view key, std::int64_t value);
    SettingsBatch& setStringArray(std::string_view key, const std::vector<std::string>& value);
    SettingsBatch& setData(std::string_view key, std::string_view bytes);

private:
    friend class SettingsStore;
    // In the order they were set; a later value for the same key wins.
    std::vector<std::pair<std::string, std::variant<std::string, std::int64_t, std::vector<std::string>>>> values_;
};

// The per-user key-value store: one JSON object in one file, read once, then kept in step with the
// file. Each typed getter answers nothing when the key is missing or holds a value of another type,
// so that the caller's default applies. Every setter rewrites the whole file atomically, keeps the
// keys it does not know, and is visible to the next read from any thread as soon as it returns.
//
// Edits made to the file by hand while the process runs are picked up by a watcher thread (or at
// once by reloadIfChanged()); when the file is a symbolic link, edits of the file it points to are
// picked up too. A file that is not a JSON object is moved aside next to itself
// ("settings.json.corrupt-YYYYMMDD-HHMMSS") with a log line and the store starts from defaults; a
// file that exists but cannot be read at all is left in place and writes are refused, since
// replacing it would destroy what it holds. A missing file reads as empty and is only created by
// the first write.
//
// A file that is empty or does not parse may be one that an editor is still writing in place, so
// it is only taken as it is (moved aside, or read as empty) once it has stayed the same for a short
// pause. The watcher thread waits out that pause; meanwhile readers keep the last good document and
// setters save nothing: they return false at once, leaving the file untouched.
//
// Getters may run on any thread and never wait for disk I/O. Setters serialise among themselves
// and never pause for a file to settle, so the interface thread may call them.
class SettingsStore {
public:
    // Told each time the store's view of the document changes (load, reload, write). Runs on the
    // thread that caused the change, under the store's I/O lock: keep it short; it may read the new
    // values through the getters but must not call a setter.
    using ChangeObserver = std::function<void(const SettingsStore& store)>;
    // Waits for the given time while a file that does not parse yet settles. Called without any of
    // the store's locks held; a sleep unless a test puts its own clock in.
    using SettlePause = std::function<void(std::chrono::milliseconds)>;

    // Reads the file before returning, which includes waiting for one that is being edited at that
    // moment to settle (about half a second at most).
    explicit SettingsStore(std::filesystem::path file, ChangeObserver onChange = {}, SettlePause pause = {});
    ~SettingsStore();

    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    const std::filesystem::path& file() const { return file_; }

    bool contains(std::string_view key) const;
    std::optional<std::string> string(std::string_view key) const;
    std::optional<bool> boolean(std::string_view key) const;
    // Whole numbers that fit in 64 bits, 36.0 included (see wholeNumber); 49.5, 1e30 or "49" give
    // nothing.
    std::optional<std::int64_t> integer(std::string_view key) const;
    // Only when every element is a string.
    std::optional<std::vector<std::string>> stringArray(std::string_view key) const;
    // An object's members whose values are strings; members of other types are left out.
    std::optional<std::map<std::string, std::string>> stringMap(std::string_view key) const;
    // The exact bytes of a structured record (for example a versioned JSON record). They are kept as
    // a JSON string so that a record our decoders reject is still returned, and saved, byte for
    // byte. A JSON object or array written in that place by hand is returned as its compact text.
    std::optional<std::string> data(std::string_view key) const;

    // False when nothing could be saved (the reason is logged); the store then still holds what it
    // held before.
    bool setString(std::string_view key, std::string_view value);
    bool setBoolean(std::string_view key, bool value);
    bool setInteger(std::string_view key, std::int64_t value);
    bool setStringArray(std::string_view key, const std::vector<std::string>& value);
    // Bytes that are not valid UTF-8 cannot be kept in the document and are refused.
    bool setData(std::string_view key, std::string_view bytes);
    bool remove(std::string_view key);
    // All of the batch's changes or, when saving fails, none of them.
    bool apply(const SettingsBatch& batch);

    // Told why a save did not happen, in words for the user, on the thread that tried it (a setter
    // that returned false). Not told while a hand edit is still settling: that passes by itself.
    using SaveFailureObserver = std::function<void(const std::string& reason)>;
    // Set before saves begin; a later call replaces the observer.
    void setSaveFailureObserver(SaveFailureObserver observer);
    // Why the last save did not happen; empty once one succeeds, and before any failed.
    std::string saveProblem() const;

    // Re-reads the file if it changed on disk since the store last read or wrote it, waiting for a
    // file that does not parse yet to settle (about half a second at most, without blocking the
    // other calls meanwhile). The watcher calls this; anyone off the interface thread who needs a
    // hand edit seen immediately may call it too.
    void reloadIfChanged();

private:
    // What identifies one version of the file on disk.
    struct FileIdentity {
        bool exists = false;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        std::int64_t modifiedSeconds = 0;
        std::int64_t modifiedNanoseconds = 0;
        std::int64_t changedSeconds = 0;
        std::int64_t changedNanoseconds = 0;
        bool operator==(const FileIdentity&) const = default;
    };

    static FileIdentity identityOf(const std::filesystem::path& file);
    static FileIdentity identityOfOpen(int fd);

    // The parsed JSON object. Only the store's own source file handles JSON, which keeps the parser's
    // large header out of every file that reads a setting.
    struct Document;

    template <class Read>
    auto read(std::string_view key, Read reader) const;

    // What the store last found on disk.
    enum class DiskState { unknown, missing, document, unusable };

    // Looks at the file until its state is known: at most a few looks, with a pause between two
    // while the file is blank or does not parse. Takes ioMutex_ for each look, never for a pause.
    void settle();

    // Text that is blank or does not parse, not taken yet, and the file it was read from.
    struct UnsettledText {
        std::string text;
        FileIdentity identity;
    };

    // The rest requires ioMutex_.
    // Reads the file once, without waiting, and takes over its contents when they differ from what
    // was seen last. Text that is blank or does not parse is only taken when the file is still the
    // one `earlier` found a pause ago, unchanged; otherwise it is returned, untaken, for a later look.
    std::optional<UnsettledText> lookLocked(const std::optional<UnsettledText>& earlier);
    void moveAsideLocked(const std::string& text, const std::string& reason);
    // Enters the unusable state: defaults for reads, writes refused. Logs once per distinct cause.
    void markUnusableLocked(const std::string& cause, const std::string& logLine);
    void publishLocked(Document document, DiskState state, std::string seenText);
    bool modify(const std::function<void(Document&)>& change);
    // Records and reports a save that did not happen; returns false for the setter to return.
    bool refuseSaveLocked(const std::string& reason);

    const std::filesystem::path file_;
    const ChangeObserver onChange_;
    const SettlePause pause_;

    // Serialises everything that touches the file. Taken before documentMutex_, never after.
    std::mutex ioMutex_;
    // Guards document_ for readers; only holders of ioMutex_ replace it. A plain mutex rather than a
    // reader-writer lock: reads hold it for a lookup only, and glibc's rwlock would let a stream of
    // readers starve the writer.
    mutable std::mutex documentMutex_;
    std::unique_ptr<Document> document_;
    DiskState diskState_ = DiskState::unknown;
    // For DiskState::document the text that was parsed, for unusable what made it so. Comparing the
    // text (not only time stamps, which the kernel keeps at a few milliseconds' resolution) is what
    // tells a real change from a repeated notification.
    std::string seenText_;
    // Written under ioMutex_; problemMutex_ lets saveProblem() read it from any thread.
    SaveFailureObserver onSaveFailure_;
    mutable std::mutex problemMutex_;
    std::string saveProblem_;

    // Declared last so that it stops before anything it calls into is destroyed.
    std::unique_ptr<FileChangeWatcher> watcher_;
};

}  // namespace korvane
