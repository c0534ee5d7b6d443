// Turning a bitmap by an angle onto a canvas just large enough for it.
#pragma once

#include <windows.h>

namespace vistoro {

// The canvas of a W x H picture turned by an angle: the extremes of its
// corners, each truncated toward zero, and the size they span.
struct RotatedCanvas {
    long minX = 0, minY = 0;
    long width = 0, height = 0;
};
RotatedCanvas rotatedCanvas(long width, long height, double angle);

// A new bitmap of the display's colour depth holding hBitmap turned by
// nAngle degrees (positive: anticlockwise on the screen), the uncovered
// parts filled with nBackColor. The source is left as it is; the caller owns
// the result. 0 when hBitmap is no bitmap or the result cannot be made.
HBITMAP ROTATEBMP(HBITMAP hBitmap, double nAngle = -90, COLORREF nBackColor = 0);

} // namespace vistoro
