// The zoom window: the current picture as large as the desktop allows,
// keeping its proportions, while the viewing window is hidden.
#pragma once

#include <windows.h>

#include "toolkit/dialog.h"
#include "toolkit/wrappers.h"
#include "viewer/viewwin.h"

namespace vistoro {

// The size the picture is painted at; fractions are cut off when painting.
struct ZoomSize {
    double width = 0, height = 0;
};
// The desktop's width and height (its right and bottom), reduced in one of
// them to the picture's proportions. A 0 side divides through the error
// handler, which makes that division 0.
ZoomSize zoomSize(const ImageSize &aSize, const Rect &desktop);

// Shows the zoom window over oDlg's picture and returns once it has closed.
// Neither the bitmap nor the viewing window's state is changed.
void ZOOM(TDialog &oDlg, const ImageSize &aSize, HBITMAP hBmp);

} // namespace vistoro
