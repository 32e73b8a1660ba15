#include "core/settings/SettingsStore.h"
#include "tests/support/TempHome.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace korvane {
namespace {

using testing::readFile;
using testing::TempHome;
using testing::writeFile;

TEST(SettingsThreadsTest, ReadersOnOtherThreadsSeeOnlyWholeValuesWhileWritesGoOn)
{
    TempHome home;
    const auto file = home.path() / "korvane" / "settings.json";
    writeFile(file, R"({"modelSize": "small", "vocabularyV1": "record-0", "hotkeyKeyCode": 0})");
    SettingsStore store(file);

    std::atomic<bool> done{false};
    std::atomic<int> badReads{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 2; ++r) {
        readers.emplace_back([&] {
            while (!done.load()) {
                const auto model = store.string("modelSize");
                const auto record = store.data("vocabularyV1");
                const auto code = store.integer("hotkeyKeyCode");
                const bool modelOk = model == "small" || model == "medium";
                const bool recordOk = record && record->rfind("record-", 0) == 0;
                if (!modelOk || !recordOk || !code || *code < 0 || *code > 200) {
                    badReads.fetch_add(1);
                }
            }
        });
    }

    // Each write waits for the disk, and readers spin throughout: thirty rounds give tens of
    // thousands of reads across more than ninety replacements of the file.
    for (int i = 1; i <= 30; ++i) {
        ASSERT_TRUE(store.setString("modelSize", i % 2 == 0 ? "small" : "medium"));
        ASSERT_TRUE(store.setData("vocabularyV1", "record-" + std::to_string(i)));
        ASSERT_TRUE(store.setInteger("hotkeyKeyCode", i));
        if (i % 10 == 0) {
            // Hand edits arriving through the watcher thread mix in with the writes.
            writeFile(file, R"({"modelSize": "small", "vocabularyV1": "record-hand", "hotkeyKeyCode": 1})");
        }
    }
    done.store(true);
    for (auto& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(badReads.load(), 0);
}

TEST(SettingsThreadsTest, ConcurrentWritersOfDifferentKeysLoseNothing)
{
    TempHome home;
    const auto file = home.path() / "korvane" / "settings.json";
    SettingsStore store(file);

    constexpr int kWriters = 4;
    constexpr int kWritesEach = 40;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&store, w] {
            for (int i = 1; i <= kWritesEach; ++i) {
                store.setInteger("writer" + std::to_string(w), i);
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }

    const auto onDisk = nlohmann::json::parse(readFile(file));
    for (int w = 0; w < kWriters; ++w) {
        const std::string key = "writer" + std::to_string(w);
        EXPECT_EQ(store.integer(key), kWritesEach) << key;
        EXPECT_EQ(onDisk.value(key, 0), kWritesEach) << key;
    }
}

}  // namespace
}  // namespace korvane
