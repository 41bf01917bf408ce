// The size of a PNG picture, read from its header alone: what a headless
// engine without a platform needs to place sprites exactly as a window would.
//
// A PNG file starts with the 8-byte signature 89 50 4E 47 0D 0A 1A 0A, then
// its first chunk, which must be IHDR: a 4-byte big-endian length (13), the
// type "IHDR", then the width and the height as 4-byte big-endian numbers
// from 1 to 2^31 - 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct PictureSize {
    int width = 0, height = 0;  // pixels
};

// The size from the first bytes of a file (at least 24 are needed). False,
// with the reason in error, when they are not the start of a PNG file.
bool ReadPngSize(const std::uint8_t* bytes, std::size_t count, PictureSize& size, std::string& error);

// The same, reading the file at path.
bool ReadPngFileSize(const char* path, PictureSize& size, std::string& error);
