#include "core/settings/SettingsStore.h"
#include "tests/support/ScopedFileSizeLimit.h"
#include "tests/support/TempHome.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace korvane {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Optional;
using testing::readFile;
using testing::TempHome;
using testing::writeFile;
namespace fs = std::filesystem;

// Names of everything in `folder`, sorted.
std::vector<std::string> entriesOf(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Waits for a condition that another thread makes true; the generous limit only matters when the
// code under test is broken.
template <class Condition>
bool eventually(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Saves the way many editors do: write a new file, then rename it over the old one.
void replaceByRename(const fs::path& file, const std::string& contents)
{
    const fs::path temporary = file.parent_path() / ".settings.json.swp";
    writeFile(temporary, contents);
    fs::rename(temporary, file);
}

// The store's settle pause under the test's control: every thread that pauses is noted and held
// until the test opens the gate (or, should the code under test hang, for a generous limit).
class HeldPause {
public:
    SettingsStore::SettlePause hook()
    {
        return [this](std::chrono::milliseconds) {
            std::unique_lock<std::mutex> lock(mutex_);
            paused_.push_back(std::this_thread::get_id());
            changed_.notify_all();
            changed_.wait_for(lock, std::chrono::seconds(20), [this] { return open_; });
        };
    }

    bool someonePaused()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(20), [this] { return !paused_.empty(); });
    }

    bool pausedOn(std::thread::id thread) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::find(paused_.begin(), paused_.end(), thread) != paused_.end();
    }

    void open()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::thread::id> paused_;
    bool open_ = false;
};

class SettingsStoreTest : public ::testing::Test {
protected:
    fs::path folder() const { return home.path() / "korvane"; }
    fs::path file() const { return folder() / "settings.json"; }
    nlohmann::json onDisk() const { return nlohmann::json::parse(readFile(file())); }

    TempHome home;
};

TEST_F(SettingsStoreTest, WritesAreVisibleAtOnceAndKeepKeysWeDoNotKnow)
{
    writeFile(file(), R"({"futureKey": {"nested": [1, 2.5, null]}, "modelSize": "base", "flag": false})");
    SettingsStore store(file());

    ASSERT_TRUE(store.setString("modelSize", "medium"));
    ASSERT_TRUE(store.setBoolean("flag", true));
    ASSERT_TRUE(store.setInteger("count", -7));
    ASSERT_TRUE(store.setStringArray("names", {"ctrl", "shift"}));

    EXPECT_THAT(store.string("modelSize"), Optional(std::string("medium")));
    EXPECT_THAT(store.boolean("flag"), Optional(true));
    EXPECT_THAT(store.integer("count"), Optional(-7));
    EXPECT_THAT(store.stringArray("names"), Optional(ElementsAre("ctrl", "shift")));
    EXPECT_EQ(onDisk(), nlohmann::json::parse(R"({"futureKey": {"nested": [1, 2.5, null]}, "modelSize": "medium",
                                                  "flag": true, "count": -7, "names": ["ctrl", "shift"]})"));

    ASSERT_TRUE(store.remove("names"));
    EXPECT_FALSE(store.contains("names"));
    EXPECT_FALSE(onDisk().contains("names"));

    // A second store over the same file (the next launch) reads what the first one wrote.
    SettingsStore nextLaunch(file());
    EXPECT_THAT(nextLaunch.string("modelSize"), Optional(std::string("medium")));
    EXPECT_EQ(nextLaunch.data("futureKey"), R"({"nested":[1,2.5,null]})");
}

TEST_F(SettingsStoreTest, ValuesOfAnotherTypeReadAsNothing)
{
    writeFile(file(), R"({"s": 1, "b": "true", "i": 4.5, "a": ["x", 1], "d": 12, "big": 9223372036854775808})");
    SettingsStore store(file());

    EXPECT_EQ(store.string("s"), std::nullopt);
    EXPECT_EQ(store.boolean("b"), std::nullopt);
    EXPECT_EQ(store.integer("i"), std::nullopt);
    EXPECT_EQ(store.integer("big"), std::nullopt);
    EXPECT_EQ(store.stringArray("a"), std::nullopt);
    EXPECT_EQ(store.data("d"), std::nullopt);
    EXPECT_EQ(store.string("absent"), std::nullopt);
    EXPECT_TRUE(store.contains("s"));
}

