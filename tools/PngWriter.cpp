#include "PngWriter.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace {

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            entries[n] = c;
        }
        return entries;
    }();
    std::uint32_t c = 0xffffffffu;
    for (std::size_t i = 0; i < size; ++i)
        c = table[(c ^ data[i]) & 0xff] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

std::uint32_t adler32(const std::vector<std::uint8_t>& data) {
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(std::uint8_t((value >> shift) & 0xff));
}

void putChunk(std::vector<std::uint8_t>& out, const char (&type)[5],
              const std::vector<std::uint8_t>& data) {
    put32(out, std::uint32_t(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, crc32(out.data() + start, out.size() - start));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::vector<std::uint8_t> zlibStored(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out{0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t length = std::min<std::size_t>(65535, data.size() - at);
        const bool last = at + length == data.size();
        out.push_back(last ? 1 : 0);
        out.push_back(std::uint8_t(length & 0xff));
        out.push_back(std::uint8_t(length >> 8));
        out.push_back(std::uint8_t(~length & 0xff));
        out.push_back(std::uint8_t((~length >> 8) & 0xff));
        out.insert(out.end(), data.begin() + long(at), data.begin() + long(at + length));
        at += length;
    } while (at < data.size());
    put32(out, adler32(data));
    return out;
}

} // namespace

std::vector<std::uint8_t> encodePng(const PngPicture& picture) {
    const int bits = picture.bitsPerPixel;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8)
        throw std::invalid_argument("indexed PNG takes 1, 2, 4 or 8 bits per pixel");
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() != std::size_t(picture.width) * std::size_t(picture.height) ||
        picture.palette.empty() || picture.palette.size() > (std::size_t(1) << bits))
        throw std::invalid_argument("picture size, pixels and palette disagree");

    std::vector<std::uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

    std::vector<std::uint8_t> header;
    put32(header, std::uint32_t(picture.width));
    put32(header, std::uint32_t(picture.height));
    header.push_back(std::uint8_t(bits));
    header.push_back(3); // indexed colour
    header.push_back(0); // deflate
    header.push_back(0); // adaptive filtering, unused: every row has filter None
    header.push_back(0); // not interlaced
    putChunk(out, "IHDR", header);

    std::vector<std::uint8_t> palette;
    for (const PngColour& colour : picture.palette) {
        palette.push_back(colour.r);
        palette.push_back(colour.g);
        palette.push_back(colour.b);
    }
    putChunk(out, "PLTE", palette);

    if (picture.transparentIndex >= 0) {
        // Alpha for the entries up to the transparent one; those after it stay opaque.
        std::vector<std::uint8_t> alpha(std::size_t(picture.transparentIndex) + 1, 0xff);
        alpha.back() = 0;
        putChunk(out, "tRNS", alpha);
    }

    // Rows packed most significant bits first, each after its filter byte.
    std::vector<std::uint8_t> rows;
    const int perByte = 8 / bits;
    for (int y = 0; y < picture.height; ++y) {
        rows.push_back(0);
        for (int x = 0; x < picture.width; x += perByte) {
            std::uint8_t byte = 0;
            for (int k = 0; k < perByte; ++k) {
                const int value = x + k < picture.width
                                      ? picture.pixels[std::size_t(y) * picture.width + x + k]
                                      : 0;
                byte |= std::uint8_t((value & ((1 << bits) - 1)) << (8 - bits * (k + 1)));
            }
            rows.push_back(byte);
        }
    }
    putChunk(out, "IDAT", zlibStored(rows));
    putChunk(out, "IEND", {});
    return out;
}
