// The tests a submission meets before it is stored: bans by address block,
// and the blocklist's folding of look-alike names.
#include "server/bans.h"

#include <gtest/gtest.h>

#include "server/name_blocklist.h"

namespace {

struct PrefixCase {
    const char* written;
    const char* canonical;  // "" when refused
    const char* inside;
    const char* outside;
};

class BanPrefix : public testing::TestWithParam<PrefixCase> {};

TEST_P(BanPrefix, HoldsTheBlockItNamesAndNoMore) {
    const PrefixCase& c = GetParam();
    std::string error;
    const std::optional<std::string> value = CanonicalBanValue(BanKind::prefix, c.written, error);
    if (*c.canonical == '\0') {
        EXPECT_FALSE(value);
        EXPECT_NE(error, "");
        return;
    }
    ASSERT_TRUE(value) << error;
    EXPECT_EQ(*value, c.canonical);
    const Ban ban{1, BanKind::prefix, *value, "r", 0, 100, std::nullopt};
    EXPECT_TRUE(BanCovers(ban, "ANY", c.inside, 99));
    EXPECT_FALSE(BanCovers(ban, "ANY", c.inside, 100));  // expired
    EXPECT_FALSE(BanCovers(ban, "ANY", c.outside, 99));
}

INSTANTIATE_TEST_SUITE_P(
    , BanPrefix,
    testing::Values(PrefixCase{"203.0.113.77/24", "203.0.113.0/24", "203.0.113.5", "203.0.114.5"},
                    PrefixCase{"10.0.0.0/9", "10.0.0.0/9", "10.127.255.255", "10.128.0.0"},
                    PrefixCase{"2001:db8:ab::1/48", "2001:db8:ab::/48", "2001:db8:ab:ff::9",
                               "2001:db8:ac::1"},
                    PrefixCase{"0.0.0.0/0", "0.0.0.0/0", "192.0.2.1", "2001:db8::1"},
                    PrefixCase{"203.0.113.0/33", "", "", ""}, PrefixCase{"203.0.113.0", "", "", ""},
                    PrefixCase{"host/8", "", "", ""}));

struct FoldCase {
    const char* name;
    bool blocked;
};

class Blocklist : public testing::TestWithParam<FoldCase> {};

TEST_P(Blocklist, FoldsCaseLookAlikesAndSeparators) {
    const NameBlocklist list({"badword", "ass"});
    EXPECT_EQ(list.Blocks(GetParam().name), GetParam().blocked);
}

INSTANTIATE_TEST_SUITE_P(, Blocklist,
                         testing::Values(FoldCase{"BADWORD", true}, FoldCase{"x B4D-W0RD x", true},
                                         FoldCase{"b.@.d.w.0.r.d", true}, FoldCase{"A$$", true},
                                         FoldCase{"BAD", false}, FoldCase{"WORDBAD", false},
                                         FoldCase{"ASH", false}));

}  // namespace
