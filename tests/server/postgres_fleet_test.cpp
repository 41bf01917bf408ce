// Real munchet-scores processes on one PostgreSQL database: two of them
// under concurrent adds, the database going away and coming back under
// load, and the import from an old SQLite file on the command line.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <numeric>
#include <set>

#include "server/store/table_cache.h"
#include "tests/server/test_database.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Level 1, m munchets, no food: every row's score and munchets name it.
std::string Query(int m) {
    return "name=m" + std::to_string(m) + "&score=" + std::to_string(10000 + 100 * m) +
           "&level=1&munchets=" + std::to_string(m) + "&food=0";
}

struct PostgresFleetTest : testing::Test {
    TestDatabase db{StoreKind::postgresql};
    ThrowAwayPostgres* server = nullptr;
    std::vector<std::unique_ptr<ServerProcess>> processes;

    void SetUp() override {
        ASSERT_EQ(db.Problem(), "");
        std::string error;
        server = SharedPostgres(error);
    }

    // One more munchet-scores on the database; its port, or -1.
    int Launch() {
        const std::string portFile = db.dir.File("port" + std::to_string(processes.size()));
        processes.push_back(std::make_unique<ServerProcess>(
            MUNCHET_SCORES_BINARY,
            std::vector<std::string>{"--listen", "127.0.0.1:0", "--db", db.Location(), "--port-file",
                                     portFile, "--rate-limit", "0", "--db-timeout", "2"},
            db.dir.File("stderr.log")));
        return processes.back()->WaitForPort(portFile) ? processes.back()->port : -1;
    }

    // The table as the database orders it.
    std::string Expected() const {
        std::vector<TableRow> rows;
        for (const auto& row : db.Query("SELECT name, score FROM scores ORDER BY score DESC, id LIMIT 100"))
            rows.push_back({row[0], std::stoll(row[1])});
        return FormatTable(rows);
    }

    // Every acknowledged row is stored exactly once, and nothing else is.
    void ExpectStoredOnce(const std::set<int>& acknowledged, bool othersAllowed) const {
        std::multiset<int> stored;
        for (const auto& row : db.Query("SELECT munchets FROM scores")) stored.insert(std::stoi(row[0]));
        int missing = 0, twice = 0;
        for (const int m : acknowledged) {
            missing += stored.count(m) == 0 ? 1 : 0;
            twice += stored.count(m) > 1 ? 1 : 0;
        }
        EXPECT_EQ(missing, 0) << "of " << acknowledged.size() << " acknowledged";
        EXPECT_EQ(twice, 0);
        if (!othersAllowed) {
            EXPECT_EQ(stored.size(), acknowledged.size());
        }
    }
};

// Client threads that add rows until stopped, each on its own range of
// munchets, spreading them over the given ports; they keep what was answered.
struct AddingClients {
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::set<int> acknowledged;
    std::map<int, int> statuses;  // status: count
    std::vector<std::thread> threads;

    AddingClients(std::vector<int> ports, int clients, int addsEach) {
        for (int t = 0; t < clients; ++t) {
            threads.emplace_back([this, ports, t, addsEach] {
                for (int i = 1; i <= addsEach && !stop; ++i) {
                    const int m = t * 100000 + i;
                    const int status =
                        RawGet(ports[static_cast<std::size_t>(i) % ports.size()], AddTarget(Query(m))).status;
                    std::lock_guard lock(mutex);
                    ++statuses[status];
                    if (status == 200) acknowledged.insert(m);
                }
            });
        }
    }
    ~AddingClients() { Join(); }
    void Join() {
        stop = true;
        for (std::thread& t : threads)
            if (t.joinable()) t.join();
    }
    int Count(int status) {
        std::lock_guard lock(mutex);
        return statuses[status];
    }
};

