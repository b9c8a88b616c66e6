#include "GifWriter.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int MinimumCodeSize = 8; // 256 colours
constexpr int ClearCode = 1 << MinimumCodeSize;
constexpr int EndCode = ClearCode + 1;
constexpr int MaximumCode = 4095; // codes are at most 12 bits wide

void put16(std::vector<std::uint8_t>& out, int value) {
    out.push_back(std::uint8_t(value & 0xff));
    out.push_back(std::uint8_t((value >> 8) & 0xff));
}

// Cuts data into the sub-blocks of at most 255 bytes that GIF uses, ending with an empty one.
void putSubBlocks(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& data) {
    for (std::size_t at = 0; at < data.size(); at += 255) {
        const std::size_t length = std::min<std::size_t>(255, data.size() - at);
        out.push_back(std::uint8_t(length));
        out.insert(out.end(), data.begin() + long(at), data.begin() + long(at + length));
    }
    out.push_back(0);
}

class BitWriter {
public:
    void put(int code, int width) {
        m_buffer |= std::uint32_t(code) << m_bits;
        m_bits += width;
        while (m_bits >= 8) {
            m_bytes.push_back(std::uint8_t(m_buffer & 0xff));
            m_buffer >>= 8;
            m_bits -= 8;
        }
    }
    std::vector<std::uint8_t> finish() {
        if (m_bits > 0)
            m_bytes.push_back(std::uint8_t(m_buffer & 0xff));
        m_buffer = 0;
        m_bits = 0;
        return std::move(m_bytes);
    }

private:
    std::vector<std::uint8_t> m_bytes;
    std::uint32_t m_buffer = 0;
    int m_bits = 0;
};

std::vector<std::uint8_t> compress(const std::vector<std::uint8_t>& pixels) {
    // table[prefix * 256 + byte] is the code for prefix followed by byte, 0 when not yet known
    // (0 is never a code that stands for a string of two or more).
    std::vector<std::uint16_t> table(std::size_t(MaximumCode + 1) * 256, 0);
    BitWriter bits;
    int codeSize = MinimumCodeSize + 1;
    int lastCode = EndCode;

    bits.put(ClearCode, codeSize);
    if (pixels.empty()) {
        bits.put(EndCode, codeSize);
        return bits.finish();
    }
    int prefix = pixels[0];
    for (std::size_t i = 1; i < pixels.size(); ++i) {
        const int byte = pixels[i];
        std::uint16_t& known = table[std::size_t(prefix) * 256 + std::size_t(byte)];
        if (known != 0) {
            prefix = known;
            continue;
        }
        bits.put(prefix, codeSize);
        known = std::uint16_t(++lastCode);
        if (lastCode >= (1 << codeSize) && codeSize < 12)
            ++codeSize;
        if (lastCode == MaximumCode) {
            // The table is full: start a fresh one rather than go on with stale strings.
            bits.put(ClearCode, codeSize);
            std::fill(table.begin(), table.end(), 0);
            codeSize = MinimumCodeSize + 1;
            lastCode = EndCode;
        }
        prefix = byte;
    }
    bits.put(prefix, codeSize);
    bits.put(EndCode, codeSize);
    return bits.finish();
}

} // namespace

std::vector<std::uint8_t> encodeGif(const GifPicture& picture) {
    if (picture.width <= 0 || picture.height <= 0 || picture.width > 0xffff ||
        picture.height > 0xffff ||
        picture.pixels.size() != std::size_t(picture.width) * std::size_t(picture.height))
        throw std::invalid_argument("picture size and pixel count disagree");

    std::vector<std::uint8_t> out{'G', 'I', 'F', '8', '9', 'a'};

    // Logical screen: a global table of 2^(7+1) entries, 8 bits per primary.
    put16(out, picture.width);
    put16(out, picture.height);
    out.push_back(0x80 | (7 << 4) | 7);
    out.push_back(0); // background colour index
    out.push_back(0); // no aspect ratio given
    for (const Rgb& colour : picture.colours) {
        out.push_back(colour.r);
        out.push_back(colour.g);
        out.push_back(colour.b);
    }

    if (!picture.comment.empty()) {
        out.push_back(0x21);
        out.push_back(0xfe);
        putSubBlocks(out,
                     std::vector<std::uint8_t>(picture.comment.begin(), picture.comment.end()));
    }

    if (picture.transparentIndex >= 0) {
        out.push_back(0x21);
        out.push_back(0xf9);
        out.push_back(4);
        out.push_back(0x01); // no disposal, no user input, transparent colour given
        put16(out, 0);       // no delay
        out.push_back(std::uint8_t(picture.transparentIndex));
        out.push_back(0);
    }

    out.push_back(0x2c);
    put16(out, 0);
    put16(out, 0);
    put16(out, picture.width);
    put16(out, picture.height);
    out.push_back(0); // no local table, not interlaced
    out.push_back(MinimumCodeSize);
    putSubBlocks(out, compress(picture.pixels));

    out.push_back(0x3b);
    return out;
}
