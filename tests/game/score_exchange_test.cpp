// The game's side of the score exchange: what it hands the score client at
// the end of a game and what it keeps of the answer. The client here is a
// stand-in that notes each call.
#include <optional>
#include <string>
#include <vector>

#include "sim_support.h"

namespace {

// A score client that answers with a fixed result and notes what it got.
struct StandInClient {
    static inline std::vector<std::optional<ScoreSubmission>> calls;
    static inline ScoreExchangeResult answer;
    static ScoreExchangeResult Exchange(const ScoreSubmission* submission) {
        calls.push_back(submission ? std::optional<ScoreSubmission>(*submission) : std::nullopt);
        return answer;
    }
};

class ScoreExchange : public SimTest {
protected:
    ScoreExchange() {
        StandInClient::calls.clear();
        StandInClient::answer = {true, {{"top", 9000}, {"ab %", 1530}}, SubmissionFate::Stored};
        g.game.scoreExchange = &StandInClient::Exchange;
        g.game.StartGame();
    }
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
    for (char c : std::string("ab %;")) g.RunFrame(FrameInput{}.Type(c));
    EXPECT_EQ(g.game.playerName, "ab %") << "';' is the server's field separator";
    EXPECT_TRUE(StandInClient::calls.empty());

    g.RunFrame(FrameInput{}.Press(Key::Enter));
    ASSERT_EQ(StandInClient::calls.size(), 1u);
    ASSERT_TRUE(StandInClient::calls[0].has_value());
    const ScoreSubmission& sent = *StandInClient::calls[0];
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

    g.RunFrame(FrameInput{}.Press(Key::Enter));
    EXPECT_EQ(StandInClient::calls.size(), 1u) << "Enter on the table screen sends nothing";
}

TEST_F(ScoreExchange, AnEmptyNameOnlyAsksForTheTable) {
    Finished(10);
    StandInClient::answer.fate = SubmissionFate::None;
    g.RunFrame(FrameInput{}.Press(Key::Enter));
    ASSERT_EQ(StandInClient::calls.size(), 1u);
    EXPECT_FALSE(StandInClient::calls[0].has_value());
    EXPECT_EQ(g.game.highscores.size(), 2u);
}

TEST_F(ScoreExchange, AMissingTableIsShownAsUnavailable) {
    const struct {
        bool client;  // a score client wired in at all
        SubmissionFate answered, kept;
    } cases[] = {{true, SubmissionFate::Kept, SubmissionFate::Kept},
                 {false, SubmissionFate::Stored, SubmissionFate::Lost}};
    for (const auto& c : cases) {
        Finished(1530);
        g.game.playerName = "x";
        g.game.scoreExchange = c.client ? &StandInClient::Exchange : nullptr;
        StandInClient::answer = {false, {{"half", 1}}, c.answered};
        g.RunFrame(FrameInput{}.Press(Key::Enter));
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
    g.RunFrame();
    ASSERT_TRUE(game.gameOver);
    EXPECT_FALSE(game.nameEntry);
    ASSERT_EQ(StandInClient::calls.size(), 1u) << "one table request, however many catches";
    EXPECT_FALSE(StandInClient::calls[0].has_value());
    EXPECT_EQ(SoundCount(g.game.effects, SoundEffect::Dead), 2) << "each catch still sounds";
}

}  // namespace
