// Message routing of TDialog: the one dialog procedure, which finds the
// object and keeps every exception inside, and the handlers it calls.
#include <windows.h>

#include <windowsx.h>

#include "base/error.h"
#include "toolkit/controls.h"
#include "toolkit/dialog.h"
#include "toolkit/dialog_procs.h"
#include "toolkit/menu.h"
#include "toolkit/message_drain.h"
#include "base/text.h"

namespace vistoro {

struct DialogProcs {
    static INT_PTR CALLBACK proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
        TDialog *d = nullptr;
        if (msg == WM_INITDIALOG) {
            d = reinterpret_cast<TDialog *>(lp);
            ::SetWindowLongPtrW(wnd, DWLP_USER, reinterpret_cast<LONG_PTR>(d));
            if (d)
                d->hWnd = wnd;
        } else {
            d = reinterpret_cast<TDialog *>(::GetWindowLongPtrW(wnd, DWLP_USER));
        }
        if (!d)
            return FALSE;
        if (msg == WM_NCDESTROY) {
            ::SetWindowLongPtrW(wnd, DWLP_USER, 0);
            forgetNonModal(wnd);
            if (d->hWnd == wnd)
                d->hWnd = nullptr;
            d->lVisible = false;
            return FALSE;
        }
        INT_PTR answer = FALSE;
        recoveryPoint([&] { answer = route(*d, wnd, msg, wp, lp); });
        return answer;
    }

    static INT_PTR route(TDialog &d, HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_INITDIALOG) {
            if (d.creatingNonModal_) {
                // Non-modal: Activate runs Initiate once the window is made.
                ::ShowWindow(wnd, SW_HIDE);
                return FALSE;
            }
            return d.Initiate(reinterpret_cast<HWND>(wp), wnd) ? TRUE : FALSE;
        }
        const HookResult r = d.HandleEvent(msg, wp, lp);
        if (!r)
            return FALSE;
        switch (msg) {
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return static_cast<INT_PTR>(*r);
        default:
            ::SetWindowLongPtrW(wnd, DWLP_MSGRESULT, static_cast<LONG_PTR>(*r));
            return TRUE;
        }
    }
};

DLGPROC dialogProc() { return &DialogProcs::proc; }

void forgetNonModal(HWND wnd) noexcept {
    ToolkitState &st = toolkitState();
    std::erase(st.nonModal, wnd);
    if (st.lastClaimer == wnd)
        st.lastClaimer = nullptr;
}

namespace {
TControl *controlOf(const TDialog &d, HWND wnd) {
    for (const auto &c : d.aControls)
        if (c->hWnd == wnd)
            return c.get();
    return nullptr;
}

// Pen and touch input mark the message's extra information.
bool fromTouch() {
    const auto extra = static_cast<unsigned long>(::GetMessageExtraInfo());
    return (extra & 0xFF515700UL) == 0xFF515700UL;
}
} // namespace

