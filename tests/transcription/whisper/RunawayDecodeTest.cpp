// SPDX-License-Identifier: MIT
// Telling a decode that ran away from one that ended by itself.
#include "transcription/whisper/RunawayDecode.h"

#include <gtest/gtest.h>

#include <string>

namespace korvane {
namespace {

TEST(RunawayDecode, FindsAPhraseSaidThreeTimesOrAWordSaidFourTimesInARow)
{
    struct Case {
        const char* text;
        bool repeats;
    };
    const Case cases[] = {
        {"", false},
        {"Send the report to Anna by Friday.", false},
        {"No, no, no, that is wrong.", false},
        {"No, no, no, no.", true},
        {"Thank you. Thank you.", false},
        {"Thank you. Thank you, thank you!", true},
        {"Open the file. Open the file. Open the file. Open the", true},
        {"We met, we met and we met again.", false},  // the same words, not back to back
        {"I think the plan is fine. I think the plan is fine. So do I.", false},
        {"Then I said: I think the plan is fine. I think the plan is fine. I think the plan is fine.", true},
        {"a b a b a", false},
        {"a b a b a b", true},
        {"Well... well... well... well", true},
        {"Go - go - go", false},  // a dash is no word
        {"Ça va. ÇA VA. ça va.", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(repeatsAPhrase(c.text), c.repeats) << c.text;
    }
}

TEST(RunawayDecode, NamesTheTokenLimitBeforeARepetition)
{
    const int limit = decoderTokenLimit(448);
    EXPECT_EQ(limit, 220);
    const std::string looping = "Thank you. Thank you. Thank you.";
    EXPECT_EQ(runawayDecode("Send the report.", 5, limit), RunawayDecode::none);
    EXPECT_EQ(runawayDecode("Send the report.", limit - 1, limit), RunawayDecode::none);
    EXPECT_EQ(runawayDecode("Send the report.", limit, limit), RunawayDecode::tokenLimit);
    EXPECT_EQ(runawayDecode(looping, 12, limit), RunawayDecode::repeatedPhrase);
    EXPECT_EQ(runawayDecode(looping, limit, limit), RunawayDecode::tokenLimit);
}

}  // namespace
}  // namespace korvane
