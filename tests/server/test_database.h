// One new, empty database for one test, of either store kind, so that the
// same tests run on both: the store opened on it, the --db argument of a
// server process, and SQL run beside the store as an administrator would.
// PostgreSQL databases live in the test program's one shared server.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "server/pg/pg_score_store.h"
#include "server/sqlite/sqlite_score_store.h"
#include "tests/server/postgres_environment.h"
#include "tests/server/server_test_support.h"

enum class StoreKind { sqlite, postgresql };

inline std::string KindName(StoreKind kind) { return kind == StoreKind::sqlite ? "sqlite" : "postgresql"; }
inline std::string KindName(const testing::TestParamInfo<StoreKind>& info) { return KindName(info.param); }
inline void PrintTo(StoreKind kind, std::ostream* out) { *out << KindName(kind); }

#define MUNCHET_ON_BOTH_STORES(suite)                                                            \
    INSTANTIATE_TEST_SUITE_P(, suite, testing::Values(StoreKind::sqlite, StoreKind::postgresql), \
                             [](const auto& info) { return KindName(info); })

using SqlRows = std::vector<std::vector<std::string>>;

// The rows of a query on the SQLite file at path, as text; NULL as "".
inline SqlRows QuerySqlite(const std::string& path, const std::string& sql) {
    SqlRows rows;
    sqlite3* db = nullptr;
    char* message = nullptr;
    if (sqlite3_open(path.c_str(), &db) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        sqlite3_exec(
            db, sql.c_str(),
            [](void* out, int columns, char** values, char**) {
                auto& row = static_cast<SqlRows*>(out)->emplace_back();
                for (int c = 0; c < columns; ++c) row.emplace_back(values[c] ? values[c] : "");
                return 0;
            },
            &rows, &message);
    }
    EXPECT_EQ(message, nullptr) << sql << ": " << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
    return rows;
}

class TestDatabase {
public:
    explicit TestDatabase(StoreKind kind) : kind(kind) {
        if (kind == StoreKind::sqlite) {
            location = dir.File("scores.db");
        } else if (ThrowAwayPostgres* server = SharedPostgres(problem)) {
            server->CreateDatabase(location, problem);
        }
    }

    // Empty when the database is ready, else why it is not.
    const std::string& Problem() const { return problem; }
    StoreKind Kind() const { return kind; }
    const std::string& Location() const { return location; }  // for --db

    std::unique_ptr<ScoreStore> Open(std::string& error,
                                     std::chrono::milliseconds timeout = std::chrono::seconds(3),
                                     ShownRows shown = ShownRows::all) const {
        if (kind == StoreKind::sqlite) {
            auto store = std::make_unique<SqliteScoreStore>();
            if (store->Open(location, error, shown)) return store;
        } else {
            auto store = std::make_unique<PgScoreStore>();
            PgSettings settings;
            settings.uri = location;
            settings.timeout = timeout;
            if (store->Open(settings, error, shown)) return store;
        }
        return nullptr;
    }

    static void Close(ScoreStore& store) {
        if (auto* sqlite = dynamic_cast<SqliteScoreStore*>(&store)) sqlite->Close();
        if (auto* postgres = dynamic_cast<PgScoreStore*>(&store)) postgres->Close();
    }

    // Runs sql beside the store; the error, empty on success.
    std::string Execute(const std::string& sql) const {
        return kind == StoreKind::sqlite ? ExecuteOutside(location, sql.c_str())
                                         : PgAdmin(location, sql).error;
    }

    // The rows of a query run beside the store, as text; NULL as "".
    SqlRows Query(const std::string& sql) const {
        if (kind == StoreKind::postgresql) {
            const PgRows result = PgAdmin(location, sql);
            EXPECT_EQ(result.error, "") << sql;
            return result.rows;
        }
        return QuerySqlite(location, sql);
    }

    std::int64_t RowCount() const {
        const SqlRows rows = Query("SELECT count(*) FROM scores");
        return rows.size() == 1 ? std::stoll(rows[0][0]) : -1;
    }

    ScratchDir dir;  // the SQLite file; room for logs and port files either way

private:
    StoreKind kind;
    std::string location;
    std::string problem;
};

// A new, empty store of the test's kind, open.
struct StoreOnEachKind : testing::TestWithParam<StoreKind> {
    TestDatabase db{GetParam()};
    std::unique_ptr<ScoreStore> store;

    void SetUp() override {
        ASSERT_EQ(db.Problem(), "");
        std::string error;
        store = db.Open(error);
        ASSERT_TRUE(store) << error;
    }
};
