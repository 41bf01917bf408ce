#include "render/bitmap_font.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "render/font_file.h"

namespace {

// Shared by every font: DrawFormatted formats here, then draws from here.
char textBuffer[1024];

// Nearest integer, halves to the even one (the default rounding mode).
float roundHalfEven(float value) { return std::nearbyint(value); }

}  // namespace

BitmapFont::BitmapFont(Engine* engine, const char* path) : engine(engine) {
    if (engine == nullptr || path == nullptr) return;

    std::uint32_t size = 0;
    void* data = engine->Resource_Load(path, &size);
    if (data == nullptr) return;
    // Parse a copy so the engine's buffer goes back at once.
    const std::string bytes(static_cast<const char*>(data), size);
    engine->Resource_Free(data);

    const FontFileContents contents = ParseFontFile(bytes.data(), bytes.size());
    if (!contents.valid) {
        engine->System_Log("Font %s has incorrect format.", path);
        return;
    }

    std::string texturePath;
    for (const FontFileEntry& entry : contents.entries) {
        if (entry.kind == FontFileEntry::Bitmap) {
            // A path too long to name is a texture that cannot be loaded.
            if (!FontTexturePath(path, entry.bitmap, texturePath)) {
                engine->System_Log("Font %s has incorrect format.", path);
                break;
            }
            const TextureHandle loaded = engine->Texture_Load(texturePath.c_str());
            if (loaded == 0) break;  // glyphs made so far keep what they had
            texture = loaded;
            continue;
        }
        const FontGlyphLine& g = entry.glyph;
        glyphs[g.code] =
            std::make_unique<Sprite>(engine, texture, static_cast<float>(g.x), static_cast<float>(g.y),
                                     static_cast<float>(g.width), static_cast<float>(g.height));
        pre[g.code] = static_cast<float>(g.pre);
        post[g.code] = static_cast<float>(g.post);
        if (static_cast<float>(g.height) > height) height = static_cast<float>(g.height);
    }
}

Sprite* BitmapFont::glyphFor(unsigned char ch) const {
    if (glyphs[ch]) return glyphs[ch].get();
    return glyphs['?'].get();
}

float BitmapFont::GetTextWidth(const char* text) const {
    float width = 0;
    for (const char* p = text; *p != '\0' && *p != '\n'; ++p) {
        const unsigned char ch = static_cast<unsigned char>(*p);
        const Sprite* glyph = glyphFor(ch);
        if (glyph == nullptr) continue;
        const unsigned char used = glyphs[ch] ? ch : '?';
        width += glyph->GetWidth() + pre[used] + post[used] + tracking;
    }
    return width * scale * proportion;
}

float BitmapFont::lineStart(float x, int alignment, const char* text) const {
    switch (alignment & 3) {
        case AlignRight:
            return x - GetTextWidth(text);
        case AlignCenter:
            return x - roundHalfEven(GetTextWidth(text) / 2.0f);
        default:
            return x;
    }
}

void BitmapFont::DrawText(float x, float y, int alignment, const char* text) {
    if (text == nullptr) return;
    float penX = lineStart(x, alignment, text);
    float penY = y;
    for (const char* p = text; *p != '\0'; ++p) {
        const unsigned char ch = static_cast<unsigned char>(*p);
        if (ch == '\n') {
            penY += roundHalfEven(height * scale * lineFactor);
            penX = lineStart(x, alignment, p + 1);
            continue;
        }
        Sprite* glyph = glyphFor(ch);
        if (glyph == nullptr) continue;
        const unsigned char used = glyphs[ch] ? ch : '?';
        penX += pre[used] * scale * proportion;
        glyph->Draw(penX, penY, rotation, scale * proportion, scale);
        penX += (post[used] + tracking + glyph->GetWidth()) * scale * proportion;
    }
}

void BitmapFont::DrawFormatted(float x, float y, int alignment, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(textBuffer, sizeof textBuffer, format, args);
    va_end(args);
    textBuffer[sizeof textBuffer - 1] = '\0';
    DrawText(x, y, alignment, textBuffer);
}

void BitmapFont::SetColor(std::uint32_t newColour) {
    colour = newColour;
    for (const auto& glyph : glyphs)
        if (glyph) glyph->SetColor(newColour);
}
