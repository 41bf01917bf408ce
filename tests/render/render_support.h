// Helpers for the drawing tests: temporary files, test fonts whose glyphs say
// which character they are, and the decoding of a frame's quads into texts.
#pragma once

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/game_audio.h"
#include "engine/engine.h"
#include "render/render.h"
#include "render/scene.h"
#include "tests/support/engine_game.h"

// A game on the headless engine, sounding and drawn by the real code, as the
// program wires them.
struct RenderedGame : EngineGame {
    Scene scene;
    GameAudio audio;

    explicit RenderedGame(int seed = 1234, HeadlessOptions options = {}, PlatformFactory platform = nullptr)
        : EngineGame(seed, options, platform) {
        scene.engine = engine;
        afterFrame = [this] { audio.Play(*engine, game.effects); };
        render = [this] { RenderScene(scene, game, audio.MusicGliding(*engine)); };
    }
};

// A fresh directory under the system's temporary directory, removed at the end.
struct TempDir {
    std::filesystem::path path;
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "munchet-render-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path / name, std::ios::binary) << bytes;
        return file(name);
    }
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A font without a texture whose glyph for character c sits at x = c in a
// 1 x 1 texture space, so a drawn quad's u names its character. Every glyph
// is glyphWidth x glyphHeight with no advances, so a text of n characters is
// n * glyphWidth wide. Characters 32..126.
inline std::string IdentifyingFontText(int glyphWidth = 10, int glyphHeight = 20) {
    std::string text = "[HGEFONT]\n";
    for (int c = 32; c <= 126; ++c)
        text += "Char = " + std::to_string(c / 16) + "0123456789ABCDEF"[c % 16] + ", " + std::to_string(c) +
                ", 0, " + std::to_string(glyphWidth) + ", " + std::to_string(glyphHeight) + ", 0, 0\n";
    return text;
}

// One line of text as drawn: consecutive glyph quads on one row, each
// starting where the previous one ended.
struct DrawnText {
    std::string text;
    float x = 0, y = 0;  // top-left of the first glyph
    std::uint32_t colour = 0;
};

// The texts drawn with a texture-less identifying font, in drawing order.
inline std::vector<DrawnText> TextsIn(const std::vector<Quad>& quads) {
    std::vector<DrawnText> texts;
    float lastRight = 0, lastY = 0;
    for (const Quad& q : quads) {
        if (q.texture != 0) continue;
        const char c = static_cast<char>(std::lround(q.v[0].u));
        const bool continues = !texts.empty() && q.v[0].y == lastY && std::fabs(q.v[0].x - lastRight) < 0.01f;
        if (!continues) texts.push_back({"", q.v[0].x, q.v[0].y, q.v[0].colour});
        texts.back().text += c;
        lastRight = q.v[1].x;
        lastY = q.v[0].y;
    }
    return texts;
}

// The first drawn text equal to text, or null.
inline const DrawnText* FindText(const std::vector<DrawnText>& texts, const std::string& text) {
    for (const DrawnText& t : texts)
        if (t.text == text) return &t;
    return nullptr;
}

// Quads drawn with one texture.
inline std::vector<Quad> QuadsWith(const std::vector<Quad>& quads, TextureHandle texture) {
    std::vector<Quad> out;
    for (const Quad& q : quads)
        if (q.texture == texture) out.push_back(q);
    return out;
}
