// What a frame draws in each state of the game, read back from the headless
// engine's quad record. Texts are drawn with a font whose glyphs name their
// characters; the pictures are the real ones from data/.
#include "render/hud.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numbers>

#include "app/load_resources.h"
#include "tests/render/render_support.h"

namespace {

constexpr std::uint32_t White = 0xFFFFFFFF;
constexpr std::uint32_t Orange = 0xFFFFA040;

// A short silent mono WAV: something the engine can play on a channel.
std::string silentWav() {
    const std::uint32_t samples = 800, rate = 8000, dataBytes = samples * 2;
    std::string wav;
    auto u32 = [&wav](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) wav += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto u16 = [&wav](std::uint16_t v) {
        wav += static_cast<char>(v & 0xFF);
        wav += static_cast<char>(v >> 8);
    };
    wav += "RIFF";
    u32(36 + dataBytes);
    wav += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    wav += "data";
    u32(dataBytes);
    wav.append(dataBytes, '\0');
    return wav;
}

struct HudTest : ::testing::Test {
    RenderedGame g;
    TempDir dir;
    Game& game = g.game;

    HudTest() {
        LoadResources(*g.engine, g.scene, g.audio);
        g.scene.font =
            std::make_unique<BitmapFont>(g.engine, dir.write("hud.fnt", IdentifyingFontText()).c_str());
        game.StartGame();
    }

    std::vector<DrawnText> render() {
        g.render();
        return TextsIn(g.LastFrame().quads);
    }
    const std::vector<Quad>& quads() const { return g.LastFrame().quads; }

    // A channel whose volume is gliding, as after the volume key.
    ChannelHandle slidingChannel(int volume) {
        const EffectHandle effect = g.engine->Effect_Load(dir.write("silence.wav", silentWav()).c_str());
        const ChannelHandle channel = g.engine->Effect_PlayEx(effect, 100, 0, 1.0f, true);
        g.engine->Channel_SlideTo(channel, 0.5f, volume);
        return channel;
    }

