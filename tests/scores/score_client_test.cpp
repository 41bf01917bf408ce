// The score client against a real HTTP server on a loopback port.
#include "scores/score_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "engine/headless.h"
#include "game/game.h"
#include "game/sounds.h"
#include "scores/score_server.h"
#include "tests/scores/local_http_server.h"
#include "tests/support/headless_game.h"

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
    }
    void point(const LocalHttpServer& server) {
        ASSERT_NE(server.port(), 0);
        ASSERT_TRUE(SetScoreServerHost(server.host()));
    }
    // A finished game with a name typed and a stale table on show.
    void finish(Game& game, const std::string& name) {
        game.playerName = name;
        game.score = 1530;
        game.level = 2;
        game.munchets = 3;
        game.food = 17;
        game.highscores = {{"stale", 1}};
        game.highscoresUnavailable = false;
    }
    static double secondsSince(std::chrono::steady_clock::time_point start) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

}  // namespace

TEST_F(ScoreClient, SubmissionSendsTheEscapedNameAndTheCountersThenFetches) {
    LocalHttpServer server = scoreServer("a;10\nb;5\n");
    point(server);
    Game game;
    finish(game, "ab c");
    game.SubmitScore();
    const auto lines = server.requestLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(
        lines[0],
        "GET /hosted/vlkn/scores/pr/add.php?name=ab%20c&score=1530&level=2&munchets=3&food=17 HTTP/1.1");
    EXPECT_EQ(lines[1], tableLine);
    ASSERT_EQ(game.highscores.size(), 2u);
    EXPECT_EQ(game.highscores[0].name, "a");
    EXPECT_EQ(game.highscores[1].score, 5);
    EXPECT_FALSE(game.highscoresUnavailable);
}

TEST_F(ScoreClient, NegativeCountersAndEveryNameCharacterTravelIntact) {
    LocalHttpServer server = scoreServer("");
    point(server);
    Game game;
    finish(game, "%&=?#+/ ~'\"*");
    game.score = -3;
    game.level = 0;
    game.food = -2147483647 - 1;
    game.SubmitScore();
    const auto lines = server.requestLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              "GET /hosted/vlkn/scores/pr/add.php?name=%25%26%3D%3F%23%2B%2F%20~%27%22%2A"
              "&score=-3&level=0&munchets=3&food=-2147483648 HTTP/1.1");
}

TEST_F(ScoreClient, AnEmptyNameOnlyFetchesTheTable) {
    LocalHttpServer server = scoreServer("a;10\n");
    point(server);
    Game game;
    finish(game, "");
    game.SubmitScore();
    EXPECT_EQ(server.requestLines(), std::vector<std::string>{tableLine});
    ASSERT_EQ(game.highscores.size(), 1u);
    EXPECT_EQ(game.highscores[0].name, "a");
}

TEST_F(ScoreClient, ALongTableIsCutTo101Rows) {
    std::string table;
    for (int i = 0; i < 20000; ++i)
        table += "player" + std::to_string(i) + ";" + std::to_string(20000 - i) + "\n";
    LocalHttpServer server = scoreServer(table);
    point(server);
    Game game;
    game.FetchHighscores();
    ASSERT_EQ(game.highscores.size(), 101u);
    EXPECT_EQ(game.highscores[100].name, "player100");
    EXPECT_EQ(game.highscores[100].score, 19900);
    // The body went through the receive limit: no more than one chunk past it.
    EXPECT_GE(responseText.size(), MaxResponseLength);
    EXPECT_LT(responseText.size(), table.size());
    EXPECT_EQ(table.compare(0, responseText.size(), responseText), 0);
}

TEST_F(ScoreClient, AnErrorStatusGivesNoTable) {
    LocalHttpServer server(HttpReply{500, "Internal error\nsee;the log\n"});
    point(server);
    Game game;
    finish(game, "ab c");
    game.SubmitScore();
    EXPECT_EQ(server.requestLines().size(), 2u);
    EXPECT_TRUE(game.highscores.empty());
    EXPECT_TRUE(game.highscoresUnavailable);

    // The next fetch that works clears the notice.
    LocalHttpServer healthy = scoreServer("c;1\n");
    point(healthy);
    game.FetchHighscores();
    EXPECT_EQ(game.highscores.size(), 1u);
    EXPECT_FALSE(game.highscoresUnavailable);
}

TEST_F(ScoreClient, AnEmptyTableIsNotAFailure) {
    LocalHttpServer server(HttpReply{204, ""});
    point(server);
    Game game;
    game.highscores = {{"stale", 1}};
    game.FetchHighscores();
    EXPECT_TRUE(game.highscores.empty());
    EXPECT_FALSE(game.highscoresUnavailable);
}

TEST_F(ScoreClient, AnUnreachableServerGivesNoTableAtOnce) {
    ASSERT_TRUE(SetScoreServerHost("127.0.0.1:" + std::to_string(UnusedLoopbackPort())));
    Game game;
    finish(game, "ab c");
    const auto start = std::chrono::steady_clock::now();
    game.SubmitScore();
    EXPECT_LT(secondsSince(start), 2.0 * RequestTimeoutMs / 1000.0);
    EXPECT_TRUE(game.highscores.empty());
    EXPECT_TRUE(game.highscoresUnavailable);
}

