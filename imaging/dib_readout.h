// A bitmap's pixels read out as a packed device-independent bitmap in one
// movable memory block: a 40-byte header, the colour table its bit count
// needs, then the rows as GetDIBits delivers them (bottom-up).
#pragma once

#include "base/handles.h"

namespace vistoro {

struct PackedDib {
    UniqueGlobal block;      // empty when the read-out failed
    DWORD bitsOffset = 0;    // where the rows start in the block
    DWORD imageSize = 0;     // bytes of row data
};

// The read-out through a screen context with hPalette selected and realised
// (the stock default palette when none is given); the palette is put back
// and the context released on every path.
PackedDib packedDibFromBitmap(HBITMAP hBitmap, HPALETTE hPalette = nullptr);

} // namespace vistoro
