#include "server/score_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <thread>

#include "tests/server/server_test_support.h"

namespace {

Submission Scored(std::string name, std::int32_t munchets) {
    // Level 0 and no food: the score is 100 per munchet.
    return Submission{std::move(name), 100 * munchets, 0, munchets, 0};
}

std::string Table(ScoreStore& store) {
    std::string text;
    std::string error;
    EXPECT_TRUE(store.TableText(text, error)) << error;
    return text;
}

// Runs SQL through a connection of its own, as an administrator's sqlite3 shell would.
void ExecuteOutside(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

struct ScoreStoreTest : testing::Test {
    ScratchDir dir;
    std::string path = dir.File("scores.db");
    ScoreStore store;

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(store.Open(path, error)) << error;
    }

    void Add(const Submission& s, std::string_view client = "127.0.0.1") {
        std::string error;
        ASSERT_TRUE(store.Add(s, 1700000000, client, error)) << error;
    }
};

TEST_F(ScoreStoreTest, StartsEmpty) {
    EXPECT_EQ(Table(store), "");
    EXPECT_EQ(store.RowCount(), 0);
}

TEST_F(ScoreStoreTest, OrdersByScoreThenBySubmissionAndKeepsEveryRow) {
    Add(Scored("first200", 2));
    Add(Scored("solo500", 5));
    Add(Scored("second200", 2));
    Add(Scored("solo500", 5));  // same name again: a row of its own
    Add(Scored("third200", 2));
    Add(Scored("low", 1));
    EXPECT_EQ(Table(store), "solo500;500\nsolo500;500\nfirst200;200\nsecond200;200\nthird200;200\nlow;100\n");
}

TEST_F(ScoreStoreTest, ServesOnlyTheBestHundred) {
    std::vector<int> munchets(150);
    for (int i = 0; i < 150; ++i) munchets[i] = i + 1;
    std::shuffle(munchets.begin(), munchets.end(), std::mt19937(7));
    for (const int m : munchets) Add(Scored("p" + std::to_string(m), m));
    EXPECT_EQ(store.RowCount(), 150);

    const std::vector<std::string> lines = Lines(Table(store));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(tableRowLimit));
    for (int rank = 0; rank < tableRowLimit; ++rank) {
        const int m = 150 - rank;
        EXPECT_EQ(lines[rank], "p" + std::to_string(m) + ";" + std::to_string(100 * m));
    }
}

TEST_F(ScoreStoreTest, SeesChangesMadeByAnotherConnection) {
    Add(Scored("kept", 3));
    Add(Scored("cheat", 9));
    EXPECT_EQ(Table(store), "cheat;900\nkept;300\n");
    ExecuteOutside(path, "DELETE FROM scores WHERE name = 'cheat'");
    EXPECT_EQ(Table(store), "kept;300\n");
    // A hand-edited name must not break the line format.
    ExecuteOutside(path,
                   "INSERT INTO scores (name, score, level, munchets, food, time, client)"
                   " VALUES ('a;b' || char(10) || 'c', 1000, 0, 10, 0, 0, 'admin')");
    EXPECT_EQ(Table(store), "a?b?c;1000\nkept;300\n");
}

TEST_F(ScoreStoreTest, KeepsRowsAcrossReopeningWithTheirDetails) {
    Add(Submission{"ab c", 30249, 2, 3, 17}, "203.0.113.9");
    store.Close();
    std::string error;
    ASSERT_TRUE(store.Open(path, error)) << error;
    EXPECT_EQ(Table(store), "ab c;30249\n");

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT name, score, level, munchets, food, time, client FROM scores",
                                 -1, &statement, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), "ab c");
    EXPECT_EQ(sqlite3_column_int(statement, 1), 30249);
    EXPECT_EQ(sqlite3_column_int(statement, 2), 2);
    EXPECT_EQ(sqlite3_column_int(statement, 3), 3);
    EXPECT_EQ(sqlite3_column_int(statement, 4), 17);
    EXPECT_EQ(sqlite3_column_int64(statement, 5), 1700000000);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(statement, 6)), "203.0.113.9");
    sqlite3_finalize(statement);

    // The journal mode is stored in the file: every later connection uses WAL.
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &statement, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), "wal");
    sqlite3_finalize(statement);
    sqlite3_close(db);
}

TEST_F(ScoreStoreTest, ReportsFailuresInsteadOfPretending) {
    store.Close();
    std::string error;
    std::string text;
    EXPECT_FALSE(store.Add(Scored("late", 1), 0, "x", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(store.TableText(text, error));
    EXPECT_EQ(store.RowCount(), -1);

    // A file of some other layout is refused rather than written to.
    const std::string other = dir.File("other.db");
    ExecuteOutside(other, "PRAGMA user_version = 7");
    EXPECT_FALSE(store.Open(other, error));
    EXPECT_NE(error.find("user_version 7"), std::string::npos) << error;

    const std::string garbage = dir.File("garbage.db");
    std::ofstream(garbage) << std::string(4096, 'x');
    EXPECT_FALSE(store.Open(garbage, error));

    EXPECT_FALSE(store.Open(dir.File("no/such/dir/scores.db"), error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
}

TEST_F(ScoreStoreTest, ShortWriteLockByAnotherProcessOnlyDelaysAnAdd) {
    // An administrator's transaction holds the write lock for a moment; the
    // busy time-out waits for it instead of failing the submission.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread release([db] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    });
    Add(Scored("waited", 4));
    release.join();
    sqlite3_close(db);
    EXPECT_EQ(Table(store), "waited;400\n");
}

}  // namespace
