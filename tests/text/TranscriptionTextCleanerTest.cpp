#include "text/TranscriptionTextCleaner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

namespace cleaner = TranscriptionTextCleaner;

struct TextCase {
    std::string input;
    std::string expected;
};

TEST(StripArtifactsTest, RemovesSoundTagsAndMusicSigns)
{
    const std::vector<TextCase> cases = {
        {"[BLANK_AUDIO]", ""},
        {"[blank audio] [BlankAudio]", ""},
        {"\u266A\u266A Hello ( music ) world", "Hello world"},
        {"(sighs) fine [sigh]", "fine"},
        {"[ Laughter ] ok", "ok"},
        {"(laughter] mismatched [Applause)", "mismatched"},
        {"(Clears Throat) so", "so"},
        {"[Speaking in foreign language] hola", "hola"},
        {"(coughing)(cough)", ""},
        // Tags not in the list, or with more inside the brackets, stay.
        {"[Speaker 1] hi", "[Speaker 1] hi"},
        {"[MUSIC PLAYING]", "[MUSIC PLAYING]"},
        {"[musical]", "[musical]"},
        {"music", "music"},
        // Runs of spaces and tabs collapse; line breaks survive inside and are trimmed at the ends.
        {"a  [Music]\t b", "a b"},
        {"\n first line [noise]  \nsecond\tline\n", "first line \nsecond\tline"},
        {"\u00A0text\u3000", "text"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(cleaner::stripArtifacts(c.input), c.expected);
    }
}

TEST(CleanTest, ReturnsNothingWhenNoLetterOrDigitIsLeft)
{
    const Vocabulary starter = Vocabulary::starter();
    EXPECT_EQ(cleaner::clean("[Music] ...", starter), "");
    EXPECT_EQ(cleaner::clean("  \u266A \t\n", starter), "");
    EXPECT_EQ(cleaner::clean("", starter), "");
    EXPECT_EQ(cleaner::clean("?!", Vocabulary()), "");
    EXPECT_EQ(cleaner::clean("\u041F\u0440\u0438\u0432\u0435\u0442!", starter),
              "\u041F\u0440\u0438\u0432\u0435\u0442!");
}

TEST(CleanTest, KeepsDigitsAndAppliesTheVocabulary)
{
    EXPECT_EQ(cleaner::clean("42", Vocabulary(std::vector<VocabularyEntry>{{"forty-two", {"42"}}})), "forty-two");
    EXPECT_EQ(cleaner::clean("[Music] 100 percent sign  open square bracket x close bracket", Vocabulary::starter()),
              "100% [x]");
}

struct HallucinationCase {
    std::string text;
    bool includingSingleWords;
    bool expected;
};

TEST(SilenceHallucinationTest, RecognisesStockPhrasesAndCredits)
{
    const std::vector<HallucinationCase> cases = {
        {"", false, true},
        {"  \n ", false, true},
        {"[BLANK_AUDIO]", false, true},
        {"...", false, true},
        {"Thank you. Bye!", false, true},
        {"THANK YOU\u2026 bye", false, true},
        {"Thanks for watching!\nPlease subscribe.", false, true},
        {"Hmm, hmm.", false, true},
        {"\u266A Thank you very much. \u266A", false, true},
        {"Thank you very much.", false, true},
        {"Thanks.", false, false},
        {"Thanks.", true, true},
        {"Okay.", false, false},
        {"Okay.", true, true},
        {"Tsch\u00FCss.", true, false},
        {"Thank you for the update", false, false},
        {"Thank you. Deploy it.", true, false},
        // Punctuation inside a piece is removed, not turned into a space.
        {"Thank-you.", true, false},
        {"Thank  \t you!", false, true},
        // A credit line counts wherever it appears, before any splitting.
        {"Subtitles by the community. Great talk.", false, true},
        {"Subtitles by the Amara.org community", false, true},
        {"transcribed BY someone", false, true},
        {"CastingWords", false, true},
    };
    for (const HallucinationCase& c : cases) {
        SCOPED_TRACE(c.text + (c.includingSingleWords ? " (single words)" : ""));
        EXPECT_EQ(cleaner::isLikelySilenceHallucination(c.text, c.includingSingleWords), c.expected);
    }
}

TEST(CleanerTablesTest, HoldTheListedEntries)
{
    EXPECT_EQ(cleaner::creditMarkers().size(), 7u);
    EXPECT_EQ(cleaner::silenceHallucinations().size(), 20u);
    EXPECT_EQ(cleaner::symbolAttachment().size(), 19u);
    EXPECT_EQ(cleaner::symbolAttachment().at("\u2014"), cleaner::attachesToPrevious | cleaner::attachesToNext);
    EXPECT_EQ(cleaner::symbolAttachment().at("$").rawValue, 2);
    EXPECT_EQ(cleaner::symbolAttachment().at("\u00B0").rawValue, 1);
    EXPECT_EQ(cleaner::symbolAttachment().count("&"), 0u);
}

}  // namespace
}  // namespace korvane