TEST_F(PostgresFleetTest, TwoProcessesStoreEveryAddOnceAndServeOneTable) {
    const int a = Launch();
    const int b = Launch();
    ASSERT_GT(a, 0) << ReadFile(db.dir.File("stderr.log"));
    ASSERT_GT(b, 0) << ReadFile(db.dir.File("stderr.log"));
    {
        AddingClients clients({a, b}, 8, 60);
        for (std::thread& t : clients.threads) t.join();
        EXPECT_EQ(clients.statuses, (std::map<int, int>{{200, 480}}));
        ExpectStoredOnce(clients.acknowledged, false);
    }
    // Each process's table shows what the other stored within its refresh period.
    const std::string expected = Expected();
    ASSERT_EQ(Lines(expected).size(), 100u);
    const auto sameEverywhere = [&] {
        return RawGet(a, viewTarget).body == expected && RawGet(b, viewTarget).body == expected;
    };
    for (const auto until = Clock::now() + 3s; !sameEverywhere() && Clock::now() < until;)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(RawGet(a, viewTarget).body, expected);
    EXPECT_EQ(RawGet(b, viewTarget).body, expected);

    // A new best game acknowledged by one shows at the other within seconds.
    ASSERT_EQ(RawGet(a, AddTarget(Query(999999))).status, 200);
    const auto start = Clock::now();
    while (RawGet(b, viewTarget).body.find("m999999;") != 0 && Clock::now() - start < 5s)
        std::this_thread::sleep_for(20ms);
    EXPECT_LT(Clock::now() - start, 3s);
}

TEST_F(PostgresFleetTest, DatabaseGoneUnderLoadGives503sThenServiceResumes) {
    const int port = Launch();
    ASSERT_GT(port, 0) << ReadFile(db.dir.File("stderr.log"));
    AddingClients clients({port}, 4, 1000000);
    for (const auto until = Clock::now() + 10s; clients.Count(200) < 50 && Clock::now() < until;)
        std::this_thread::sleep_for(10ms);
    ASSERT_GE(clients.Count(200), 50);

    server->Halt();
    struct Restart {
        ThrowAwayPostgres& server;
        ~Restart() {
            std::string ignored;
            server.Resume(ignored);
        }
    } restartEvenOnFailure{*server};
    for (const auto until = Clock::now() + 10s; clients.Count(503) < 20 && Clock::now() < until;)
        std::this_thread::sleep_for(10ms);
    EXPECT_GE(clients.Count(503), 20);
    // The table is still served, from memory.
    const RawReply view = RawGet(port, viewTarget);
    EXPECT_EQ(view.status, 200);
    EXPECT_FALSE(view.body.empty());

    std::string error;
    ASSERT_TRUE(server->Resume(error)) << error;
    const int storedBefore = clients.Count(200);
    for (const auto until = Clock::now() + 20s;
         clients.Count(200) < storedBefore + 50 && Clock::now() < until;)
        std::this_thread::sleep_for(10ms);
    clients.Join();
    EXPECT_GE(clients.Count(200), storedBefore + 50) << "service resumed without a restart";
    int status = 0;
    EXPECT_EQ(waitpid(processes[0]->pid, &status, WNOHANG), 0) << "the server is still running";
    EXPECT_EQ(clients.Count(200) + clients.Count(503),
              std::accumulate(clients.statuses.begin(), clients.statuses.end(), 0,
                              [](int sum, const auto& s) { return sum + s.second; }))
        << "only 200 and 503, never a failed connection or a 500";
    // A 503 may come for a commit whose answer was lost although it was carried out, so rows beyond
    // the acknowledged ones may be stored; an acknowledged one is never missing.
    ExpectStoredOnce(clients.acknowledged, true);
    const std::string log = ReadFile(db.dir.File("stderr.log"));
    EXPECT_NE(log.find("storage error: "), std::string::npos);
    EXPECT_NE(log.find("storage works again"), std::string::npos);
}

// The copy itself is tested beside the store; here, the command line.
TEST_F(PostgresFleetTest, ImportsAnOldSqliteFileFromTheCommandLine) {
    const std::string old = db.dir.File("old.db");
    {
        SqliteScoreStore store;
        std::string error;
        ASSERT_TRUE(store.Open(old, error)) << error;
        for (const int m : {3, 9, 3})
            ASSERT_TRUE(store.Add(Submission{"p", 100 * m, 0, m, 0}, 0, "x", error)) << error;
    }
    const std::string log = db.dir.File("import.log");
    const auto import = [&] {
        ServerProcess run(MUNCHET_SCORES_BINARY, {"--import-sqlite", old, "--db", db.Location()}, log);
        const int status = run.Wait();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(import(), 0) << ReadFile(log);
    EXPECT_NE(ReadFile(log).find("copied 3 rows from " + old), std::string::npos) << ReadFile(log);
    EXPECT_EQ(import(), 1) << "a second import finds the table full";
    EXPECT_NE(ReadFile(log).find("already holds 3 rows"), std::string::npos) << ReadFile(log);
    EXPECT_EQ(db.Query("SELECT id, score FROM scores ORDER BY id"),
              (SqlRows{{"1", "300"}, {"2", "900"}, {"3", "300"}}));
}

}  // namespace
