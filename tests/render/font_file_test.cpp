#include "render/font_file.h"

#include <gtest/gtest.h>

#include <string>

namespace {

FontFileContents parse(const std::string& text) { return ParseFontFile(text.data(), text.size()); }

// The glyph lines of a parse, in file order.
std::vector<FontGlyphLine> glyphsOf(const FontFileContents& contents) {
    std::vector<FontGlyphLine> glyphs;
    for (const FontFileEntry& e : contents.entries)
        if (e.kind == FontFileEntry::Char) glyphs.push_back(e.glyph);
    return glyphs;
}

bool sameGlyphs(const std::vector<FontGlyphLine>& a, const std::vector<FontGlyphLine>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].code != b[i].code || a[i].x != b[i].x || a[i].y != b[i].y || a[i].width != b[i].width ||
            a[i].height != b[i].height || a[i].pre != b[i].pre || a[i].post != b[i].post)
            return false;
    }
    return true;
}

// The only glyph of a one-line body, or code 0 with everything 0 when the
// line defines nothing.
FontGlyphLine onlyGlyph(const std::string& charLine) {
    const auto glyphs = glyphsOf(parse("[HGEFONT]\n" + charLine + "\n"));
    EXPECT_LE(glyphs.size(), 1u) << charLine;
    return glyphs.empty() ? FontGlyphLine{} : glyphs.front();
}

bool defines(const std::string& charLine) {
    return !glyphsOf(parse("[HGEFONT]\n" + charLine + "\n")).empty();
}

TEST(FontFile, LineEndsAndBlankLinesDoNotChangeWhatIsRead) {
    const std::string lf =
        "[HGEFONT]\nBitmap = font.png\nChar = \"A\", 1, 2, 12, 20, 0, 1\nChar = 42, 13, 2, 9, 20, -1, 2\n";
    const std::string crlf =
        "[HGEFONT]\r\n\r\nBitmap = font.png\r\n\r\n\r\nChar = \"A\", 1, 2, 12, 20, 0, 1\r\nChar = 42, 13, 2, "
        "9, 20, "
        "-1, 2\r\n";
    const std::string cr =
        "[HGEFONT]\rBitmap = font.png\r\rChar = \"A\", 1, 2, 12, 20, 0, 1\rChar = 42, 13, 2, 9, "
        "20, -1, 2";
    const auto reference = parse(lf);
    ASSERT_TRUE(reference.valid);
    ASSERT_EQ(glyphsOf(reference).size(), 2u);
    for (const std::string& other : {crlf, cr}) {
        const auto contents = parse(other);
        EXPECT_TRUE(contents.valid);
        EXPECT_TRUE(sameGlyphs(glyphsOf(contents), glyphsOf(reference)));
        ASSERT_EQ(contents.entries.size(), 3u);
        EXPECT_EQ(contents.entries[0].bitmap, "font.png");
    }
}

TEST(FontFile, HeaderMustBeTheExactFirstLine) {
    EXPECT_TRUE(parse("[HGEFONT]").valid);
    EXPECT_TRUE(parse("[HGEFONT]\n").valid);
    EXPECT_FALSE(parse("").valid);
    EXPECT_FALSE(ParseFontFile(nullptr, 0).valid);
    EXPECT_FALSE(parse("\n[HGEFONT]\n").valid);
    EXPECT_FALSE(parse("[HGEFONT] \n").valid);
    EXPECT_FALSE(parse(" [HGEFONT]\n").valid);
    EXPECT_FALSE(parse("[hgefont]\n").valid);
    EXPECT_FALSE(parse("[HGEFONT\n").valid);
    EXPECT_FALSE(parse("Char = \"A\", 1, 1, 1, 1, 0, 0\n").valid);
}

