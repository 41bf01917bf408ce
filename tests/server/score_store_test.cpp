#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <fstream>
#include <functional>
#include <random>
#include <thread>

#include "replay/replay_file.h"
#include "server/store/table_cache.h"
#include "tests/server/test_database.h"

namespace {

Submission Scored(std::string name, std::int32_t munchets) {
    // Level 0 and no food: the score is 100 per munchet.
    return Submission{std::move(name), 100 * munchets, 0, munchets, 0};
}

std::string Table(ScoreStore& store) {
    std::vector<TableRow> rows;
    std::string error;
    EXPECT_TRUE(store.ReadTop(rows, error)) << error;
    return FormatTable(rows);
}

void ExpectOutside(const std::string& path, const char* sql) { EXPECT_EQ(ExecuteOutside(path, sql), ""); }

// What the stores share, run on each.
struct ScoreStoreTest : StoreOnEachKind {
    void Add(const Submission& s, std::string_view client = "127.0.0.1") {
        std::string error;
        ASSERT_TRUE(store->Add(s, 1700000000, client, error)) << error;
    }
};

MUNCHET_ON_BOTH_STORES(ScoreStoreTest);

TEST_P(ScoreStoreTest, OrdersByScoreThenBySubmissionAndKeepsEveryRow) {
    EXPECT_EQ(Table(*store), "");
    Add(Scored("first200", 2));
    Add(Scored("solo500", 5));
    Add(Scored("second200", 2));
    Add(Scored("solo500", 5));  // same name again: a row of its own
    // Within one batch, equal scores keep the order they arrived in.
    const std::vector<ScoreRow> batch = {
        {Scored("third200", 2), 0, "x"}, {Scored("low", 1), 0, "x"}, {Scored("fourth200", 2), 0, "x"}};
    std::string error;
    ASSERT_TRUE(store->AddBatch(batch, error)) << error;
    EXPECT_EQ(
        Table(*store),
        "solo500;500\nsolo500;500\nfirst200;200\nsecond200;200\nthird200;200\nfourth200;200\nlow;100\n");
}

TEST_P(ScoreStoreTest, ServesOnlyTheBestHundred) {
    std::vector<int> munchets(150);
    for (int i = 0; i < 150; ++i) munchets[i] = i + 1;
    std::shuffle(munchets.begin(), munchets.end(), std::mt19937(7));
    for (const int m : munchets) Add(Scored("p" + std::to_string(m), m));
    EXPECT_EQ(db.RowCount(), 150);

    const std::vector<std::string> lines = Lines(Table(*store));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(tableRowLimit));
    for (int rank = 0; rank < tableRowLimit; ++rank) {
        const int m = 150 - rank;
        EXPECT_EQ(lines[rank], "p" + std::to_string(m) + ";" + std::to_string(100 * m));
    }
}

TEST_P(ScoreStoreTest, SeesChangesMadeByAnotherConnection) {
    Add(Scored("kept", 3));
    Add(Scored("cheat", 9));
    EXPECT_EQ(Table(*store), "cheat;900\nkept;300\n");
    EXPECT_EQ(db.Execute("DELETE FROM scores WHERE name = 'cheat'"), "");
    EXPECT_EQ(Table(*store), "kept;300\n");
    // A hand-edited name must not break the line format.
    EXPECT_EQ(db.Execute("INSERT INTO scores (name, score, level, munchets, food, time, client)"
                         " VALUES ('a;b\nc', 1000, 0, 10, 0, 0, 'admin')"),
              "");
    EXPECT_EQ(Table(*store), "a?b?c;1000\nkept;300\n");
}

TEST_P(ScoreStoreTest, KeepsRowsAcrossReopeningWithTheirDetails) {
    Add(Submission{"ab c", 30249, 2, 3, 17}, "203.0.113.9");
    TestDatabase::Close(*store);
    std::string error;
    store = db.Open(error);
    ASSERT_TRUE(store) << error;
    EXPECT_EQ(Table(*store), "ab c;30249\n");
    EXPECT_EQ(db.Query("SELECT name, score, level, munchets, food, time, client FROM scores"),
              (SqlRows{{"ab c", "30249", "2", "3", "17", "1700000000", "203.0.113.9"}}));
}

