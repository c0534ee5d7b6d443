// A bitmap turned into a packed device-independent bitmap (one movable
// memory block: header, colour table, rows), a palette made from its colour
// table, and the block drawn onto a device context such as a printer's.
// Nothing is kept between calls; the caller owns every handle returned.
#pragma once

#include "base/handles.h"

namespace vistoro {

// The bitmap's pixels read out through the screen context with hPal
// realised (the stock default palette when none); empty on any failure.
UniqueGlobal DIBFROMBITMAP(HBITMAP hBmp, HPALETTE hPal = nullptr);

// A logical palette of the block's colour table; empty for 0, for a bitmap
// without colour table, and for a block shorter than its header and table.
UniquePalette DIBPALETTE(HGLOBAL hDib);

struct DibDrawOptions {
    HPALETTE hPal = nullptr; // selected and realised for the drawing when given
    // Position and size on the device; each must lie within 0..65535.
    int nRow = 0;
    int nCol = 0;
    int nWidth = 0;  // 0 (or nHeight 0): the bitmap's own size, no stretching
    int nHeight = 0;
    DWORD nRaster = 0; // 0: SRCCOPY; used only when stretching
};

// Draws the whole packed bitmap at (nCol, nRow). True when drawn; false for
// a 0 context or block, a block that cannot be locked or does not hold what
// its header claims, and a position or size outside 0..65535.
bool DIBDRAW(HDC hDC, HGLOBAL hDib, const DibDrawOptions &options = {});

} // namespace vistoro
