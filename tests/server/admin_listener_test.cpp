// The operator's listener of the real munchet-scores: health, readiness, and
// metrics read back by Prometheus's own text-format parser.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "tests/replay/replay_support.h"
#include "tests/server/postgres_environment.h"
#include "tests/server/test_database.h"
#include "tests/server/ticketed_game.h"

namespace {

using namespace std::chrono_literals;

// Prints each sample as "name{label=value,...} value", labels sorted (no
// braces without labels); fails
// on anything the parser refuses.
constexpr const char* parseMetrics = R"(
import sys
from prometheus_client.parser import text_string_to_metric_families
for family in text_string_to_metric_families(sys.stdin.read()):
    for s in family.samples:
        labels = ",".join(k + "=" + v for k, v in sorted(s.labels.items()))
        print(s.name + ("{" + labels + "}" if labels else "") + " " + repr(float(s.value)))
)";

struct AdminListenerTest : testing::TestWithParam<StoreKind> {
    TestDatabase database{GetParam()};
    std::string portFile = database.dir.File("port");
    std::string adminPortFile = database.dir.File("admin-port");
    std::string log = database.dir.File("stderr.log");
    std::unique_ptr<ServerProcess> server;
    int adminPort = -1;

    void SetUp() override {
        ASSERT_EQ(database.Problem(), "");
        server = std::make_unique<ServerProcess>(
            MUNCHET_SCORES_BINARY,
            std::vector<std::string>{"--listen", "127.0.0.1:0", "--db", database.Location(), "--port-file",
                                     portFile, "--rate-limit", "0", "--db-timeout", "1", "--admin-listen",
                                     "127.0.0.1:0", "--admin-port-file", adminPortFile},
            log);
        ASSERT_TRUE(server->WaitForPort(portFile)) << ReadFile(log);
        adminPort = std::atoi(ReadFile(adminPortFile).c_str());
        ASSERT_GT(adminPort, 0) << ReadFile(log);
    }

    // Every sample of /metrics, as the parser read it.
    std::map<std::string, double> Scrape() {
        const RawReply reply = RawGet(adminPort, "/metrics");
        EXPECT_EQ(reply.status, 200);
        EXPECT_NE(HeaderValue(reply, "Content-Type").find("version=0.0.4"), std::string::npos);
        const std::string input = database.dir.File("metrics.txt");
        std::FILE* out = std::fopen(input.c_str(), "w");
        std::fwrite(reply.body.data(), 1, reply.body.size(), out);
        std::fclose(out);
        std::map<std::string, double> samples;
        const std::string command = "/usr/bin/python3 -c '" + std::string(parseMetrics) + "' < " + input;
        std::FILE* parser = popen(command.c_str(), "r");
        char line[512];
        while (parser && std::fgets(line, sizeof line, parser)) {
            const std::string text(line);
            const std::size_t space = text.rfind(' ');
            samples[text.substr(0, space)] = std::atof(text.c_str() + space + 1);
        }
        EXPECT_EQ(parser ? pclose(parser) : -1, 0) << "the parser refused:\n" << reply.body;
        return samples;
    }
};

MUNCHET_ON_BOTH_STORES(AdminListenerTest);

TEST_P(AdminListenerTest, MetricsParseAndCountWhatArrives) {
    std::map<std::string, double> before = Scrape();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(RawGet(server->port, viewTarget).status, 200);
    EXPECT_EQ(RawGet(server->port, AddTarget("name=ann&score=10100&level=1&munchets=1&food=0")).status, 200);
    EXPECT_EQ(RawGet(server->port, AddTarget("name=ann")).status, 400);
    EXPECT_EQ(RawGet(server->port, "/?page=1").status, 200);
    const Replay game = TicketedGame(
        server->port,
        [](const RandomState& random) {
            return Record({.name = "game", .seed = 4242, .start = Start::AtStartUp, .random = random}).replay;
        },
        [this](const std::string& sql) { return database.Execute(sql); });
    const ReplaySummary& s = game.summary;
    const std::string query = FormatSubmissionQuery(
        {s.name, s.counters.score, s.counters.level, s.counters.munchets, s.counters.food});
    EXPECT_EQ(RawPost(server->port, "/hosted/vlkn/scores/pr/replay.php?" + query, WriteReplay(game)).body,
              "VERIFIED\n");
    // The request's own count lands once its reply is sent, just after the client has it.
    std::map<std::string, double> after;
    for (const auto until = std::chrono::steady_clock::now() + 5s;
         std::chrono::steady_clock::now() < until;) {
        after = Scrape();
        if (after["munchet_http_requests_total{route=page,status=200}"] == 1) break;
        std::this_thread::sleep_for(20ms);
    }
    const auto moved = [&](const std::string& sample) { return after[sample] - before[sample]; };
    EXPECT_EQ(moved("munchet_http_requests_total{route=view,status=200}"), 3);
    EXPECT_EQ(moved("munchet_http_requests_total{route=add,status=200}"), 1);
    EXPECT_EQ(moved("munchet_http_requests_total{route=add,status=400}"), 1);
    EXPECT_EQ(moved("munchet_http_request_duration_seconds_count{route=view}"), 3);
    EXPECT_EQ(moved("munchet_http_request_duration_seconds_bucket{le=+Inf,route=add}"), 2);
    EXPECT_GT(moved("munchet_http_request_duration_seconds_sum{route=view}"), 0);
    EXPECT_EQ(moved("munchet_commits_total"), 2) << "the add and the replay";
    EXPECT_EQ(moved("munchet_rows_per_commit_bucket{le=1}"), 2);
    EXPECT_EQ(moved("munchet_replay_verdicts_total{verdict=proven}"), 1);
    EXPECT_GT(moved("munchet_verifier_cpu_seconds_total"), 0);
    EXPECT_EQ(after["munchet_database_errors_total"], 0);
    EXPECT_EQ(after["munchet_verifier_queue_depth"], 0);
    EXPECT_EQ(after.count("munchet_connections_open"), 1u);
}

TEST_P(AdminListenerTest, HealthAndReadinessAnswerApartFromThePublicPort) {
    EXPECT_EQ(RawGet(adminPort, "/healthz").status, 200);
    EXPECT_EQ(RawGet(adminPort, "/readyz").status, 200);
    EXPECT_EQ(RawGet(adminPort, "/nothing").status, 404);
    EXPECT_EQ(RawRequest("DELETE", adminPort, "/metrics").status, 405);
    EXPECT_EQ(RawGet(server->port, "/metrics").status, 404) << "nothing of it on the public port";
    if (GetParam() != StoreKind::postgresql) return;
    std::string error;
    ThrowAwayPostgres* postgres = SharedPostgres(error);
    ASSERT_NE(postgres, nullptr) << error;
    postgres->Freeze();
    const RawReply frozen = RawGet(adminPort, "/readyz");
    const RawReply alive = RawGet(adminPort, "/healthz");
    postgres->Thaw();
    EXPECT_EQ(frozen.status, 503) << frozen.body;
    EXPECT_EQ(alive.status, 200) << "the process answers while its database does not";
    int ready = 0;
    for (const auto until = std::chrono::steady_clock::now() + 20s;
         ready != 200 && std::chrono::steady_clock::now() < until;)
        ready = RawGet(adminPort, "/readyz").status;
    EXPECT_EQ(ready, 200);
}

}  // namespace
