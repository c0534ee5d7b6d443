// Borderless bitmap buttons that serve only as a dialog's picture.
#include "base/handles.h"
#include "imaging/paint.h"
#include "toolkit/control_classes.h"
#include "toolkit/controls.h"

namespace vistoro {

TBtnBmp &TBtnBmp::Redefine(const TBtnBmpRedefine &a) {
    auto c = std::make_unique<TBtnBmp>();
    c->nId = a.nId;
    c->cClassName = "TBtnBmp";
    if (a.cResName && !a.cResName->empty())
        c->hBitmap.reset(loadResourceBitmap(*a.cResName));
    registerControlClasses();
    return adopt(std::move(c), a.oWnd);
}

HookResult TBtnBmp::HandleEvent(UINT nMsg, WPARAM wp, LPARAM lp) {
    switch (nMsg) {
    case WM_PAINT: {
        // Borderless: the face colour, then the bitmap centred on it.
        PaintScope paint(hWnd);
        RECT rc{};
        ::GetClientRect(hWnd, &rc);
        ::FillRect(paint.dc(), &rc, ::GetSysColorBrush(COLOR_BTNFACE));
        if (HBITMAP face = hBitmap.get())
            PAINTIMG(paint.dc(), face, (rc.bottom - NBMPHEIGHT(face)) / 2,
                     (rc.right - NBMPWIDTH(face)) / 2);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_KEYDOWN:
    case WM_KEYUP:
        return 0; // no action: a picture only
    default:
        return TControl::HandleEvent(nMsg, wp, lp);
    }
}

} // namespace vistoro
