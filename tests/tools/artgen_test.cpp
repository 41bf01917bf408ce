// The art generator reproduces the committed pictures and font exactly, and
// what it draws is fit for the game: tintable greys where the game sets a
// colour, sizes at least those of the sprites' rectangles, a complete font.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "render/font_file.h"
#include "tests/engine/picture_files.h"
#include "tools/artgen/icon.h"

namespace {

const std::filesystem::path committed = std::filesystem::path(MUNCHET_SOURCE_DIR) / "data";
const std::filesystem::path committedIcons =
    std::filesystem::path(MUNCHET_SOURCE_DIR) / "packaging" / "icons";
const char* const pictures[] = {"ghost.png", "ghost_energy.png", "munchet.png",
                                "food.png",  "door.png",         "font1.png"};

Picture decode(const std::filesystem::path& path) { return Picture::Load(path.string()); }

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct GeneratedArt : ::testing::Test {
    std::filesystem::path out;
    GeneratedArt() {
        std::string pattern = (std::filesystem::temp_directory_path() / "munchet-artgen-XXXXXX").string();
        out = mkdtemp(pattern.data());
    }
    ~GeneratedArt() override {
        std::error_code ec;
        std::filesystem::remove_all(out, ec);
    }
    int generate(const std::filesystem::path& dir, const char* mode = "") {
        const std::string command =
            std::string("\"") + MUNCHET_ARTGEN + "\" " + mode + " \"" + dir.string() + "\"";
        return std::system(command.c_str());
    }
};

TEST_F(GeneratedArt, MatchesTheCommittedFilesPixelForPixel) {
    ASSERT_EQ(generate(out / "data"), 0);
    for (const char* name : pictures) {
        const Picture fresh = decode(out / "data" / name);
        const Picture kept = decode(committed / name);
        ASSERT_TRUE(fresh.width > 0) << name;
        ASSERT_TRUE(kept.width > 0) << name;
        EXPECT_EQ(fresh.width, kept.width) << name;
        EXPECT_EQ(fresh.height, kept.height) << name;
        EXPECT_TRUE(fresh.bytes == kept.bytes) << name << " differs from data/; run the assets target";
    }
    EXPECT_EQ(readFile(out / "data" / "font1.fnt"), readFile(committed / "font1.fnt"));
}

TEST_F(GeneratedArt, IconsMatchTheCommittedFiles) {
    ASSERT_EQ(generate(out / "icons", "--icons"), 0);
    for (const int size : IconSizes) {
        const std::string name = "munchet-" + std::to_string(size) + ".png";
        const Picture fresh = decode(out / "icons" / name);
        const Picture kept = decode(committedIcons / name);
        ASSERT_EQ(fresh.width, size) << name;
        EXPECT_EQ(fresh.height, size) << name;
        EXPECT_TRUE(fresh.bytes == kept.bytes)
            << name << " differs from packaging/icons/; run the assets target";
    }
    EXPECT_EQ(readFile(out / "icons" / "munchet.svg"), readFile(committedIcons / "munchet.svg"));
}

TEST_F(GeneratedArt, RefusesAnOutputItCannotWrite) {
    std::ofstream(out / "file") << "x";
    EXPECT_NE(generate(out / "file" / "data"), 0);
}

TEST(CommittedArt, TintedPicturesAreLightGreysOfTheRightSize) {
    const struct {
        const char* name;
        int width, height;
    } tinted[] = {
        {"ghost.png", 32, 32}, {"ghost_energy.png", 48, 48}, {"munchet.png", 16, 16}, {"food.png", 6, 4}};
    for (const auto& t : tinted) {
        const Picture p = decode(committed / t.name);
        ASSERT_TRUE(p.width > 0) << t.name;
        EXPECT_GE(p.width, t.width) << t.name;
        EXPECT_GE(p.height, t.height) << t.name;
        long bright = 0, visible = 0;
        for (int y = 0; y < p.height; ++y) {
            for (int x = 0; x < p.width; ++x) {
                const Rgba px = p.At(x, y);
                if (px.a == 0) continue;
                EXPECT_EQ(px.r, px.g) << t.name << " is not grey at " << x << "," << y;
                EXPECT_EQ(px.g, px.b) << t.name << " is not grey at " << x << "," << y;
                ++visible;
                if (px.r >= 160) ++bright;
            }
        }
        // Mostly light, so the colour the game sets is what shows.
        EXPECT_GT(bright * 2, visible) << t.name;
    }
}

TEST(CommittedArt, ShapesSitWhereTheSpritesCutThem) {
    const Picture food = decode(committed / "food.png");
    ASSERT_TRUE(food.width > 0);
    EXPECT_EQ(food.At(3, 2).a, 255);  // the pellet fills the 6 x 4 rectangle's middle
    for (int y = 0; y < food.height; ++y) {
        for (int x = 0; x < food.width; ++x) {
            if (x >= 6 || y >= 4) {
                EXPECT_EQ(food.At(x, y).a, 0) << x << "," << y;
            }
        }
    }

    const Picture glow = decode(committed / "ghost_energy.png");
    ASSERT_TRUE(glow.width > 0);
    EXPECT_GT(glow.At(24, 24).a, 200);
    EXPECT_GT(glow.At(24, 24).a, glow.At(24, 12).a);
    EXPECT_GT(glow.At(24, 12).a, glow.At(24, 2).a);
    EXPECT_EQ(glow.At(0, 0).a, 0);

    // The munchet's mouth opens toward +x: open right of centre, solid left of it.
    const Picture munchet = decode(committed / "munchet.png");
    ASSERT_TRUE(munchet.width > 0);
    EXPECT_EQ(munchet.At(13, 8).a, 0);
    EXPECT_GT(munchet.At(5, 8).r, 150);
    EXPECT_EQ(munchet.At(5, 8).a, 255);

    const Picture door = decode(committed / "door.png");
    ASSERT_TRUE(door.width > 0);
    EXPECT_GE(door.width, 32);
    EXPECT_GE(door.height, 32);
    int coloured = 0;
    for (int y = 0; y < door.height; ++y)
        for (int x = 0; x < door.width; ++x)
            if (door.At(x, y).a == 255 && door.At(x, y).r > door.At(x, y).b + 40) ++coloured;
    EXPECT_GT(coloured, 100) << "the door is drawn in its own colours";
}

TEST(CommittedArt, FontCoversPrintableAsciiInsideItsTexture) {
    const std::string text = readFile(committed / "font1.fnt");
    const FontFileContents contents = ParseFontFile(text.data(), text.size());
    ASSERT_TRUE(contents.valid);
    ASSERT_FALSE(contents.entries.empty());
    ASSERT_EQ(contents.entries[0].kind, FontFileEntry::Bitmap);
    const Picture texture = decode(committed / contents.entries[0].bitmap);
    ASSERT_TRUE(texture.width > 0);

    bool defined[256] = {};
    for (const FontFileEntry& e : contents.entries) {
        if (e.kind != FontFileEntry::Char) continue;
        const FontGlyphLine& g = e.glyph;
        defined[g.code] = true;
        EXPECT_GE(g.x, 0);
        EXPECT_GE(g.y, 0);
        EXPECT_LE(g.x + g.width, texture.width) << g.code;
        EXPECT_LE(g.y + g.height, texture.height) << g.code;
        EXPECT_GE(g.height, 18) << g.code;
        EXPECT_LE(g.height, 22) << g.code;
        EXPECT_GT(g.width + g.pre + g.post, 0) << g.code;
    }
    for (int c = 32; c <= 126; ++c) EXPECT_TRUE(defined[c]) << "no glyph for " << static_cast<char>(c);
}

// The SVG and the PNGs come from the same shapes by two renderers (ours and
// the one desktops use for SVG): drawn at each PNG's size, the SVG must show
// the same picture, so a desktop shows one icon whichever file it picks.
class CommittedIcon : public testing::TestWithParam<int> {};

TEST_P(CommittedIcon, SvgDrawnAtThisSizeLooksLikeThePng) {
    const int size = GetParam();
    const Picture png = decode(committedIcons / ("munchet-" + std::to_string(size) + ".png"));
    const Picture svg = Picture::LoadSvg((committedIcons / "munchet.svg").string(), size, size);
    ASSERT_EQ(png.width, size);
    ASSERT_EQ(svg.width, size);
    ASSERT_EQ(svg.height, size);
    // Compared premultiplied: the colour of a see-through pixel shows nowhere.
    double difference = 0;
    int worst = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const Rgba a = png.At(x, y), b = svg.At(x, y);
            const int channels[4][2] = {{a.r * a.a / 255, b.r * b.a / 255},
                                        {a.g * a.a / 255, b.g * b.a / 255},
                                        {a.b * a.a / 255, b.b * b.a / 255},
                                        {a.a, b.a}};
            for (const auto& [mine, theirs] : channels) {
                difference += std::abs(mine - theirs);
                worst = std::max(worst, std::abs(mine - theirs));
            }
        }
    }
    const double mean = difference / (4.0 * size * size);
    EXPECT_LT(mean, 3.0) << "worst channel difference " << worst;
    // The tile's corners are cut away, its middle is solid.
    EXPECT_EQ(png.At(0, 0).a, 0);
    EXPECT_EQ(png.At(size / 2, size / 2).a, 255);
}

INSTANTIATE_TEST_SUITE_P(HicolorSizes, CommittedIcon, testing::ValuesIn(IconSizes));

}  // namespace
