// Runs the real munchet-scores executable: what is acknowledged must survive
// kill -9, and a signal must stop it cleanly.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "tests/server/server_test_support.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// One run of the executable with stderr captured to a file.
struct ServerProcess {
    pid_t pid = -1;
    int port = -1;

    ServerProcess(const std::vector<std::string>& args, const std::string& stderrPath) {
        std::vector<std::string> argv = {MUNCHET_SCORES_BINARY};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& a : argv) pointers.push_back(a.data());
        pointers.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
        if (posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, pointers.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ServerProcess() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            Wait();
        }
    }

    // Waits up to 10 s for the port file the server writes once it listens.
    bool WaitForPort(const std::string& portFile) {
        for (int i = 0; i < 1000 && pid > 0; ++i) {
            const std::string text = ReadFile(portFile);
            if (!text.empty()) {
                port = std::atoi(text.c_str());
                return port > 0;
            }
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return false;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    // The wait status, or -1.
    int Wait() {
        int status = -1;
        if (pid > 0 && waitpid(pid, &status, 0) == pid) pid = -1;
        return status;
    }
};

struct ServerProcessTest : testing::Test {
    ScratchDir dir;
    std::string db = dir.File("scores.db");
    std::string portFile = dir.File("port");
    std::string log = dir.File("stderr.log");

    std::vector<std::string> Args() {
        std::filesystem::remove(portFile);
        return {"--listen", "127.0.0.1:0", "--db", db, "--port-file", portFile, "--rate-limit", "0"};
    }
};

std::string Query(int i) {
    // Level 1 (bonus 10000), i munchets, no food.
    return "name=player%20" + std::to_string(i) + "&score=" + std::to_string(10000 + 100 * i) +
           "&level=1&munchets=" + std::to_string(i) + "&food=0";
}

TEST_F(ServerProcessTest, AcknowledgedRowsSurviveKillNine) {
    std::string expected;
    {
        ServerProcess server(Args(), log);
        ASSERT_TRUE(server.WaitForPort(portFile)) << ReadFile(log);
        for (int i = 1; i <= 20; ++i) ASSERT_EQ(RawGet(server.port, AddTarget(Query(i))).status, 200);
        for (int i = 20; i >= 1; --i)
            expected += "player " + std::to_string(i) + ";" + std::to_string(10000 + 100 * i) + "\n";
        ASSERT_EQ(kill(server.pid, SIGKILL), 0);
        const int status = server.Wait();
        ASSERT_TRUE(WIFSIGNALED(status));
    }
    // Killed before any clean close: the rows may still be in the write-ahead log only.
    EXPECT_TRUE(std::filesystem::exists(db + "-wal"));

    ServerProcess again(Args(), log);
    ASSERT_TRUE(again.WaitForPort(portFile)) << ReadFile(log);
    const RawReply view = RawGet(again.port, viewTarget);
    EXPECT_EQ(view.status, 200);
    EXPECT_EQ(view.body, expected);
}

TEST_F(ServerProcessTest, StopsCleanlyOnSigtermAndSigint) {
    for (const int signal : {SIGTERM, SIGINT}) {
        ServerProcess server(Args(), log);
        ASSERT_TRUE(server.WaitForPort(portFile)) << ReadFile(log);
        ASSERT_EQ(RawGet(server.port, AddTarget(Query(1))).status, 200);
        // An idle connection must not keep the server from stopping.
        LoopbackSocket idle(server.port);
        ASSERT_EQ(kill(server.pid, signal), 0);
        const int status = server.Wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        // A clean close checkpoints the log into the database file.
        EXPECT_FALSE(std::filesystem::exists(db + "-wal"));
    }
    const std::string text = ReadFile(log);
    EXPECT_NE(text.find("listening on 127.0.0.1:"), std::string::npos) << text;
    EXPECT_NE(text.find(" 127.0.0.1 GET /hosted/vlkn/scores/pr/add.php 200 "), std::string::npos) << text;
    EXPECT_NE(text.find("shutting down"), std::string::npos) << text;
}

TEST_F(ServerProcessTest, ExplainsBadUsage) {
    ServerProcess help({"--help"}, log);
    int status = help.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    ServerProcess unknown({"--bogus"}, log);
    status = unknown.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
    EXPECT_NE(ReadFile(log).find("unknown option: --bogus"), std::string::npos);

    ServerProcess badDb({"--listen", "127.0.0.1:0", "--db", dir.File("missing/dir/x.db")}, log);
    status = badDb.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_NE(ReadFile(log).find("cannot open"), std::string::npos);
}

}  // namespace
