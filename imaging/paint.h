// Measuring, painting and releasing bitmap handles. A 0 handle or 0 device
// context paints nothing and reports nothing; painting leaves the device
// context and the bitmap as they were.
#pragma once

#include <windows.h>

#include <optional>

namespace vistoro {

// Paints the whole bitmap with its top-left corner at (nLeft, nTop), scaled
// to nWidth x nHeight (its own size when either is 0): alpha-blended when
// HASALPHA, else a plain copy.
void PAINTIMG(HDC hDC, HBITMAP hBitmap, int nTop = 0, int nLeft = 0, int nWidth = 0,
              int nHeight = 0);

// True when the screen has 32 bits per pixel and any fourth byte of the
// bitmap's pixel data is non-zero. Read afresh at every call.
bool HASALPHA(HBITMAP hBitmap);

// True when PAINTIMG sets every pixel of the bitmap's rectangle, so that
// nothing under it shows through: a plain copy, or a blend of pixels whose
// alpha is all 255. False for 0 and for a bitmap with any pixel of lower
// alpha (or whose pixels cannot be read).
bool paintsEveryPixel(HBITMAP hBitmap);

// The plain copy: BitBlt at the bitmap's own size, or StretchBlt when both
// sizes are given and differ from it: HALFTONE (the brush origin set for it
// and put back) when either is smaller than the bitmap's, COLORONCOLOR when
// it is only made larger. Some platforms' HALFTONE does not average, and
// the alpha path below does not filter at all: where a reduction must look
// right, reduce with area_average.h first. hPalette, when given, is
// selected into hDC and realised for the copy. With a transparent colour,
// the bitmap's pixels of that colour leave hDC as it was (stretched with
// COLORONCOLOR; the raster operation does not apply then).
void PALBMPDRAW(HDC hDC, int nTop, int nLeft, HBITMAP hBitmap, HPALETTE hPalette = nullptr,
                int nWidth = 0, int nHeight = 0, DWORD nRop = SRCCOPY,
                std::optional<COLORREF> nTransparent = std::nullopt);

// Alpha-blends the whole bitmap (per-pixel premultiplied alpha and the
// constant nAlpha, 220 when 0) at (nLeft, nTop) with the given size (its
// own when either is 0). Left comes before top here. True when blended.
bool ABPAINT(HDC hDC, int nLeft, int nTop, HBITMAP hBitmap, int nAlpha = 0, int nWidth = 0,
             int nHeight = 0);

// Width and height in pixels; 0 for 0 or for anything that is no bitmap.
int NBMPWIDTH(HBITMAP hBitmap);
int NBMPHEIGHT(HBITMAP hBitmap);

// Releases a graphics object. False for 0 and for a value that is no
// graphics object, without calling the platform.
bool DELETEOBJECT(HGDIOBJ hObject) noexcept;

} // namespace vistoro
