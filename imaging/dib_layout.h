// Where the parts of a device-independent bitmap lie in its block (a packed
// bitmap, or a BMP file after its 14-byte file header), checked against the
// block's size, so that nothing reads past its end.
#pragma once

#include <windows.h>

#include <optional>

namespace vistoro {

// Bit-field masks with one for alpha as well; not in every SDK's headers.
inline constexpr DWORD kBiAlphaBitFields = 6;

struct DibLayout {
    DWORD headerSize = 0; // 40 (or a later, larger header) or 12 for the old one
    WORD bitCount = 0;
    DWORD colours = 0;     // entries in the colour table
    DWORD entrySize = 0;   // 4 (blue, green, red, reserved) or 3 with the old header
    DWORD tableOffset = 0; // where the colour table starts
    DWORD bitsOffset = 0;  // where the pixel rows start
    LONG width = 0;
    LONG height = 0;      // always positive; the header's sign gives the row order
    bool topDown = false; // a negative height in the header: top row first
    DWORD compression = BI_RGB;
};

// Bytes in one row of pixels, padded to whole 32-bit words.
constexpr unsigned long long dibStride(unsigned long long bitCount,
                                       unsigned long long width) noexcept {
    return (bitCount * width + 31) / 32 * 4;
}

// Colours of a packed bitmap: the count of colours used when not 0, else
// 2, 16 or 256 for 1, 4 or 8 bits, and none for other depths.
DWORD dibColours(WORD bitCount, DWORD coloursUsed) noexcept;

// The layout of the block at p of blockSize bytes; nothing when the header
// is unknown or its colour table or rows would not fit in the block. With
// needRows false only the header and colour table must fit.
std::optional<DibLayout> dibLayout(const void *p, SIZE_T blockSize, bool needRows) noexcept;

} // namespace vistoro