TEST_P(ScoreStoreTest, ReportsFailuresInsteadOfPretending) {
    TestDatabase::Close(*store);
    std::string error;
    std::vector<TableRow> rows;
    EXPECT_FALSE(store->Add(Scored("late", 1), 0, "x", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(store->ReadTop(rows, error));
    RankedPage page;
    EXPECT_FALSE(store->ReadRanked({}, page, error));
    std::string stamp;
    EXPECT_FALSE(store->ReadChangeStamp(stamp, error));
}

TEST_P(ScoreStoreTest, ABatchIsStoredWholeOrNotAtAll) {
    // An administrator's trigger makes one row of the batch fail.
    EXPECT_EQ(db.Execute(
                  GetParam() == StoreKind::sqlite
                      ? "CREATE TRIGGER no_poison BEFORE INSERT ON scores WHEN NEW.name = 'poison'"
                        " BEGIN SELECT RAISE(ABORT, 'poisoned'); END"
                      : "CREATE FUNCTION no_poison() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
                        " IF NEW.name = 'poison' THEN RAISE EXCEPTION 'poisoned'; END IF; RETURN NEW; END $$;"
                        "CREATE TRIGGER no_poison BEFORE INSERT ON scores"
                        " FOR EACH ROW EXECUTE FUNCTION no_poison()"),
              "");
    const std::vector<ScoreRow> poisoned = {
        {Scored("a", 1), 0, "x"}, {Scored("poison", 2), 0, "x"}, {Scored("b", 3), 0, "x"}};
    std::string error;
    EXPECT_FALSE(store->AddBatch(poisoned, error));
    EXPECT_NE(error.find("poisoned"), std::string::npos) << error;
    EXPECT_EQ(db.RowCount(), 0);
    // The store is not left inside a transaction: the next batch commits.
    const std::vector<ScoreRow> clean = {poisoned[0], poisoned[2]};
    EXPECT_TRUE(store->AddBatch(clean, error)) << error;
    EXPECT_EQ(Table(*store), "b;300\na;100\n");
}

// A page of the table as "rank name score" lines.
std::vector<std::string> Ranked(ScoreStore& store, const RankedQuery& query, std::int64_t* total = nullptr) {
    RankedPage page;
    std::string error;
    EXPECT_TRUE(store.ReadRanked(query, page, error)) << error;
    if (total) *total = page.total;
    std::vector<std::string> lines;
    for (const RankedRow& row : page.rows)
        lines.push_back(std::to_string(row.rank) + " " + row.name + " " + std::to_string(row.score));
    return lines;
}

struct RankedCase {
    RankedQuery query;
    std::int64_t total;
    std::vector<std::string> rows;
};

TEST_P(ScoreStoreTest, ReadsPagesAndNamesWithTheirRanksInTheWholeTable) {
    for (const auto& [name, munchets] : std::vector<std::pair<std::string, int>>{
             {"a", 3}, {"b", 5}, {"a", 5}, {"d", 3}, {"c", 1}, {"a", 3}, {"b", 2}})
        Add(Scored(name, munchets));
    const std::vector<std::string> all = {"1 b 500", "2 a 500", "3 a 300", "4 d 300",
                                          "5 a 300", "6 b 200", "7 c 100"};
    const RankedCase cases[] = {
        {{"", 0, 25}, 7, all},
        {{"", 2, 3}, 7, {"3 a 300", "4 d 300", "5 a 300"}},
        {{"", 7, 25}, 7, {}},
        {{"", 0, 0}, 7, {}},
        // Another name's row of the same score lies between two of these.
        {{"a", 0, 25}, 3, {"2 a 500", "3 a 300", "5 a 300"}},
        {{"a", 1, 1}, 3, {"3 a 300"}},
        {{"a", 2, 25}, 3, {"5 a 300"}},
        {{"b", 0, 25}, 2, {"1 b 500", "6 b 200"}},
        // Exact bytes: another case or a trailing blank is another name.
        {{"A", 0, 25}, 0, {}},
        {{"a ", 0, 25}, 0, {}},
        {{std::string("a\0", 2), 0, 25}, 0, {}},
    };
    for (const RankedCase& c : cases) {
        std::int64_t total = -1;
        EXPECT_EQ(Ranked(*store, c.query, &total), c.rows) << c.query.name << " " << c.query.offset;
        EXPECT_EQ(total, c.total) << c.query.name << " " << c.query.offset;
    }

    // Every field as stored, and a change made outside seen at once.
    Add(Submission{"ab c", 30249, 2, 3, 17}, "203.0.113.9");
    RankedPage page;
    std::string error;
    ASSERT_TRUE(store->ReadRanked({"ab c", 0, 25}, page, error)) << error;
    EXPECT_EQ(page.rows, (std::vector<RankedRow>{{1, "ab c", 30249, 2, 3, 17, 1700000000, false, {}}}));
    EXPECT_EQ(Ranked(*store, {"a", 0, 25}), (std::vector<std::string>{"3 a 500", "4 a 300", "6 a 300"}));
    EXPECT_EQ(db.Execute("DELETE FROM scores WHERE name = 'd'"), "");
    EXPECT_EQ(Ranked(*store, {"a", 0, 25}), (std::vector<std::string>{"3 a 500", "4 a 300", "5 a 300"}));
}

TEST_P(ScoreStoreTest, ReadsRowsWrittenByHandAsTheyAre) {
    // A score beyond 32 bits ranks by its true value and shows the nearest
    // value the page can hold, never a wrapped one.
    EXPECT_EQ(db.Execute("INSERT INTO scores (name, score, level, munchets, food, time, client) VALUES"
                         " ('big', 1000000000000, -5, 3000000000, -3000000000, -1, 'admin'),"
                         " ('low', 7, 0, 0, 0, 0, 'admin')"),
              "");
    RankedPage page;
    std::string error;
    ASSERT_TRUE(store->ReadRanked({}, page, error)) << error;
    ASSERT_EQ(page.rows.size(), 2u);
    EXPECT_EQ(page.rows[0], (RankedRow{1, "big", INT32_MAX, -5, INT32_MAX, INT32_MIN, -1, false, {}}));
    EXPECT_EQ(page.rows[1].name, "low");
    ASSERT_TRUE(store->ReadRanked({"low", 0, 25}, page, error)) << error;
    EXPECT_EQ(page.rows.at(0).rank, 2);
}

TEST_P(ScoreStoreTest, PageReadsFromManyThreadsSeeWholeCommits) {
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::atomic<int> torn{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&] {
            while (!done) {
                RankedPage page;
                std::string error;
                if (!store->ReadRanked({"t", 0, 25}, page, error)) {
                    ++torn;
                    continue;
                }
                ++reads;
                // Batches of 5: the count, the rows and their ranks come from one snapshot.
                const std::size_t expected = static_cast<std::size_t>(std::min<std::int64_t>(page.total, 25));
                if (page.total % 5 != 0 || page.rows.size() != expected) ++torn;
                for (std::size_t i = 0; i < page.rows.size(); ++i)
                    if (page.rows[i].rank != static_cast<std::int64_t>(i) + 1) ++torn;
            }
        });
    }
    for (int batch = 0; batch < 40; ++batch) {
        std::vector<ScoreRow> rows;
        for (int i = 0; i < 5; ++i) rows.push_back({Scored("t", batch * 5 + i + 1), 0, "x"});
        std::string error;
        ASSERT_TRUE(store->AddBatch(rows, error)) << error;
    }
    done = true;
    for (std::thread& t : readers) t.join();
    EXPECT_EQ(torn, 0);
    EXPECT_GT(reads, 0);
}