TEST_F(SettingsStoreTest, DataKeepsItsExactBytesEvenWhenTheyAreNotValidJson)
{
    SettingsStore store(file());
    const std::string record = "{\"version\":1,\"entries\":[{\"replacement\":\"Korvane \xE2\x86\x92\"}]}";
    const std::string broken = "{\"version\": 1, \"kind\": ";
    ASSERT_TRUE(store.setData("vocabularyV1", record));
    ASSERT_TRUE(store.setData("hotkeyBindingV2", broken));

    SettingsStore nextLaunch(file());
    EXPECT_EQ(nextLaunch.data("vocabularyV1"), record);
    EXPECT_EQ(nextLaunch.data("hotkeyBindingV2"), broken);
}

TEST_F(SettingsStoreTest, BytesThatAreNotUtf8AreRefusedAndNothingChanges)
{
    writeFile(file(), R"({"vocabularyV1": "kept"})");
    const std::string before = readFile(file());
    SettingsStore store(file());

    EXPECT_FALSE(store.setData("vocabularyV1", "\xff\xfe not text"));
    EXPECT_EQ(store.data("vocabularyV1"), "kept");
    EXPECT_EQ(readFile(file()), before);
}

TEST_F(SettingsStoreTest, MissingFileGivesDefaultsAndCreatesNothingUntilTheFirstWrite)
{
    SettingsStore store(file());
    EXPECT_EQ(store.string("modelSize"), std::nullopt);
    store.reloadIfChanged();
    EXPECT_FALSE(fs::exists(folder()));

    ASSERT_TRUE(store.setString("modelSize", "base"));
    EXPECT_EQ(onDisk(), nlohmann::json::parse(R"({"modelSize": "base"})"));
}

