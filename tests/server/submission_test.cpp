#include "server/store/submission.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

// Counters that satisfy the score identity: level 2 (bonuses 10000 + 20000),
// 3 munchets (300), 17 food (-51).
constexpr std::string_view validTail = "&score=30249&level=2&munchets=3&food=17";

std::string WithName(std::string_view rawName) {
    return "name=" + std::string(rawName) + std::string(validTail);
}

struct Refused {
    std::string query;
    std::string_view errorPart;  // must occur in the reason
};

void ExpectRefused(const Refused& c) {
    const SubmissionResult result = ParseSubmission(c.query);
    EXPECT_FALSE(result.submission) << c.query;
    EXPECT_NE(result.error.find(c.errorPart), std::string_view::npos) << c.query << " -> " << result.error;
}

TEST(ParseSubmission, AcceptsTheGamesQuery) {
    const SubmissionResult result = ParseSubmission("name=ab%20c" + std::string(validTail));
    ASSERT_TRUE(result.submission) << result.error;
    EXPECT_TRUE(result.error.empty());
    EXPECT_EQ(*result.submission, (Submission{"ab c", 30249, 2, 3, 17}));
}

TEST(ParseSubmission, AcceptsKeysInAnyOrder) {
    const SubmissionResult result = ParseSubmission("food=17&munchets=3&level=2&name=Zed&score=30249");
    ASSERT_TRUE(result.submission) << result.error;
    EXPECT_EQ(*result.submission, (Submission{"Zed", 30249, 2, 3, 17}));
}

TEST(ParseSubmission, DecodesNames) {
    const struct {
        std::string_view raw;
        std::string_view name;
    } cases[] = {
        {"a", "a"},
        {"%20", " "},  // a single blank is a name
        {"%20%20lead%20and%20trail%20", "  lead and trail "},
        {"100%25", "100%"},
        {"%2a%2A", "**"},  // either case of hex digit
        {"a+b", "a+b"},    // '+' is not a blank here
        {"%21%22%23%24%26%27%28%29%3D%3F%40%5B%5C%5D%5E%60%7B%7C%7D%7E", "!\"#$&'()=?@[\\]^`{|}~"},
        {"12345678901234567890", "12345678901234567890"},
        {"%31%32%33%34%35%36%37%38%39%30%31%32%33%34%35%36%37%38%39%30", "12345678901234567890"},
    };
    for (const auto& c : cases) {
        const SubmissionResult result = ParseSubmission(WithName(c.raw));
        ASSERT_TRUE(result.submission) << c.raw << " -> " << result.error;
        EXPECT_EQ(result.submission->name, c.name) << c.raw;
    }
}

TEST(ParseSubmission, RefusesBadNames) {
    const Refused cases[] = {
        {WithName(""), "name is empty"},
        {WithName("123456789012345678901"), "longer than 20"},
        {WithName("%31%32%33%34%35%36%37%38%39%30%31%32%33%34%35%36%37%38%39%30%31"), "longer than 20"},
        {WithName(std::string(200, 'a')), "longer than 20"},
        {WithName("a;b"), "not allowed"},
        {WithName("a%3Bb"), "not allowed"},
        {WithName("%3Cscript%3E"), "not allowed"},
        {WithName("a%3E"), "not allowed"},
        {WithName("a%0Ab"), "not allowed"},
        {WithName("a%0D"), "not allowed"},
        {WithName("%00"), "not allowed"},
        {WithName("%1F"), "not allowed"},
        {WithName("%7F"), "not allowed"},
        {WithName("%C3%A9"), "not allowed"},
        {WithName("\xff"), "not allowed"},
        {WithName("%"), "percent-escape"},
        {WithName("ab%"), "percent-escape"},
        {WithName("ab%4"), "percent-escape"},
        {WithName("%GZ"), "percent-escape"},
        {WithName("%%41"), "percent-escape"},
        {WithName("%-1"), "percent-escape"},
    };
    for (const Refused& c : cases) ExpectRefused(c);
}

TEST(ParseSubmission, RefusesMissingDuplicateAndUnknownKeys) {
    const Refused cases[] = {
        {"", "empty parameter"},
        {"score=30249&level=2&munchets=3&food=17", "missing key: name"},
        {"name=a&level=2&munchets=3&food=17", "missing key: score"},
        {"name=a&score=30249&munchets=3&food=17", "missing key: level"},
        {"name=a&score=30249&level=2&food=17", "missing key: munchets"},
        {"name=a&score=30249&level=2&munchets=3", "missing key: food"},
        {"name=a&name=b" + std::string(validTail), "duplicate key: name"},
        {WithName("a") + "&score=30249", "duplicate key: score"},
        {WithName("a") + "&level=2", "duplicate key: level"},
        {WithName("a") + "&munchets=3", "duplicate key: munchets"},
        {WithName("a") + "&food=17", "duplicate key: food"},
        {WithName("a") + "&extra=1", "unknown key"},
        {WithName("a") + "&Name=a", "unknown key"},
        {WithName("a") + "&", "empty parameter"},
        {"&" + WithName("a"), "empty parameter"},
        {"name=a&&score=30249&level=2&munchets=3&food=17", "empty parameter"},
        {WithName("a") + "&x", "without '='"},
        {"name&score=30249&level=2&munchets=3&food=17", "without '='"},
        {WithName(std::string(maxQueryLength, 'a')), "too long"},
    };
    for (const Refused& c : cases) ExpectRefused(c);
}