    void showTable(int rows, int firstRow) {
        game.gameOver = true;
        game.nameEntry = false;
        game.highscores.clear();
        for (int i = 0; i < rows; ++i)
            game.highscores.push_back({"player" + std::to_string(i + 1), 90000 - i * 100});
        game.firstRow = firstRow;
    }
};

// Where a text of n characters starts when centred on x (10 pixels a glyph).
float centredAt(float x, const std::string& text) {
    return x - std::nearbyint(static_cast<float>(text.size()) * 10.0f / 2.0f);
}

void expectText(const std::vector<DrawnText>& texts, const std::string& text, float x, float y) {
    const DrawnText* t = FindText(texts, text);
    ASSERT_NE(t, nullptr) << "\"" << text << "\" is not drawn";
    EXPECT_FLOAT_EQ(t->x, x) << text;
    EXPECT_FLOAT_EQ(t->y, y) << text;
}

TEST_F(HudTest, FirstSecondsOfAOnePlayerGameShowTheHelp) {
    const auto texts = render();
    expectText(texts, "F1 - one player mode", centredAt(512, "F1 - one player mode"), 40);
    expectText(texts, "F2 - coop mode", centredAt(512, "F2 - coop mode"), 60);
    expectText(texts, "move with CURSOR", centredAt(512, "move with CURSOR"), 384);
    expectText(texts, "Focus with SHIFT", centredAt(512, "Focus with SHIFT"), 404);
    expectText(texts, "M - change music volume", centredAt(512, "M - change music volume"), 604);
    expectText(texts, "code: VLKN", centredAt(512, "code: VLKN"), 644);
    expectText(texts, "soundtrack: Ostrel - Stardust", centredAt(512, "soundtrack: Ostrel - Stardust"), 664);
    EXPECT_EQ(FindText(texts, "move with WASD"), nullptr);
    EXPECT_EQ(FindText(texts, "Next Level!"), nullptr);
}

TEST_F(HudTest, TwoPlayerHelpStandsOnBothHalves) {
    game.playerCount = 2;
    const auto texts = render();
    expectText(texts, "move with CURSOR", centredAt(712, "move with CURSOR"), 384);
    expectText(texts, "Focus with Numpad 0", centredAt(712, "Focus with Numpad 0"), 404);
    expectText(texts, "move with WASD", centredAt(312, "move with WASD"), 384);
    expectText(texts, "Focus with G", centredAt(312, "Focus with G"), 404);
    EXPECT_EQ(FindText(texts, "Focus with SHIFT"), nullptr);
}

TEST_F(HudTest, HelpVanishesAtThreeSeconds) {
    game.gameTime = 2.99f;
    EXPECT_NE(FindText(render(), "F1 - one player mode"), nullptr);
    game.gameTime = 3.0f;
    const auto texts = render();
    EXPECT_EQ(FindText(texts, "F1 - one player mode"), nullptr);
    EXPECT_EQ(FindText(texts, "M - change music volume"), nullptr);
    // The score line stays in every state.
    expectText(texts, "Score: 0000000", 5, 5);
    expectText(texts, "Level: 01", 1019 - 90, 5);
}

TEST_F(HudTest, LevelBonusShowsOnlyFromTheSecondLevelForThreeSeconds) {
    game.levelTime = 0;
    EXPECT_EQ(FindText(render(), "Next Level!"), nullptr);

    game.level = 1;
    auto texts = render();
    expectText(texts, "Next Level!", centredAt(512, "Next Level!"), 384);
    expectText(texts, "Bonus: 10000 Points", centredAt(512, "Bonus: 10000 Points"), 404);
    expectText(texts, "Level: 02", 929, 5);

    game.level = 2;
    game.gameTime = 10;
    game.levelTime = 2.99f;
    texts = render();
    EXPECT_NE(FindText(texts, "Bonus: 20000 Points"), nullptr);
    EXPECT_NE(FindText(texts, "Level: 03"), nullptr);

    game.levelTime = 3.0f;
    EXPECT_EQ(FindText(render(), "Next Level!"), nullptr);
}

TEST_F(HudTest, ScoreAndLevelArePadded) {
    game.score = 1234;
    game.level = 11;
    game.gameTime = 5;
    const auto texts = render();
    expectText(texts, "Score: 0001234", 5, 5);
    expectText(texts, "Level: 12", 929, 5);
}

TEST_F(HudTest, NamePromptBlinksItsCursor) {
    game.gameOver = game.nameEntry = true;
    game.playerName = "Ann";
    game.gameTime = 10.0f;  // whole part of 50.0 is even
    auto texts = render();
    expectText(texts, "Enter your name:", centredAt(512, "Enter your name:"), 384);
    expectText(texts, "Ann|", centredAt(512, "Ann|"), 404);
    EXPECT_EQ(FindText(texts, "F1 - one player mode"), nullptr);
    EXPECT_EQ(FindText(texts, "HIGHSCORES"), nullptr);

    game.gameTime = 10.25f;  // 51
    texts = render();
    expectText(texts, "Ann", centredAt(512, "Ann"), 404);
    EXPECT_EQ(FindText(texts, "Ann|"), nullptr);
}

TEST_F(HudTest, TypedTextIsNeverReadAsAFormat) {
    game.gameOver = game.nameEntry = true;
    game.playerName = "100%s %d%n";
    game.gameTime = 10.25f;
    EXPECT_NE(FindText(render(), "100%s %d%n"), nullptr);

    showTable(2, 0);
    game.highscores[1].name = "%x%%";
    const auto texts = render();
    EXPECT_NE(FindText(texts, "%x%%"), nullptr);
}

TEST_F(HudTest, LastTablePageShowsItsRanksAndBothScrollHints) {
    showTable(23, 20);
    const auto texts = render();
    expectText(texts, "HIGHSCORES", centredAt(512, "HIGHSCORES"), 134);
    for (int k = 0; k < 3; ++k) {
        const float rowY = 204.0f + 30.0f * static_cast<float>(k);
        const std::string rank = " " + std::to_string(21 + k) + ".";
        expectText(texts, rank, 272 - 40, rowY);
        expectText(texts, "player" + std::to_string(21 + k), 282, rowY);
        char score[16];
        std::snprintf(score, sizeof score, "%07d", 90000 - (20 + k) * 100);
        expectText(texts, score, 782 - 70, rowY);
    }
    EXPECT_EQ(FindText(texts, " 24."), nullptr);
    EXPECT_EQ(FindText(texts, " 20."), nullptr);
    expectText(texts, "Scroll", 112, 384);
    expectText(texts, "<< Left", 112, 404);
    expectText(texts, "Right >>", 912 - 80, 404);
    expectText(texts, "Game Over!", centredAt(512, "Game Over!"), 634);
    expectText(texts, "Restart with R or SPACE", centredAt(512, "Restart with R or SPACE"), 654);
    EXPECT_EQ(FindText(texts, "Highscores unavailable"), nullptr);
}

TEST_F(HudTest, FirstTablePageShowsTenRowsAndOnlyTheRightHint) {
    showTable(23, 0);
    const auto texts = render();
    expectText(texts, "  1.", 232, 204);
    expectText(texts, " 10.", 232, 474);
    EXPECT_EQ(FindText(texts, " 11."), nullptr);
    EXPECT_EQ(FindText(texts, "<< Left"), nullptr);
    EXPECT_NE(FindText(texts, "Right >>"), nullptr);
}

TEST_F(HudTest, EmptyOrExhaustedTableDrawsOnlyTheHeadingAndHints) {
    for (const int firstRow : {0, 30}) {
        showTable(firstRow == 0 ? 0 : 23, firstRow);
        const auto texts = render();
        EXPECT_NE(FindText(texts, "HIGHSCORES"), nullptr);
        EXPECT_NE(FindText(texts, "Right >>"), nullptr);
        EXPECT_NE(FindText(texts, "Game Over!"), nullptr);
        for (const DrawnText& t : texts) EXPECT_EQ(t.text.find("player"), std::string::npos) << t.text;
    }
}

TEST_F(HudTest, UnavailableTableSaysSo) {
    showTable(0, 0);
    game.highscoresUnavailable = true;
    const auto texts = render();
    expectText(texts, "Highscores unavailable", centredAt(512, "Highscores unavailable"), 174);
}

// What the table screen says under its heading for one fate of this game's
// score, with and without a table.
struct FateNote {
    SubmissionFate fate;
    bool unavailable;    // the table request failed
    const char* note;    // the fate's line; null: none
    float unavailableY;  // where "Highscores unavailable" stands, when drawn
    float noteY;
};

std::string FateNoteName(const ::testing::TestParamInfo<FateNote>& info) {
    static constexpr const char* fates[] = {"None", "Stored", "Refused", "Kept", "Uncertain", "Lost"};
    return std::string(fates[static_cast<int>(info.param.fate)]) +
           (info.param.unavailable ? "WithoutTable" : "WithTable");
}

void PrintTo(const FateNote& c, std::ostream* out) { *out << FateNoteName({c, 0}); }

class TableNotes : public HudTest, public ::testing::WithParamInterface<FateNote> {};

TEST_P(TableNotes, StandUnderTheHeadingApartFromEachOtherAndTheRows) {
    const FateNote& c = GetParam();
    showTable(c.unavailable ? 0 : 12, 0);
    game.highscoresUnavailable = c.unavailable;
    game.submissionFate = c.fate;
    const auto texts = render();
    if (c.unavailable)
        expectText(texts, "Highscores unavailable", centredAt(512, "Highscores unavailable"), c.unavailableY);
    else
        EXPECT_EQ(FindText(texts, "Highscores unavailable"), nullptr);
    if (c.note) expectText(texts, c.note, centredAt(512, c.note), c.noteY);
    for (const DrawnText& t : texts)
        EXPECT_FALSE(t.text.starts_with("Score ") && (!c.note || t.text != c.note)) << t.text;
    // No two texts share a pixel (10 x 20 pixels a glyph).
    for (std::size_t i = 0; i < texts.size(); ++i)
        for (std::size_t j = i + 1; j < texts.size(); ++j) {
            const DrawnText &a = texts[i], &b = texts[j];
            const float aRight = a.x + 10.0f * static_cast<float>(a.text.size());
            const float bRight = b.x + 10.0f * static_cast<float>(b.text.size());
            const bool apart = aRight <= b.x || bRight <= a.x || a.y + 20 <= b.y || b.y + 20 <= a.y;
            EXPECT_TRUE(apart) << "\"" << a.text << "\" covers \"" << b.text << "\"";
        }
}

INSTANTIATE_TEST_SUITE_P(
    Fates, TableNotes,
    ::testing::Values(FateNote{SubmissionFate::None, true, nullptr, 174, 0},
                      FateNote{SubmissionFate::Stored, true, nullptr, 174, 0},
                      FateNote{SubmissionFate::Stored, false, nullptr, 0, 0},
                      FateNote{SubmissionFate::Kept, false, "Score kept - it will be sent next time", 0, 174},
                      FateNote{SubmissionFate::Kept, true, "Score kept - it will be sent next time", 159,
                               179},
                      FateNote{SubmissionFate::Lost, true, "Score could not be sent or kept", 159, 179},
                      FateNote{SubmissionFate::Uncertain, false, "Score sent - no answer in time", 0, 174},
                      FateNote{SubmissionFate::Uncertain, true, "Score sent - no answer in time", 159, 179},
                      FateNote{SubmissionFate::Refused, false, "Score refused by the server", 0, 174}),
    FateNoteName);

TEST_F(HudTest, AStoredScoreDrawsTheTableAsAScreenWithoutAScore) {
    const auto drawn = [this](SubmissionFate fate, bool unavailable) {
        showTable(unavailable ? 0 : 12, 0);
        game.highscoresUnavailable = unavailable;
        game.submissionFate = fate;
        std::string all;
        for (const DrawnText& t : render())
            all += t.text + "@" + std::to_string(t.x) + "," + std::to_string(t.y) + "/" +
                   std::to_string(t.colour) + "\n";
        return all + std::to_string(quads().size());
    };
    for (const bool unavailable : {false, true})
        EXPECT_EQ(drawn(SubmissionFate::Stored, unavailable), drawn(SubmissionFate::None, unavailable));
}

TEST_F(HudTest, EveryRowWithThePlayersNameIsOrange) {
    showTable(5, 0);
    game.playerName = "Ann";
    game.highscores[1].name = "Ann";
    game.highscores[3].name = "Ann";
    game.highscores[4].name = "ann";
    const auto texts = render();
    int orange = 0;
    for (const DrawnText& t : texts) {
        if (t.text == "Ann") {
            EXPECT_EQ(t.colour, Orange);
            ++orange;
        } else {
            EXPECT_EQ(t.colour, White) << t.text;
        }
    }
    EXPECT_EQ(orange, 2);
    EXPECT_EQ(g.scene.font->GetColor(), White);
}

TEST_F(HudTest, VolumeBarShowsWhileTheVolumeGlides) {
    game.gameTime = 5;
    EXPECT_EQ(FindText(render(), "[IIII ]"), nullptr);  // no glide, no bar

    const struct {
        int volume;
        const char* bar;
    } cases[] = {{0, "[     ]"}, {20, "[I    ]"}, {60, "[III  ]"}, {100, "[IIIII]"}};
    for (const auto& c : cases) {
        game.musicVolume = c.volume;
        g.audio.musicChannel = slidingChannel(c.volume);
        expectText(render(), c.bar, 512 - 35, 734);
    }
    char bar[8];
    EXPECT_STREQ(BuildVolumeBar(bar, 80), "[IIII ]");
}

TEST_F(HudTest, PlayFieldIsDrawnBackToFront) {
    game.gameTime = 5;
    game.foodList = {Food(10, 20)};
    game.munchetList.resize(1);
    game.munchetList[0].x = 0;
    game.munchetList[0].y = 0;
    game.munchetList[0].heading = std::numbers::pi_v<float> / 2;
    game.players[0].x = 100;
    game.players[0].y = -50;
    render();
    ASSERT_TRUE(g.LastFrame().cleared);
    EXPECT_EQ(g.LastFrame().clearColour, 0u);

    std::vector<TextureHandle> order;
    for (const Quad& q : quads())
        if (q.texture != 0) order.push_back(q.texture);
    const std::vector<TextureHandle> expected = {g.scene.doorTexture, g.scene.foodTexture,
                                                 g.scene.munchetTexture, g.scene.ghostEnergyTexture,
                                                 g.scene.ghostTexture};
    EXPECT_EQ(order, expected);

    const Quad door = QuadsWith(quads(), g.scene.doorTexture).at(0);
    EXPECT_FLOAT_EQ(door.v[0].x, 480);
    EXPECT_FLOAT_EQ(door.v[0].y, 32);
    EXPECT_FLOAT_EQ(door.v[2].x, 544);
    EXPECT_FLOAT_EQ(door.v[2].y, 96);
    EXPECT_EQ(door.v[0].colour, White);

    const Quad food = QuadsWith(quads(), g.scene.foodTexture).at(0);
    EXPECT_FLOAT_EQ(food.v[0].x, 519);
    EXPECT_FLOAT_EQ(food.v[0].y, 402);
    EXPECT_FLOAT_EQ(food.v[2].x, 525);
    EXPECT_FLOAT_EQ(food.v[2].y, 406);
    EXPECT_EQ(food.v[0].colour, 0xFF00A000u);

    // Facing down the screen: the picture's top-left corner has turned to the top right.
    const Quad munchet = QuadsWith(quads(), g.scene.munchetTexture).at(0);
    EXPECT_NEAR(munchet.v[0].x, 520, 1e-4);
    EXPECT_NEAR(munchet.v[0].y, 376, 1e-4);
    EXPECT_NEAR(munchet.v[2].x, 504, 1e-4);
    EXPECT_NEAR(munchet.v[2].y, 392, 1e-4);
    EXPECT_EQ(munchet.v[0].colour, 0xFFFFFF00u);

    const Quad aura = QuadsWith(quads(), g.scene.ghostEnergyTexture).at(0);
    EXPECT_FLOAT_EQ(aura.v[0].x, 612 - 24);
    EXPECT_FLOAT_EQ(aura.v[0].y, 334 - 24);
    EXPECT_FLOAT_EQ(aura.v[2].x, 612 + 24);
    const Quad body = QuadsWith(quads(), g.scene.ghostTexture).at(0);
    EXPECT_FLOAT_EQ(body.v[0].x, 612 - 16);
    EXPECT_FLOAT_EQ(body.v[2].y, 334 + 16);
}

TEST_F(HudTest, OnlyTakingPartPlayersAreDrawn) {
    EXPECT_EQ(QuadsWith((render(), quads()), g.scene.ghostTexture).size(), 1u);
    game.playerCount = 2;
    render();
    EXPECT_EQ(QuadsWith(quads(), g.scene.ghostTexture).size(), 2u);
    EXPECT_EQ(QuadsWith(quads(), g.scene.ghostEnergyTexture).size(), 2u);
}

TEST_F(HudTest, AuraAndBodyColoursFollowTheCharge) {
    const struct {
        float charge;
        bool focusing;
        std::uint32_t aura, body;
    } cases[] = {
        {0.0f, false, 0x00A05000, 0xFF0000FF},   // can eat, but no aura yet; blue
        {-3.0f, false, 0x33A05000, 0xFFFF0000},  // alpha 51, fully red
        {-3.0f, true, 0x33A05000, 0xFF0000FF},   // focusing stays blue
        {-1.5f, false, 0x19A05000, 0xFF7F007F},  // 25.5 and 127.5 are cut, blue from the unrounded red
        {-15.0f, false, 0xFFA05000, 0xFFFF0000}, {-40.0f, false, 0xFFA05000, 0xFFFF0000},
        {1.0f, false, 0x55008040, 0xFF0000FF},  // 85 per unit above zero
        {3.0f, false, 0xFF008040, 0xFF0000FF},   {30.0f, true, 0xFF008040, 0xFF0000FF},
    };
    for (const auto& c : cases) {
        game.players[0].charge = c.charge;
        game.players[0].focusing = c.focusing;
        render();
        const Quad aura = QuadsWith(quads(), g.scene.ghostEnergyTexture).at(0);
        const Quad body = QuadsWith(quads(), g.scene.ghostTexture).at(0);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(aura.v[i].colour, c.aura) << "charge " << c.charge;
            EXPECT_EQ(body.v[i].colour, c.body) << "charge " << c.charge << " focusing " << c.focusing;
        }
    }
}

TEST(NamePromptBuffer, CutsWhatDoesNotFit) {
    char small[20];
    EXPECT_STREQ(BuildNamePrompt(small, sizeof small, "abcdef", true), "Enter your name:\nab");
    char one[1];
    EXPECT_STREQ(BuildNamePrompt(one, sizeof one, "abc", true), "");
    char fits[64];
    EXPECT_STREQ(BuildNamePrompt(fits, sizeof fits, "Zoe", false), "Enter your name:\nZoe");
}

}  // namespace
