#include "base/version/BuildVersion.h"
#include "core/updates/UpdateFeed.h"
#include "core/updates/VersionNumber.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

namespace korvane {
namespace {

std::string orderOf(const char* left, const char* right)
{
    const auto a = VersionNumber::parse(left);
    const auto b = VersionNumber::parse(right);
    if (!a || !b) {
        return "unparsed";
    }
    return *a < *b ? "<" : (*a == *b ? "=" : ">");
}

TEST(VersionNumberTest, OrdersReleasesByPrecedence)
{
    struct Case {
        const char* left;
        const char* right;
        const char* expected;
    };
    const Case cases[] = {
        {"0.2.0", "0.1.0", ">"},
        {"0.1.0", "0.1.0", "="},
        {"0.1.0", "0.2.0", "<"},
        {"1.10.0", "1.9.0", ">"},  // numeric, not text, order
        {"1.4", "1.4.0", "="},
        {"v1.4.1", "1.4.0", ">"},
        {"2.0.0", "1.99.99.99", ">"},
        {"1.5.0-beta.2", "1.5.0", "<"},  // a pre-release comes before its release
        {"1.5.0-beta.2", "1.5.0-beta.10", "<"},
        {"1.5.0-beta", "1.5.0-alpha.3", ">"},
        {"1.5.0-rc.1", "1.4.9", ">"},
        {"1.5.0-1", "1.5.0-alpha", "<"},
        {"1.5.0+g1a2b3c", "1.5.0", "="},
        {"1.0.0-02", "1.0.0-3", "<"},  // leading zeros do not make a number larger
        {"1.0.0-010", "1.0.0-10", "="},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(orderOf(c.left, c.right), c.expected) << c.left << " vs " << c.right;
    }
}

TEST(VersionNumberTest, RefusesTextThatIsNoVersion)
{
    for (const char* text : {"", "v", "latest", "1..2", "1.2.", ".1", "1.2.3.4.5", "1.x", "1.2-", "1.2-beta..1",
                             "1234567890.0", "-1.0", " 1.0", "1.0 ", "1.0+", "1.0+ <b>x</b>\n", "1.0+a_b"}) {
        EXPECT_FALSE(VersionNumber::parse(text)) << '"' << text << '"';
    }
}

TEST(UpdateFeedTest, AcceptsAWellFormedFeed)
{
    const auto parsed = parseUpdateFeed(
        R"({"version": "0.3.1", "releasePage": "https://korvane.app/releases/0.3.1", "notes": "Faster.", "x": 1})");
    ASSERT_TRUE(std::holds_alternative<UpdateOffer>(parsed)) << std::get<std::string>(parsed);
    EXPECT_EQ(std::get<UpdateOffer>(parsed), (UpdateOffer{"0.3.1", "https://korvane.app/releases/0.3.1", "Faster."}));

    const auto withoutNotes = parseUpdateFeed(R"({"version": "1.0", "releasePage": "HTTPS://example.org:8443/r"})");
    ASSERT_TRUE(std::holds_alternative<UpdateOffer>(withoutNotes));
    EXPECT_EQ(std::get<UpdateOffer>(withoutNotes).notes, "");
}

TEST(UpdateFeedTest, RefusesMalformedFeedsWithAReason)
{
    struct Case {
        const char* body;
        const char* reason;
    };
    const Case cases[] = {
        {"", "not JSON"},
        {"<html>502 Bad Gateway</html>", "not JSON"},
        {R"({"version": "0.2.0", "releasePage": "https://a.b/")", "not JSON"},  // cut short
        {R"(["0.2.0"])", "not a JSON object"},
        {R"({"releasePage": "https://a.b/"})", "\"version\""},
        {R"({"version": 2, "releasePage": "https://a.b/"})", "\"version\""},
        {R"({"version": "newest", "releasePage": "https://a.b/"})", "\"version\""},
        {R"({"version": "0.2.0"})", "\"releasePage\""},
        {R"({"version": "0.2.0", "releasePage": "http://a.b/"})", "\"releasePage\""},
        {R"({"version": "0.2.0", "releasePage": "file:///etc/passwd"})", "\"releasePage\""},
        {R"x({"version": "0.2.0", "releasePage": "javascript:alert(1)"})x", "\"releasePage\""},
        {R"({"version": "0.2.0", "releasePage": "https:///path"})", "\"releasePage\""},
        {R"({"version": "0.2.0", "releasePage": "https://a.b/x y"})", "\"releasePage\""},
        {R"({"version": "0.2.0", "releasePage": "HTTPS://{"})", "\"releasePage\""},  // hosts curl refuses
        {R"({"version": "0.2.0", "releasePage": "https://[]/"})", "\"releasePage\""},
        {R"({"version": "0.2.0", "releasePage": "https://a..b/"})", "\"releasePage\""},
        {R"({"version": "0.2.0", "releasePage": "https://[::1]484:3/r"})", "\"releasePage\""},  // after the host
        {R"({"version": "0.2.0", "releasePage": "https://a.b:port/"})", "\"releasePage\""},
        {R"({"version": "0.2.0", "releasePage": "https://a:a/"})", "\"releasePage\""},
        {R"({"version": "0.2.0", "releasePage": "https://a.b:123456/"})", "\"releasePage\""},
        {R"({"version": "0.2.0", "releasePage": "https://a.b/", "notes": ["x"]})", "\"notes\""},
    };
    for (const Case& c : cases) {
        const auto parsed = parseUpdateFeed(c.body);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << c.body;
        EXPECT_NE(std::get<std::string>(parsed).find(c.reason), std::string::npos)
            << c.body << " gave: " << std::get<std::string>(parsed);
    }
}

TEST(UpdateFeedTest, UrlHostNamesTheServer)
{
    EXPECT_EQ(urlHost("https://korvane.app/updates/linux.json"), "korvane.app");
    EXPECT_EQ(urlHost("https://user@mirror.example.org:8443/feed?x=1"), "mirror.example.org");
    EXPECT_EQ(urlHost("https://[::1]:8443/feed"), "[::1]");
    EXPECT_EQ(urlHost("korvane.app/feed"), "");
}

TEST(BuildVersionTest, VersionTextNamesVersionAndBuild)
{
    EXPECT_EQ(versionText("0.1.0", "1a2b3c4"), "Version 0.1.0 (1a2b3c4)");
    EXPECT_EQ(versionText("0.1.0", ""), "Version 0.1.0");
    EXPECT_EQ(versionText("", "42"), "Version unknown (42)");
    EXPECT_EQ(versionText("", ""), "Version unknown");
    // The build's own values are the project version, whatever the build value.
    EXPECT_TRUE(VersionNumber::parse(korvaneVersion())) << korvaneVersion();
}

}  // namespace
}  // namespace korvane
