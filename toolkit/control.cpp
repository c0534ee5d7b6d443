// The control base: identifiers, placing on a dialog, the link to the
// platform control (one subclass procedure for every control), key routing.
#include <windows.h>

#include <commctrl.h>

#include <stdexcept>

#include "base/error.h"
#include "toolkit/controls.h"
#include "toolkit/dialog.h"
#include "toolkit/toolkit_error.h"
#include "base/text.h"

namespace vistoro {

struct ControlProcs {
    static LRESULT CALLBACK proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                 DWORD_PTR ref) {
        auto *c = reinterpret_cast<TControl *>(ref);
        if (msg == WM_NCDESTROY) {
            ::RemoveWindowSubclass(wnd, &ControlProcs::proc, id);
            if (c && c->hWnd == wnd) {
                c->hWnd = nullptr;
                c->linked_ = false;
            }
            return ::DefSubclassProc(wnd, msg, wp, lp);
        }
        if (!c)
            return ::DefSubclassProc(wnd, msg, wp, lp);
        HookResult r;
        recoveryPoint([&] { r = c->HandleEvent(msg, wp, lp); });
        if (r)
            return static_cast<LRESULT>(*r);
        return ::DefSubclassProc(wnd, msg, wp, lp);
    }
};

namespace {
constexpr UINT_PTR kSubclassId = 0x7653; // one per control window
} // namespace

int &TControl::nInitID() {
    static int id = 100;
    return id;
}

int TControl::GetNewId() {
    int &n = nInitID();
    if (n < 30000)
        ++n;
    else
        n = 100;
    return n;
}

TControl::~TControl() { unlink(); }

TDialog *TControl::dialog() const { return dynamic_cast<TDialog *>(oWnd); }

void TControl::place(std::unique_ptr<TControl> control, TWindow *owner) {
    TDialog *dlg = owner ? dynamic_cast<TDialog *>(owner) : TDialog::windowDefault();
    if (!dlg)
        throw std::logic_error("A control needs a dialog to live on");
    dlg->DefControl(std::move(control));
}

void TControl::link(HWND wnd) {
    unlink();
    if (::SetWindowSubclass(wnd, &ControlProcs::proc, kSubclassId,
                            reinterpret_cast<DWORD_PTR>(this))) {
        hWnd = wnd;
        linked_ = true;
    }
}

void TControl::unlink() noexcept {
    if (linked_ && hWnd && ::IsWindow(hWnd))
        ::RemoveWindowSubclass(hWnd, &ControlProcs::proc, kSubclassId);
    linked_ = false;
}

LRESULT TControl::callDefault(UINT nMsg, WPARAM wp, LPARAM lp) {
    return ::DefSubclassProc(hWnd, nMsg, wp, lp);
}

void TControl::Initiate(HWND hWndDlg) {
    if (!lActive)
        lActive = true;
    if (!lDrag)
        lDrag = false;
    if (!lCaptured)
        lCaptured = false;
    if (!lFocused)
        lFocused = false;
    if (!lCancel)
        lCancel = false;
    if (!lTransparent)
        lTransparent = false;
    HWND wnd = ::GetDlgItem(hWndDlg, nId);
    if (!wnd) {
        raiseToolkitError("TCONTROL", 3, "Non defined Id", idDetail(nId));
        throw AbandonOperation{};
    }
    ::EnableWindow(wnd, *lActive ? TRUE : FALSE);
    link(wnd);
    if (oFont)
        ::SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(oFont), FALSE);
    if (bInit)
        bInit(*this);
}

void TControl::AppendTemplateItem(std::string &out, const BaseUnits &u, bool truePixel) const {
    const int k = truePixel ? 1 : 2;
    TemplateItem item;
    item.style = nStyle ? nStyle : (WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    item.exStyle = nExtStyle;
    item.id = nId;
    item.className = cClassName;
    item.text = cCaption;
    item.x = pixelsToDlgX(nLeft, u, k);
    item.y = pixelsToDlgY(nTop, u, k);
    item.cx = pixelsToDlgX(nRight, u, k) - item.x;
    item.cy = pixelsToDlgY(nBottom, u, k) - item.y;
    appendTemplateItem(out, item);
}

void TControl::Refresh() {
    if (hWnd)
        ::InvalidateRect(hWnd, nullptr, TRUE);
}

HookResult TControl::GetDlgCode(WPARAM wp, LPARAM /*lp*/) {
    const int key = static_cast<int>(wp);
    if (TDialog *d = dialog(); d && !d->lValidating &&
                               (key == VK_RETURN || key == VK_TAB || key == VK_DOWN || key == VK_UP))
        d->nLastKey = key;
    if (nDlgCode)
        return *nDlgCode;
    return std::nullopt;
}

HookResult TControl::KeyDown(int nKey, int nFlags) {
    if (nKey == VK_ESCAPE) {
        if (TDialog *d = dialog())
            d->KeyDown(nKey, nFlags);
        return 0;
    }
    return TWindow::KeyDown(nKey, nFlags);
}

HookResult TControl::HandleEvent(UINT nMsg, WPARAM wp, LPARAM lp) {
    switch (nMsg) {
    case WM_GETDLGCODE:
        return GetDlgCode(wp, lp);
    case WM_KEYDOWN:
        return KeyDown(static_cast<int>(wp), static_cast<int>(lp));
    case kClickMessage:
        Click();
        return 0;
    case WM_MOUSEWHEEL:
        // Where the wheel goes to the focus rather than to the window under
        // the pointer, the dialog's own hook still takes it.
        if (TDialog *d = dialog(); d && d->bMouseWheel)
            return d->HandleEvent(nMsg, wp, lp);
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

void TControl::setBackColor(std::optional<COLORREF> colour) {
    nClrPane = colour;
    backBrush_.reset(colour ? ::CreateSolidBrush(*colour) : nullptr);
}

HBRUSH TControl::ctlColor(HDC dc) {
    if (nClrText)
        ::SetTextColor(dc, *nClrText);
    if (!backBrush_)
        return nullptr;
    ::SetBkColor(dc, *nClrPane);
    return backBrush_.get();
}

} // namespace vistoro
