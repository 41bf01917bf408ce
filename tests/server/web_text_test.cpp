#include "server/web/web_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <nlohmann/json.hpp>

namespace {

struct Escaped {
    std::string text;
    std::string html;
    std::string json;  // as the JSON literal, quotes included
};

void PrintTo(const Escaped& c, std::ostream* os) { *os << ::testing::PrintToString(c.text); }

class Escaping : public ::testing::TestWithParam<Escaped> {};

TEST_P(Escaping, HtmlAndJson) {
    const Escaped& c = GetParam();
    std::string html, json;
    AppendHtmlEscaped(html, c.text);
    AppendJsonString(json, c.text);
    EXPECT_EQ(html, c.html);
    EXPECT_EQ(json, c.json);
    // Whatever went in, a strict JSON parser takes the literal back.
    EXPECT_TRUE(nlohmann::json::accept(json)) << json;
}

INSTANTIATE_TEST_SUITE_P(
    Names, Escaping,
    ::testing::Values(Escaped{"plain name", "plain name", R"("plain name")"},
                      Escaped{R"x(<img src=x onerror="a('b')">)x",
                              "&lt;img src=x onerror=&quot;a(&#39;b&#39;)&quot;&gt;",
                              R"x("<img src=x onerror=\"a('b')\">")x"},
                      Escaped{"&lt; &amp", "&amp;lt; &amp;amp", R"("&lt; &amp")"},
                      Escaped{R"(back\slash %3C)", R"(back\slash %3C)", R"("back\\slash %3C")"},
                      Escaped{std::string("nul\0tab\tdel\x7f", 12), "nul\uFFFDtab\uFFFDdel\uFFFD",
                              R"("nul\u0000tab\u0009del\u007F")"},
                      // Valid UTF-8 is kept in HTML and written as escapes in JSON (U+1F47B as a pair).
                      Escaped{"Zo\u00eb \U0001F47B \u202e", "Zo\u00eb \U0001F47B \u202e",
                              R"("Zo\u00EB \uD83D\uDC7B \u202E")"},
                      // A stray continuation byte, a cut sequence, an overlong '/', a surrogate.
                      Escaped{"a\x80"
                              "b\xC3"
                              "c\xC0\xAF"
                              "d\xED\xA0\x80",
                              "a\uFFFDb\uFFFDc\uFFFD\uFFFDd\uFFFD\uFFFD\uFFFD",
                              R"("a\uFFFDb\uFFFDc\uFFFD\uFFFDd\uFFFD\uFFFD\uFFFD")"}));

TEST(PercentEncoding, FormDecodeUndoesItForEveryByte) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    std::string encoded, decoded;
    AppendPercentEncoded(encoded, all);
    EXPECT_EQ(
        encoded.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~%"),
        std::string::npos);
    ASSERT_TRUE(FormDecode(encoded, decoded));
    EXPECT_EQ(decoded, all);
}

TEST(PercentEncoding, FormDecodeTakesPlusAsBlankAndRefusesBrokenEscapes) {
    std::string decoded;
    EXPECT_TRUE(FormDecode("a+b%2Bc%3c", decoded));
    EXPECT_EQ(decoded, "a b+c<");
    for (const char* broken : {"%", "%4", "%zz", "a%4g"}) EXPECT_FALSE(FormDecode(broken, decoded)) << broken;
}

TEST(Grouping, CommasEveryThreeDigitsAcrossTheRange) {
    const std::pair<std::int64_t, std::string> cases[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {-1234567, "-1,234,567"},
        {std::numeric_limits<std::int64_t>::min(), "-9,223,372,036,854,775,808"}};
    for (const auto& [value, text] : cases) {
        std::string out;
        AppendGrouped(out, value);
        EXPECT_EQ(out, text);
    }
}

TEST(UtcTimes, IsoDatesWithinFourDigitYears) {
    const std::pair<std::int64_t, const char*> cases[] = {{0, "1970-01-01T00:00:00Z"},
                                                          {1700000000, "2023-11-14T22:13:20Z"},
                                                          {-1, "1969-12-31T23:59:59Z"},
                                                          {951782400, "2000-02-29T00:00:00Z"},
                                                          {-62135596800, "0001-01-01T00:00:00Z"},
                                                          {253402300799, "9999-12-31T23:59:59Z"}};
    for (const auto& [unixTime, text] : cases) {
        const std::optional<UtcTime> time = FormatUtc(unixTime);
        ASSERT_TRUE(time) << unixTime;
        EXPECT_EQ(time->dateTime, text);
        EXPECT_EQ(time->date, std::string(text, 10));
    }
    for (const std::int64_t outside :
         {std::int64_t{-62135596801}, std::int64_t{253402300800}, std::numeric_limits<std::int64_t>::min(),
          std::numeric_limits<std::int64_t>::max()}) {
        EXPECT_FALSE(FormatUtc(outside)) << outside;
    }
}

}  // namespace
