#include "tools/artgen/font_atlas.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "tools/artgen/canvas.h"

namespace {

constexpr int FirstChar = 32, LastChar = 126;
constexpr int Outline = 1;
constexpr int AtlasWidth = 256;

struct FontCloser {
    void operator()(TTF_Font* font) const { TTF_CloseFont(font); }
};
using FontPtr = std::unique_ptr<TTF_Font, FontCloser>;

struct SurfaceFreer {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFreer>;

// Alpha of a rendered glyph as floats 0..1, w x h.
struct AlphaImage {
    int w = 0, h = 0;
    std::vector<float> a;
    float at(int x, int y) const { return x < 0 || y < 0 || x >= w || y >= h ? 0.0f : a[y * w + x]; }
};

bool renderAlpha(TTF_Font* font, Uint32 ch, AlphaImage& out, std::string& error) {
    SurfacePtr rendered(TTF_RenderGlyph32_Blended(font, ch, SDL_Color{255, 255, 255, 255}));
    if (!rendered) {
        error = TTF_GetError();
        return false;
    }
    SurfacePtr rgba(SDL_ConvertSurfaceFormat(rendered.get(), SDL_PIXELFORMAT_RGBA32, 0));
    if (!rgba) {
        error = SDL_GetError();
        return false;
    }
    out.w = rgba->w;
    out.h = rgba->h;
    out.a.assign(static_cast<std::size_t>(out.w * out.h), 0.0f);
    const auto* bytes = static_cast<const std::uint8_t*>(rgba->pixels);
    for (int y = 0; y < out.h; ++y)
        for (int x = 0; x < out.w; ++x) out.a[y * out.w + x] = bytes[y * rgba->pitch + x * 4 + 3] / 255.0f;
    return true;
}

// One character: white glyph over its black outline, in the outline's frame.
struct Glyph {
    int code = 0;
    AlphaImage white, black;  // same size; white already shifted into place
    int originX = 0;          // the pen's x in the frame
    int inkLeft = 0, inkRight = -1, inkTop = 0, inkBottom = -1;  // inclusive; none when right < left
    int advance = 0;
    int atlasX = 0, atlasY = 0;
};

}  // namespace

bool MakeFontAtlas(const char* ttfPath, int pointSize, const std::string& textureName, FontAtlas& atlas,
                   std::string& error) {
    if (TTF_WasInit() == 0 && TTF_Init() != 0) {
        error = TTF_GetError();
        return false;
    }
    FontPtr regular(TTF_OpenFont(ttfPath, pointSize));
    FontPtr outlined(TTF_OpenFont(ttfPath, pointSize));
    if (!regular || !outlined) {
        error = TTF_GetError();
        return false;
    }
    TTF_SetFontOutline(outlined.get(), Outline);

    std::vector<Glyph> glyphs;
    for (int code = FirstChar; code <= LastChar; ++code) {
        Glyph g;
        g.code = code;
        int minX = 0, maxX = 0, minY = 0, maxY = 0;
        if (TTF_GlyphMetrics32(regular.get(), static_cast<Uint32>(code), &minX, &maxX, &minY, &maxY,
                               &g.advance) != 0) {
            error = TTF_GetError();
            return false;
        }
        AlphaImage plain;
        if (!renderAlpha(regular.get(), static_cast<Uint32>(code), plain, error) ||
            !renderAlpha(outlined.get(), static_cast<Uint32>(code), g.black, error))
            return false;
        // The outlined rendering is the plain one grown by the outline on every side.
        g.white.w = g.black.w;
        g.white.h = g.black.h;
        g.white.a.assign(g.black.a.size(), 0.0f);
        for (int y = 0; y < plain.h; ++y)
            for (int x = 0; x < plain.w; ++x)
                if (x + Outline < g.white.w && y + Outline < g.white.h)
                    g.white.a[(y + Outline) * g.white.w + x + Outline] = plain.at(x, y);
        g.originX = Outline + std::max(0, -minX);

        g.inkLeft = g.black.w;
        g.inkTop = g.black.h;
        for (int y = 0; y < g.black.h; ++y) {
            for (int x = 0; x < g.black.w; ++x) {
                if (g.black.at(x, y) <= 0.0f && g.white.at(x, y) <= 0.0f) continue;
                g.inkLeft = std::min(g.inkLeft, x);
                g.inkRight = std::max(g.inkRight, x);
                g.inkTop = std::min(g.inkTop, y);
                g.inkBottom = std::max(g.inkBottom, y);
            }
        }
        glyphs.push_back(std::move(g));
    }

    // Every glyph gets the same rows, so all share one baseline; a blank row
    // on top keeps lines apart.
    int top = 1 << 30, bottom = -1;
    for (const Glyph& g : glyphs) {
        if (g.inkRight < g.inkLeft) continue;
        top = std::min(top, g.inkTop);
        bottom = std::max(bottom, g.inkBottom);
    }
    if (bottom < top) {
        error = "the font rendered no visible glyph";
        return false;
    }
    top = std::max(0, top - 1);
    const int glyphHeight = bottom - top + 1;

    // Rectangle of each glyph: its ink columns, or for a blank its advance.
    auto rectWidth = [](const Glyph& g) {
        return g.inkRight < g.inkLeft ? g.advance : g.inkRight - g.inkLeft + 1;
    };

    // Shelf packing with a one-pixel gap so filtered drawing never bleeds.
    int x = 1, y = 1;
    for (Glyph& g : glyphs) {
        const int w = rectWidth(g);
        if (x + w + 1 > AtlasWidth) {
            x = 1;
            y += glyphHeight + 1;
        }
        g.atlasX = x;
        g.atlasY = y;
        x += w + 1;
    }
    int atlasHeight = 16;
    while (atlasHeight < y + glyphHeight + 1) atlasHeight *= 2;

    Canvas canvas(AtlasWidth, atlasHeight);
    std::string file = "[HGEFONT]\n\nBitmap = " + textureName + "\n\n";
    for (const Glyph& g : glyphs) {
        const bool blank = g.inkRight < g.inkLeft;
        const int w = rectWidth(g);
        const int left = blank ? 0 : g.inkLeft;
        for (int row = 0; row < glyphHeight; ++row) {
            for (int col = 0; col < w; ++col) {
                const float white = g.white.at(left + col, top + row);
                const float black = g.black.at(left + col, top + row);
                // White over black, premultiplied.
                canvas.Blend(g.atlasX + col, g.atlasY + row, 0, 0, 0, black);
                canvas.Blend(g.atlasX + col, g.atlasY + row, white, white, white, white);
            }
        }
        const int pre = blank ? 0 : g.inkLeft - g.originX;
        const int post = g.advance - pre - w;
        char character[8];
        if (g.code == ' ' || g.code == '"')
            std::snprintf(character, sizeof character, "%02X", g.code);
        else
            std::snprintf(character, sizeof character, "\"%c\"", g.code);
        char line[96];
        std::snprintf(line, sizeof line, "Char = %s, %d, %d, %d, %d, %d, %d\n", character, g.atlasX, g.atlasY,
                      w, glyphHeight, pre, post);
        file += line;
    }

    atlas.width = AtlasWidth;
    atlas.height = atlasHeight;
    atlas.rgba = canvas.ToRgba8();
    atlas.fontFile = std::move(file);
    return true;
}
