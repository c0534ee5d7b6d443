#include "toolkit/dialog.h"

#include <cstring>

#include "base/error.h"
#include "toolkit/controls.h"
#include "toolkit/dialog_procs.h"
#include "toolkit/toolkit_error.h"
#include "toolkit/message_drain.h"
#include "base/handles.h"
#include "base/text.h"

namespace vistoro {
namespace {

int g_active = 0;                // dialogs whose Activate is running
int g_modalLoops = 0;            // modal dialogs currently in their loop
TDialog *g_windowDefault = nullptr;
bool g_classRegistered = false;  // lRegistered, shared by the class

std::string rtrim(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    return s;
}

// The window class a dialog resource may name; the dialogs themselves use
// the platform's dialog class.
void registerDialogClass() {
    if (g_classRegistered)
        return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW;
    wc.lpfnWndProc = ::DefDlgProcW;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"TDialog";
    g_classRegistered = registerWindowClass(wc);
}

// The platform's text for an error code on one line: a line break inside
// it becomes a blank and the final one goes; the rest, its full stop
// included, stays as the platform wrote it.
std::string systemErrorText(DWORD code) {
    wchar_t *buf = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0, reinterpret_cast<wchar_t *>(&buf), 0, nullptr);
    const UniqueLocal block(buf); // the platform allocated it for us
    std::string raw;
    if (n && buf)
        raw = narrowUtf8(std::wstring_view(buf, n));
    while (!raw.empty() && (raw.back() == '\r' || raw.back() == '\n'))
        raw.pop_back();
    std::string text;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\r' && raw[i] != '\n')
            text += raw[i];
        else if (raw[i] == '\n' || i + 1 == raw.size() || raw[i + 1] != '\n')
            text += ' '; // one blank for CR LF, CR or LF
    }
    return text;
}

} // namespace

bool TDialog::lEscClose = true;
int TDialog::activeCount() { return g_active; }
TDialog *TDialog::windowDefault() { return g_windowDefault; }

TDialog::TDialog(const TDialogNew &a) {
    int top = a.nTop.value_or(0), left = a.nLeft.value_or(0);
    int bottom = a.nBottom.value_or(10), right = a.nRight.value_or(40);
    bool pixels = a.lPixels;
    if (a.nWidth != 0 || a.nHeight != 0) {
        pixels = true;
        bottom = a.nHeight;
        right = a.nWidth;
    }
    DWORD style = a.nStyle.value_or(
        static_cast<DWORD>(NOR({DS_MODALFRAME, static_cast<long>(WS_POPUP), WS_CAPTION,
                                WS_SYSMENU,
                                a.lSizable ? WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX : 0L})));

    cResName = a.cResName.value_or("");
    cCaption = rtrim(a.cCaption.value_or(""));
    hResources = a.hResources ? a.hResources : ::GetModuleHandleW(nullptr);
    lModify = true;
    lVisible = false;
    nResult = 0;
    nStyle = style;
    oWnd = a.oWnd;
    oIcon = a.oIcon;
    oFont = a.oFont;
    nLastKey = 0;
    nHelpId = a.nHelpId;
    lResize16 = false;
    aGradColors = a.aGradColors;
    lTransparent = a.lTransparent || !aGradColors.empty();
    cVarName = a.cVarName;
    lUnicode = a.lUnicode.value_or(false);
    lTruePixel = a.lTruePixel.value_or(false);
    lVbx = a.lVbx;

    nClrText = a.nClrText.value_or(::GetSysColor(COLOR_BTNTEXT));
    nClrPane = a.nClrPane.value_or(::GetSysColor(COLOR_BTNFACE));
    oBrush = a.oBrush;

    if (pixels) {
        nTop = top, nLeft = left, nBottom = bottom, nRight = right;
    } else {
        Rect r = textUnitsToPixels(top, left, bottom, right);
        nTop = r.top, nLeft = r.left, nBottom = r.bottom, nRight = r.right;
    }
    registerDialogClass();
    g_windowDefault = this;
}

std::unique_ptr<TDialog> TDialog::New(const TDialogNew &args) {
    return std::make_unique<TDialog>(args);
}

TDialog::~TDialog() {
    if (g_windowDefault == this)
        g_windowDefault = nullptr;
    if (hWnd && ::IsWindow(hWnd)) {
        // A non-modal window outliving its object: detach, then destroy.
        ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
        forgetNonModal(hWnd);
        ::DestroyWindow(hWnd);
    }
    aControls.clear();
}

