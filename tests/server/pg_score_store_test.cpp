// What only the PostgreSQL store has: a database shared by processes that
// start together, one that belongs to someone else, one that cannot be
// reached or stops answering, and the import of an SQLite file.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "server/admin/score_import.h"
#include "server/store/table_cache.h"
#include "tests/server/test_database.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

ScoreRow Row(std::string name, std::int32_t munchets) {
    return {Submission{std::move(name), 100 * munchets, 0, munchets, 0}, 1700000000, "198.51.100.4"};
}

std::string Table(ScoreStore& store) {
    std::vector<TableRow> rows;
    std::string error;
    EXPECT_TRUE(store.ReadTop(rows, error)) << error;
    return FormatTable(rows);
}

struct PostgresStoreTest : testing::Test {
    TestDatabase db{StoreKind::postgresql};
    ThrowAwayPostgres* server = nullptr;

    void SetUp() override {
        ASSERT_EQ(db.Problem(), "");
        std::string error;
        server = SharedPostgres(error);
    }

    PgSettings Settings(std::string uri) const {
        PgSettings settings;
        settings.uri = std::move(uri);
        settings.timeout = 1s;
        settings.firstRetry = 50ms;
        settings.lastRetry = 200ms;
        return settings;
    }

    // What a refused open must leave exactly as it was.
    SqlRows Layout() const {
        return db.Query(
            "SELECT c.relname, coalesce(string_agg(a.attname || ' ' || format_type(a.atttypid, a.atttypmod), "
            "', '"
            " ORDER BY a.attnum), '') FROM pg_class c LEFT JOIN pg_attribute a ON a.attrelid = c.oid AND "
            "a.attnum > 0"
            " WHERE c.relnamespace = 'public'::regnamespace GROUP BY c.relname ORDER BY c.relname");
    }
};

TEST_F(PostgresStoreTest, ProcessesStartingTogetherCreateTheTablesOnce) {
    constexpr int processes = 8;
    std::vector<std::unique_ptr<PgScoreStore>> stores;
    std::vector<std::string> errors(processes);
    std::vector<std::thread> threads;
    std::atomic<int> opened{0};
    for (int i = 0; i < processes; ++i) stores.push_back(std::make_unique<PgScoreStore>());
    for (int i = 0; i < processes; ++i) {
        threads.emplace_back(
            [&, i] { opened += stores[i]->Open(Settings(db.Location()), errors[i]) ? 1 : 0; });
    }
    for (std::thread& t : threads) t.join();
    ASSERT_EQ(opened, processes) << testing::PrintToString(errors);
    for (int i = 0; i < processes; ++i) {
        std::string error;
        const ScoreRow row = Row("p" + std::to_string(i), 5);
        EXPECT_TRUE(stores[i]->AddBatch({&row, 1}, error)) << error;
    }
    // Equal scores from different processes rank in the order they arrived.
    EXPECT_EQ(Table(*stores.back()), "p0;500\np1;500\np2;500\np3;500\np4;500\np5;500\np6;500\np7;500\n");
    // One change counted for each process's add, none for the set-up.
    EXPECT_EQ(db.Query("SELECT key, value FROM munchet_meta WHERE key <> 'ticket_key' ORDER BY key"),
              (SqlRows{{"changes", "8"}, {"schema_version", "4"}}));
    // And on one ticket key, whichever made it.
    const SqlRows kept = db.Query("SELECT value FROM munchet_meta WHERE key = 'ticket_key'");
    for (auto& store : stores) {
        TicketKey key{};
        std::string error;
        ASSERT_TRUE(store->ReadTicketKey(key, error)) << error;
        EXPECT_EQ(SqlRows{{KeyToHex(key)}}, kept);
    }
}

