// A whole game through the real Game, the headless engine and the real score
// server on loopback: play until caught, type a name, send it, read the table
// back from the server's database and from the drawn page, page through it
// and start again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "app/load_resources.h"
#include "scores/score_exchange_client.h"
#include "scores/score_host.h"
#include "tests/e2e/e2e_support.h"
#include "tests/render/render_support.h"
#include "tests/support/headless_game.h"

namespace {

using e2e::StoredRow;

constexpr std::uint32_t White = 0xFFFFFFFF;
constexpr std::uint32_t Orange = 0xFFFFA040;
constexpr int KeyR = 'R';

struct HeadlessRoundTrip : testing::Test {
    e2e::ScoreServer server;
    RenderedGame g{4711};
    TempDir fonts;
    Game& game = g.game;
    std::string defaultHost = ScoreServerHost();
    std::optional<ScoreExchangeClient> client;

    void SetUp() override {
        ASSERT_TRUE(server.Start()) << server.Log();
        ASSERT_TRUE(SetScoreServerHost(server.Host()));
        // The real pictures (from the source tree, where the tests run) and a
        // font whose glyphs name their characters, so the drawn texts can be read.
        LoadResources(*g.engine, g.scene, g.audio);
        g.scene.font =
            std::make_unique<BitmapFont>(g.engine, fonts.write("e2e.fnt", IdentifyingFontText()).c_str());
        client.emplace(ScoreClientSettings{server.Host(), DefaultExchangeBudget, fonts.file("outbox"), {}});
        game.StartGame();
    }

    // One frame; the exchange it asks for runs before the next, as the
    // program runs it, and the game is drawn again with its answer.
    void RunFrame(const FrameInput& input = {}) {
        g.RunFrame(input);
        if (!game.exchangeWanted) return;
        const std::optional<ScoreSubmission>& submission = game.exchangeWanted->submission;
        game.TakeExchange(client->Exchange(submission ? &*submission : nullptr));
        g.render();
    }
    void TearDown() override { SetScoreServerHost(defaultHost); }

    // Valid games sent straight to the server, as other players' games.
    void Prefill(const std::vector<StoredRow>& rows) {
        for (const StoredRow& row : rows) ASSERT_EQ(e2e::Submit(server.port, row), 200) << row.name;
    }

    // The keys that steer the ghost toward (x, y), with or without focus.
    FrameInput SteerTo(float x, float y, bool focus) const {
        const Player& ghost = game.players[0];
        FrameInput input;
        if (focus) input.Hold(Key::Shift);
        if (x < ghost.x - 6) input.Hold(Key::Left);
        if (x > ghost.x + 6) input.Hold(Key::Right);
        if (y < ghost.y - 6) input.Hold(Key::Up);
        if (y > ghost.y + 6) input.Hold(Key::Down);
        return input;
    }

    // The keys that run the ghost at the nearest munchet.
    FrameInput Chase() const {
        const Player& ghost = game.players[0];
        const Munchet* target = nullptr;
        float best = 0;
        for (const Munchet& m : game.munchetList) {
            const float d = std::hypot(m.x - ghost.x, m.y - ghost.y);
            if (!target || d < best) target = &m, best = d;
        }
        return target ? SteerTo(target->x, target->y, false) : FrameInput{};
    }

    // Focused, toward the middle of all food items.
    FrameInput SteerToFood() const {
        float x = 0, y = 0;
        for (const Food& item : game.foodList) x += item.x, y += item.y;
        const float n = static_cast<float>(std::max<std::size_t>(game.foodList.size(), 1));
        return SteerTo(x / n, y / n, true);
    }

    // Runs frames with the given steering until `done` holds, at most maxFrames.
    template <typename Steer, typename Done>
    bool PlayUntil(Steer steer, Done done, int maxFrames) {
        for (int i = 0; i < maxFrames && !done(); ++i) RunFrame(steer());
        return done();
    }

    std::vector<DrawnText> Drawn() const { return TextsIn(g.LastFrame().quads); }

