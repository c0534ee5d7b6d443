// Image controls: a picture from a bitmap resource or a file, painted at its
// own size or fitted to the control.
#include "base/handles.h"
#include "imaging/decode.h"
#include "imaging/paint.h"
#include "toolkit/control_classes.h"
#include "toolkit/controls.h"

namespace vistoro {

TImage &TImage::ReDefine(const TImageReDefine &a) {
    auto c = std::make_unique<TImage>();
    c->nId = a.nId;
    c->bLClicked = a.bLClicked;
    c->bRClicked = a.bRClicked;
    c->lAdjust = a.lAdjust;
    c->bWhen = a.bWhen;
    c->bValid = a.bValid;
    c->cClassName = "TImage";
    if (a.cResName && !a.cResName->empty())
        c->hImg.reset(loadResourceBitmap(*a.cResName));
    if (a.cImgFile && !a.cImgFile->empty()) {
        c->cImgFile = *a.cImgFile;
        if (HBITMAP h = LOADIMG(c->cImgFile))
            c->hImg.reset(h);
    }
    registerControlClasses();
    return adopt(std::move(c), a.oWnd);
}

void TImage::Paint(HDC dc) {
    callDefault(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    if (!hImg)
        return;
    RECT rc{};
    ::GetClientRect(hWnd, &rc);
    if (lAdjust)
        PAINTIMG(dc, hImg.get(), 0, 0, rc.right, rc.bottom);
    else
        PAINTIMG(dc, hImg.get(), 0, 0);
}

HookResult TImage::HandleEvent(UINT nMsg, WPARAM wp, LPARAM lp) {
    switch (nMsg) {
    case WM_PAINT: {
        PaintScope paint(hWnd);
        Paint(paint.dc());
        return 0;
    }
    case WM_ERASEBKGND:
        return 1; // erased by Paint, under the picture
    case WM_LBUTTONDOWN:
        return LButtonDown(static_cast<short>(HIWORD(lp)), static_cast<short>(LOWORD(lp)),
                           static_cast<int>(wp), false);
    case WM_RBUTTONDOWN:
        return RButtonDown(static_cast<short>(HIWORD(lp)), static_cast<short>(LOWORD(lp)),
                           static_cast<int>(wp));
    default:
        return TControl::HandleEvent(nMsg, wp, lp);
    }
}

} // namespace vistoro