TEST_F(PostgresStoreTest, BringsADatabaseOfTheReplayLayoutUpToDateInPlace) {
    ASSERT_EQ(
        db.Execute("CREATE TABLE scores (id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
                   " name TEXT NOT NULL, score BIGINT NOT NULL, level BIGINT NOT NULL,"
                   " munchets BIGINT NOT NULL, food BIGINT NOT NULL, time BIGINT NOT NULL,"
                   " client TEXT NOT NULL, verified BOOLEAN NOT NULL DEFAULT false);"
                   "CREATE TABLE replays (id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
                   " score_id BIGINT NOT NULL UNIQUE, digest TEXT NOT NULL UNIQUE, bytes BYTEA NOT NULL);"
                   "CREATE TABLE munchet_meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);"
                   "INSERT INTO munchet_meta VALUES ('schema_version', '2');"
                   "INSERT INTO scores (name, score, level, munchets, food, time, client, verified)"
                   " VALUES ('old', 100, 0, 1, 0, 0, 'x', true);"
                   "INSERT INTO replays (score_id, digest, bytes) VALUES (1, 'kept', ''), (7, 'orphan', '')"),
        "");
    PgScoreStore store;
    std::string error;
    ASSERT_TRUE(store.Open(Settings(db.Location()), error)) << error;
    EXPECT_EQ(db.Query("SELECT value FROM munchet_meta WHERE key = 'schema_version'"), SqlRows{{"4"}});
    EXPECT_EQ(db.Query("SELECT name, verified, players FROM scores"), (SqlRows{{"old", "t", "1"}}));
    EXPECT_EQ(db.Query("SELECT digest FROM replays"), SqlRows{{"kept"}});
    ASSERT_EQ(db.Execute("DELETE FROM scores"), "");
    EXPECT_EQ(db.Query("SELECT count(*) FROM replays"), SqlRows{{"0"}});
    TicketRecord record;
    EXPECT_TRUE(store.ReadTicket(1, record, error)) << error;
}

// Databases the store must refuse, each made by SQL run before it opens
// (after a first open that made the tables, when openFirst), with a part of
// the reason it gives.
struct PgRefusal {
    const char* name;
    bool openFirst;
    const char* sql;
    const char* reason;
};

void PrintTo(const PgRefusal& refusal, std::ostream* out) { *out << refusal.name; }

class RefusedDatabases : public PostgresStoreTest, public testing::WithParamInterface<PgRefusal> {};

TEST_P(RefusedDatabases, AreNeverUsedOrChanged) {
    const PgRefusal& refusal = GetParam();
    PgScoreStore store;
    std::string error;
    if (refusal.openFirst) {
        ASSERT_TRUE(store.Open(Settings(db.Location()), error)) << error;
        store.Close();
    }
    ASSERT_EQ(db.Execute(refusal.sql), "");
    const SqlRows before = Layout();
    EXPECT_FALSE(store.Open(Settings(db.Location()), error));
    EXPECT_NE(error.find(refusal.reason), std::string::npos) << error;
    EXPECT_EQ(Layout(), before);
    const ScoreRow row = Row("late", 1);
    EXPECT_FALSE(store.AddBatch({&row, 1}, error)) << "a refused store stays closed";
}

INSTANTIATE_TEST_SUITE_P(
    PostgresStoreTest, RefusedDatabases,
    testing::Values(
        PgRefusal{"unknown_version", true, "UPDATE munchet_meta SET value = '7'", "schema version 7"},
        PgRefusal{"another_layout", false,
                  "CREATE TABLE munchet_meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);"
                  "INSERT INTO munchet_meta VALUES ('schema_version', '1');"
                  "CREATE TABLE scores (player TEXT, points INTEGER)",
                  "has another layout (player text, points integer)"},
        PgRefusal{"another_program", false, "CREATE TABLE scores (id BIGINT, name TEXT)",
                  "belongs to another program"},
        PgRefusal{"table_dropped", true, "DROP TABLE scores CASCADE", "public.scores is missing"}),
    [](const testing::TestParamInfo<PgRefusal>& info) { return std::string(info.param.name); });

