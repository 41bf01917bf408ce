// `munchet-scores admin` against a real server process on each store: what
// the operator hides, bans or deletes leaves the server's answers within a
// second and is in the audit log; blocked names, reverify and backups.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <sstream>

#include "tests/replay/replay_support.h"
#include "tests/server/test_database.h"
#include "tests/server/ticketed_game.h"

namespace {

using namespace std::chrono_literals;

struct AdminResult {
    int status = -1;     // exit status; -1 when it did not exit
    std::string out;     // what it printed
    std::string errors;  // what it wrote to stderr
};

// One admin command on db as its own process, as an operator runs it.
AdminResult Admin(const TestDatabase& db, std::vector<std::string> args) {
    const std::string out = db.dir.File("admin.out");
    const std::string errors = db.dir.File("admin.err");
    args.insert(args.begin(), {MUNCHET_SCORES_BINARY, "admin", "--db", db.Location()});
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0 ||
        waitpid(pid, &status, 0) != pid)
        status = -1;
    posix_spawn_file_actions_destroy(&actions);
    return {status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(errors)};
}

std::string Submit(int port, const std::string& name, int munchets) {
    const RawReply reply =
        RawGet(port, AddTarget("name=" + name + "&score=" + std::to_string(100 * munchets) +
                               "&level=0&munchets=" + std::to_string(munchets) + "&food=0"));
    return std::to_string(reply.status) + " " + reply.body;
}

// Waits up to 5 s for check to hold; the time it took, or nullopt.
std::optional<std::chrono::milliseconds> Within(const std::function<bool()>& check) {
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < 5s) {
        if (check())
            return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                         start);
        std::this_thread::sleep_for(20ms);
    }
    return std::nullopt;
}

struct AdminOnEachStore : testing::TestWithParam<StoreKind> {
    TestDatabase db{GetParam()};
    std::string portFile = db.dir.File("port");
    std::string blocklist = db.dir.File("blocklist.txt");
    std::unique_ptr<ServerProcess> server;

    void SetUp() override {
        ASSERT_EQ(db.Problem(), "");
        std::ofstream(blocklist) << "# words no name may hold\nbadword\n";
        server = std::make_unique<ServerProcess>(
            MUNCHET_SCORES_BINARY,
            std::vector<std::string>{"--listen", "127.0.0.1:0", "--db", db.Location(), "--port-file",
                                     portFile, "--rate-limit", "0", "--name-blocklist", blocklist},
            db.dir.File("server.log"));
        ASSERT_TRUE(server->WaitForPort(portFile)) << ReadFile(db.dir.File("server.log"));
    }
    int Port() const { return server->port; }
    std::string IdOf(const std::string& name) {
        const SqlRows rows = db.Query("SELECT id FROM scores WHERE name = '" + name + "'");
        return rows.empty() ? "" : rows[0][0];
    }
    bool Shown(const std::string& name) {
        return RawGet(Port(), viewTarget).body.find(name + ";") != std::string::npos;
    }
    bool ShownOnWeb(const std::string& name) {
        return RawGet(Port(), "/api/scores").body.find("\"" + name + "\"") != std::string::npos &&
               RawGet(Port(), "/").body.find(name) != std::string::npos;
    }
    std::string Log() {
        const SqlRows rows =
            db.Query("SELECT action || ' ' || target || ': ' || reason FROM audit_log ORDER BY id");
        std::string text;
        for (const auto& row : rows) text += row[0] + "\n";
        return text;
    }
};

MUNCHET_ON_BOTH_STORES(AdminOnEachStore);

