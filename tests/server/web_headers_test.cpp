#include "server/web/web_headers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <regex>
#include <set>

#include "server/web/web_style.h"

namespace {

TEST(WebEtag, OneTagPerStampKindAndQuery) {
    const std::vector<std::string> tags = {
        WebEtag("a.1", WebContent::page, {1, ""}),      WebEtag("a.2", WebContent::page, {1, ""}),
        WebEtag("b.1", WebContent::page, {1, ""}),      WebEtag("a.1", WebContent::json, {1, ""}),
        WebEtag("a.1", WebContent::page, {2, ""}),      WebEtag("a.1", WebContent::page, {1, "a"}),
        WebEtag("a.1", WebContent::page, {11, ""}),     WebEtag("a.1", WebContent::page, {1, "1a"}),
        WebEtag("\" \r\n,", WebContent::page, {1, ""}), StyleEtag()};
    EXPECT_EQ(std::set<std::string>(tags.begin(), tags.end()).size(), tags.size());
    EXPECT_EQ(tags[0], WebEtag("a.1", WebContent::page, {1, ""}));
    for (const std::string& tag : tags) {
        // A strong tag: quoted, nothing a header could choke on, whatever the stamp holds.
        EXPECT_TRUE(std::regex_match(tag, std::regex(R"("[0-9a-z-]+")"))) << tag;
    }
}

TEST(EtagMatches, ReadsIfNoneMatchLists) {
    const std::string tag = WebEtag("s.7", WebContent::page, {3, "x"});
    const std::string other = WebEtag("s.8", WebContent::page, {3, "x"});
    const std::map<std::string, bool> cases = {
        {tag, true},
        {"W/" + tag, true},
        {other + ", " + tag, true},
        {" \t" + other + "," + "W/" + tag + " ", true},
        {"*", true},
        {" * ", true},
        {"", false},
        {other, false},
        {"\"" + tag, false},                     // a quote too many
        {tag.substr(0, tag.size() - 1), false},  // the closing quote missing
        {"garbage " + tag, false},               // malformed before the tag: stop there
        {"*, " + tag, false},                    // "*" stands alone or not at all
        {std::string(9000, ' ') + tag, false},   // over the length bound
    };
    for (const auto& [header, expected] : cases) EXPECT_EQ(EtagMatches(header, tag), expected) << header;
}

TEST(WebHeaders, EveryKindCarriesTheProtectiveSet) {
    for (const WebContent content : {WebContent::page, WebContent::json, WebContent::style}) {
        std::map<std::string_view, std::string_view> headers;
        for (const WebHeader& header : WebHeaders(content)) headers[header.name] = header.value;
        EXPECT_EQ(headers["X-Content-Type-Options"], "nosniff");
        EXPECT_NE(headers["Content-Security-Policy"].find("default-src 'none'"), std::string_view::npos);
        EXPECT_NE(headers["Cache-Control"].find("max-age="), std::string_view::npos);
        EXPECT_FALSE(headers["Content-Type"].empty());
        EXPECT_FALSE(headers["Referrer-Policy"].empty());
    }
}

// WCAG's contrast ratio of two "#rrggbb" colours.
double Contrast(const std::string& a, const std::string& b) {
    const auto luminance = [](const std::string& hex) {
        double sum = 0;
        const double weights[] = {0.2126, 0.7152, 0.0722};
        for (int i = 0; i < 3; ++i) {
            const double c = std::stoi(hex.substr(1 + 2 * i, 2), nullptr, 16) / 255.0;
            sum += weights[i] * (c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return sum;
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(StyleSheet, BothSchemesMeetAaContrast) {
    const std::string css(StyleSheet());
    const std::size_t dark = css.find("@media (prefers-color-scheme: dark)");
    ASSERT_NE(dark, std::string::npos);
    for (const std::string& scheme : {css.substr(0, dark), css.substr(dark)}) {
        std::map<std::string, std::string> colour;
        const std::regex property(R"(--([a-z]+): (#[0-9a-f]{6});)");
        for (std::sregex_iterator it(scheme.begin(), scheme.end(), property), end; it != end; ++it) {
            colour[(*it)[1]] = (*it)[2];
        }
        ASSERT_EQ(colour.size(), 7u) << scheme;
        for (const char* text : {"fg", "muted", "link", "mark"}) {
            for (const char* background : {"bg", "alt"}) {
                EXPECT_GE(Contrast(colour[text], colour[background]), 4.5) << text << " on " << background;
            }
        }
        EXPECT_GE(Contrast(colour["bg"], colour["link"]), 4.5) << "button text";
        EXPECT_GE(Contrast(colour["border"], colour["bg"]), 3.0) << "control edges";
    }
}

}  // namespace