TEST(FontFile, QuotedAndHexadecimalCharactersNameTheSameCode) {
    for (const char* line : {"Char = \"A\", 1, 1, 12, 20, 0, 1", "Char = 41, 1, 1, 12, 20, 0, 1",
                             "Char = 0041, 1, 1, 12, 20, 0, 1", "Char=41,1,1,12,20,0,1",
                             "Char =    \"A\" , 1 ,1,\t12 , 20,0 ,\t1 trailing text"}) {
        const FontGlyphLine g = onlyGlyph(line);
        EXPECT_EQ(g.code, 65) << line;
        EXPECT_EQ(g.width, 12) << line;
        EXPECT_EQ(g.height, 20) << line;
        EXPECT_EQ(g.post, 1) << line;
    }
    EXPECT_EQ(onlyGlyph("Char = 7e, 0, 0, 1, 1, 0, 0").code, 0x7E);
    EXPECT_EQ(onlyGlyph("Char = FF, 0, 0, 1, 1, 0, 0").code, 255);
    EXPECT_EQ(onlyGlyph("Char = 00000000000000000041, 0, 0, 1, 1, 0, 0").code, 65);
}

TEST(FontFile, QuotedFormTakesBlanksQuotesAndAnyByte) {
    EXPECT_EQ(onlyGlyph("Char = \" \", 0, 0, 5, 20, 0, 0").code, ' ');
    EXPECT_EQ(onlyGlyph("Char = \"\"\", 0, 0, 5, 20, 0, 0").code, '"');
    EXPECT_EQ(onlyGlyph("Char = \",\", 3, 0, 5, 20, 0, 0").x, 3);
    EXPECT_EQ(onlyGlyph("Char = \"\xE9\", 0, 0, 5, 20, 0, 0").code, 0xE9);
    // The closing quote is not checked.
    EXPECT_EQ(onlyGlyph("Char = \"Bx, 0, 0, 5, 20, 0, 0").code, 'B');
}

TEST(FontFile, NumbersAreSignedDecimals) {
    const FontGlyphLine g = onlyGlyph("Char = \"j\", 100, 200, 5, 21, -2, +3");
    EXPECT_EQ(g.x, 100);
    EXPECT_EQ(g.y, 200);
    EXPECT_EQ(g.pre, -2);
    EXPECT_EQ(g.post, 3);
    EXPECT_EQ(onlyGlyph("Char = \"j\", 0, 0, 1, 1, -2147483648, 2147483647").pre, -2147483647 - 1);
}

TEST(FontFile, CharLinesThatDefineNothingAreIgnored) {
    EXPECT_FALSE(defines("Char = 100, 0, 0, 5, 20, 0, 0"));  // code 256
    EXPECT_FALSE(defines("Char = 1000000000000, 0, 0, 5, 20, 0, 0"));
    EXPECT_FALSE(defines("Char \"A\", 0, 0, 5, 20, 0, 0"));   // no equals sign
    EXPECT_FALSE(defines("Char = , 0, 0, 5, 20, 0, 0"));      // no character
    EXPECT_FALSE(defines("Char = \t41, 0, 0, 5, 20, 0, 0"));  // a tab is not skipped
    EXPECT_FALSE(defines("Char = \"A\", 0, 0, 5, 20, 0"));    // five numbers
    EXPECT_FALSE(defines("Char = \"A\""));
    EXPECT_FALSE(defines("Char = \"A"));
    EXPECT_FALSE(defines("Char = \""));
    EXPECT_FALSE(defines("Char = 41 0, 0, 5, 20, 0, 0"));  // no comma
    EXPECT_FALSE(defines("Char = 41, 0, 0, x5, 20, 0, 0"));
    EXPECT_FALSE(defines("Char = 41, 0, 0, 5, 20, 0, -"));
    EXPECT_FALSE(defines("Char = 41, 0, 0, 2147483648, 20, 0, 0"));
    EXPECT_FALSE(defines("Char = 41, 0, 0, -2147483649, 20, 0, 0"));
    EXPECT_FALSE(defines("char = 41, 0, 0, 5, 20, 0, 0"));
    EXPECT_TRUE(defines("Charm = 41, 0, 0, 5, 20, 0, 0"));  // only the first four characters count
}