TEST_P(AdminOnEachStore, HiddenRowLeavesEveryAnswerWithinASecondAndIsKept) {
    ASSERT_EQ(Submit(Port(), "ALICE", 1), "200 OK\n");
    ASSERT_EQ(Submit(Port(), "MALLORY", 9), "200 OK\n");
    ASSERT_TRUE(Shown("MALLORY") && ShownOnWeb("MALLORY"));
    ASSERT_EQ(Admin(db, {"hide", IdOf("MALLORY"), "--reason", "impossible score"}).status, 0);
    EXPECT_TRUE(Within([&] { return !Shown("MALLORY") && !ShownOnWeb("MALLORY"); }));
    EXPECT_TRUE(Shown("ALICE") && ShownOnWeb("ALICE"));
    EXPECT_NE(RawGet(Port(), "/api/scores?board=today").body.find("\"total\":1,"), std::string::npos);
    EXPECT_EQ(db.RowCount(), 2);  // kept

    ASSERT_EQ(Admin(db, {"unhide", IdOf("MALLORY")}).status, 0);
    EXPECT_TRUE(Within([&] { return Shown("MALLORY") && ShownOnWeb("MALLORY"); }));
    EXPECT_EQ(Admin(db, {"hide", "999"}).status, 1);  // no such row: nothing logged
    EXPECT_EQ(Log(), "hide row " + IdOf("MALLORY") +
                         " (MALLORY, 900, 127.0.0.1): impossible score\nunhide row " + IdOf("MALLORY") +
                         " (MALLORY, 900, 127.0.0.1): \n");
}

TEST_P(AdminOnEachStore, BanOfEachKindRefusesTheNextSubmissionAndHidesTheRowsUntilRevoked) {
    ASSERT_EQ(Submit(Port(), "MALLORY", 9), "200 OK\n");
    int banId = 0;
    for (const auto& [kind, value] : {std::pair{"name", "MALLORY"}, std::pair{"address", "127.0.0.1"},
                                      std::pair{"prefix", "127.0.0.0/8"}}) {
        SCOPED_TRACE(kind);
        ASSERT_EQ(Admin(db, {"ban", kind, value, "--reason", "cheating", "--expires", "7d"}).status, 0);
        ++banId;
        EXPECT_TRUE(Within([&] { return Submit(Port(), "MALLORY", 2).starts_with("403 banned until "); }));
        EXPECT_TRUE(Submit(Port(), "MALLORY", 2).ends_with(": cheating\n"));
        EXPECT_TRUE(Within([&] { return !Shown("MALLORY"); }));
        ASSERT_EQ(Admin(db, {"unban", std::to_string(banId), "--reason", "appeal"}).status, 0);
        EXPECT_TRUE(Within([&] { return Submit(Port(), "MALLORY", 9) == "200 OK\n"; }));
        EXPECT_TRUE(Shown("MALLORY"));
    }
    EXPECT_TRUE(
        Log().starts_with("ban ban 1 of name MALLORY: cheating\nunban ban 1 of name MALLORY: appeal\n"))
        << Log();
    EXPECT_EQ(Admin(db, {"unban", "1"}).status, 1);  // revoked already
}

TEST_P(AdminOnEachStore, ListFindsRowsByNameAddressTimeAndState) {
    ASSERT_EQ(Submit(Port(), "ALICE", 1), "200 OK\n");
    ASSERT_EQ(Submit(Port(), "MALLORY", 9), "200 OK\n");
    ASSERT_EQ(Submit(Port(), "ALICE", 3), "200 OK\n");
    ASSERT_EQ(db.Execute("UPDATE scores SET time = 1796601600, client = '2001:db8::7' WHERE score = 300"),
              "");
    ASSERT_EQ(Admin(db, {"hide", IdOf("MALLORY")}).status, 0);
    // Each listing as the scores of its rows, in its order.
    const auto scores = [&](std::vector<std::string> filter) {
        filter.insert(filter.begin(), "list");
        const AdminResult listed = Admin(db, filter);
        EXPECT_EQ(listed.status, 0) << listed.errors;
        std::string text;
        for (const std::string& line : Lines(listed.out)) {
            std::istringstream fields(line);
            std::string id, date, time, name, score;
            if (fields >> id >> date >> time >> name >> score && id != "ID") text += score + " ";
        }
        return text;
    };
    EXPECT_EQ(scores({}), "300 900 100 ");
    EXPECT_EQ(scores({"--top"}), "900 300 100 ");
    EXPECT_EQ(scores({"--name", "ALICE", "--limit", "1"}), "300 ");
    EXPECT_EQ(scores({"--address", "2001:db8::/32"}), "300 ");
    EXPECT_EQ(scores({"--address", "127.0.0.1"}), "900 100 ");
    EXPECT_EQ(scores({"--until", "2026-12-07T00:00:01"}), "300 ");
    EXPECT_EQ(scores({"--since", "@1796601601"}), "900 100 ");
    EXPECT_EQ(scores({"--hidden"}), "900 ");
    EXPECT_EQ(scores({"--shown", "--unverified"}), "300 100 ");
    EXPECT_EQ(Admin(db, {"list", "--since", "yesterday"}).status, 2);
}

