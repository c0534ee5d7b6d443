// Where the parts of a packed device-independent bitmap lie in its block,
// checked against the block's size, so that nothing reads past its end.
#pragma once

#include <windows.h>

#include <optional>

namespace vistoro {

struct DibLayout {
    DWORD headerSize = 0;  // 40 (or a later, larger header) or 12 for the old one
    WORD bitCount = 0;
    DWORD colours = 0;     // entries in the colour table
    DWORD entrySize = 0;   // 4 (blue, green, red, reserved) or 3 with the old header
    DWORD tableOffset = 0; // where the colour table starts
    DWORD bitsOffset = 0;  // where the pixel rows start
    LONG width = 0;
    LONG height = 0;       // always positive; the header's sign gives the row order
};

// Colours of a packed bitmap: the count of colours used when not 0, else
// 2, 16 or 256 for 1, 4 or 8 bits, and none for other depths.
DWORD dibColours(WORD bitCount, DWORD coloursUsed) noexcept;

// The layout of the block at p of blockSize bytes; nothing when the header
// is unknown or its colour table or rows would not fit in the block. With
// needRows false only the header and colour table must fit.
std::optional<DibLayout> dibLayout(const void *p, SIZE_T blockSize, bool needRows) noexcept;

} // namespace vistoro
