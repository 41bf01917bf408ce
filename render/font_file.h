// Reading of the bitmap font file: a pure parser over the file's bytes, kept
// apart from the engine so it can be tested and fuzzed on its own.
//
// The file format
// ---------------
// A text file of 8-bit bytes. A line ends at a line feed or a carriage
// return; after each line every following line feed and carriage return is
// skipped, so LF, CR LF and CR ends all work and blank lines after the first
// are ignored.
//
//   [HGEFONT]
//   Bitmap = font1.png
//   Char = "A", 1, 1, 12, 20, 0, 1
//   Char = 41, 1, 1, 12, 20, 0, 1
//
// - The very first line is exactly "[HGEFONT]" (byte for byte, nothing before
//   or after it). Otherwise the file is not a font.
// - A line whose first six characters are "Bitmap" names the glyph texture:
//   "Bitmap", blanks or tabs, "=", blanks or tabs, then the name, a run of
//   characters other than blanks and tabs. The name is relative to the font
//   file's directory. A glyph uses the texture named last before its line.
// - A line whose first four characters are "Char" defines one glyph: after
//   its first "=" and any blanks (code 32 only), the character, either
//   quoted (a double quote, the character itself - any byte, a blank or a
//   double quote too - and one more byte, the closing quote, not checked) or
//   as its code in hexadecimal digits without a prefix (0..255); then six
//   decimal integers, each behind a comma with optional blanks or tabs around
//   it: x, y, width, height of the glyph's rectangle in texture pixels, the
//   pen's advance before the glyph and its advance after the glyph's width.
//   A later line for the same character replaces the earlier one.
// - Every other line is ignored.
//
// Hostile or broken files are read without harm; the choices made where the
// format says nothing:
// - The file ends at its first NUL byte (the text is a C string).
// - A line longer than MaxFontLineLength characters is ignored whole, so a
//   cut-off line can never turn into a different valid one.
// - A "Char" line without its character, with a code above 255, with fewer
//   than six numbers or with a number outside the 32-bit range is ignored;
//   text after the sixth number is ignored.
// - A texture path (directory part plus name) longer than
//   MaxFontTexturePathLength cannot be built: the font treats it like a
//   texture that fails to load.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t MaxFontLineLength = 255;
inline constexpr std::size_t MaxFontTexturePathLength = 255;

// One glyph definition, numbers as written in the file.
struct FontGlyphLine {
    std::uint8_t code = 0;                             // the character
    std::int32_t x = 0, y = 0, width = 0, height = 0;  // rectangle, texture pixels
    std::int32_t pre = 0, post = 0;                    // pen advances, pixels
};

// One meaningful line of a font file, in file order.
struct FontFileEntry {
    enum Kind { Bitmap, Char } kind = Char;
    std::string bitmap;   // Bitmap: the texture name, at most MaxFontLineLength characters
    FontGlyphLine glyph;  // Char
};

struct FontFileContents {
    bool valid = false;  // the first line is "[HGEFONT]"
    std::vector<FontFileEntry> entries;
};

// Parses the bytes of a font file (any bytes, any size; data may be null
// when size is 0).
FontFileContents ParseFontFile(const void* data, std::size_t size);

// The directory part of fontPath (up to and including its last backslash;
// without a backslash, its last forward slash; else empty) followed by name,
// into out. False, with out cleared, when the result would be longer than
// MaxFontTexturePathLength characters.
bool FontTexturePath(std::string_view fontPath, std::string_view name, std::string& out);