TEST_P(AdminOnEachStore, DeleteTakesTheRowAndItsReplay) {
    ASSERT_EQ(Submit(Port(), "MALLORY", 9), "200 OK\n");
    const std::string id = IdOf("MALLORY");
    ASSERT_EQ(db.Execute("INSERT INTO replays (score_id, digest, bytes) VALUES (" + id + ", 'd', " +
                         (GetParam() == StoreKind::sqlite ? "X'00'" : "'\\x00'") + ")"),
              "");
    EXPECT_EQ(Admin(db, {"delete", id}).status, 2);  // a reason is required
    ASSERT_EQ(Admin(db, {"delete", id, "--reason", "cheat"}).status, 0);
    EXPECT_EQ(db.RowCount(), 0);
    EXPECT_EQ(db.Query("SELECT count(*) FROM replays"), (SqlRows{{"0"}}));
    EXPECT_TRUE(Within([&] { return !Shown("MALLORY"); }));
}

TEST_P(AdminOnEachStore, BlockedNameIsRefusedWith400WhateverItsDisguise) {
    for (const char* name : {"BADWORD", "x_B4D-W0RD", "b%40dw0rd"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Submit(Port(), name, 1), "400 name not allowed on this server, choose another\n");
    }
    EXPECT_EQ(Submit(Port(), "GOODWORD", 1), "200 OK\n");
    // The file is read again when it changes.
    std::this_thread::sleep_for(10ms);
    std::ofstream(blocklist) << "goodword\n";
    EXPECT_TRUE(Within([&] { return Submit(Port(), "GOODWORD", 1).starts_with("400 "); }));
}

TEST_P(AdminOnEachStore, ReverifyFlagsReplaysTheRulesNoLongerProve) {
    const auto post = [&](const Replay& game) {
        const ReplaySummary& s = game.summary;
        return RawPost(Port(),
                       "/hosted/vlkn/scores/pr/replay.php?" +
                           FormatSubmissionQuery({s.name, s.counters.score, s.counters.level,
                                                  s.counters.munchets, s.counters.food}),
                       WriteReplay(game))
            .body;
    };
    const auto ticketed = [&](const char* name, int seed) {
        return TicketedGame(
            Port(),
            [&](const RandomState& random) {
                return Record({.name = name, .seed = seed, .start = Start::AtStartUp, .random = random})
                    .replay;
            },
            [&](const std::string& sql) { return db.Execute(sql); });
    };
    const Replay kept = ticketed("kept", 4242);
    Replay changed = ticketed("changed", 77);
    ASSERT_EQ(post(kept), "VERIFIED\n");
    ASSERT_EQ(post(changed), "VERIFIED\n");
    // The same file under rules that moved: its frames no longer lead where it says.
    for (std::size_t i = changed.frames.size() / 2; i < changed.frames.size(); ++i)
        changed.frames[i].held = 0;
    const std::string bytes = WriteReplay(changed);
    std::string hex;
    for (const char c : bytes) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(c));
        hex += pair;
    }
    ASSERT_EQ(
        db.Execute("UPDATE replays SET bytes = " +
                   (GetParam() == StoreKind::sqlite ? "X'" + hex + "'" : "decode('" + hex + "', 'hex')") +
                   " WHERE id = (SELECT max(id) FROM replays)"),
        "");
    const AdminResult reverify = Admin(db, {"reverify", "--hide"});
    ASSERT_EQ(reverify.status, 0) << reverify.errors;
    EXPECT_EQ(db.Query("SELECT score_id FROM hidden_scores"),
              db.Query("SELECT score_id FROM replays WHERE id = (SELECT max(id) FROM replays)"));
    EXPECT_TRUE(Log().starts_with("hide row ")) << Log();
}