TEST(FontFile, BitmapNamesTheTextureAnyWayTheBlanksFall) {
    for (const char* line : {"Bitmap = font1.png", "Bitmap=font1.png", "Bitmap\t=\t font1.png  trailing",
                             "Bitmap   =font1.png"}) {
        const auto contents = parse(std::string("[HGEFONT]\n") + line + "\n");
        ASSERT_EQ(contents.entries.size(), 1u) << line;
        EXPECT_EQ(contents.entries[0].kind, FontFileEntry::Bitmap);
        EXPECT_EQ(contents.entries[0].bitmap, "font1.png") << line;
    }
    for (const char* line : {"Bitmap = ", "Bitmap font1.png", "Bitmaps = font1.png", "bitmap = font1.png"})
        EXPECT_TRUE(parse(std::string("[HGEFONT]\n") + line + "\n").entries.empty()) << line;
}

TEST(FontFile, EntriesKeepFileOrderForTheTextureSwitch) {
    const auto contents = parse(
        "[HGEFONT]\nChar = 41, 0, 0, 1, 1, 0, 0\nBitmap = a.png\nChar = 42, 0, 0, 1, 1, 0, 0\nBitmap = "
        "b.png\n"
        "Other = line\n; comment\nChar = 41, 5, 0, 1, 1, 0, 0\n");
    ASSERT_EQ(contents.entries.size(), 5u);
    EXPECT_EQ(contents.entries[0].kind, FontFileEntry::Char);
    EXPECT_EQ(contents.entries[1].bitmap, "a.png");
    EXPECT_EQ(contents.entries[2].glyph.code, 0x42);
    EXPECT_EQ(contents.entries[3].bitmap, "b.png");
    EXPECT_EQ(contents.entries[4].glyph.x, 5);
}

TEST(FontFile, OverlongLinesAreIgnoredWhole) {
    const std::string base = "Char = 41, 1, 1, 1, 1, 0, ";
    const std::string fitsPadded = base + "7" + std::string(MaxFontLineLength - base.size() - 1, ' ');
    ASSERT_EQ(fitsPadded.size(), MaxFontLineLength);
    EXPECT_TRUE(defines(fitsPadded));
    EXPECT_FALSE(defines(fitsPadded + " "));
    EXPECT_TRUE(parse("[HGEFONT]\nBitmap = " + std::string(300, 'x') + "\n").entries.empty());
}

TEST(FontFile, TheFileEndsAtItsFirstNulByte) {
    const std::string text =
        "[HGEFONT]\nChar = 41, 1, 1, 1, 1, 0, 0\n" + std::string(1, '\0') + "Char = 42, 1, 1, 1, 1, 0, 0\n";
    const auto glyphs = glyphsOf(parse(text));
    ASSERT_EQ(glyphs.size(), 1u);
    EXPECT_EQ(glyphs[0].code, 0x41);
    EXPECT_FALSE(parse(std::string("[HGE\0FONT]\n", 11)).valid);
    EXPECT_FALSE(defines("Char = \"" + std::string(1, '\0') + "\", 1, 1, 1, 1, 0, 0"));
}

TEST(FontFile, TexturePathTakesTheFontFilesDirectory) {
    std::string out;
    ASSERT_TRUE(FontTexturePath("data/font1.fnt", "font1.png", out));
    EXPECT_EQ(out, "data/font1.png");
    ASSERT_TRUE(FontTexturePath("font1.fnt", "font1.png", out));
    EXPECT_EQ(out, "font1.png");
    ASSERT_TRUE(FontTexturePath("a/b/c.fnt", "x.png", out));
    EXPECT_EQ(out, "a/b/x.png");
    // A backslash wins over a later forward slash.
    ASSERT_TRUE(FontTexturePath("a\\b/c.fnt", "x.png", out));
    EXPECT_EQ(out, "a\\x.png");
    ASSERT_TRUE(FontTexturePath("a/b\\c.fnt", "x.png", out));
    EXPECT_EQ(out, "a/b\\x.png");
}

TEST(FontFile, TexturePathLongerThanTheLimitIsRefused) {
    std::string out = "stale";
    const std::string dir(200, 'd');
    ASSERT_TRUE(FontTexturePath(dir + "/f.fnt", std::string(MaxFontTexturePathLength - 201, 'n'), out));
    EXPECT_EQ(out.size(), MaxFontTexturePathLength);
    EXPECT_FALSE(FontTexturePath(dir + "/f.fnt", std::string(MaxFontTexturePathLength - 200, 'n'), out));
    EXPECT_TRUE(out.empty());
}

}  // namespace
