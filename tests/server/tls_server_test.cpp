// HTTPS served by the real munchet-scores, and its certificate renewed on
// SIGHUP under a kept-alive connection.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/server/test_database.h"
#include "tests/server/tls_client.h"
#include "tests/support/throwaway_ca.h"

namespace {

using namespace std::chrono_literals;

struct TlsServerTest : testing::Test {
    ThrowawayCa ca;
    ScratchDir dir;
    std::string cert = dir.File("server.pem");
    std::string key = dir.File("server.key");
    std::string log = dir.File("stderr.log");

    void SetUp() override {
        ASSERT_TRUE(ca.Make()) << "certtool (gnutls-bin) is needed";
        ASSERT_TRUE(ca.Issue("first", "localhost", "first"));
        ASSERT_TRUE(ca.Issue("second", "localhost", "second"));
        Install("first");
    }

    // Puts an issued pair where the server reads its files.
    void Install(const std::string& stem, const std::string& keyStem = {}) {
        const auto over = std::filesystem::copy_options::overwrite_existing;
        std::filesystem::copy_file(ca.File(stem + ".pem"), cert, over);
        std::filesystem::copy_file(ca.File((keyStem.empty() ? stem : keyStem) + ".key"), key, over);
    }

    std::unique_ptr<ServerProcess> Start() {
        auto server = std::make_unique<ServerProcess>(
            MUNCHET_SCORES_BINARY,
            std::vector<std::string>{"--listen", "127.0.0.1:0", "--db", dir.File("scores.db"), "--port-file",
                                     dir.File("port"), "--tls-cert", cert, "--tls-key", key},
            log);
        return server;
    }

    // Waits up to 5 s for the log to hold text.
    bool Logged(const std::string& text) const {
        for (const auto until = std::chrono::steady_clock::now() + 5s;
             std::chrono::steady_clock::now() < until;) {
            if (ReadFile(log).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
};

TEST_F(TlsServerTest, ReloadServesTheNewCertificateWhileOpenConnectionsStay) {
    const auto server = Start();
    ASSERT_TRUE(server->WaitForPort(dir.File("port"))) << ReadFile(log);
    TlsClient kept(server->port, ca.CaFile(), "localhost");
    ASSERT_TRUE(kept.Connected()) << kept.Error();
    EXPECT_EQ(kept.PeerCommonName(), "first");
    EXPECT_EQ(kept.Get(viewTarget).status, 200);

    Install("second");
    ASSERT_EQ(kill(server->pid, SIGHUP), 0);
    ASSERT_TRUE(Logged("reloaded the certificate")) << ReadFile(log);
    TlsClient fresh(server->port, ca.CaFile(), "localhost");
    ASSERT_TRUE(fresh.Connected()) << fresh.Error();
    EXPECT_EQ(fresh.PeerCommonName(), "second");
    EXPECT_EQ(kept.Get(viewTarget).status, 200) << "the connection from before the reload is still served";

    // A renewal gone wrong (the key of another certificate) keeps the pair in force.
    Install("first", "second");
    ASSERT_EQ(kill(server->pid, SIGHUP), 0);
    ASSERT_TRUE(Logged("kept the certificate in force")) << ReadFile(log);
    TlsClient after(server->port, ca.CaFile(), "localhost");
    ASSERT_TRUE(after.Connected()) << after.Error();
    EXPECT_EQ(after.PeerCommonName(), "second");
    EXPECT_EQ(after.Get(viewTarget).status, 200);

    TlsClient wrongName(server->port, ca.CaFile(), "scores.example.org");
    EXPECT_FALSE(wrongName.Connected()) << "a certificate of another name is refused";
}

TEST_F(TlsServerTest, AKeyOfAnotherCertificateKeepsTheServerFromStarting) {
    Install("first", "second");
    const auto server = Start();
    EXPECT_FALSE(server->WaitForPort(dir.File("port")));
    EXPECT_NE(ReadFile(log).find("does not belong to the certificate"), std::string::npos) << ReadFile(log);
}

}  // namespace
