#include "util/wait_box.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "toolkit/wrappers.h"
#include "toolkit/message_drain.h"
#include "util/popmsg.h"
#include "base/text.h"

namespace vistoro {
namespace {

std::unique_ptr<TMsgBox> g_box; // the open please-wait box, or nothing
std::string g_curMsg;           // what CURMSG answers

constexpr std::size_t kLineChars = 1024;     // longer lines count as several
constexpr UINT_PTR kCursorSubclass = 0x574D; // one per box window

// The wait cursor over the whole box, its controls included (their default
// handling asks the parent first).
LRESULT CALLBACK waitCursorProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    if (msg == WM_SETCURSOR) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
    }
    if (msg == WM_NCDESTROY)
        ::RemoveWindowSubclass(wnd, &waitCursorProc, id);
    return ::DefSubclassProc(wnd, msg, wp, lp);
}

// Neither Esc nor F4 held: the user cannot close the box with them.
bool noCloseKeyHeld() {
    return !GETKEYSTATE(VK_ESCAPE) && !GETKEYSTATE(VK_F4);
}

void moveChild(HWND wnd, int top, int left, int width, int height) {
    if (wnd)
        ::MoveWindow(wnd, left, top, std::max(width, 0), std::max(height, 0), TRUE);
}

Rect childRect(HWND child) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT *>(&r), 2);
    return {r.top, r.left, r.bottom, r.right};
}

} // namespace

TMsgBox::TextSize TMsgBox::measure(const std::string &text) const {
    TextSize size;
    if (text.empty()) {
        // An empty text would give a negative width; the box keeps at least
        // room for its icon instead.
        size.width = 0;
        return size;
    }
    WindowDC dc(nullptr);
    SelectGuard select(dc.get(), font_.get());
    const std::wstring w = widen(text);
    size.lines = 0;
    std::size_t start = 0;
    while (true) {
        std::size_t end = w.find(L"\r\n", start);
        const std::wstring line = w.substr(start, end == std::wstring::npos ? end : end - start);
        std::size_t at = 0;
        do {
            const std::wstring piece = line.substr(at, kLineChars);
            SIZE ext{};
            ::GetTextExtentPoint32W(dc.get(), piece.c_str(), static_cast<int>(piece.size()), &ext);
            size.width = std::max(size.width, static_cast<int>(ext.cx));
            ++size.lines;
            at += kLineChars;
        } while (at < line.size());
        if (end == std::wstring::npos)
            break;
        start = end + 2;
    }
    return size;
}

std::unique_ptr<TMsgBox> TMsgBox::New(const TMsgBoxNew &a) {
    std::unique_ptr<TMsgBox> box(new TMsgBox);
    // The printing variant is not built yet: the plain box stands in for it.
    box->font_.reset(::CreateFontW(-15, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   DEFAULT_PITCH | FF_SWISS, L"Arial"));
    {
        WindowDC dc(nullptr);
        SelectGuard select(dc.get(), box->font_.get());
        TEXTMETRICW tm{};
        if (::GetTextMetricsW(dc.get(), &tm) && tm.tmHeight > 0)
            box->charHeight_ = tm.tmHeight;
    }
    const TextSize size = box->measure(a.cMsg);
    box->textWidth_ = size.width;
    box->lines_ = size.lines;
    const bool range = a.nFrom.has_value();
    const int width = box->boxWidth(size.width, range);
    const int height = box->boxHeight(size.lines, range);

    box->owner_.hWnd = GETACTIVEWINDOW();
    box->oDlg = TDialog::New({.nTop = 0,
                              .nLeft = 0,
                              .nBottom = height,
                              .nRight = width,
                              .cCaption = a.cTitle,
                              .nStyle = static_cast<DWORD>(
                                  NOR({DS_MODALFRAME, static_cast<long>(WS_POPUP), WS_CAPTION})),
                              .oWnd = box->owner_.hWnd ? &box->owner_ : nullptr,
                              .lPixels = true,
                              .oFont = box->font_.get()});
    TDialog &dlg = *box->oDlg;
    dlg.lModify = false;
    dlg.lHelpIcon = false;

    TSay &icon = TSay::Redefine({.nId = TControl::GetNewId(), .oWnd = &dlg});
    icon.nStyle = WS_CHILD | WS_VISIBLE | SS_ICON;
    icon.nTop = 22, icon.nLeft = 15, icon.nBottom = 54, icon.nRight = 47;
    icon.bInit = [](TWindow &w) {
        ::SendMessageW(
            w.hWnd, STM_SETICON,
            reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_WARNING)), 0);
    };
    box->icon_ = &icon;

    TSay &text = TSay::Redefine({.nId = TControl::GetNewId(), .oWnd = &dlg});
    // No prefix: an "&" in a file name is shown, not turned into an underline.
    text.nStyle = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
    text.cCaption = a.cMsg;
    text.nTop = 22, text.nLeft = 65, text.nBottom = height - 58, text.nRight = width - 25;
    box->text_ = &text;

    if (range) {
        box->oPrg = &TProgress::New({.nRow = height - 60,
                                     .nCol = 15,
                                     .oWnd = &dlg,
                                     .nWidth = width - 35,
                                     .nHeight = 20,
                                     .nFrom = *a.nFrom,
                                     .nTo = a.nTo.value_or(100),
                                     .lPixel = true});
    }

    TMsgBox *self = box.get();
    dlg.Activate({.bValid = [] { return noCloseKeyHeld(); },
                  .lModal = false,
                  .bInit = [self] { self->place(); }});
    if (!dlg.hWnd)
        return nullptr;
    box->hWnd = dlg.hWnd;
    ::SetWindowSubclass(dlg.hWnd, &waitCursorProc, kCursorSubclass, 0);
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    return box;
}

