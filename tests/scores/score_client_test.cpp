// The score client against a real HTTP server on a loopback port.
#include "scores/score_client.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "scores/score_exchange_client.h"
#include "tests/scores/local_http_server.h"

namespace {

const std::string submissionPath = "/hosted/vlkn/scores/pr/add.php";
const std::string tableLine = "GET /hosted/vlkn/scores/pr/view.php HTTP/1.1";

bool isSubmission(const std::string& requestLine) {
    return requestLine.find(submissionPath) != std::string::npos;
}

// Answers submissions with "ok" and the table request with table.
LocalHttpServer scoreServer(std::string table) {
    return LocalHttpServer([table](const std::string& line) {
        return isSubmission(line) ? HttpReply{200, "ok\n"} : HttpReply{200, table};
    });
}

class ScoreClient : public ::testing::Test {
protected:
    void SetUp() override {
        // Loopback requests must not be sent to a proxy from the environment.
        setenv("no_proxy", "127.0.0.1", 1);
        outbox = std::filesystem::temp_directory_path() / ("munchet-client-" + std::to_string(getpid()));
        std::filesystem::remove_all(outbox);
    }
    void TearDown() override { std::filesystem::remove_all(outbox); }
    // A client pointed at server with an outbox of the test's own.
    void point(const LocalHttpServer& server) {
        ASSERT_NE(server.port(), 0);
        client.emplace(ScoreClientSettings{server.host(), DefaultExchangeBudget, outbox.string(),
                                           [](std::string_view) {}});
    }
    ScoreExchangeResult ExchangeScores(const ScoreSubmission* game) { return client->Exchange(game); }
    std::filesystem::path outbox;
    std::optional<ScoreExchangeClient> client;
    // A finished game with a name typed.
    static ScoreSubmission finished(const std::string& name) { return {name, 1530, 2, 3, 17}; }
    static double secondsSince(std::chrono::steady_clock::time_point start) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

}  // namespace

TEST_F(ScoreClient, SubmissionSendsTheEscapedNameAndTheCountersThenFetches) {
    LocalHttpServer server = scoreServer("a;10\nb;5\n");
    point(server);
    const ScoreSubmission game = finished("ab c");
    const ScoreExchangeResult result = ExchangeScores(&game);
    const auto lines = server.requestLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(
        lines[0],
        "GET /hosted/vlkn/scores/pr/add.php?name=ab%20c&score=1530&level=2&munchets=3&food=17 HTTP/1.1");
    EXPECT_EQ(lines[1], tableLine);
    EXPECT_EQ(result.fate, SubmissionFate::Stored);
    EXPECT_TRUE(result.tableReceived);
    ASSERT_EQ(result.rows.size(), 2u);
    EXPECT_EQ(result.rows[0].name, "a");
    EXPECT_EQ(result.rows[1].score, 5);
}

TEST_F(ScoreClient, NegativeCountersAndEveryNameCharacterTravelIntact) {
    LocalHttpServer server = scoreServer("");
    point(server);
    ScoreSubmission game = finished("%&=?#+/ ~'\"*");
    game.score = -3;
    game.level = 0;
    game.food = -2147483647 - 1;
    ExchangeScores(&game);
    const auto lines = server.requestLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              "GET /hosted/vlkn/scores/pr/add.php?name=%25%26%3D%3F%23%2B%2F%20~%27%22%2A"
              "&score=-3&level=0&munchets=3&food=-2147483648 HTTP/1.1");
}

TEST_F(ScoreClient, WithoutASubmissionOnlyTheTableIsFetched) {
    LocalHttpServer server = scoreServer("a;10\n");
    point(server);
    const ScoreExchangeResult result = ExchangeScores(nullptr);
    EXPECT_EQ(server.requestLines(), std::vector<std::string>{tableLine});
    EXPECT_EQ(result.fate, SubmissionFate::None);
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.rows[0].name, "a");
}

TEST_F(ScoreClient, ALongTableIsCutTo101Rows) {
    std::string table;
    for (int i = 0; i < 20000; ++i)
        table += "player" + std::to_string(i) + ";" + std::to_string(20000 - i) + "\n";
    LocalHttpServer server = scoreServer(table);
    point(server);
    const ScoreExchangeResult result = ExchangeScores(nullptr);
    ASSERT_EQ(result.rows.size(), 101u);
    EXPECT_EQ(result.rows[100].name, "player100");
    EXPECT_EQ(result.rows[100].score, 19900);
    // The body went through the receive limit: no more than one chunk past it.
    EXPECT_GE(responseText.size(), MaxResponseLength);
    EXPECT_LT(responseText.size(), table.size());
    EXPECT_EQ(table.compare(0, responseText.size(), responseText), 0);
}

TEST_F(ScoreClient, AnErrorStatusGivesNoTable) {
    LocalHttpServer server(HttpReply{500, "Internal error\nsee;the log\n"});
    point(server);
    const ScoreSubmission game = finished("ab c");
    const ScoreExchangeResult result = ExchangeScores(&game);
    EXPECT_EQ(server.requestLines().size(), 2u);
    EXPECT_TRUE(result.rows.empty());
    EXPECT_FALSE(result.tableReceived);
    EXPECT_EQ(result.fate, SubmissionFate::Kept)
        << "a server error stored nothing: the score waits in the outbox";
}

TEST_F(ScoreClient, AnEmptyTableIsNotAFailure) {
    LocalHttpServer server(HttpReply{204, ""});
    point(server);
    const ScoreExchangeResult result = ExchangeScores(nullptr);
    EXPECT_TRUE(result.rows.empty());
    EXPECT_TRUE(result.tableReceived);
}
