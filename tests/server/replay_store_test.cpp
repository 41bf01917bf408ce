// Storing replays beside their rows, on both stores: which row a replay
// joins, that a resend never makes a second row, and reading them back.
#include <gtest/gtest.h>

#include "tests/server/test_database.h"

namespace {

constexpr std::int64_t arrival = 1700000000;  // when the replay arrives

const Submission game{"Ada", 10300, 1, 3, 0};

ReplaySubmission Replay(std::string bytes, bool verified = true, std::string client = "10.0.0.1") {
    // Any distinct text serves as the digest here: the stores compare it, never compute it.
    return {{game, arrival, std::move(client)}, bytes, "digest of " + bytes, verified};
}

struct ReplayStoreTest : StoreOnEachKind {
    StoredReplay Store(const ReplaySubmission& replay) {
        StoredReplay stored;
        std::string error;
        EXPECT_TRUE(store->StoreReplay(replay, stored, error)) << error;
        return stored;
    }

    // Every row as "name score verified".
    SqlRows Rows() {
        return db.Query("SELECT name, score, CASE WHEN verified THEN 1 ELSE 0 END FROM scores ORDER BY id");
    }
};

MUNCHET_ON_BOTH_STORES(ReplayStoreTest);

// A row stored by add.php before the replay arrived, and whether the replay
// joins it or makes a row of its own.
struct Match {
    const char* name;
    Submission stored;
    const char* client;
    std::int64_t age;  // seconds between the row and the replay
    bool joins;
};

const Match matches[] = {
    {"same_game", game, "10.0.0.1", 30, true},
    {"at_the_window's_end", game, "10.0.0.1", replayMatchWindowSeconds, true},
    {"too_long_before", game, "10.0.0.1", replayMatchWindowSeconds + 1, false},
    {"other_client", game, "10.0.0.2", 30, false},
    {"other_name", {"Bob", 10300, 1, 3, 0}, "10.0.0.1", 30, false},
    {"other_counters", {"Ada", 10300, 1, 6, 100}, "10.0.0.1", 30, false},
};

TEST_P(ReplayStoreTest, JoinsOnlyTheRowOfTheSameGameFromTheSameClientWithinTheWindow) {
    for (const Match& m : matches) {
        SCOPED_TRACE(m.name);
        std::string error;
        ASSERT_EQ(db.Execute("DELETE FROM replays; DELETE FROM scores"), "");
        ASSERT_TRUE(store->Add(m.stored, arrival - m.age, m.client, error)) << error;
        const StoredReplay stored = Store(Replay(m.name));
        EXPECT_EQ(stored.placement,
                  m.joins ? StoredReplay::Placement::attached : StoredReplay::Placement::inserted);
        EXPECT_EQ(db.RowCount(), m.joins ? 1 : 2);
        EXPECT_EQ(Rows().back(), (std::vector<std::string>{"Ada", "10300", "1"}));
    }
}

TEST_P(ReplayStoreTest, OneGameNeverMakesTwoRows) {
    std::string error;
    ASSERT_TRUE(store->Add(game, arrival - 5, "10.0.0.1", error)) << error;
    const StoredReplay first = Store(Replay("first game"));
    const StoredReplay resent = Store(Replay("first game"));
    EXPECT_EQ(first.placement, StoredReplay::Placement::attached);
    EXPECT_EQ(resent.placement, StoredReplay::Placement::alreadyStored);
    EXPECT_EQ(resent.replayId, first.replayId);
    EXPECT_EQ(resent.scoreId, first.scoreId);
    EXPECT_TRUE(resent.verified);
    // A second game with the same counters finds that row taken by the first.
    EXPECT_EQ(Store(Replay("second game", false)).placement, StoredReplay::Placement::inserted);
    EXPECT_EQ(Rows(), (SqlRows{{"Ada", "10300", "1"}, {"Ada", "10300", "0"}}));
}

TEST_P(ReplayStoreTest, ServesTheBytesAndMarksTheRowsOnThePage) {
    const std::string bytes("MUNCH\0\xff\x80 bytes", 14);
    std::string error;
    ASSERT_TRUE(store->Add({"Plain", 100, 0, 1, 0}, arrival, "10.0.0.9", error)) << error;
    const StoredReplay stored = Store(Replay(bytes));
    ReplaySubmission twoPlayers = Replay("carried munchets", false, "10.0.0.3");
    twoPlayers.players = 2;
    const StoredReplay unproven = Store(twoPlayers);

    std::optional<std::string> read;
    ASSERT_TRUE(store->ReadReplay(stored.replayId, read, error)) << error;
    EXPECT_EQ(read, bytes);
    ASSERT_TRUE(store->ReadReplay(unproven.replayId + 100, read, error)) << error;
    EXPECT_EQ(read, std::nullopt);

    RankedPage page;
    ASSERT_TRUE(store->ReadRanked({"", 0, 25}, page, error)) << error;
    ASSERT_EQ(page.rows.size(), 3u);
    EXPECT_TRUE(page.rows[0].verified);
    EXPECT_EQ(page.rows[0].replayId, stored.replayId);
    EXPECT_FALSE(page.rows[1].verified);
    EXPECT_EQ(page.rows[1].replayId, unproven.replayId);
    EXPECT_EQ(page.rows[0].players, 1);
    EXPECT_EQ(page.rows[1].players, 2);
    EXPECT_FALSE(page.rows[2].verified);
    EXPECT_EQ(page.rows[2].replayId, std::nullopt);

    // A replay whose row an administrator deleted is gone with it, and
    // neither id is ever given again: the next game's row is not the cheat's.
    ASSERT_EQ(db.Execute("DELETE FROM scores WHERE id >= " + std::to_string(stored.scoreId)), "");
    ASSERT_TRUE(store->ReadReplay(stored.replayId, read, error)) << error;
    EXPECT_EQ(read, std::nullopt);
    EXPECT_EQ(db.Query("SELECT count(*) FROM replays"), SqlRows{{"0"}});
    const StoredReplay next = Store(Replay("next game"));
    EXPECT_EQ(next.scoreId, unproven.scoreId + 1);
    EXPECT_EQ(next.replayId, unproven.replayId + 1);
}

TEST_P(ReplayStoreTest, ATicketProvesOneRowEverAndKeepsItsFirstStart) {
    std::string error;
    TicketRecord record;
    ASSERT_TRUE(store->ReadTicket(77, record, error)) << error;
    EXPECT_FALSE(record.startedAtMs || record.used);
    ASSERT_TRUE(store->RecordTicketStart(77, 1000, error)) << error;
    ASSERT_TRUE(store->RecordTicketStart(77, 2000, error)) << error;
    ReplaySubmission first = Replay("ticketed game");
    first.ticketId = 77;
    EXPECT_EQ(Store(first).placement, StoredReplay::Placement::inserted);
    ASSERT_TRUE(store->ReadTicket(77, record, error)) << error;
    EXPECT_EQ(record.startedAtMs, 1000);
    EXPECT_TRUE(record.used);

    // The same ticket in other frames, under another name: nothing changes,
    // not even once its row is deleted.
    ReplaySubmission again = Replay("other frames");
    again.ticketId = 77;
    again.row.submission.name = "Eve";
    EXPECT_EQ(Store(again).placement, StoredReplay::Placement::ticketUsed);
    ASSERT_EQ(db.Execute("DELETE FROM scores"), "");
    EXPECT_EQ(Store(again).placement, StoredReplay::Placement::ticketUsed);
    EXPECT_EQ(db.RowCount(), 0);
}

TEST_P(ReplayStoreTest, ShowsOnlyVerifiedRowsWhenAskedTo) {
    std::string error;
    ASSERT_TRUE(store->Add({"Plain", 20100, 2, 1, 0}, arrival, "10.0.0.9", error)) << error;
    Store(Replay("proven"));
    ASSERT_TRUE(store->Add({"Ada", 100, 0, 1, 0}, arrival, "10.0.0.9", error)) << error;
    TestDatabase::Close(*store);
    store = db.Open(error, std::chrono::seconds(3), ShownRows::verifiedOnly);
    ASSERT_TRUE(store) << error;
    std::vector<TableRow> top;
    ASSERT_TRUE(store->ReadTop(top, error)) << error;
    EXPECT_EQ(top, (std::vector<TableRow>{{"Ada", 10300}}));
    for (const std::string name : {"", "Ada"}) {
        RankedPage page;
        ASSERT_TRUE(store->ReadRanked({name, 0, 25}, page, error)) << error;
        EXPECT_EQ(page.total, 1);
        ASSERT_EQ(page.rows.size(), 1u);
        EXPECT_EQ(page.rows[0].rank, 1);
        EXPECT_EQ(page.rows[0].score, 10300);
    }
}

}  // namespace
