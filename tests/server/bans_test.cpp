// The tests a submission meets before it is stored: bans by address block,
// and the blocklist's folding of look-alike names.
#include "server/store/bans.h"

#include <gtest/gtest.h>

#include "server/admin/admin_command.h"
#include "server/store/name_blocklist.h"

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

struct TimeCase {
    const char* text;
    std::int64_t expected;  // -1: refused
};

class AdminTime : public testing::TestWithParam<TimeCase> {};

// Times are read as UTC whatever the machine's zone; spans count from now.
TEST_P(AdminTime, ReadsDatesSpansAndSecondsAsUtc) {
    constexpr std::int64_t now = 1796601600;  // 2026-12-07T00:00:00Z
    std::int64_t read = -1;
    const bool ok = ParseExpiry(GetParam().text, now, read);
    EXPECT_EQ(ok ? read : -1, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(, AdminTime,
                         testing::Values(TimeCase{"2026-12-07", 1796601600},
                                         TimeCase{"2026-12-07T01:02", 1796605320},
                                         TimeCase{"2026-12-07 01:02:03", 1796605323}, TimeCase{"@5", 5},
                                         TimeCase{"90m", 1796607000}, TimeCase{"12h", 1796644800},
                                         TimeCase{"7d", 1797206400}, TimeCase{"4w", 1799020800},
                                         TimeCase{"2026-12-07T25:00", -1}, TimeCase{"2026-12-07x", -1},
                                         TimeCase{"0d", -1}, TimeCase{"d", -1}, TimeCase{"tomorrow", -1},
                                         TimeCase{"99999999999w", -1}));

}  // namespace