TEST(ParseSubmission, RefusesNumbersThatAreNotPlainInt32) {
    const std::string_view bad[] = {
        "",     "+5",         " 5",          "5 ",          "%205",
        "5x",   "0x10",       "1e3",         "1.0",         "--1",
        "-",    "2147483648", "-2147483649", "4294967296",  "99999999999999999999",
        "%2B5", "5%00",       "%",           "\xef\xbc\x95"};
    for (const std::string_view key : {"score", "level", "munchets", "food"}) {
        for (const std::string_view value : bad) {
            std::string query = "name=a&score=30249&level=2&munchets=3&food=17";
            const std::size_t at = query.find(std::string(key) + "=") + key.size() + 1;
            const std::size_t end = query.find('&', at);
            query.replace(at, (end == std::string::npos ? query.size() : end) - at, value);
            ExpectRefused({query, std::string(key) + " is not a 32-bit decimal integer"});
        }
    }
}

TEST(ParseSubmission, ChecksRangesAndTheScoreIdentity) {
    const Refused cases[] = {
        {"name=a&score=9700&level=-1&munchets=97&food=0", "level is negative"},
        {"name=a&score=10000&level=1&munchets=-1&food=-33", "munchets is negative"},
        {"name=a&score=0&level=0&munchets=0&food=0", "score is not positive"},
        {"name=a&score=-3&level=0&munchets=0&food=1", "score is not positive"},
        {"name=a&score=30250&level=2&munchets=3&food=17", "does not match"},
        {"name=a&score=30248&level=2&munchets=3&food=17", "does not match"},
        {"name=a&score=30249&level=1&munchets=3&food=17", "does not match"},
        {"name=a&score=30249&level=2&munchets=4&food=17", "does not match"},
        {"name=a&score=30249&level=2&munchets=3&food=18", "does not match"},
        // Counters whose score would need far more than 64 bits.
        {"name=a&score=2147483647&level=2147483647&munchets=2147483647&food=-2147483648", "does not match"},
        {"name=a&score=1&level=2147483647&munchets=0&food=2147483647", "does not match"},
    };
    for (const Refused& c : cases) ExpectRefused(c);

    const std::string_view accepted[] = {
        "name=a&score=3&level=0&munchets=0&food=-1",                   // only saved food
        "name=a&score=100&level=0&munchets=1&food=0",                  // first munchet of level 0
        "name=a&score=10100&level=1&munchets=1&food=0",                // ... and its level bonus
        "name=a&score=2147483647&level=0&munchets=21474835&food=-49",  // the largest score
        "name=a&score=1&level=0&munchets=1&food=33",                   // score at its lower bound
    };
    for (const std::string_view query : accepted) {
        const SubmissionResult result = ParseSubmission(query);
        EXPECT_TRUE(result.submission) << query << " -> " << result.error;
    }
}

TEST(ExpectedScore, AddsMunchetsLevelBonusesAndFood) {
    EXPECT_EQ(ExpectedScore(0, 0, 0), 0);
    EXPECT_EQ(ExpectedScore(1, 1, 0), 10100);
    EXPECT_EQ(ExpectedScore(3, 0, 0), 60000);  // 10000 + 20000 + 30000
    EXPECT_EQ(ExpectedScore(0, 0, -5), 15);
    EXPECT_EQ(ExpectedScore(0, INT_MAX, INT_MIN), 100LL * INT_MAX + 3LL * 2147483648LL);
    EXPECT_EQ(ExpectedScore(INT_MAX, INT_MAX, INT_MIN), std::nullopt);
    // 5000 * 131071 * 131072 still fits in 64 bits.
    EXPECT_EQ(ExpectedScore(131071, 0, 0), 5000LL * 131071 * 131072);
}

TEST(FormatSubmissionQuery, RoundTripsEveryAllowedCharacter) {
    std::string all;
    for (int c = 32; c <= 126; ++c) {
        if (IsNameCharacter(static_cast<char>(c))) all.push_back(static_cast<char>(c));
    }
    ASSERT_EQ(all.size(), 92u);
    for (std::size_t at = 0; at < all.size(); at += maxNameLength) {
        const Submission original{all.substr(at, maxNameLength), 30249, 2, 3, 17};
        const std::string query = FormatSubmissionQuery(original);
        EXPECT_EQ(query.find_first_of(" ;<>"), std::string::npos) << query;
        const SubmissionResult parsed = ParseSubmission(query);
        ASSERT_TRUE(parsed.submission) << query << " -> " << parsed.error;
        EXPECT_EQ(*parsed.submission, original);
    }
    EXPECT_EQ(FormatSubmissionQuery({"ab c", 1530, 2, 3, 17}),
              "name=ab%20c&score=1530&level=2&munchets=3&food=17");
}

}  // namespace
