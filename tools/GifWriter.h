#pragma once

// Writes a one-frame, non-interlaced GIF89a picture: a 256-entry global colour table, an
// optional comment block and an optional transparent colour index, the pixels compressed with
// GIF's variable-width LZW. It does not reduce colours; the caller hands over indices.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

struct GifPicture {
    int width = 0;
    int height = 0;
    std::array<Rgb, 256> colours{};
    std::vector<std::uint8_t> pixels; // row by row from the top, one colour index each
    std::string comment;              // left out when empty
    int transparentIndex = -1;        // none when negative
};

std::vector<std::uint8_t> encodeGif(const GifPicture& picture);