TEST_P(ScoreStoreTest, ChangeStampFollowsEveryChangeAndEveryRun) {
    const auto stamp = [this] {
        std::string text, error;
        EXPECT_TRUE(store->ReadChangeStamp(text, error)) << error;
        return text;
    };
    const std::string first = stamp();
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(stamp(), first) << "nothing changed";
    Add(Scored("ours", 1));
    const std::string afterAdd = stamp();
    EXPECT_NE(afterAdd, first);
    EXPECT_EQ(db.Execute("UPDATE scores SET name = 'renamed'"), "");
    const std::string afterOutside = stamp();
    EXPECT_NE(afterOutside, afterAdd);
    // A restart must not repeat a stamp.
    TestDatabase::Close(*store);
    std::string error;
    store = db.Open(error);
    ASSERT_TRUE(store) << error;
    const std::string reopened = stamp();
    for (const std::string& earlier : {first, afterAdd}) EXPECT_NE(reopened, earlier);
}

// What only the SQLite file has.
struct SqliteStoreTest : testing::Test {
    ScratchDir dir;
    std::string path = dir.File("scores.db");
    SqliteScoreStore store;
};

TEST_F(SqliteStoreTest, KeepsTheFileInWalMode) {
    std::string error;
    ASSERT_TRUE(store.Open(path, error)) << error;
    EXPECT_EQ(store.RowCount(), 0);
    store.Close();
    EXPECT_EQ(store.RowCount(), -1);
    // The journal mode is stored in the file: every later connection uses WAL.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &statement, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), "wal");
    sqlite3_finalize(statement);
    sqlite3_close(db);
}

