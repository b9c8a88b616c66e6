#pragma once

// Writes an indexed-colour PNG of 1, 2, 4 or 8 bits per pixel, with an optional transparent
// palette entry. The image data is stored in uncompressed deflate blocks: the pictures this
// is for are tiny, and it keeps the writer free of a compression library.

#include <cstdint>
#include <vector>

struct PngColour {
    std::uint8_t r = 0, g = 0, b = 0;
};

struct PngPicture {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 8;
    std::vector<PngColour> palette;   // at most 2^bitsPerPixel entries
    std::vector<std::uint8_t> pixels; // row by row from the top, one palette index each
    int transparentIndex = -1;        // none when negative
};

std::vector<std::uint8_t> encodePng(const PngPicture& picture);
