// The game's side of the score exchange: what it asks of the score server at
// the end of a game and what it keeps of the answer. The exchange here is a
// stand-in that notes each request.
#include <optional>
#include <string>
#include <vector>

#include "sim_support.h"

namespace {

class ScoreExchange : public SimTest {
protected:
    ScoreExchange() { g.game.StartGame(); }

    // One frame, then the exchange it asked for.
    void RunFrame(const FrameInput& input = {}, bool client = true) {
        g.RunFrame(input);
        Serve(client);
    }
    // The exchange wanted, answered with answer (none when client is false: a
    // run without a score server).
    void Serve(bool client = true) {
        if (!g.game.exchangeWanted) return;
        calls.push_back(g.game.exchangeWanted->submission);
        g.game.TakeExchange(client ? answer : NoScoreServer(*g.game.exchangeWanted));
        EXPECT_FALSE(g.game.exchangeWanted) << "the answer taken, no exchange is wanted";
    }

    std::vector<std::optional<ScoreSubmission>> calls;
    ScoreExchangeResult answer{true, {{"top", 9000}, {"ab %", 1530}}, SubmissionFate::Stored};
    // The name entry of a game that ended with these counters.
    void Finished(std::int32_t score) {
        Game& game = g.game;
        game.gameOver = true;
        game.nameEntry = true;
        game.score = score;
        game.level = 2;
        game.munchets = 3;
        game.food = 17;
        game.firstRow = 40;
        game.highscores = {{"stale", 1}};
    }
};

TEST_F(ScoreExchange, EnterSendsTheTypedNameAndTheCountersOnce) {
    Finished(1530);
    for (char c : std::string("ab %;")) RunFrame(FrameInput{}.Type(c));
    EXPECT_EQ(g.game.playerName, "ab %") << "';' is the server's field separator";
    EXPECT_TRUE(calls.empty());

    g.RunFrame(FrameInput{}.Press(Key::Enter));
    ASSERT_TRUE(g.game.exchangeWanted);
    EXPECT_TRUE(g.game.highscores.empty()) << "the last table is not shown while the answer is awaited";
    EXPECT_FALSE(g.game.highscoresUnavailable);
    ASSERT_TRUE(g.game.exchangeWanted->submission.has_value());
    const ScoreSubmission sent = *g.game.exchangeWanted->submission;
    Serve();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(sent.name, "ab %");
    EXPECT_EQ(sent.score, 1530);
    EXPECT_EQ(sent.level, 2);
    EXPECT_EQ(sent.munchets, 3);
    EXPECT_EQ(sent.food, 17);
    EXPECT_FALSE(g.game.nameEntry);
    EXPECT_EQ(g.game.firstRow, 0);
    ASSERT_EQ(g.game.highscores.size(), 2u);
    EXPECT_EQ(g.game.highscores[1].name, "ab %");
    EXPECT_FALSE(g.game.highscoresUnavailable);
    EXPECT_EQ(g.game.submissionFate, SubmissionFate::Stored);

    RunFrame(FrameInput{}.Press(Key::Enter));
    EXPECT_EQ(calls.size(), 1u) << "Enter on the table screen sends nothing";
}

TEST_F(ScoreExchange, AnEmptyNameOnlyAsksForTheTable) {
    Finished(10);
    answer.fate = SubmissionFate::None;
    RunFrame(FrameInput{}.Press(Key::Enter));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].has_value());
    EXPECT_EQ(g.game.highscores.size(), 2u);
}

TEST_F(ScoreExchange, AMissingTableIsShownAsUnavailable) {
    const struct {
        bool client;  // a score server at all
        SubmissionFate answered, kept;
    } cases[] = {{true, SubmissionFate::Kept, SubmissionFate::Kept},
                 {false, SubmissionFate::Stored, SubmissionFate::Lost}};
    for (const auto& c : cases) {
        Finished(1530);
        g.game.playerName = "x";
        answer = {false, {{"half", 1}}, c.answered};
        RunFrame(FrameInput{}.Press(Key::Enter), c.client);
        EXPECT_TRUE(g.game.highscores.empty()) << "rows of an incomplete answer are not shown";
        EXPECT_TRUE(g.game.highscoresUnavailable);
        EXPECT_EQ(g.game.submissionFate, c.kept);
    }
}

TEST_F(ScoreExchange, TwoCatchesInOneFrameFetchTheTableOnce) {
    Game& game = g.game;
    game.munchetList.clear();
    game.foodList.clear();
    Player& ghost = game.players[0];
    ghost.charge = 5;  // vulnerable
    for (const float dx : {-5.0f, 5.0f}) {
        Munchet munchet;
        munchet.x = ghost.x + dx;
        munchet.y = ghost.y;
        munchet.targetX = munchet.x + 60;  // far enough not to turn this frame
        munchet.targetY = munchet.y;
        munchet.splitTimer = 100;
        game.munchetList.push_back(munchet);
    }
    RunFrame();
    ASSERT_TRUE(game.gameOver);
    EXPECT_FALSE(game.nameEntry);
    ASSERT_EQ(calls.size(), 1u) << "one table request, however many catches";
    EXPECT_FALSE(calls[0].has_value());
    EXPECT_EQ(SoundCount(g.game.effects, SoundEffect::Dead), 2) << "each catch still sounds";
}

}  // namespace
