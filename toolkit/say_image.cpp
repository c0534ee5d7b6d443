// Static texts, images and bitmap buttons taken over from a dialog resource.
#include "imaging/decode.h"
#include "imaging/paint.h"
#include "toolkit/controls.h"
#include "toolkit/dialog.h"
#include "base/handles.h"
#include "base/text.h"

namespace vistoro {
namespace {

// The platform classes that a dialog resource may name. Their own window
// procedure does nothing special; the toolkit's link paints them.
LRESULT CALLBACK plainControlProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    return ::DefWindowProcW(wnd, msg, wp, lp);
}

void registerClass(const wchar_t *name, UINT styles) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = styles;
    wc.lpfnWndProc = plainControlProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    // Refused, the class is missing and the dialog naming it cannot be made,
    // which is told there; the next control tries again.
    registerWindowClass(wc);
}

HBITMAP loadResourceBitmap(const std::string &name) {
    return static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr), widen(name).c_str(),
                                             IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

} // namespace

void registerControlClasses() {
    registerClass(L"TImage", CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS);
    registerClass(L"TBtnBmp", CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS);
}

TSay &TSay::Redefine(const TSayRedefine &a) {
    auto c = std::make_unique<TSay>();
    c->nId = a.nId;
    c->bGet = a.bText;
    c->cPicture = a.cPicture;
    c->cCaption = a.bText ? a.bText() : std::string();
    TDialog *owner = a.oWnd ? dynamic_cast<TDialog *>(a.oWnd) : TDialog::windowDefault();
    c->nClrText = a.nClrText ? a.nClrText : (owner ? std::optional(owner->nClrText) : std::nullopt);
    c->setBackColor(a.nClrBack.value_or(::GetSysColor(COLOR_BTNFACE)));
    c->lAdjust = a.lAdjust;
    c->lTransparent = a.lTransparent;
    c->oFont = a.oFont;
    c->Cargo = a.uCargo;
    c->cClassName = "STATIC";
    return adopt(std::move(c), a.oWnd);
}

void TSay::Initiate(HWND hWndDlg) {
    TControl::Initiate(hWndDlg);
    if (!cCaption.empty()) {
        ::SetWindowTextW(hWnd, widen(cCaption).c_str());
    } else {
        const int n = ::GetWindowTextLengthW(hWnd);
        std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
        const int got = ::GetWindowTextW(hWnd, w.data(), n + 1);
        w.resize(static_cast<std::size_t>(got > 0 ? got : 0));
        cCaption = narrowUtf8(w);
    }
}

void TSay::Refresh() {
    if (bGet)
        cCaption = bGet();
    if (hWnd)
        ::SetWindowTextW(hWnd, widen(cCaption).c_str());
}

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