TEST_F(PostgresStoreTest, AnUnreachableDatabaseFailsWithinTheTimeOut) {
    // A listener that takes connections into its backlog and never answers,
    // as a hung server does.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent, 16), 0);
    ASSERT_EQ(::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string silentUri =
        "postgresql://munchet@127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x";
    const std::string closedUri =
        "postgresql://munchet@127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/x";

    for (const auto& [uri, reason] :
         {std::pair{silentUri, "no answer from the database within 1000 ms"},
          std::pair{closedUri, "Connection refused"},
          std::pair{server->Uri("nosuchdb"), "\"nosuchdb\" does not exist"},
          std::pair{std::string("postgresql://u:secret@[::1/x"), "not a valid URI"}}) {
        PgScoreStore store;
        std::string error;
        const auto start = Clock::now();
        EXPECT_FALSE(store.Open(Settings(uri), error)) << uri;
        EXPECT_LT(Clock::now() - start, 5s) << uri;
        EXPECT_NE(error.find(reason), std::string::npos) << error;
        EXPECT_EQ(error.find("secret"), std::string::npos) << error;
    }
    ::close(silent);
}

// Ways for the database to go away while the store is open, and to come back.
struct Outage {
    const char* name;
    std::function<void(ThrowAwayPostgres&)> down;
    std::function<bool(ThrowAwayPostgres&)> up;
    const char* reason;  // part of the message of a call made while it is away
};

void PrintTo(const Outage& outage, std::ostream* out) { *out << outage.name; }

class DatabaseOutages : public PostgresStoreTest, public testing::WithParamInterface<Outage> {};

TEST_P(DatabaseOutages, FailCallsPromptlyAndTheStoreRecoversByItself) {
    const Outage& outage = GetParam();
    PgScoreStore store;
    std::string error;
    ASSERT_TRUE(store.Open(Settings(db.Location()), error)) << error;
    const ScoreRow before = Row("before", 2);
    ASSERT_TRUE(store.AddBatch({&before, 1}, error)) << error;

    outage.down(*server);
    struct BringBack {
        const Outage& outage;
        ThrowAwayPostgres& server;
        ~BringBack() { outage.up(server); }  // also when an assertion below fails
    } bringBack{outage, *server};
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        const ScoreRow during = Row("during", 3);
        EXPECT_FALSE(store.AddBatch({&during, 1}, error));
        EXPECT_NE(error.find(outage.reason), std::string::npos) << error;
        std::vector<TableRow> rows;
        EXPECT_FALSE(store.ReadTop(rows, error));
        EXPECT_LT(Clock::now() - start, 5s) << "a call waits one time-out at most";
    }

    ASSERT_TRUE(outage.up(*server));
    bool stored = false;
    const ScoreRow after = Row("after", 1);
    for (const auto until = Clock::now() + 20s; !stored && Clock::now() < until;) {
        stored = store.AddBatch({&after, 1}, error);
        if (!stored) std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(stored) << error;
    EXPECT_EQ(Table(store), "before;200\nafter;100\n") << "only what was acknowledged is stored";
}

INSTANTIATE_TEST_SUITE_P(PostgresStoreTest, DatabaseOutages,
                         testing::Values(Outage{"frozen", [](ThrowAwayPostgres& s) { s.Freeze(); },
                                                [](ThrowAwayPostgres& s) {
                                                    s.Thaw();
                                                    return true;
                                                },
                                                "no answer from the database"},
                                         Outage{"restarted", [](ThrowAwayPostgres& s) { s.Halt(); },
                                                [](ThrowAwayPostgres& s) {
                                                    std::string error;
                                                    return s.Resume(error);
                                                },
                                                "Connection refused"}),
                         [](const testing::TestParamInfo<Outage>& info) {
                             return std::string(info.param.name);
                         });

// An SQLite file of the old server beside a new PostgreSQL database.
struct ImportTest : PostgresStoreTest {
    ScratchDir dir;
    std::string source = dir.File("old.db");
    PgScoreStore target;

    void SetUp() override {
        PostgresStoreTest::SetUp();
        std::string error;
        ASSERT_TRUE(target.Open(Settings(db.Location()), error)) << error;
    }

    void MakeSource(const std::vector<std::vector<ScoreRow>>& batches) {
        SqliteScoreStore old;
        std::string error;
        ASSERT_TRUE(old.Open(source, error)) << error;
        for (const std::vector<ScoreRow>& batch : batches) ASSERT_TRUE(old.AddBatch(batch, error)) << error;
    }
};

TEST_F(ImportTest, CopiesEveryRowWithItsIdSoTheOrderStays) {
    MakeSource(
        {{Row("tie1", 4), Row("gone", 9), Row("low", 1)}, {Row("tie2", 4)}, {Row("top", 8), Row("tie3", 4)}});
    ASSERT_EQ(ExecuteOutside(source, "DELETE FROM scores WHERE name = 'gone'"), "");  // a gap in the ids
    std::int64_t copied = 0;
    std::string error;
    ASSERT_TRUE(ImportSqliteScores(source, target, copied, error)) << error;
    EXPECT_EQ(copied, 5);
    const std::string everything =
        "SELECT id, name, score, level, munchets, food, time, client FROM scores"
        " ORDER BY id";
    EXPECT_EQ(db.Query(everything), QuerySqlite(source, everything));
    // A game stored later ranks after every imported one of its score.
    const ScoreRow later = Row("later", 4);
    ASSERT_TRUE(target.AddBatch({&later, 1}, error)) << error;
    EXPECT_EQ(Table(target), "top;800\ntie1;400\ntie2;400\ntie3;400\nlater;400\nlow;100\n");
    EXPECT_EQ(db.Query("SELECT id FROM scores WHERE name = 'later'"), (SqlRows{{"7"}}));
}

// Imports that must copy nothing, each set up by make, with a part of the reason.
struct ImportRefusal {
    const char* name;
    std::function<void(ImportTest&)> make;
    const char* reason;
};

void PrintTo(const ImportRefusal& refusal, std::ostream* out) { *out << refusal.name; }

class RefusedImports : public ImportTest, public testing::WithParamInterface<ImportRefusal> {};

TEST_P(RefusedImports, CopyNothing) {
    GetParam().make(*this);
    const std::int64_t rowsBefore = db.RowCount();
    std::int64_t copied = -1;
    std::string error;
    EXPECT_FALSE(ImportSqliteScores(source, target, copied, error));
    EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
    EXPECT_EQ(copied, 0);
    EXPECT_EQ(db.RowCount(), rowsBefore);
    // The store goes on working afterwards.
    const ScoreRow row = Row("next", 1);
    EXPECT_TRUE(target.AddBatch({&row, 1}, error)) << error;
}

INSTANTIATE_TEST_SUITE_P(
    PostgresStoreTest, RefusedImports,
    testing::Values(ImportRefusal{"target_not_empty",
                                  [](ImportTest& t) {
                                      t.MakeSource({{Row("old", 1)}});
                                      std::string error;
                                      const ScoreRow row = Row("new", 2);
                                      ASSERT_TRUE(t.target.AddBatch({&row, 1}, error)) << error;
                                  },
                                  "already holds 1 rows"},
                    ImportRefusal{"missing_file", [](ImportTest&) {}, "unable to open"},
                    ImportRefusal{"another_program",
                                  [](ImportTest& t) {
                                      ASSERT_EQ(
                                          ExecuteOutside(t.source, "CREATE TABLE invoices (id INTEGER)"), "");
                                  },
                                  "not a score database of munchet-scores (user_version 0)"},
                    ImportRefusal{"value_too_wide",
                                  [](ImportTest& t) {
                                      t.MakeSource({{Row("fine", 1), Row("edited", 2), Row("fine", 3)}});
                                      ASSERT_EQ(
                                          ExecuteOutside(
                                              t.source,
                                              "UPDATE scores SET food = 5000000000 WHERE name = 'edited'"),
                                          "");
                                  },
                                  "row 2 holds a value"}),
    [](const testing::TestParamInfo<ImportRefusal>& info) { return std::string(info.param.name); });

}  // namespace
