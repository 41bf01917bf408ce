// libFuzzer entry point over the font file parser and the texture path
// builder: any bytes must parse without a fault, and what comes out must keep
// the limits the font relies on.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "render/font_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FontFileContents contents = ParseFontFile(data, size);
    if (contents.valid && (size < 9 || std::memcmp(data, "[HGEFONT]", 9) != 0)) __builtin_trap();
    if (!contents.valid && !contents.entries.empty()) __builtin_trap();

    std::string path;
    for (const FontFileEntry& entry : contents.entries) {
        if (entry.kind != FontFileEntry::Bitmap) continue;
        if (entry.bitmap.empty() || entry.bitmap.size() > MaxFontLineLength) __builtin_trap();
        if (entry.bitmap.find_first_of(" \t\r\n") != std::string::npos) __builtin_trap();
        if (FontTexturePath("data\\fonts/font1.fnt", entry.bitmap, path) &&
            path.size() > MaxFontTexturePathLength)
            __builtin_trap();
    }
    return 0;
}
