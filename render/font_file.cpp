#include "render/font_file.h"

#include <cstring>

#include "common/read_number.h"

namespace {

constexpr std::string_view Header = "[HGEFONT]";

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// A cursor over one line; every read is bounds-checked.
struct LineReader {
    std::string_view line;
    std::size_t pos = 0;

    bool atEnd() const { return pos >= line.size(); }
    char peek() const { return atEnd() ? '\0' : line[pos]; }
    void skipBlanksAndTabs() {
        while (!atEnd() && isBlankOrTab(line[pos])) ++pos;
    }
    void skipBlanks() {
        while (!atEnd() && line[pos] == ' ') ++pos;
    }
    // Any whitespace, as a scanf "%d" skips it; a line holds no line ends.
    void skipWhitespace() {
        while (!atEnd() && (isBlankOrTab(line[pos]) || line[pos] == '\v' || line[pos] == '\f')) ++pos;
    }
    bool expect(char c) {
        if (atEnd() || line[pos] != c) return false;
        ++pos;
        return true;
    }
    // An optionally signed decimal integer in the 32-bit range.
    bool readInt(std::int32_t& out) {
        skipWhitespace();
        std::size_t used = 0;
        const std::optional<std::int32_t> value = ReadDecimalPrefix(line.substr(pos), &used);
        if (!value) return false;
        pos += used;
        out = *value;
        return true;
    }
};

// "Bitmap = name"; false when no name can be read.
bool parseBitmapLine(std::string_view line, std::string& name) {
    LineReader in{line, 6};
    in.skipBlanksAndTabs();
    if (!in.expect('=')) return false;
    in.skipBlanksAndTabs();
    const std::size_t start = in.pos;
    while (!in.atEnd() && !isBlankOrTab(in.peek())) ++in.pos;
    if (in.pos == start) return false;
    name.assign(line.substr(start, in.pos - start));
    return true;
}

// "Char = <character>, x, y, w, h, pre, post"; false when the line defines nothing.
bool parseCharLine(std::string_view line, FontGlyphLine& glyph) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    LineReader in{line, equals + 1};
    in.skipBlanks();
    if (in.atEnd()) return false;

    if (in.peek() == '"') {
        // Opening quote, the character, and the closing quote (not checked).
        if (in.pos + 2 >= line.size()) return false;
        glyph.code = static_cast<std::uint8_t>(line[in.pos + 1]);
        in.pos += 3;
    } else {
        std::size_t used = 0;
        const std::optional<std::uint32_t> code = ReadHexPrefix(line.substr(in.pos), 255, &used);
        if (!code) return false;
        in.pos += used;
        glyph.code = static_cast<std::uint8_t>(*code);
    }

    std::int32_t* const numbers[6] = {&glyph.x,      &glyph.y,   &glyph.width,
                                      &glyph.height, &glyph.pre, &glyph.post};
    for (std::int32_t* number : numbers) {
        in.skipBlanksAndTabs();
        if (!in.expect(',')) return false;
        if (!in.readInt(*number)) return false;
    }
    return true;
}

}  // namespace

FontFileContents ParseFontFile(const void* data, std::size_t size) {
    FontFileContents result;
    if (data == nullptr || size == 0) return result;

    const char* bytes = static_cast<const char*>(data);
    if (const void* nul = std::memchr(bytes, '\0', size)) size = static_cast<const char*>(nul) - bytes;
    const std::string_view text(bytes, size);

    std::size_t pos = 0;
    auto nextLine = [&text, &pos]() {
        const std::size_t start = pos;
        while (pos < text.size() && text[pos] != '\n' && text[pos] != '\r') ++pos;
        const std::string_view line = text.substr(start, pos - start);
        while (pos < text.size() && (text[pos] == '\n' || text[pos] == '\r')) ++pos;
        return line;
    };

    if (text.empty() || nextLine() != Header) return result;
    result.valid = true;

    while (pos < text.size()) {
        const std::string_view line = nextLine();
        if (line.size() > MaxFontLineLength) continue;
        FontFileEntry entry;
        if (line.starts_with("Bitmap")) {
            entry.kind = FontFileEntry::Bitmap;
            if (!parseBitmapLine(line, entry.bitmap)) continue;
        } else if (line.starts_with("Char")) {
            entry.kind = FontFileEntry::Char;
            if (!parseCharLine(line, entry.glyph)) continue;
        } else {
            continue;
        }
        result.entries.push_back(std::move(entry));
    }
    return result;
}

bool FontTexturePath(std::string_view fontPath, std::string_view name, std::string& out) {
    out.clear();
    std::size_t cut = fontPath.rfind('\\');
    if (cut == std::string_view::npos) cut = fontPath.rfind('/');
    const std::size_t dirLength = cut == std::string_view::npos ? 0 : cut + 1;
    if (dirLength + name.size() > MaxFontTexturePathLength) return false;
    out.reserve(dirLength + name.size());
    out.append(fontPath.substr(0, dirLength));
    out.append(name);
    return true;
}
