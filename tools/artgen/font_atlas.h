// The game's bitmap font: printable ASCII rasterised from a TrueType font,
// white with a one-pixel black outline (the game tints the white), packed
// into one texture, with the font file that describes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FontAtlas {
    int width = 0, height = 0;       // texture size, pixels
    std::vector<std::uint8_t> rgba;  // 8-bit straight RGBA
    std::string fontFile;            // the text of the .fnt file
};

// Rasterises characters 32..126 of the TrueType font at ttfPath at pointSize
// points; textureName is the name the font file gives for the texture.
// False with a reason when the font cannot be opened or rendered.
bool MakeFontAtlas(const char* ttfPath, int pointSize, const std::string& textureName, FontAtlas& atlas,
                   std::string& error);