    // The rows the server holds, in the order it ranks them: best score
    // first, equal scores in the order they arrived.
    std::vector<StoredRow> Ranked() const {
        std::vector<StoredRow> rows = e2e::StoredRows(server.Database());
        std::stable_sort(rows.begin(), rows.end(),
                         [](const StoredRow& a, const StoredRow& b) { return a.score > b.score; });
        return rows;
    }
};

// The texts drawn at one row of the table, by their left edge.
const DrawnText* TextAt(const std::vector<DrawnText>& texts, float x, float y) {
    for (const DrawnText& t : texts)
        if (t.x == x && t.y == y) return &t;
    return nullptr;
}

// Checks the drawn page against the game's rows from firstRow on: ranks,
// names (orange where they are the player's), scores; nothing of other pages.
void ExpectPage(const std::vector<DrawnText>& texts, const Game& game, int firstRow) {
    SCOPED_TRACE("page from row " + std::to_string(firstRow));
    ASSERT_NE(FindText(texts, "HIGHSCORES"), nullptr);
    const int rows = static_cast<int>(game.highscores.size());
    for (int i = firstRow; i < firstRow + 10 && i < rows; ++i) {
        const HighscoreEntry& row = game.highscores[static_cast<std::size_t>(i)];
        const float rowY = static_cast<float>(204 + 30 * (i - firstRow));
        char rank[16], score[16];
        std::snprintf(rank, sizeof rank, "%3d.", i + 1);
        std::snprintf(score, sizeof score, "%07d", row.score);
        const DrawnText* drawnRank = FindText(texts, rank);
        ASSERT_NE(drawnRank, nullptr) << rank;
        EXPECT_EQ(drawnRank->y, rowY) << rank;
        const DrawnText* name = TextAt(texts, 282, rowY);
        ASSERT_NE(name, nullptr) << "no name at rank " << rank;
        EXPECT_EQ(name->text, row.name);
        EXPECT_EQ(name->colour, row.name == game.playerName ? Orange : White) << row.name;
        const DrawnText* drawnScore = FindText(texts, score);
        ASSERT_NE(drawnScore, nullptr) << score;
        EXPECT_EQ(drawnScore->y, rowY) << score;
    }
    char before[16], after[16];
    std::snprintf(before, sizeof before, "%3d.", firstRow);
    std::snprintf(after, sizeof after, "%3d.", firstRow + 11);
    EXPECT_EQ(FindText(texts, before), nullptr);
    EXPECT_EQ(FindText(texts, after), nullptr);
    EXPECT_EQ(FindText(texts, "<< Left") != nullptr, firstRow > 0);
    EXPECT_NE(FindText(texts, "Right >>"), nullptr);
}

TEST_F(HeadlessRoundTrip, PositiveGameIsSentStoredDrawnAndPaged) {
    // 24 games of others: five above what this game will reach, nineteen
    // below, one of them under the name this player is about to type.
    std::vector<StoredRow> others;
    for (int k = 10; k <= 14; ++k)
        others.push_back({"Bea " + std::to_string(k), e2e::ScoreFor(1, k, 0), 1, k, 0});
    for (int k = 1; k <= 19; ++k)
        others.push_back({k == 7 ? "Ann %1" : "Cy " + std::to_string(k), e2e::ScoreFor(0, 0, -k), 0, 0, -k});
    Prefill(others);

    // Real play, nothing set by hand: the focused ghost gathers food near the
    // left food source, then parks in the goal, and the food it draws in is
    // saved there.
    for (int i = 0; i < 400; ++i) g.RunFrame(SteerTo(-250, -100, true));
    ASSERT_FALSE(game.gameOver);
    ASSERT_TRUE(PlayUntil([&] { return SteerTo(0, -320, true); }, [&] { return game.score >= 100; }, 3000))
        << "no food reached the goal";
    ASSERT_FALSE(game.gameOver);
    EXPECT_LT(game.food, 0);

    // Back in the food, the crowd drains the ghost's charge well below zero;
    // without focus it then eats the munchets of level 0 (the first may have
    // split by now) and wins the level.
    ASSERT_TRUE(PlayUntil([&] { return SteerToFood(); }, [&] { return game.players[0].charge <= -5; }, 4000))
        << "the food never drained the ghost";
    ASSERT_TRUE(PlayUntil([&] { return Chase(); }, [&] { return game.level == 1 || game.gameOver; }, 3000));
    ASSERT_EQ(game.level, 1) << "the drained ghost did not eat the munchets";
    EXPECT_GE(game.munchets, 1);

    // Recharged by the new level, it runs into a munchet and is caught.
    ASSERT_TRUE(PlayUntil([&] { return Chase(); }, [&] { return game.gameOver; }, 3000))
        << "no munchet caught the ghost";
    ASSERT_TRUE(game.nameEntry);
    ASSERT_GT(game.score, 0);
    // Real play keeps the counters consistent with the score, as the server demands.
    ASSERT_EQ(game.score, e2e::ScoreFor(game.level, game.munchets, game.food));
    EXPECT_NE(FindText(Drawn(), "Enter your name:"), nullptr);

    for (const char c : std::string("Ann %1")) g.RunFrame(FrameInput{}.Type(c));
    ASSERT_EQ(game.playerName, "Ann %1");
    const auto prompt = Drawn();
    const bool prompted = std::any_of(prompt.begin(), prompt.end(),
                                      [](const DrawnText& t) { return t.text.starts_with("Ann %1"); });
    EXPECT_TRUE(prompted) << "the typed name is not drawn under the prompt";
    EXPECT_EQ(server.Requests(e2e::viewPath), 0);

    const StoredRow mine{"Ann %1", game.score, game.level, game.munchets, game.food};
    RunFrame(FrameInput{}.Press(Key::Enter));
    ASSERT_FALSE(game.nameEntry);
    ASSERT_TRUE(game.gameOver);

    // The server stored exactly this game, after the others.
    std::vector<StoredRow> stored = e2e::StoredRows(server.Database());
    ASSERT_EQ(stored.size(), 25u);
    EXPECT_EQ(stored.back(), mine);
    EXPECT_EQ(server.WaitForRequests(e2e::addPath, 25), 25);
    EXPECT_EQ(server.WaitForRequests(e2e::viewPath, 1), 1);

    // The game holds the server's table as ranked and as served.
    const std::vector<StoredRow> ranked = Ranked();
    ASSERT_FALSE(game.highscoresUnavailable);
    ASSERT_EQ(game.highscores.size(), ranked.size());
    std::string served;
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        EXPECT_EQ(game.highscores[i].name, ranked[i].name) << i;
        EXPECT_EQ(game.highscores[i].score, ranked[i].score) << i;
        served += ranked[i].name + ";" + std::to_string(ranked[i].score) + "\n";
    }
    EXPECT_EQ(RawGet(server.port, viewTarget).body, served);