TEST_F(ScoreClient, ASilentServerIsGivenUpAfterTheTimeOut) {
    LocalHttpServer server(SilentReply());
    point(server);
    Game game;
    game.highscores = {{"stale", 1}};
    const auto start = std::chrono::steady_clock::now();
    game.FetchHighscores();
    const double seconds = secondsSince(start);
    EXPECT_GE(seconds, RequestTimeoutMs / 1000.0 - 0.5);
    EXPECT_LT(seconds, RequestTimeoutMs / 1000.0 + 2.5);
    EXPECT_EQ(server.requestLines(), std::vector<std::string>{tableLine});
    EXPECT_TRUE(game.highscores.empty());
    EXPECT_TRUE(game.highscoresUnavailable);
}

TEST_F(ScoreClient, ASilentSubmissionDoesNotCostTheTable) {
    LocalHttpServer server([](const std::string& line) {
        return isSubmission(line) ? SilentReply() : HttpReply{200, "a;10\n"};
    });
    point(server);
    Game game;
    finish(game, "ab c");
    const auto start = std::chrono::steady_clock::now();
    game.SubmitScore();
    EXPECT_LT(secondsSince(start), RequestTimeoutMs / 1000.0 + 2.5);
    ASSERT_EQ(game.highscores.size(), 1u);
    EXPECT_FALSE(game.highscoresUnavailable);
}

// The whole name entry through the real frame: characters typed one per
// frame, Enter sends and fetches within that frame.
TEST_F(ScoreClient, NameEntryEndsWithSubmissionAndTable) {
    LocalHttpServer server = scoreServer("top;9000\nab %;1530\n");
    point(server);
    HeadlessGame headless;
    Game& game = headless.game;
    game.StartGame();
    game.gameOver = true;
    game.nameEntry = true;
    game.score = 1530;
    game.level = 2;
    game.munchets = 3;
    game.food = 17;
    game.firstRow = 40;
    for (char c : std::string("ab %")) headless.RunFrame(FrameInput{}.Type(c));
    headless.RunFrame(FrameInput{}.Type(';'));  // refused: the server's field separator
    EXPECT_EQ(game.playerName, "ab %");
    EXPECT_TRUE(server.requestLines().empty());

    headless.RunFrame(FrameInput{}.Press(Key::Enter));
    EXPECT_FALSE(game.nameEntry);
    EXPECT_EQ(game.firstRow, 0);
    const auto lines = server.requestLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(
        lines[0],
        "GET /hosted/vlkn/scores/pr/add.php?name=ab%20%25&score=1530&level=2&munchets=3&food=17 HTTP/1.1");
    EXPECT_EQ(lines[1], tableLine);
    ASSERT_EQ(game.highscores.size(), 2u);
    EXPECT_EQ(game.highscores[1].name, "ab %");
    EXPECT_EQ(game.highscores[1].score, 1530);

    // Enter on the table screen sends nothing more.
    headless.RunFrame(FrameInput{}.Press(Key::Enter));
    EXPECT_EQ(server.requestLines().size(), 2u);
}

TEST_F(ScoreClient, NameEntryWithNoNameOnlyFetches) {
    LocalHttpServer server = scoreServer("top;9000\n");
    point(server);
    HeadlessGame headless;
    Game& game = headless.game;
    game.StartGame();
    game.gameOver = true;
    game.nameEntry = true;
    game.score = 10;
    headless.RunFrame(FrameInput{}.Press(Key::Enter));
    EXPECT_EQ(server.requestLines(), std::vector<std::string>{tableLine});
    EXPECT_EQ(game.highscores.size(), 1u);
}

TEST_F(ScoreClient, TwoCatchesInOneFrameFetchTheTableOnce) {
    LocalHttpServer server = scoreServer("a;10\n");
    point(server);
    HeadlessGame g;
    g.game.StartGame();
    g.game.munchetList.clear();
    g.game.foodList.clear();
    Player& ghost = g.game.players[0];
    ghost.charge = 5;  // vulnerable
    for (const float dx : {-5.0f, 5.0f}) {
        Munchet munchet;
        munchet.x = ghost.x + dx;
        munchet.y = ghost.y;
        munchet.targetX = munchet.x + 60;  // far enough not to turn this frame
        munchet.targetY = munchet.y;
        munchet.splitTimer = 100;
        g.game.munchetList.push_back(munchet);
    }
    const EffectHandle loadedDeadSound = deadSound;
    deadSound = 77;  // told apart from the other, unloaded, effects
    g.RunFrame();
    ASSERT_TRUE(g.game.gameOver);
    EXPECT_FALSE(g.game.nameEntry);
    EXPECT_EQ(server.requestLines().size(), 1u) << "one table request, however many catches";
    ASSERT_EQ(g.game.highscores.size(), 1u);
    int deaths = 0;
    for (const SoundEvent& sound : g.LastFrame().sounds) deaths += sound.effect == deadSound;
    deadSound = loadedDeadSound;
    EXPECT_EQ(deaths, 2) << "each catch still sounds";
}
