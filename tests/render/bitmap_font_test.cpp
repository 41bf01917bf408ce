#include "render/bitmap_font.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "render/font_file.h"
#include "tests/render/render_support.h"
#include "tests/support/engine_game.h"

namespace {

struct BitmapFontTest : ::testing::Test {
    EngineGame g;
    TempDir dir;
    std::string logPath = dir.file("error.log");

    BitmapFontTest() { g.engine->System_SetState(StateLogFile, logPath.c_str()); }

    // A font from the file text, written into the temporary directory.
    BitmapFont load(const std::string& text, const std::string& name = "test.fnt") {
        return BitmapFont(g.engine, dir.write(name, text).c_str());
    }

    // The quads of one DrawText call.
    std::vector<Quad> draw(BitmapFont& font, float x, float y, int alignment, const char* text) {
        g.engine->Gfx_BeginScene();
        font.DrawText(x, y, alignment, text);
        g.engine->Gfx_EndScene();
        return g.LastFrame().quads;
    }

    std::string log() { return readFile(logPath); }
};

// Glyph of code c at x = c (no texture), w x h, with the advances.
std::string glyph(int c, int w, int h = 20, int pre = 0, int post = 0) {
    char line[96];
    std::snprintf(line, sizeof line, "Char = %X, %d, 0, %d, %d, %d, %d\n", c, c, w, h, pre, post);
    return line;
}

char charOf(const Quad& q) { return static_cast<char>(std::lround(q.v[0].u)); }

TEST_F(BitmapFontTest, LoadsEveryGlyphAndTheTallestHeight) {
    BitmapFont font = load("[HGEFONT]\n" + glyph('A', 12, 20) + glyph('B', 9, 24) + glyph('C', 9, 18));
    ASSERT_NE(font.GetGlyph('A'), nullptr);
    EXPECT_FLOAT_EQ(font.GetGlyph('A')->GetWidth(), 12.0f);
    EXPECT_EQ(font.GetGlyph('D'), nullptr);
    EXPECT_FLOAT_EQ(font.GetHeight(), 24.0f);
    EXPECT_EQ(log(), "");
}

TEST_F(BitmapFontTest, ALaterLineReplacesTheGlyph) {
    BitmapFont font = load("[HGEFONT]\n" + glyph('A', 12) + "Char = \"A\", 7, 0, 5, 20, 0, 0\n");
    const auto quads = draw(font, 0, 0, AlignLeft, "A");
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_FLOAT_EQ(quads[0].v[0].u, 7.0f);
    EXPECT_FLOAT_EQ(quads[0].v[1].x, 5.0f);
}

TEST_F(BitmapFontTest, CentredLinesRoundHalfPixelsToEven) {
    BitmapFont font = load("[HGEFONT]\n" + glyph('a', 13) + glyph('b', 15) + glyph('c', 11));
    EXPECT_FLOAT_EQ(draw(font, 100, 0, AlignCenter, "a")[0].v[0].x, 94.0f);  // 6.5 -> 6
    EXPECT_FLOAT_EQ(draw(font, 100, 0, AlignCenter, "b")[0].v[0].x, 92.0f);  // 7.5 -> 8
    EXPECT_FLOAT_EQ(draw(font, 100, 0, AlignCenter, "c")[0].v[0].x, 94.0f);  // 5.5 -> 6
    EXPECT_FLOAT_EQ(draw(font, 100, 0, AlignCenter, "ab")[0].v[0].x, 86.0f);
}

TEST_F(BitmapFontTest, EveryLineIsAlignedOnItsOwn) {
    BitmapFont font = load("[HGEFONT]\n" + glyph('a', 13) + glyph('b', 15));
    auto quads = draw(font, 100, 50, AlignCenter, "ab\nb");
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_FLOAT_EQ(quads[0].v[0].x, 86.0f);
    EXPECT_FLOAT_EQ(quads[0].v[0].y, 50.0f);
    EXPECT_FLOAT_EQ(quads[2].v[0].x, 92.0f);
    EXPECT_FLOAT_EQ(quads[2].v[0].y, 70.0f);

    quads = draw(font, 100, 50, AlignRight, "b\naab");
    ASSERT_EQ(quads.size(), 4u);
    EXPECT_FLOAT_EQ(quads[0].v[1].x, 100.0f);
    EXPECT_FLOAT_EQ(quads[1].v[0].x, 59.0f);
    EXPECT_FLOAT_EQ(quads[3].v[1].x, 100.0f);
    EXPECT_FLOAT_EQ(quads[3].v[0].y, 70.0f);

    // Only the two lowest bits count, and 3 is left.
    EXPECT_FLOAT_EQ(draw(font, 100, 0, 3, "a")[0].v[0].x, 100.0f);
    EXPECT_FLOAT_EQ(draw(font, 100, 0, 4 + AlignRight, "a")[0].v[0].x, 87.0f);
}

TEST_F(BitmapFontTest, LineFeedsMoveDownByTheRoundedHeight) {
    BitmapFont font = load("[HGEFONT]\n" + glyph('a', 10, 21) + glyph('b', 10, 17));
    auto quads = draw(font, 0, 0.5f, AlignLeft, "a\n\nb\n");
    ASSERT_EQ(quads.size(), 2u);  // a text ending in a line feed draws nothing more
    EXPECT_FLOAT_EQ(quads[1].v[0].y, 42.5f);
    EXPECT_FLOAT_EQ(quads[1].v[0].x, 0.0f);
}

TEST_F(BitmapFontTest, AdvancesSurroundEachGlyph) {
    BitmapFont font = load("[HGEFONT]\n" + glyph('a', 10, 20, 2, 3) + glyph('b', 4, 20, -1, 0));
    EXPECT_FLOAT_EQ(font.GetTextWidth("aa\naaaa"), 30.0f);
    EXPECT_FLOAT_EQ(font.GetTextWidth("ab"), 18.0f);
    EXPECT_FLOAT_EQ(font.GetTextWidth(""), 0.0f);
    const auto quads = draw(font, 0, 0, AlignLeft, "aab");
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_FLOAT_EQ(quads[0].v[0].x, 2.0f);
    EXPECT_FLOAT_EQ(quads[1].v[0].x, 17.0f);
    EXPECT_FLOAT_EQ(quads[2].v[0].x, 29.0f);
    // Right alignment counts the last post-advance too.
    EXPECT_FLOAT_EQ(draw(font, 100, 0, AlignRight, "a")[0].v[0].x, 87.0f);
}

TEST_F(BitmapFontTest, MissingGlyphsFallBackToTheQuestionMarkOrVanish) {
    BitmapFont plain = load("[HGEFONT]\n" + glyph('a', 13), "plain.fnt");
    auto quads = draw(plain, 0, 0, AlignLeft, "a%a\r");
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_FLOAT_EQ(quads[1].v[0].x, 13.0f);
    EXPECT_FLOAT_EQ(plain.GetTextWidth("a%a"), 26.0f);

    BitmapFont withQuestion = load("[HGEFONT]\n" + glyph('a', 13) + glyph('?', 7, 20, 1, 1), "question.fnt");
    quads = draw(withQuestion, 0, 0, AlignLeft, "a\xC4\r");
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_EQ(charOf(quads[1]), '?');
    EXPECT_EQ(charOf(quads[2]), '?');  // a carriage return is just another byte
    EXPECT_FLOAT_EQ(quads[1].v[0].x, 14.0f);
    EXPECT_FLOAT_EQ(quads[2].v[0].x, 23.0f);
    EXPECT_FLOAT_EQ(withQuestion.GetTextWidth("a\xC4"), 22.0f);
}

TEST_F(BitmapFontTest, FormattedTextIsCutAfter1023Characters) {
    BitmapFont font = load(IdentifyingFontText(1));
    const std::string longText(2000, 'x');
    g.engine->Gfx_BeginScene();
    font.DrawFormatted(0, 0, AlignLeft, "%s|%d", longText.c_str(), 5);
    g.engine->Gfx_EndScene();
    EXPECT_EQ(g.LastFrame().quads.size(), 1023u);

    g.engine->Gfx_BeginScene();
    font.DrawFormatted(0, 0, AlignLeft, "Score: %07d", 1234);
    g.engine->Gfx_EndScene();
    const auto texts = TextsIn(g.LastFrame().quads);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Score: 0001234");
}

TEST_F(BitmapFontTest, SetColorTintsEveryGlyph) {
    BitmapFont font = load("[HGEFONT]\n" + glyph('a', 5) + glyph('?', 5));
    EXPECT_EQ(font.GetColor(), 0xFFFFFFFFu);
    font.SetColor(0xFFFFA040);
    for (const Quad& q : draw(font, 0, 0, AlignLeft, "a?z"))
        for (const Vertex& v : q.v) EXPECT_EQ(v.colour, 0xFFFFA040u);
}

TEST_F(BitmapFontTest, MissingFileGivesAQuietEmptyFont) {
    BitmapFont font(g.engine, dir.file("nowhere.fnt").c_str());
    EXPECT_TRUE(draw(font, 0, 0, AlignLeft, "abc\ndef").empty());
    EXPECT_FLOAT_EQ(font.GetTextWidth("abc"), 0.0f);
    EXPECT_FLOAT_EQ(font.GetHeight(), 0.0f);
    EXPECT_EQ(log(), "");
}

TEST_F(BitmapFontTest, WrongHeaderIsLoggedAndGivesAnEmptyFont) {
    const std::string path = dir.write("broken.fnt", "\n[HGEFONT]\n" + glyph('a', 5));
    BitmapFont font(g.engine, path.c_str());
    EXPECT_EQ(font.GetGlyph('a'), nullptr);
    EXPECT_EQ(log(), "Font " + path + " has incorrect format.\n");

    // The path is data, never a format.
    const std::string oddPath = dir.write("100%s.fnt", "junk");
    BitmapFont odd(g.engine, oddPath.c_str());
    EXPECT_NE(log().find("Font " + oddPath + " has incorrect format."), std::string::npos);
}

TEST_F(BitmapFontTest, TextureIsLookedUpBesideTheFontFile) {
    std::filesystem::copy_file("data/munchet.png", dir.path / "glyphs.png");  // 16 x 16
    BitmapFont font = load("[HGEFONT]\nBitmap=glyphs.png\nChar = \"a\", 4, 0, 8, 4, 0, 0\n");
    ASSERT_NE(font.GetTexture(), 0u);
    const auto quads = draw(font, 0, 0, AlignLeft, "a");
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].texture, font.GetTexture());
    EXPECT_FLOAT_EQ(quads[0].v[0].u, 0.25f);
    EXPECT_FLOAT_EQ(quads[0].v[2].u, 0.75f);
    EXPECT_FLOAT_EQ(quads[0].v[2].v, 0.25f);
}

TEST_F(BitmapFontTest, TextureThatFailsToLoadEndsTheFile) {
    BitmapFont font = load("[HGEFONT]\n" + glyph('a', 5) + "Bitmap = missing.png\n" + glyph('b', 5));
    ASSERT_NE(font.GetGlyph('a'), nullptr);
    EXPECT_EQ(font.GetGlyph('a')->GetQuad().texture, 0u);
    EXPECT_EQ(font.GetGlyph('b'), nullptr);
}

TEST_F(BitmapFontTest, TexturePathTooLongEndsTheFileWithALogLine) {
    // The line itself fits; the directory in front of the name does not.
    const std::string name(240, 'n');
    ASSERT_GT(dir.path.string().size() + 1 + name.size(), MaxFontTexturePathLength);
    BitmapFont font = load("[HGEFONT]\n" + glyph('a', 5) + "Bitmap = " + name + "\n" + glyph('b', 5));
    EXPECT_NE(font.GetGlyph('a'), nullptr);
    EXPECT_EQ(font.GetGlyph('b'), nullptr);
    EXPECT_EQ(font.GetTexture(), 0u);
    EXPECT_NE(log().find("has incorrect format."), std::string::npos);
}

}  // namespace