    // The page drawn as the answer came: the first page, this game's row in orange.
    EXPECT_EQ(game.firstRow, 0);
    const std::size_t myRank =
        static_cast<std::size_t>(std::find(ranked.begin(), ranked.end(), mine) - ranked.begin());
    ASSERT_LT(myRank, 10u) << "this game should rank on the first page";
    const auto firstPage = Drawn();
    ExpectPage(firstPage, game, 0);
    const DrawnText* myName = TextAt(firstPage, 282, static_cast<float>(204 + 30 * myRank));
    ASSERT_NE(myName, nullptr);
    EXPECT_EQ(myName->colour, Orange);

    // Right pages forward and wraps from the last page; Left wraps back.
    for (const auto& [key, expected] : std::vector<std::pair<int, int>>{
             {Key::Right, 10}, {Key::Right, 20}, {Key::Right, 0}, {Key::Left, 20}, {Key::Left, 10}}) {
        g.RunFrame(FrameInput{}.Press(key));
        ASSERT_EQ(game.firstRow, expected);
        ExpectPage(Drawn(), game, expected);
    }
    // The older row under the same name, on the second page, is orange too.
    const auto secondPage = Drawn();
    int orange = 0;
    for (const DrawnText& t : secondPage) orange += t.text == "Ann %1" && t.colour == Orange;
    EXPECT_EQ(orange, 1);

    // R starts a new game; the table and the name stay for the next game over.
    g.RunFrame(FrameInput{}.Hold(KeyR));
    EXPECT_FALSE(game.gameOver);
    EXPECT_EQ(game.score, 0);
    EXPECT_EQ(game.level, 0);
    EXPECT_EQ(game.munchetList.size(), 1u);
    EXPECT_EQ(game.highscores.size(), 25u);
    EXPECT_EQ(game.playerName, "Ann %1");
    g.RunFrames(10);
    ASSERT_FALSE(game.gameOver);
    const auto playing = Drawn();
    EXPECT_NE(FindText(playing, "F1 - one player mode"), nullptr);
    EXPECT_NE(FindText(playing, "Score: 0000000"), nullptr);
    EXPECT_EQ(FindText(playing, "HIGHSCORES"), nullptr);
    EXPECT_EQ(e2e::StoredRows(server.Database()).size(), 25u);
}

TEST_F(HeadlessRoundTrip, GameWithoutPointsFetchesTheTableAtOnce) {
    Prefill({{"Dee", e2e::ScoreFor(2, 3, 1), 2, 3, 1}, {"Eve", e2e::ScoreFor(0, 2, 0), 0, 2, 0}});

    // A charged ghost runs into the munchet before anything scored.
    ASSERT_TRUE(PlayUntil([&] { return Chase(); }, [&] { return game.gameOver; }, 2000))
        << "the munchet never caught the ghost";
    ASSERT_EQ(game.score, 0) << "something scored on the way; the chase should stay clear of the goal";
    // No name is asked for, nothing is sent, and the table came before the next frame.
    EXPECT_FALSE(game.nameEntry);
    EXPECT_EQ(server.WaitForRequests(e2e::viewPath, 1), 1);
    EXPECT_EQ(server.Requests(e2e::addPath), 2);
    ASSERT_EQ(game.highscores.size(), 2u);
    EXPECT_EQ(game.highscores[0].name, "Dee");
    EXPECT_EQ(game.highscores[0].score, e2e::ScoreFor(2, 3, 1));
    EXPECT_EQ(game.highscores[1].name, "Eve");
    const auto texts = Drawn();
    EXPECT_EQ(FindText(texts, "Enter your name:"), nullptr);
    ExpectPage(texts, game, 0);

    // Enter on the table sends nothing; typing changes no name.
    g.RunFrame(FrameInput{}.Press(Key::Enter).Type('x'));
    g.RunFrames(20);
    EXPECT_TRUE(game.gameOver);
    EXPECT_TRUE(game.playerName.empty());
    EXPECT_EQ(server.Requests(e2e::addPath), 2);
    EXPECT_EQ(e2e::StoredRows(server.Database()).size(), 2u);
}

}  // namespace
