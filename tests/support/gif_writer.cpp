#include "support/gif_writer.h"

#include <algorithm>

namespace testsupport {

namespace {

constexpr int kTableSize = 4096;

void put16(std::string &s, int v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

// The table size field (2^(n+1) colours) that holds `colours`.
int tableBits(std::size_t colours) {
    int bits = 1;
    while ((std::size_t{1} << bits) < colours)
        ++bits;
    return bits;
}

void putTable(std::string &s, const std::vector<std::uint32_t> &palette) {
    const std::size_t entries = std::size_t{1} << tableBits(palette.size());
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint32_t c = i < palette.size() ? palette[i] : 0;
        s += static_cast<char>((c >> 16) & 0xFF);
        s += static_cast<char>((c >> 8) & 0xFF);
        s += static_cast<char>(c & 0xFF);
    }
}

std::string subBlocks(const std::string &bytes) {
    std::string s;
    for (std::size_t at = 0; at < bytes.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, bytes.size() - at);
        s += static_cast<char>(n);
        s += bytes.substr(at, n);
    }
    return s + '\0';
}

// The rows in the order an interlaced image stores them.
std::vector<std::uint8_t> interlacedRows(const std::vector<std::uint8_t> &indexes, int width,
                                         int height) {
    static constexpr int kPasses[][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
    std::vector<std::uint8_t> out;
    for (const auto &[first, step] : kPasses)
        for (int y = first; y < height; y += step)
            out.insert(out.end(), indexes.begin() + y * width, indexes.begin() + (y + 1) * width);
    return out;
}

} // namespace

std::string gifCodeData(int minCodeSize, const std::vector<int> &codes) {
    const int clearCode = 1 << minCodeSize;
    int width = minCodeSize + 1, next = clearCode + 2;
    bool afterClear = true;
    std::string bytes;
    std::uint32_t bits = 0;
    int count = 0;
    for (int code : codes) {
        bits |= static_cast<std::uint32_t>(code) << count;
        count += width;
        for (; count >= 8; count -= 8, bits >>= 8)
            bytes += static_cast<char>(bits & 0xFF);
        // A reader adds an entry for every code but the first after a clear.
        if (code == clearCode) {
            width = minCodeSize + 1;
            next = clearCode + 2;
            afterClear = true;
        } else if (code != clearCode + 1) {
            if (!afterClear && next < kTableSize && ++next == (1 << width) && width < 12)
                ++width;
            afterClear = false;
        }
    }
    if (count > 0)
        bytes += static_cast<char>(bits & 0xFF);
    return static_cast<char>(minCodeSize) + subBlocks(bytes);
}

std::string gifImageData(const std::vector<std::uint8_t> &indexes, int minCodeSize,
                         bool clearWhenFull) {
    const int clearCode = 1 << minCodeSize;
    // After a clear, n colours make n - 1 entries.
    const std::size_t colourRun = static_cast<std::size_t>(kTableSize - clearCode - 1);
    std::vector<int> codes{clearCode};
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        if (clearWhenFull && i > 0 && i % colourRun == 0)
            codes.push_back(clearCode);
        codes.push_back(indexes[i]);
    }
    codes.push_back(clearCode + 1);
    return gifCodeData(minCodeSize, codes);
}

std::string animatedGif(int screenW, int screenH, const std::vector<GifTestFrame> &frames,
                        std::optional<int> loopCount,
                        const std::vector<std::uint32_t> &globalPalette) {
    std::string s = "GIF89a";
    put16(s, screenW);
    put16(s, screenH);
    s +=
        static_cast<char>(globalPalette.empty() ? 0 : 0x80 | (tableBits(globalPalette.size()) - 1));
    s += std::string(2, '\0'); // background colour, aspect ratio
    if (!globalPalette.empty())
        putTable(s, globalPalette);
    if (loopCount) {
        s += "\x21\xFF\x0B"
             "NETSCAPE2.0"
             "\x03\x01";
        put16(s, *loopCount);
        s += '\0';
    }
    for (const GifTestFrame &f : frames) {
        s += "\x21\xF9\x04";
        s += static_cast<char>((f.disposal & 7) << 2 | (f.transparent ? 1 : 0));
        put16(s, f.delay);
        s += static_cast<char>(f.transparent.value_or(0));
        s += '\0';

        s += ',';
        put16(s, f.left);
        put16(s, f.top);
        put16(s, f.width);
        put16(s, f.height);
        const bool local = !f.palette.empty();
        s += static_cast<char>((local ? 0x80 | (tableBits(f.palette.size()) - 1) : 0) |
                               (f.interlaced ? 0x40 : 0));
        if (local)
            putTable(s, f.palette);
        const std::size_t colours = local                   ? f.palette.size()
                                    : globalPalette.empty() ? 256
                                                            : globalPalette.size();
        s += f.data ? *f.data
                    : gifImageData(f.interlaced ? interlacedRows(f.indexes, f.width, f.height)
                                                : f.indexes,
                                   std::max(2, tableBits(colours)));
    }
    return s + ';';
}

} // namespace testsupport