HWND TDialog::ownerWindow() const {
    if (oWnd && oWnd->hWnd)
        return oWnd->hWnd;
    if (g_active > 1 || g_modalLoops > 0)
        return ::GetActiveWindow();
    return nullptr; // the program has no main window of its own
}

void TDialog::Activate(const TDialogActivate &a) {
    if (a.bLClicked)
        bLClicked = a.bLClicked;
    bMoved = a.bMoved;
    bPainted = a.bPainted;
    lCentered = a.lCentered.value_or(false) || lCentered;
    if (a.bValid)
        bValid = a.bValid;
    bool isModal = a.lModal ? *a.lModal : lModal.value_or(true);
    lModal = isModal;
    if (a.bInit)
        bInit = a.bInit;
    if (a.bRClicked)
        bRClicked = a.bRClicked;
    if (a.bWhen)
        bWhen = a.bWhen;
    lResize16 = a.lResize16.value_or(lResize16);
    lCenterInWnd = a.lCenterInWnd.value_or(false) || lCenterInWnd;
    hWnd = nullptr;
    nLastKey = 0;

    // Counts an Activate for as long as it runs, on every way out.
    ++g_active;
    ScopeExit active([]() noexcept { --g_active; });
    HWND owner = ownerWindow();
    nResult.reset();
    lValidating = false;
    lVisible = true;

    if (bWhen && isFalse(bWhen(*this))) {
        nResult = 2;
        lVisible = false;
        return;
    }
    if (isModal) {
        ScopeExit hidden([this]() noexcept { lVisible = false; });
        runModal(owner);
    } else {
        runNonModal(owner);
    }
}

void TDialog::runModal(HWND owner) {
    INT_PTR r;
    ++g_modalLoops;
    ScopeExit loop([]() noexcept { --g_modalLoops; });
    DWORD lastError = 0;
    if (!cResName.empty()) {
        r = ::DialogBoxParamW(hResources, widen(cResName).c_str(), owner, dialogProc(),
                              reinterpret_cast<LPARAM>(this));
        lastError = ::GetLastError();
    } else {
        const std::string data = cToChar(owner);
        UniqueGlobal block;
        {
            CursorGuard wait(::LoadCursorW(nullptr, IDC_WAIT));
            block.reset(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, data.size() + 4));
            if (block) {
                GlobalLockGuard lock(block.get());
                if (lock.get())
                    std::memcpy(lock.get(), data.data(), data.size());
            }
        }
        if (!block) {
            raiseCannotCreate(::GetLastError());
            return;
        }
        GlobalLockGuard lock(block.get());
        r = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr),
                                      static_cast<LPCDLGTEMPLATEW>(lock.get()), owner,
                                      dialogProc(), reinterpret_cast<LPARAM>(this));
        // Read before the unlock and the release, which reset it.
        lastError = ::GetLastError();
    }
    if (r == -1 || (!cResName.empty() && r == 65535)) {
        raiseCannotCreate(lastError);
        return;
    }
    nResult = static_cast<int>(r);
}

void TDialog::runNonModal(HWND owner) {
    ToolkitState &st = toolkitState();
    auto full = [&st] { return st.nonModal.size() >= ToolkitState::kMostNonModal; };
    if (!aControls.empty() && full()) {
        MESSAGEBOX(owner, "Not possible to create more non-modal Dialogs", "", MB_OK | MB_ICONSTOP);
        return;
    }
    creatingNonModal_ = true;
    HWND wnd;
    DWORD lastError = 0;
    if (!cResName.empty()) {
        wnd = ::CreateDialogParamW(hResources, widen(cResName).c_str(), owner, dialogProc(),
                                   reinterpret_cast<LPARAM>(this));
        lastError = ::GetLastError();
    } else {
        std::string aligned = cToChar(owner) + std::string(4, '\0');
        wnd = ::CreateDialogIndirectParamW(
            ::GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(aligned.data()), owner,
            dialogProc(), reinterpret_cast<LPARAM>(this));
        lastError = ::GetLastError();
    }
    creatingNonModal_ = false;
    if (!wnd) {
        raiseCannotCreate(lastError);
        return;
    }
    hWnd = wnd;
    ::ShowWindow(wnd, SW_HIDE);
    if (!aControls.empty()) {
        if (full()) {
            ::SendMessageW(wnd, WM_CLOSE, 0, 0);
            MESSAGEBOX(owner, "Not possible to create more non-modal Dialogs", "",
                       MB_OK | MB_ICONSTOP);
            return;
        }
        st.nonModal.push_back(wnd);
    }
    const bool focus = Initiate(nullptr, wnd);
    if (!hWnd)
        return;
    if (focus)
        ::SetFocus(wnd);
    ::ShowWindow(wnd, SW_SHOWNORMAL);
    ::UpdateWindow(wnd);
}