// The README's way for PostgreSQL: pg_dump of the whole database, pg_restore
// into a new one, servers started on it.
TEST(AdminBackup, PostgresDumpRestoresRowsBansAndLog) {
    TestDatabase db(StoreKind::postgresql);
    ASSERT_EQ(db.Problem(), "");
    {
        std::string error;
        const auto store = db.Open(error);
        ASSERT_TRUE(store) << error;
        ASSERT_TRUE(store->Add({"MALLORY", 900, 0, 9, 0}, 1, "192.0.2.1", error)) << error;
    }
    ASSERT_EQ(Admin(db, {"ban", "name", "MALLORY", "--reason", "cheating"}).status, 0);
    const std::string dump = db.dir.File("scores.dump");
    ServerProcess dumping(std::string(postgresBinaries) + "pg_dump",
                          {"--format=custom", "--file", dump, db.Location()}, db.dir.File("dump.log"));
    ASSERT_EQ(dumping.Wait(), 0) << ReadFile(db.dir.File("dump.log"));

    std::string restored, error;
    ASSERT_TRUE(SharedPostgres(error)->CreateDatabase(restored, error)) << error;
    ServerProcess restoring(std::string(postgresBinaries) + "pg_restore",
                            {"--no-owner", "--dbname", restored, dump}, db.dir.File("restore.log"));
    ASSERT_EQ(restoring.Wait(), 0) << ReadFile(db.dir.File("restore.log"));
    EXPECT_EQ(
        PgAdmin(restored, "SELECT s.name, h.ban_id FROM scores s JOIN hidden_scores h ON h.score_id = s.id")
            .rows,
        (SqlRows{{"MALLORY", "1"}}));
    EXPECT_EQ(PgAdmin(restored, "SELECT action FROM audit_log").rows, (SqlRows{{"ban"}}));
    PgScoreStore store;
    PgSettings settings;
    settings.uri = restored;
    ASSERT_TRUE(store.Open(settings, error)) << error;
    std::vector<Ban> bans;
    ASSERT_TRUE(store.ReadBans(2, bans, error)) << error;
    EXPECT_EQ(bans.size(), 1u);
}

TEST(AdminBackup, CopyTakenUnderWriteLoadRestoresEveryAcknowledgedRow) {
    TestDatabase db(StoreKind::sqlite);
    const std::string portFile = db.dir.File("port");
    ServerProcess server(
        MUNCHET_SCORES_BINARY,
        {"--listen", "127.0.0.1:0", "--db", db.Location(), "--port-file", portFile, "--rate-limit", "0"},
        db.dir.File("server.log"));
    ASSERT_TRUE(server.WaitForPort(portFile));
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::set<int> acknowledged;
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&, t] {
            for (int m = 1 + t * 100000; !stop; ++m) {
                if (Submit(server.port, "w" + std::to_string(t), m) != "200 OK\n") continue;
                std::lock_guard lock(mutex);
                acknowledged.insert(m);
            }
        });
    }
    std::this_thread::sleep_for(300ms);
    std::set<int> before;
    {
        std::lock_guard lock(mutex);
        before = acknowledged;
    }
    const std::string copy = db.dir.File("backup.db");
    const int status = Admin(db, {"backup", copy}).status;
    std::this_thread::sleep_for(200ms);
    stop = true;
    for (std::thread& writer : writers) writer.join();
    ASSERT_EQ(status, 0);
    ASSERT_GT(before.size(), 10u);

    // Restored as the README says: the copy in place of the database.
    EXPECT_EQ(QuerySqlite(copy, "PRAGMA integrity_check"), (SqlRows{{"ok"}}));
    std::set<int> restored;
    for (const auto& row : QuerySqlite(copy, "SELECT munchets FROM scores"))
        restored.insert(std::stoi(row[0]));
    for (const int m : before) EXPECT_TRUE(restored.contains(m)) << m;
    EXPECT_EQ(Admin(db, {"backup", copy}).status, 1);  // never over an existing file
}

}  // namespace
