#include "text/TranscriptionTextCleaner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace korvane {
namespace {

// The cleaner runs on background threads while the settings pane may change the vocabulary: the
// shared tables and the cache of compiled rules must give every thread its own vocabulary's result.
TEST(CleanerThreadsTest, ConcurrentCleaningWithAlternatingVocabularies)
{
    const Vocabulary symbols = Vocabulary::starter();
    const Vocabulary words({{"kubectl", {"kube control"}}, {"/", {"forward slash"}}});
    const std::string transcript = "[Music] kube control forward slash open paren x close paren";
    const std::string withSymbols = "kube control/(x)";
    const std::string withWords = "kubectl/open paren x close paren";

    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i) {
                const bool useSymbols = (i + t) % 2 == 0;
                const std::string cleaned = TranscriptionTextCleaner::clean(transcript, useSymbols ? symbols : words);
                if (cleaned != (useSymbols ? withSymbols : withWords)) {
                    ++mismatches;
                }
                if (!TranscriptionTextCleaner::isLikelySilenceHallucination("Thank you. Bye!", false)) {
                    ++mismatches;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace korvane
