#include "engine/picture_size.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t HeaderBytes = 24;
constexpr std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

std::uint32_t BigEndian(const std::uint8_t* at) {
    return std::uint32_t{at[0]} << 24 | std::uint32_t{at[1]} << 16 | std::uint32_t{at[2]} << 8 | at[3];
}

}  // namespace

bool ReadPngSize(const std::uint8_t* bytes, std::size_t count, PictureSize& size, std::string& error) {
    if (!bytes || count < HeaderBytes || std::memcmp(bytes, Signature, sizeof Signature) != 0) {
        error = "not a PNG picture";
        return false;
    }
    if (BigEndian(bytes + 8) != 13 || std::memcmp(bytes + 12, "IHDR", 4) != 0) {
        error = "a PNG picture without its IHDR header";
        return false;
    }
    const std::uint32_t width = BigEndian(bytes + 16), height = BigEndian(bytes + 20);
    if (width == 0 || height == 0 || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu) {
        error = "a PNG picture of impossible size";
        return false;
    }
    size = {static_cast<int>(width), static_cast<int>(height)};
    return true;
}

bool ReadPngFileSize(const char* path, PictureSize& size, std::string& error) {
    std::FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (!file) {
        error = "cannot open it";
        return false;
    }
    std::uint8_t header[HeaderBytes];
    const std::size_t got = std::fread(header, 1, sizeof header, file);
    std::fclose(file);
    return ReadPngSize(header, got, size, error);
}
