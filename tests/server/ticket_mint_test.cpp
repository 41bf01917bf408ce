// Game tickets as the server deals and checks them, and the key they hang
// on: made once, and the same for every process that opens the scores.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <set>
#include <thread>

#include "server/sqlite/sqlite_tickets.h"
#include "tests/support/scratch_dir.h"

namespace {

constexpr std::int64_t now = 1800000000;

TicketMint Mint(std::uint8_t fill) {
    TicketKey key{};
    key.fill(fill);
    return TicketMint(key);
}

TEST(TicketMint, ChecksOnlyWhatItIssuedUnalteredAndUnexpired) {
    TicketMint mint = Mint(1);
    std::set<std::uint64_t> ids;
    for (int i = 0; i < 1000; ++i) {
        const GameTicket t = mint.Issue(now);
        EXPECT_TRUE(ids.insert(t.id).second);
        EXPECT_EQ(t.issuedAt, now);
        EXPECT_EQ(t.random.increment % 2, 1u);
        EXPECT_EQ(mint.Check(t, now), TicketFault::none);
        EXPECT_EQ(ParseTicket(FormatTicket(t)), t);
    }
    const GameTicket t = mint.Issue(now);
    EXPECT_EQ(mint.Check(t, now + ticketLifetimeSeconds), TicketFault::none);
    EXPECT_EQ(mint.Check(t, now + ticketLifetimeSeconds + 1), TicketFault::expired);
    EXPECT_EQ(Mint(2).Check(t, now), TicketFault::forged);
    const std::vector<std::function<void(GameTicket&)>> alterations = {
        [](GameTicket& a) { a.id += 1; },           [](GameTicket& a) { a.issuedAt -= 1; },
        [](GameTicket& a) { a.random.state ^= 1; }, [](GameTicket& a) { a.random.increment ^= 2; },
        [](GameTicket& a) { a.mac[31] ^= 1; },      [](GameTicket& a) { a.id |= std::uint64_t{1} << 63; },
    };
    for (const auto& alter : alterations) {
        GameTicket altered = t;
        alter(altered);
        EXPECT_EQ(mint.Check(altered, now), TicketFault::forged);
    }
}

TEST(TicketKeyFile, ProcessesStartingTogetherAgreeOnOneKeyOnlyTheOwnerReads) {
    ScratchDir dir;
    const std::string path = dir.File("scores.db.key");
    constexpr int openers = 8;
    std::vector<TicketKey> keys(openers);
    std::vector<std::string> errors(openers);
    std::vector<std::thread> threads;
    for (int i = 0; i < openers; ++i)
        threads.emplace_back(
            [&, i] { EXPECT_TRUE(LoadOrMakeKeyFile(path, keys[i], errors[i])) << errors[i]; });
    for (std::thread& t : threads) t.join();
    for (const TicketKey& key : keys) EXPECT_EQ(key, keys.front());
    EXPECT_NE(keys.front(), TicketKey{});
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // A damaged key is refused, never silently replaced.
    std::ofstream(path) << "not a key\n";
    TicketKey key{};
    std::string error;
    EXPECT_FALSE(LoadOrMakeKeyFile(path, key, error));
    EXPECT_NE(error.find("holds no ticket key"), std::string::npos) << error;
}

}  // namespace