bool TDialog::Initiate(HWND /*hWndCtlFocus*/, HWND hWndDlg) {
    if (hWndDlg)
        hWnd = hWndDlg;
    HFONT font = oFont ? oFont : reinterpret_cast<HFONT>(::SendMessageW(hWnd, WM_GETFONT, 0, 0));
    if (oFont)
        ::SendMessageW(hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(oFont), FALSE);

    for (const auto &c : aControls) {
        if (!c->oFont)
            c->oFont = font;
        c->Initiate(hWnd);
    }

    if (lResize16 && !cResName.empty()) {
        constexpr double k = 1.16668;
        RECT wr{};
        ::GetWindowRect(hWnd, &wr);
        ::SetWindowPos(hWnd, nullptr, 0, 0, static_cast<int>((wr.right - wr.left) * k),
                       wr.bottom - wr.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        for (HWND child = ::GetWindow(hWnd, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            RECT cr{};
            ::GetWindowRect(child, &cr);
            ::MapWindowPoints(nullptr, hWnd, reinterpret_cast<POINT *>(&cr), 2);
            ::SetWindowPos(child, nullptr, static_cast<int>(cr.left * k), cr.top,
                           static_cast<int>((cr.right - cr.left) * k), cr.bottom - cr.top,
                           SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
        }
    }

    if (lCentered) {
        if (lCenterInWnd)
            WNDCENTER(hWnd, oWnd && oWnd->hWnd ? oWnd->hWnd : ::GetParent(hWnd));
        else
            WNDCENTER(hWnd);
    } else if (cResName.empty()) {
        MOVEWINDOW(hWnd, nTop, nLeft);
    }

    if (!cCaption.empty())
        ::SetWindowTextW(hWnd, widen(cCaption).c_str());
    if (!cResName.empty())
        nStyle = static_cast<DWORD>(::GetWindowLongW(hWnd, GWL_STYLE));
    if (auto icon = std::get_if<HICON>(&oIcon); icon && *icon) {
        ::SendMessageW(hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(*icon));
    } else if (auto name = std::get_if<std::string>(&oIcon); name && !name->empty()) {
        const std::wstring w = widen(*name);
        HICON h = static_cast<HICON>(::LoadImageW(nullptr, w.c_str(), IMAGE_ICON, 0, 0,
                                                  LR_LOADFROMFILE | LR_DEFAULTSIZE));
        if (!h)
            h = static_cast<HICON>(
                ::LoadImageW(hResources, w.c_str(), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
        if (h) {
            smallIcon_.reset(h);
            ::SendMessageW(hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(h));
        }
    }

    // The Tab key posted to itself settles the focus on the first tab stop.
    ::PostMessageW(hWnd, WM_KEYDOWN, VK_TAB, 0);
    if (bDropFiles)
        ::DragAcceptFiles(hWnd, TRUE);

    bool giveFocus = true;
    if (bInit && isFalse(bInit(*this)))
        giveFocus = false;
    if (!hWnd)
        return false;

    if (lHelpIcon.value_or(true)) {
        const LONG ex = ::GetWindowLongW(hWnd, GWL_EXSTYLE);
        ::SetWindowLongW(hWnd, GWL_EXSTYLE, ex | WS_EX_CONTEXTHELP);
    }
    for (const auto &c : aControls)
        if (c->bWhen && c->hWnd)
            ::EnableWindow(c->hWnd, notFalse(c->bWhen(*c)) ? TRUE : FALSE);
    return giveFocus;
}

HookResult TDialog::HandleEvent(UINT nMsg, WPARAM wp, LPARAM lp) {
    switch (nMsg) {
    case WM_PAINT:
        Display();
        return 0;
    case WM_PRINTCLIENT:
        return 1;
    case WM_LBUTTONDOWN:
        if (lHelpIcon.value_or(false)) {
            // Context help: the platform's help mode over the clicked point.
            ::SendMessageW(hWnd, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
            return 0;
        }
        return LButtonDown(GET_Y_LPARAM(lp), GET_X_LPARAM(lp), static_cast<int>(wp), fromTouch());
    case WM_RBUTTONDOWN:
        RButtonDown(GET_Y_LPARAM(lp), GET_X_LPARAM(lp), static_cast<int>(wp));
        return std::nullopt;
    case WM_MOUSEMOVE:
        if (bMoved)
            return bMoved(GET_Y_LPARAM(lp), GET_X_LPARAM(lp), static_cast<int>(wp), *this);
        return std::nullopt;
    case WM_COMMAND:
        return Command(wp, lp);
    case WM_KEYDOWN:
        return KeyDown(static_cast<int>(wp), static_cast<int>(lp));
    case WM_MOUSEWHEEL:
        if (!bMouseWheel)
            return std::nullopt;
        bMouseWheel(GET_WHEEL_DELTA_WPARAM(wp), GET_KEYSTATE_WPARAM(wp), *this);
        return 0;
    case WM_DROPFILES:
        DropFiles(UniqueDrop(reinterpret_cast<HDROP>(wp)));
        return 0;
    case WM_CLOSE:
        if (!modal()) {
            Close(static_cast<int>(wp));
            return 0;
        }
        return std::nullopt;
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == SC_CLOSE && modal())
            ::ReleaseCapture();
        else if ((wp & 0xFFF0) == SC_CONTEXTHELP)
            lHelpIcon = true;
        return std::nullopt;
    case WM_INITMENUPOPUP:
        if (oPopup)
            oPopup->Initiate();
        return std::nullopt;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        if (TControl *c = controlOf(*this, reinterpret_cast<HWND>(lp)))
            if (HBRUSH b = c->ctlColor(reinterpret_cast<HDC>(wp)))
                return reinterpret_cast<LONG_PTR>(b);
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

void TDialog::DropFiles(UniqueDrop drop) {
    std::vector<std::string> files;
    const UINT count = ::DragQueryFileW(drop.get(), 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(::DragQueryFileW(drop.get(), i, nullptr, 0), L'\0');
        if (path.empty())
            continue;
        ::DragQueryFileW(drop.get(), i, path.data(), static_cast<UINT>(path.size() + 1));
        files.push_back(narrowUtf8(path));
    }
    // The drop's memory goes before the hook runs: it may open boxes.
    drop.reset();
    if (bDropFiles && !files.empty())
        bDropFiles(files, *this);
}

HookResult TDialog::Command(WPARAM wp, LPARAM /*lp*/) {
    const int id = LOWORD(wp);
    const int code = HIWORD(wp);
    if (oPopup) {
        oPopup->Command(id);
        return 0;
    }
    TControl *c = code == 0 ? GetItem(id) : nullptr;
    if (id == IDOK && !c) {
        // Enter with no button to take it: on to the next control, stay open.
        ::SendMessageW(hWnd, WM_NEXTDLGCTL, 0, FALSE);
        return 0;
    }
    if (id == IDCANCEL && !c) {
        if (modal())
            End(2);
        return 0;
    }
    if (c) {
        c->Click();
        return 0;
    }
    if (TControl *lb = GetItem(id); lb) {
        if (auto *list = dynamic_cast<TListBox *>(lb)) {
            if (code == LBN_SELCHANGE && list->bChange)
                list->bChange(*list);
            else if (code == LBN_DBLCLK && list->bLDblClick)
                list->bLDblClick(*list);
        }
    }
    return std::nullopt;
}

HookResult TDialog::KeyDown(int nKey, int nFlags) {
    if (nKey == VK_ESCAPE) {
        if (!oWnd && lEscClose)
            End();
        return 0;
    }
    return TWindow::KeyDown(nKey, nFlags);
}

} // namespace vistoro
