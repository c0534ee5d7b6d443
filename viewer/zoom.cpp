#include "viewer/zoom.h"

#include "base/error.h"
#include "imaging/area_average.h"
#include "toolkit/controls.h"
#include "util/dlghelp.h"
#include "viewer/closemenu.h"

#include <algorithm>

namespace vistoro {

ZoomSize zoomSize(const ImageSize &aSize, const Rect &desktop) {
    ZoomSize z{static_cast<double>(desktop.right), static_cast<double>(desktop.bottom)};
    const double deskRatio = checkedDivReal(desktop.right, desktop.bottom);
    if (checkedDivReal(aSize.width, aSize.height) < deskRatio)
        z.width = checkedDivReal(static_cast<double>(aSize.width) * desktop.bottom, aSize.height);
    if (checkedDivReal(aSize.width, aSize.height) > deskRatio)
        z.height = checkedDivReal(static_cast<double>(aSize.height) * desktop.right, aSize.width);
    return z;
}

namespace {
// The window's thread and one more share the averaging.
constexpr unsigned kAveragingBands = 2;
} // namespace

ZoomPicture::ZoomPicture(HBITMAP picture, int width, int height)
    : picture_(picture), width_(width), height_(height) {
    const ImageSize own = AIMGSIZE(picture);
    if (width < 1 || height < 1 || (width >= own.width && height >= own.height))
        return;
    // A side made larger is averaged at the picture's own size and left to
    // the stretch. Without memory for the copy, the platform's stretch.
    averaged_ = reducedSection(picture, std::min(width, own.width), std::min(height, own.height),
                               kAveragingBands);
}

void ZoomPicture::paint(HDC dc) const {
    DRAWIMG(dc, averaged_ ? averaged_.get() : picture_, 0, 0, width_, height_);
}

void ZOOM(TDialog &oDlg, const ImageSize &aSize, HBITMAP hBmp) {
    const ZoomSize z = zoomSize(aSize, GETWNDRECT(GETDESKTOPWINDOW()));
    const int width = static_cast<int>(z.width), height = static_cast<int>(z.height);
    const ZoomPicture shown(hBmp, width, height);

    TDialog zoom({.cCaption = "",
                  .nStyle = static_cast<DWORD>(NOR({static_cast<long>(WS_POPUP),
                                                    WS_DLGFRAME, DS_MODALFRAME})),
                  .cVarName = "oDlg"});
    zoom.lModify = false;
    zoom.lHelpIcon = false;
    // Outside the visible client area, it only holds the keyboard focus.
    TButton &catcher = TButton::New({.nRow = -2, .nCol = -2, .cCaption = "", .oWnd = &zoom});
    catcher.bKeyDown = [&zoom](int nKey, int, TWindow &) -> HookResult {
        if (nKey != VK_SPACE)
            return std::nullopt;
        zoom.End();
        // Handled: the button's own Space handling would press it and take
        // the mouse capture in a window that is closing.
        return 0;
    };
    // Hidden only once the zoom window is drawn, so the screen never shows
    // neither of them.
    zoom.bStart = [&oDlg] { oDlg.Hide(); };

    zoom.Activate({
        .bPainted = [&shown](HDC dc, const PAINTSTRUCT &, TWindow &) { shown.paint(dc); },
        .lCentered = false,
        .bValid = [&zoom] { return VALID(zoom, false); },
        .bInit =
            [&zoom, &oDlg, hBmp, width, height] {
                MOVEWINDOW(zoom.hWnd, 0, 0, width + kFrameAllowance, height + kFrameAllowance);
                WNDCENTER(zoom.hWnd);
                zoom.bValid = [&oDlg, hBmp] {
                    oDlg.Show();
                    repaintPicture(oDlg, hBmp);
                    return true;
                };
            },
        .bRClicked = [&zoom](int nRow, int nCol, int, TWindow &) { MENUCHIUDI(zoom, nRow, nCol); },
        .lResize16 = true,
    });
}

} // namespace vistoro
