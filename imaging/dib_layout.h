// The layout of a bitmap in memory: how many colours its table holds, how
// long its rows are, where its masks, table and rows lie in its block (a
// packed bitmap, a BMP file after its 14-byte file header, or a bitmap
// inside a metafile record), all checked against the block's size so that
// nothing reads past its end. The one place these rules are written.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>

namespace vistoro {

// Bit-field masks with one for alpha as well; not in every SDK's headers.
inline constexpr DWORD kBiAlphaBitFields = 6;

// Masks stand behind the 40 bytes that every info header starts with:
// inside the larger headers, or right after the 40-byte one.
inline constexpr DWORD kDibMasksAt = sizeof(BITMAPINFOHEADER);

// What the colour table holds: colours, or (as metafile records may carry
// a bitmap) 16-bit indexes into the palette selected where it is drawn.
enum class DibTable { colours, paletteIndexes };

struct DibLayout {
    DWORD headerSize = 0; // 40 (or a later, larger header) or 12 for the old one
    WORD planes = 0;
    WORD bitCount = 0;
    DWORD colours = 0;     // entries in the colour table
    DWORD entrySize = 0;   // 4 (blue, green, red, reserved), 3 with the old header, 2 for indexes
    DWORD tableOffset = 0; // where the colour table starts
    DWORD bitsOffset = 0;  // where the pixel rows start
    LONG width = 0;
    LONG height = 0;      // always positive; the header's sign gives the row order
    bool topDown = false; // a negative height in the header: top row first
    DWORD compression = BI_RGB;
    // Bytes of pixel data the header declares: whole rows, or for other
    // compressions the size the header gives (0 when it gives none).
    unsigned long long pixelBytes = 0;
};

// Bytes in one row of pixels, padded to whole 32-bit words.
constexpr unsigned long long dibStride(unsigned long long bitCount,
                                       unsigned long long width) noexcept {
    return (bitCount * width + 31) / 32 * 4;
}

// Bytes of all rows of uncompressed pixels.
constexpr unsigned long long dibImageBytes(unsigned long long bitCount, unsigned long long width,
                                           unsigned long long height) noexcept {
    return dibStride(bitCount, width) * height;
}

// Bytes in one row of a device-dependent bitmap, the form the oldest
// metafile records store: padded to whole 16-bit words only.
constexpr unsigned long long ddbStride(unsigned long long bitCount,
                                       unsigned long long width) noexcept {
    return (bitCount * width + 15) / 16 * 2;
}

// Colours in the table: the count of colours used when not 0, else 2, 16
// or 256 for 1, 4 or 8 bits, and none for other depths.
DWORD dibColours(WORD bitCount, DWORD coloursUsed) noexcept;

// Masks for pixels laid out by them: red, green and blue, and alpha too
// where the header has room for it (56 bytes on) or the compression adds
// it; none for other compressions.
constexpr DWORD dibMaskCount(DWORD headerSize, DWORD compression) noexcept {
    if (compression != BI_BITFIELDS && compression != kBiAlphaBitFields)
        return 0;
    return headerSize >= 56 || compression == kBiAlphaBitFields ? 4 : 3;
}

// The layout of the block at p of blockSize bytes; nothing when the header
// is unknown or its colour table or rows would not fit in the block. With
// needRows false only the header and colour table must fit.
std::optional<DibLayout> dibLayout(const void *p, SIZE_T blockSize, bool needRows,
                                   DibTable table = DibTable::colours) noexcept;

// Whether a bitmap carried by a metafile record is one the platform's
// players draw safely: a known depth and compression, one plane, at most
// 256 colours, run-length rows bottom-up, within the largest picture, and
// its header, table and rows wholly inside [data, data + size); or, when
// bitsAt is not null, header and table there and the rows inside bitsSize.
bool packedBitmapFits(const BYTE *data, std::size_t size, const BYTE *bitsAt, std::size_t bitsSize,
                      bool paletteIndexes) noexcept;

} // namespace vistoro