TEST_F(SettingsStoreTest, AtomicWritesLeaveNoTemporaryFilesAndKeepPermissions)
{
    SettingsStore store(file());
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(store.setInteger("counter", i));
    }
    EXPECT_THAT(entriesOf(folder()), ElementsAre("settings.json"));

    struct stat info {};
    ASSERT_EQ(::stat(file().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    ::chmod(file().c_str(), 0640);
    ASSERT_TRUE(store.setInteger("counter", 99));
    ASSERT_EQ(::stat(file().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(SettingsStoreTest, LinkedSettingsFileStaysALinkAfterAWrite)
{
    const fs::path real = home.path() / "dotfiles" / "korvane.json";
    writeFile(real, R"({"modelSize": "base"})");
    fs::create_directories(folder());
    fs::create_symlink(real, file());
    SettingsStore store(file());

    ASSERT_TRUE(store.setString("modelSize", "turbo"));
    EXPECT_TRUE(fs::is_symlink(file()));
    EXPECT_EQ(nlohmann::json::parse(readFile(real)), nlohmann::json::parse(R"({"modelSize": "turbo"})"));
    EXPECT_THAT(entriesOf(real.parent_path()), ElementsAre("korvane.json"));
}

TEST_F(SettingsStoreTest, CorruptFileIsMovedAsideUntouchedAndNeverOverwritten)
{
    const std::string corrupt = "{\"modelSize\": \"medium\", \"debugLogging\": tru";
    writeFile(file(), corrupt);
    SettingsStore store(file());

    EXPECT_EQ(store.string("modelSize"), std::nullopt);
    EXPECT_FALSE(fs::exists(file()));
    std::vector<std::string> entries = entriesOf(folder());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_THAT(entries[0], ::testing::MatchesRegex("settings\\.json\\.corrupt-[0-9]{8}-[0-9]{6}"));
    EXPECT_EQ(readFile(folder() / entries[0]), corrupt);

    // Saving afterwards starts a fresh file and leaves the set-aside copy alone.
    ASSERT_TRUE(store.setString("modelSize", "base"));
    EXPECT_EQ(onDisk(), nlohmann::json::parse(R"({"modelSize": "base"})"));
    EXPECT_EQ(readFile(folder() / entries[0]), corrupt);

    // A second bad edit in the same second gets its own name rather than replacing the first copy.
    writeFile(file(), "[\"an array is not a settings document\"]");
    store.reloadIfChanged();
    entries = entriesOf(folder());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(readFile(folder() / entries[0]), corrupt);
    EXPECT_EQ(readFile(folder() / entries[1]), "[\"an array is not a settings document\"]");
    EXPECT_EQ(store.string("modelSize"), std::nullopt);
}

TEST_F(SettingsStoreTest, DocumentNestedTooDeeplyIsSetAsideAndTheNextSaveStaysSmall)
{
    // 32 levels are accepted; 100,000 (200 KB of brackets) once crashed every launch.
    const auto nested = [](std::size_t levels) {
        return R"({"modelSize": "base", "hotkeyBindingV2": )" + std::string(levels - 1, '[') +
               std::string(levels - 1, ']') + "}";
    };
    writeFile(file(), nested(32));
    {
        SettingsStore store(file());
        EXPECT_EQ(store.string("modelSize"), "base");
        EXPECT_EQ(store.data("hotkeyBindingV2"), std::string(31, '[') + std::string(31, ']'));
    }

    writeFile(file(), nested(100000));
    SettingsStore store(file());
    EXPECT_EQ(store.string("modelSize"), std::nullopt);
    EXPECT_EQ(store.data("hotkeyBindingV2"), std::nullopt);
    const std::vector<std::string> entries = entriesOf(folder());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_THAT(entries[0], ::testing::StartsWith("settings.json.corrupt-"));
    EXPECT_EQ(readFile(folder() / entries[0]), nested(100000));

    ASSERT_TRUE(store.setString("modelSize", "turbo"));
    EXPECT_EQ(onDisk(), nlohmann::json::parse(R"({"modelSize": "turbo"})"));
}

TEST_F(SettingsStoreTest, SetterMeetingAFileMidEditReturnsAtOnceAndTheWatcherSettlesIt)
{
    HeldPause pause;
    writeFile(file(), R"({"modelSize": "base"})");
    SettingsStore store(file(), {}, pause.hook());
    const std::string unfinished = R"({"modelSize": "tur)";
    writeFile(file(), unfinished);
    // The watcher has met the broken text and waits to see whether it is still being written.
    ASSERT_TRUE(pause.someonePaused());

    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(store.setString("hotkeyMode", "hold"));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(150));
    EXPECT_FALSE(pause.pausedOn(std::this_thread::get_id()));
    EXPECT_EQ(readFile(file()), unfinished);
    EXPECT_EQ(store.string("modelSize"), "base");

    // Still the same once the pause is over: it is taken as corrupt and moved aside.
    pause.open();
    EXPECT_TRUE(eventually([&] { return !store.contains("modelSize"); }));
    const std::vector<std::string> entries = entriesOf(folder());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_THAT(entries[0], ::testing::StartsWith("settings.json.corrupt-"));
    EXPECT_EQ(readFile(folder() / entries[0]), unfinished);
}

TEST_F(SettingsStoreTest, FileFinishedWhileTheWatcherWaitsIsReadAgainAndKept)
{
    HeldPause pause;
    writeFile(file(), R"({"modelSize": "base"})");
    SettingsStore store(file(), {}, pause.hook());
    writeFile(file(), R"({"modelSize": "tur)");
    ASSERT_TRUE(pause.someonePaused());

    replaceByRename(file(), R"({"modelSize": "turbo"})");
    pause.open();
    EXPECT_TRUE(eventually([&] { return store.string("modelSize") == "turbo"; }));
    EXPECT_THAT(entriesOf(folder()), ElementsAre("settings.json"));
}

TEST_F(SettingsStoreTest, EmptyFileReadsAsEmptyDocumentWithoutBeingMovedAside)
{
    writeFile(file(), " \n");
    SettingsStore store(file());
    EXPECT_FALSE(store.contains("modelSize"));
    EXPECT_THAT(entriesOf(folder()), ElementsAre("settings.json"));
}

TEST_F(SettingsStoreTest, FileThatCannotBeReadIsLeftAloneAndWritesAreRefused)
{
    // A folder in the file's place cannot be read as a document (permissions would not stop root).
    fs::create_directories(file() / "something-inside");
    SettingsStore store(file());
    std::vector<std::string> told;
    store.setSaveFailureObserver([&told](const std::string& reason) { told.push_back(reason); });

    EXPECT_FALSE(store.setString("modelSize", "base"));
    EXPECT_TRUE(fs::is_directory(file() / "something-inside"));
    EXPECT_EQ(store.string("modelSize"), std::nullopt);
    const std::string why = "the settings file " + file().string() + " cannot be read, so it is left as it is";
    EXPECT_THAT(told, ElementsAre(why));
    EXPECT_EQ(store.saveProblem(), why);

    // Once the obstacle is gone, saving works again, and the problem is over.
    fs::remove_all(file());
    EXPECT_TRUE(store.setString("modelSize", "base"));
    EXPECT_EQ(onDisk(), nlohmann::json::parse(R"({"modelSize": "base"})"));
    EXPECT_EQ(store.saveProblem(), "");

    // A write the file system refuses (as a full disk would): the reason is the file system's, and
    // the file keeps what it held.
    {
        const testing::ScopedFileSizeLimit limit(8);
        EXPECT_FALSE(store.setString("modelSize", "medium"));
    }
    ASSERT_EQ(told.size(), 2u);
    EXPECT_THAT(told.back(), HasSubstr("File too large"));
    EXPECT_EQ(store.saveProblem(), told.back());
    EXPECT_EQ(onDisk(), nlohmann::json::parse(R"({"modelSize": "base"})"));
}

TEST_F(SettingsStoreTest, HandEditsArePickedUpOnReloadAndNeverLostUnderAWrite)
{
    writeFile(file(), R"({"modelSize": "base"})");
    SettingsStore store(file());

    // Rewritten in place with the same length, within the kernel's time stamp granularity.
    writeFile(file(), R"({"modelSize": "tiny"})");
    store.reloadIfChanged();
    EXPECT_THAT(store.string("modelSize"), Optional(std::string("tiny")));

    // A write merges with an edit that has not been reloaded yet instead of discarding it.
    writeFile(file(), R"({"modelSize": "tiny", "debugLogging": true})");
    ASSERT_TRUE(store.setString("hotkeyMode", "hold"));
    EXPECT_EQ(onDisk(), nlohmann::json::parse(R"({"modelSize": "tiny", "debugLogging": true, "hotkeyMode": "hold"})"));
    EXPECT_THAT(store.boolean("debugLogging"), Optional(true));

    // Deleting the file by hand brings back the defaults.
    fs::remove(file());
    store.reloadIfChanged();
    EXPECT_FALSE(store.contains("modelSize"));
}

TEST_F(SettingsStoreTest, WatcherSeesAnEditorReplacingTheFile)
{
    writeFile(file(), R"({"debugLogging": false})");
    SettingsStore store(file());

    replaceByRename(file(), R"({"debugLogging": true})");
    EXPECT_TRUE(eventually([&] { return store.boolean("debugLogging") == true; }));

    writeFile(file(), R"({"debugLogging": false, "x": 1})");
    EXPECT_TRUE(eventually([&] { return store.boolean("debugLogging") == false; }));
}

TEST_F(SettingsStoreTest, WatcherSeesEditsOfTheFileALinkLeadsTo)
{
    const fs::path dotfile = home.path() / "dotfiles" / "korvane.json";
    writeFile(dotfile, R"({"modelSize": "base"})");
    fs::create_directories(folder());
    fs::create_symlink(dotfile, file());
    SettingsStore store(file());

    replaceByRename(dotfile, R"({"modelSize": "medium"})");
    EXPECT_TRUE(eventually([&] { return store.string("modelSize") == "medium"; }));

    // Linked anew to a file elsewhere: that file's folder is the one watched from then on.
    const fs::path elsewhere = home.path() / "elsewhere" / "settings.json";
    writeFile(elsewhere, R"({"modelSize": "small"})");
    fs::remove(file());
    ASSERT_TRUE(eventually([&] { return !store.contains("modelSize"); }));
    fs::create_symlink(elsewhere, file());
    EXPECT_TRUE(eventually([&] { return store.string("modelSize") == "small"; }));
    replaceByRename(elsewhere, R"({"modelSize": "turbo"})");
    EXPECT_TRUE(eventually([&] { return store.string("modelSize") == "turbo"; }));
}

TEST_F(SettingsStoreTest, WatcherSeesAFileCreatedInAFolderThatDidNotExistYet)
{
    SettingsStore store(file());
    ASSERT_FALSE(fs::exists(folder()));

    replaceByRename(file(), R"({"modelSize": "turbo"})");
    EXPECT_TRUE(eventually([&] { return store.string("modelSize") == "turbo"; }));
}

TEST_F(SettingsStoreTest, WatcherCopesWithTheFolderBeingRemovedAndRecreated)
{
    writeFile(file(), R"({"modelSize": "base"})");
    SettingsStore store(file());

    fs::remove_all(folder());
    EXPECT_TRUE(eventually([&] { return !store.contains("modelSize"); }));

    replaceByRename(file(), R"({"modelSize": "medium"})");
    EXPECT_TRUE(eventually([&] { return store.string("modelSize") == "medium"; }));
}

}  // namespace
}  // namespace korvane
