// The bitmap layout: where tables and rows lie for every kind of header,
// and which bitmaps a metafile record may carry.
#include "imaging/dib_layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <utility>
#include <vector>

using namespace vistoro;

namespace {

// A header's fields; a size of 12 makes the old core header.
struct Header {
    DWORD size = 40;
    LONG width = 4;
    LONG height = 2;
    WORD bitCount = 8;
    DWORD compression = BI_RGB;
    DWORD sizeImage = 0;
    DWORD used = 0;
    WORD planes = 1;
};

// The header followed by `more` bytes.
std::vector<BYTE> block(const Header &h, std::size_t more) {
    std::vector<BYTE> b(h.size + more);
    if (h.size == sizeof(BITMAPCOREHEADER)) {
        const BITMAPCOREHEADER core{h.size, static_cast<WORD>(h.width), static_cast<WORD>(h.height),
                                    h.planes, h.bitCount};
        std::memcpy(b.data(), &core, sizeof core);
    } else {
        const BITMAPINFOHEADER info{
            h.size,      h.width, h.height, h.planes, h.bitCount, h.compression,
            h.sizeImage, 0,       0,        h.used,   0};
        std::memcpy(b.data(), &info, sizeof info);
    }
    return b;
}

} // namespace

TEST(DibLayout, TablesAndRowsOfEveryHeader) {
    struct Places {
        DWORD colours, entrySize, tableOffset, bitsOffset;
        unsigned long long pixelBytes;
    };
    struct Row {
        const char *what;
        Header header;
        Places is;
        DibTable table = DibTable::colours;
    };
    const Row rows[] = {
        {"8 bits: a full table", {}, {256, 4, 40, 40 + 1024, 8}},
        {"1 bit, 33 wide: rows padded to 8 bytes", {40, 33, 2, 1}, {2, 4, 40, 48, 16}},
        {"4 bits, 3 colours used", {40, 4, 2, 4, BI_RGB, 0, 3}, {3, 4, 40, 52, 8}},
        {"24 bits, 5 wide: 15 bytes padded to 16", {40, 5, 3, 24}, {0, 4, 40, 40, 48}},
        {"old header: three-byte entries", {12, 4, 2, 4}, {16, 3, 12, 12 + 48, 8}},
        {"three masks behind the 40-byte header", {40, 4, 2, 16, BI_BITFIELDS}, {0, 4, 52, 52, 16}},
        {"four masks with alpha", {40, 4, 2, 32, kBiAlphaBitFields}, {0, 4, 56, 56, 32}},
        {"masks inside a 56-byte header", {56, 4, 2, 32, BI_BITFIELDS}, {0, 4, 56, 56, 32}},
        {"palette indexes: two bytes an entry",
         {},
         {256, 2, 40, 40 + 512, 8},
         DibTable::paletteIndexes},
        {"run-length rows: the size the header gives",
         {40, 4, 2, 8, BI_RLE8, 10},
         {256, 4, 40, 40 + 1024, 10}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        const std::size_t needed = r.is.bitsOffset + r.is.pixelBytes;
        const auto whole = block(r.header, needed - r.header.size);
        const auto d = dibLayout(whole.data(), whole.size(), true, r.table);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->colours, r.is.colours);
        EXPECT_EQ(d->entrySize, r.is.entrySize);
        EXPECT_EQ(d->tableOffset, r.is.tableOffset);
        EXPECT_EQ(d->bitsOffset, r.is.bitsOffset);
        EXPECT_EQ(d->pixelBytes, r.is.pixelBytes);
        // One byte short of the rows: only the table is there.
        EXPECT_FALSE(dibLayout(whole.data(), needed - 1, true, r.table));
        EXPECT_TRUE(dibLayout(whole.data(), needed - 1, false, r.table));
        EXPECT_FALSE(dibLayout(whole.data(), r.is.bitsOffset - 1, false, r.table));
    }
}

TEST(DibLayout, RefusesHeadersItCannotPlace) {
    const std::pair<const char *, Header> rows[] = {
        {"no width", {40, 0, 2}},
        {"a height with no positive counterpart", {40, 4, LONG_MIN}},
        {"neither header", {20, 4, 2}},
        {"no depth", {40, 4, 2, 0}},
        {"compressed rows of no stated size", {40, 4, 2, 8, BI_RLE8, 0}},
    };
    for (const auto &[what, header] : rows) {
        const auto b = block(header, 1 << 12);
        EXPECT_FALSE(dibLayout(b.data(), b.size(), true)) << what;
    }
}

TEST(PackedBitmapFits, WhatMetafileRecordsMayCarry) {
    // Each bitmap is 4 x 2 unless its header says otherwise, held with
    // exactly `table` bytes of masks and colours and `rows` bytes of rows;
    // those refused are refused for what the players draw, not for room.
    struct Row {
        const char *what;
        Header header;
        std::size_t table, rows;
        bool paletteIndexes, fits;
    };
    const Row rows[] = {
        {"8 bits", {}, 1024, 8, false, true},
        {"palette indexes: two-byte entries", {}, 512, 8, true, true},
        {"run-length rows bottom-up", {40, 4, 2, 8, BI_RLE8, 10}, 1024, 10, false, true},
        {"256 colours used", {40, 4, 2, 8, BI_RGB, 0, 256}, 1024, 8, false, true},
        {"257 colours used", {40, 4, 2, 8, BI_RGB, 0, 257}, 1028, 8, false, false},
        {"two planes", {40, 4, 2, 8, BI_RGB, 0, 0, 2}, 1024, 8, false, false},
        {"2 bits", {40, 4, 2, 2}, 16, 8, false, false},
        {"run-length rows top-down", {40, 4, -2, 8, BI_RLE8, 10}, 1024, 10, false, false},
        {"4-bit runs of 8-bit pixels", {40, 4, 2, 8, BI_RLE4, 10}, 1024, 10, false, false},
        {"masks for 24 bits", {40, 4, 2, 24, BI_BITFIELDS}, 12, 24, false, false},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        const auto b = block(r.header, r.table + r.rows);
        const std::size_t head = r.header.size + r.table;
        const bool pi = r.paletteIndexes;
        EXPECT_EQ(packedBitmapFits(b.data(), b.size(), nullptr, 0, pi), r.fits);
        EXPECT_EQ(packedBitmapFits(b.data(), head, b.data(), r.rows, pi), r.fits); // rows apart
        if (!r.fits)
            continue;
        EXPECT_FALSE(packedBitmapFits(b.data(), b.size() - 1, nullptr, 0, pi));
        EXPECT_FALSE(packedBitmapFits(b.data(), head, b.data(), r.rows - 1, pi));
        EXPECT_FALSE(packedBitmapFits(b.data(), head - 1, b.data(), r.rows, pi));
    }
}

TEST(PackedBitmapFits, LargestPictureAndRunsWithoutASize) {
    // 16384 x 16384 is the largest picture; one row more is refused.
    const unsigned long long rows = 2048ull * 16384;
    const auto largest = block({40, 16384, 16384, 1}, 8);
    EXPECT_TRUE(packedBitmapFits(largest.data(), largest.size(), largest.data(), rows, false));
    const auto larger = block({40, 16384, 16385, 1}, 8);
    EXPECT_FALSE(packedBitmapFits(larger.data(), larger.size(), larger.data(), rows * 2, false));
    // Run-length rows stored apart must still have a size.
    const auto noSize = block({40, 4, 2, 8, BI_RLE8, 0}, 1024);
    EXPECT_FALSE(packedBitmapFits(noSize.data(), noSize.size(), noSize.data(), 1 << 20, false));
}