void TDialog::raiseCannotCreate(DWORD lastError) const {
    std::string detail = "\r\n" + std::string(22, ' ');
    if (!cResName.empty())
        detail += "Resource: " + cResName;
    else
        detail += "Title: " + cCaption + ", System Error: " + systemErrorText(lastError);
    raiseToolkitError("TDIALOG", 1, "Cannot create Dialog Box" + detail);
}

bool TDialog::End(std::optional<int> result) {
    const int value = result.value_or(2);
    if (!modal()) {
        if (hWnd)
            ::PostMessageW(hWnd, WM_CLOSE, static_cast<WPARAM>(value), 0);
    } else {
        if (bValid) {
            lValidating = true;
            ScopeExit unmark([this]() noexcept { lValidating = false; });
            if (isFalse(bValid(*this)))
                return false;
        }
        nResult = value;
        if (hWnd)
            ::EndDialog(hWnd, value);
    }
    SYSREFRESH();
    // The drain may have taken the message that wakes the modal loop to
    // notice its end; post one so the loop returns at once.
    if (modal() && hWnd && ::IsWindow(hWnd))
        ::PostMessageW(hWnd, WM_NULL, 0, 0);
    return true;
}

void TDialog::Close(std::optional<int> posted) {
    if (bValid && isFalse(bValid(*this)))
        return;
    if (posted)
        nResult = posted;
    lVisible = false;
    if (hWnd)
        ::DestroyWindow(hWnd);
}

void TDialog::Refresh(bool lErase) {
    if (hWnd)
        ::InvalidateRect(hWnd, nullptr, lErase ? TRUE : FALSE);
}

void TDialog::Hide() {
    if (hWnd)
        ::ShowWindow(hWnd, SW_HIDE);
    lVisible = false;
}

void TDialog::Show() {
    if (hWnd)
        ::ShowWindow(hWnd, SW_SHOWNA);
    lVisible = true;
}

std::string TDialog::cTitle(const std::optional<std::string> &cText) {
    if (cText) {
        cCaption = *cText;
        if (hWnd)
            ::SetWindowTextW(hWnd, widen(*cText).c_str());
    }
    if (!hWnd)
        return cCaption;
    const int n = ::GetWindowTextLengthW(hWnd);
    std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
    const int got = ::GetWindowTextW(hWnd, w.data(), n + 1);
    w.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return narrowUtf8(w);
}

std::string TDialog::cToChar(HWND owner) const {
    const BaseUnits u = dialogBaseUnits();
    const Rect o = GETWNDRECT(owner);
    TemplateHeader h;
    h.style = nStyle;
    h.count = static_cast<int>(aControls.size());
    const int top = pixelsToDlgY(nTop - o.top, u), bottom = pixelsToDlgY(nBottom - o.top, u);
    const int left = pixelsToDlgX(nLeft - o.left, u), right = pixelsToDlgX(nRight - o.left, u);
    h.x = left;
    h.y = top;
    h.cx = right - left;
    h.cy = bottom - top;
    h.title = cCaption;
    std::string out;
    appendTemplateHeader(out, h);
    for (const auto &c : aControls)
        c->AppendTemplateItem(out, u, lTruePixel);
    return out;
}

void TDialog::DefControl(std::unique_ptr<TControl> control) {
    if (GetItem(control->nId)) {
        raiseToolkitError("TCONTROL", 2, "Duplicated Id", idDetail(control->nId));
        throw AbandonOperation{};
    }
    control->hWnd = nullptr;
    control->oWnd = this;
    aControls.push_back(std::move(control));
}

TControl *TDialog::GetItem(int nId) const {
    for (const auto &c : aControls)
        if (c->nId == nId)
            return c.get();
    return nullptr;
}

void TDialog::Display() {
    {
        PaintScope paint(hWnd);
        hDC = paint.dc();
        cPS = paint.info();
        ScopeExit clear([this]() noexcept { hDC = nullptr; });
        if (bPainted)
            bPainted(hDC, cPS, *this);
    }
    if (bStart) {
        PlainHook start = bStart;
        bStart.reset();
        start();
    }
}

} // namespace vistoro