// Files the store must refuse to open, each with a part of the reason it gives.
struct Refusal {
    const char* name;
    std::function<void(const std::string& path)> make;
    const char* reason;
    const char* file = "scores.db";  // under the scratch directory
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

class RefusedFiles : public SqliteStoreTest, public testing::WithParamInterface<Refusal> {};

TEST_P(RefusedFiles, AreNeverOpenedOrWrittenTo) {
    const Refusal& refusal = GetParam();
    const std::string other = dir.File(refusal.name) + "/" + refusal.file;
    std::filesystem::create_directory(dir.File(refusal.name));
    refusal.make(other);
    const std::string before = ReadFile(other);
    std::string error;
    EXPECT_FALSE(store.Open(other, error));
    EXPECT_NE(error.find(refusal.reason), std::string::npos) << error;
    EXPECT_TRUE(ReadFile(other) == before) << "the refused file was changed";
}

INSTANTIATE_TEST_SUITE_P(
    SqliteStoreTest, RefusedFiles,
    testing::Values(
        Refusal{"unknown_version", [](const std::string& p) { ExpectOutside(p, "PRAGMA user_version = 7"); },
                "user_version 7"},
        Refusal{"another_program",
                [](const std::string& p) { ExpectOutside(p, "CREATE TABLE users (id INTEGER, mail TEXT)"); },
                "another program (users)"},
        Refusal{"not_ours_either",
                [](const std::string& p) {
                    ExpectOutside(p, "CREATE TABLE scores (player TEXT, points INTEGER)");
                },
                "another program (scores)"},
        Refusal{"ours_plus_more",
                [](const std::string& p) {
                    SqliteScoreStore ours;
                    std::string error;
                    ASSERT_TRUE(ours.Open(p, error)) << error;
                    ours.Close();
                    ExpectOutside(p, "CREATE TABLE notes (text TEXT)");
                },
                "besides ours (notes)"},
        Refusal{"corrupt", MakeCorruptScoreDatabase, "quick_check"},
        Refusal{"garbage", [](const std::string& p) { std::ofstream(p) << std::string(4096, 'x'); },
                "not a database"},
        Refusal{"missing_dir", [](const std::string&) {}, "cannot open", "no/such/dir/scores.db"}),
    [](const testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST_F(SqliteStoreTest, KeepsANulByteInAName) {
    std::string error;
    ASSERT_TRUE(store.Open(path, error)) << error;
    ExpectOutside(path,
                  "INSERT INTO scores (name, score, level, munchets, food, time, client)"
                  " VALUES ('a' || char(0) || 'b', 100, 0, 1, 0, 0, 'admin')");
    RankedPage page;
    ASSERT_TRUE(store.ReadRanked({std::string("a\0b", 3), 0, 25}, page, error)) << error;
    EXPECT_EQ(page.total, 1);
    ASSERT_EQ(page.rows.size(), 1u);
    EXPECT_EQ(page.rows[0].name, std::string("a\0b", 3));
}

TEST_F(SqliteStoreTest, BringsAFileOfTheEarlierLayoutUpToDateInPlaceKeepingItsRows) {
    const std::string older = dir.File("older.db");
    ExpectOutside(older,
                  "CREATE TABLE scores (id INTEGER PRIMARY KEY, name TEXT NOT NULL, score INTEGER NOT NULL,"
                  " level INTEGER NOT NULL, munchets INTEGER NOT NULL, food INTEGER NOT NULL,"
                  " time INTEGER NOT NULL, client TEXT NOT NULL);"
                  "CREATE INDEX scores_rank ON scores (score DESC, id ASC); PRAGMA user_version = 1;"
                  "INSERT INTO scores (name, score, level, munchets, food, time, client)"
                  " VALUES ('old', 100, 0, 1, 0, 0, 'x')");
    for (int run = 0; run < 2; ++run) {
        std::string error;
        ASSERT_TRUE(store.Open(older, error)) << error;
        EXPECT_EQ(Ranked(store, {"old", 0, 25}), std::vector<std::string>{"1 old 100"});
        store.Close();
    }
    EXPECT_EQ(
        QuerySqlite(older, "SELECT name FROM sqlite_master WHERE name NOT LIKE 'sqlite_%' ORDER BY name"),
        (SqlRows{{"audit_log"},
                 {"bans"},
                 {"hidden_scores"},
                 {"hidden_scores_ban"},
                 {"replays"},
                 {"scores"},
                 {"scores_name"},
                 {"scores_rank"},
                 {"scores_take_replays"},
                 {"scores_time"},
                 {"scores_verified"},
                 {"tickets"}}));
    EXPECT_EQ(QuerySqlite(older, "SELECT name, verified, players FROM scores"), (SqlRows{{"old", "0", "1"}}));
    EXPECT_EQ(QuerySqlite(older, "PRAGMA user_version"), SqlRows{{"4"}});
}

// A replay file of a game under name with score 100, as an SQL blob literal.
std::string ReplayBlob(const std::string& name) {
    Replay replay;
    replay.summary.name = name;
    replay.summary.counters = {100, 0, 1, 0};
    replay.frames.resize(1);
    std::string blob = "X'";
    for (const unsigned char byte : WriteReplay(replay)) {
        static constexpr char digits[] = "0123456789abcdef";
        blob += digits[byte >> 4];
        blob += digits[byte & 15];
    }
    return blob + "'";
}

TEST_F(SqliteStoreTest, GivesNoIdTwiceAfterMigratingAndDropsReplaysLeftOnAnotherRow) {
    // Before ids lasted: "cheater" was deleted and "next" was given its id,
    // with the cheat's replay still pointing at it; row 9's replay is an orphan.
    const std::string older = dir.File("older.db");
    ExpectOutside(older,
                  ("CREATE TABLE scores (id INTEGER PRIMARY KEY, name TEXT NOT NULL, score INTEGER NOT NULL,"
                   " level INTEGER NOT NULL, munchets INTEGER NOT NULL, food INTEGER NOT NULL,"
                   " time INTEGER NOT NULL, client TEXT NOT NULL, verified INTEGER NOT NULL DEFAULT 0);"
                   "CREATE TABLE replays (id INTEGER PRIMARY KEY, score_id INTEGER NOT NULL UNIQUE,"
                   " digest TEXT NOT NULL UNIQUE, bytes BLOB NOT NULL); PRAGMA user_version = 2;"
                   "INSERT INTO scores VALUES (1, 'next', 100, 0, 1, 0, 0, 'x', 1), (2, 'kept', 100, 0, 1, "
                   "0, 0, 'x', 1);"
                   "INSERT INTO replays VALUES (1, 1, 'a', " +
                   ReplayBlob("cheater") + "), (2, 2, 'b', " + ReplayBlob("kept") + "), (3, 9, 'c', " +
                   ReplayBlob("gone") + ")")
                      .c_str());
    std::string error;
    ASSERT_TRUE(store.Open(older, error)) << error;
    EXPECT_EQ(QuerySqlite(older,
                          "SELECT s.name, s.verified, r.id FROM scores s LEFT JOIN replays r"
                          " ON r.score_id = s.id ORDER BY s.id"),
              (SqlRows{{"next", "0", ""}, {"kept", "1", "2"}}));
    ExpectOutside(older, "DELETE FROM scores WHERE id = 2");
    ASSERT_TRUE(store.Add({"new", 100, 0, 1, 0}, 0, "x", error)) << error;
    EXPECT_EQ(QuerySqlite(older, "SELECT id, name FROM scores ORDER BY id"),
              (SqlRows{{"1", "next"}, {"3", "new"}}));
    EXPECT_EQ(QuerySqlite(older, "SELECT count(*) FROM replays"), SqlRows{{"0"}});
}

TEST_F(SqliteStoreTest, ShortWriteLockByAnotherProcessOnlyDelaysAnAdd) {
    // An administrator's transaction holds the write lock for a moment; the
    // busy time-out waits for it instead of failing the submission.
    std::string error;
    ASSERT_TRUE(store.Open(path, error)) << error;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread release([db] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    });
    EXPECT_TRUE(store.Add(Scored("waited", 4), 0, "x", error)) << error;
    release.join();
    sqlite3_close(db);
    EXPECT_EQ(Table(store), "waited;400\n");
}

}  // namespace
