// The zoom window: the current picture as large as the desktop allows,
// keeping its proportions, while the viewing window is hidden.
#pragma once

#include <windows.h>

#include "base/handles.h"
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

// The picture as the zoom window paints it at width x height. Made smaller
// in either direction, it is averaged once, when the window opens, in two
// bands at once, and each paint copies that (blended where it has alpha);
// made larger only, each paint stretches it with its pixels kept sharp.
class ZoomPicture {
  public:
    ZoomPicture(HBITMAP picture, int width, int height);
    void paint(HDC dc) const;

  private:
    HBITMAP picture_;
    UniqueBitmap averaged_;
    int width_, height_;
};

// Shows the zoom window over oDlg's picture and returns once it has closed.
// Neither the bitmap nor the viewing window's state is changed.
void ZOOM(TDialog &oDlg, const ImageSize &aSize, HBITMAP hBmp);

} // namespace vistoro