void TMsgBox::place() {
    const int width = boxWidth(textWidth_, oPrg != nullptr);
    const int height = boxHeight(lines_, oPrg != nullptr);
    const HWND wnd = oDlg->hWnd;
    const Point at = centredOrigin(width, height);
    ::MoveWindow(wnd, at.col, at.row, width, height, TRUE);
    moveChild(icon_->hWnd, 22, 15, 32, 32);
    moveChild(text_->hWnd, 22, 65, width - 90, height - 80);
    if (oPrg)
        moveChild(oPrg->hWnd, height - 60, 15, width - 35, 20);
}

TMsgBox::~TMsgBox() {
    End();
}

bool TMsgBox::isOpen() const noexcept {
    return oDlg && oDlg->hWnd && ::IsWindow(oDlg->hWnd);
}

HWND TMsgBox::textWindow() const noexcept {
    return text_ && oDlg ? text_->hWnd : nullptr;
}

void TMsgBox::End() noexcept {
    if (!oDlg)
        return;
    try {
        if (owner_.hWnd && ::IsWindow(owner_.hWnd))
            ::EnableWindow(owner_.hWnd, TRUE);
        SYSREFRESH();
        oDlg->bValid.reset();
        oDlg->End();
    } catch (...) {
        // Clean-up goes on whatever a drained message did.
    }
    // The dialog's destructor destroys a window that the posted close
    // did not reach.
    oDlg.reset();
    text_ = icon_ = nullptr;
    oPrg = nullptr;
    hWnd = nullptr;
}

void TMsgBox::SetMsg(const std::string &newText, bool lPageCount) {
    if (!isOpen())
        return;
    const TextSize size = measure(newText);
    if (size.width != textWidth_ || size.lines != lines_ || lPageCount) {
        RECT r{};
        ::GetWindowRect(hWnd, &r);
        // Around a replaced text the box is its width + 108, with or
        // without a bar: not the opening width.
        const int width = size.width + 108;
        int top = r.top, height = r.bottom - r.top;
        // More or fewer lines than before: the height follows, so that no
        // line is cut off, around the same centre.
        if (size.lines != lines_) {
            height = boxHeight(size.lines, oPrg != nullptr);
            top = (r.top + r.bottom) / 2 - height / 2;
        }
        const int left = (r.left + r.right) / 2 - width / 2;
        ::MoveWindow(hWnd, left, top, width, height, TRUE);
        const Rect t = childRect(text_->hWnd);
        moveChild(text_->hWnd, t.top, t.left, size.width,
                  size.lines != lines_ ? height - 80 : t.bottom - t.top);
        if (oPrg && oPrg->hWnd)
            moveChild(oPrg->hWnd, height - 60, 15, width - 35, 20);
        textWidth_ = size.width;
        lines_ = size.lines;
    }
    text_->cCaption = newText;
    ::SetWindowTextW(text_->hWnd, widen(newText).c_str());
}

void TMsgBox::SetPos(int pos) {
    if (oPrg && isOpen())
        oPrg->SetPos(pos);
}

TMsgBox *openWaitBox() noexcept {
    return g_box.get();
}

// A box that went with its owner window counts as closed.
std::string CURMSG() {
    return g_box && g_box->isOpen() ? g_curMsg : std::string();
}

void closeWaitBox() noexcept {
    // Out of the slot first: the drain inside End may run a hook that calls
    // POPMSG again, and it must find no box.
    std::unique_ptr<TMsgBox> box = std::move(g_box);
    g_curMsg.clear();
    if (box)
        box->End();
}

void waitBoxPopMsg(const PopMsgArgs &a, const std::string &text) {
    if (g_box && !g_box->isOpen()) // gone with its owner window
        closeWaitBox();
    if (text.empty() && !a.lPrinting && !a.lNextPage) {
        // A bare bar step moves the bar of the open box; it neither closes
        // the box nor opens an empty one.
        if (a.nStep && g_box)
            g_box->SetPos(*a.nStep);
        else
            closeWaitBox();
        return;
    }
    if (!g_box) {
        g_box = TMsgBox::New({.cMsg = text,
                              .cTitle = a.cTitle && !a.cTitle->empty() ? *a.cTitle : "Attendere",
                              .nFrom = a.nFrom,
                              .nTo = a.nTo,
                              .lPrinting = a.lPrinting});
        if (g_box)
            g_curMsg = text;
        return;
    }
    if (a.lSetText || a.nStep) {
        if (a.lSetText) {
            g_box->SetMsg(text);
            g_curMsg = text;
        }
        if (a.nStep)
            g_box->SetPos(*a.nStep);
        return;
    }
    if (a.lNextPage) {
        ++g_box->nPag;
        const std::string count = std::to_string(g_box->nPag);
        g_box->SetMsg(count, true);
        g_curMsg = count;
    }
}

} // namespace vistoro
