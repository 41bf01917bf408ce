// Text drawn with glyph sprites cut from one texture, read from a font file
// (the format is described in render/font_file.h). Each byte 0..255 of a text
// selects its own glyph.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "render/sprite.h"

// Only the two lowest bits count; 3 behaves as AlignLeft.
enum FontAlignment { AlignLeft = 0, AlignRight = 1, AlignCenter = 2 };

struct BitmapFont {
    // Reads the font file at path through engine (null: an empty font) and
    // loads its texture; its glyphs draw through the
    // engine, which must outlive the font. A missing file leaves an empty
    // font quietly; a file that is not a font logs "Font <path> has incorrect
    // format." and leaves an empty font. An empty font draws nothing,
    // measures 0 and still moves down on line feeds by 0.
    BitmapFont(Engine* engine, const char* path);

    // Draws text (a C string) with the top-left of its first line's pen at
    // screen pixel (x, y). alignment: AlignLeft, AlignRight or AlignCenter,
    // applied to every line on its own. A line feed starts a new line; every
    // other byte is drawn with its glyph, else with "?", else skipped.
    // Allocates nothing.
    void DrawText(float x, float y, int alignment, const char* text);
    // printf-style into the shared 1024-byte buffer (longer output is cut
    // after 1023 characters), then DrawText. Only for fixed formats.
    void DrawFormatted(float x, float y, int alignment, const char* format, ...)
        __attribute__((format(printf, 5, 6)));

    // Width in pixels of the text's first line, as DrawText advances over it.
    float GetTextWidth(const char* text) const;
    // Colour of every glyph, 0xAARRGGBB.
    void SetColor(std::uint32_t colour);
    std::uint32_t GetColor() const { return colour; }
    // The tallest glyph's height, pixels; 0 without glyphs.
    float GetHeight() const { return height; }
    // The glyph of a byte, or null.
    const Sprite* GetGlyph(unsigned char ch) const { return glyphs[ch].get(); }
    TextureHandle GetTexture() const { return texture; }
    // The engine the font draws through (and the key labels of its texts
    // come from); may be null.
    Engine* GetEngine() const { return engine; }

private:
    // The glyph drawn for ch: its own, else "?", else null.
    Sprite* glyphFor(unsigned char ch) const;
    // x of the pen at the start of the line beginning at text.
    float lineStart(float x, int alignment, const char* text) const;

    Engine* engine = nullptr;
    TextureHandle texture = 0;  // not owned: freed by the engine's shutdown
    std::array<std::unique_ptr<Sprite>, 256> glyphs{};
    std::array<float, 256> pre{};   // pen advance before a glyph, pixels
    std::array<float, 256> post{};  // pen advance after a glyph's width, pixels
    float height = 0;
    float scale = 1.0f;
    float proportion = 1.0f;  // a further factor on horizontal sizes
    float rotation = 0;
    float tracking = 0;  // extra advance after every glyph, unscaled pixels
    float lineFactor = 1.0f;
    std::uint32_t colour = 0xFFFFFFFF;
};
