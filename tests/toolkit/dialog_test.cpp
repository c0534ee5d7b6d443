// TDialog and the controls inside one process: defaults and conversions,
// the in-memory description, identifiers, and real modal dialogs driven by
// their own hooks.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "base/error.h"
#include "toolkit/controls.h"
#include "toolkit/dialog.h"
#include "toolkit/template.h"
#include "toolkit/message_drain.h"

using namespace vistoro;

namespace {

unsigned rd16(const std::string &b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}
DWORD rd32(const std::string &b, std::size_t at) { return rd16(b, at) | (rd16(b, at + 2) << 16); }
int rdShort(const std::string &b, std::size_t at) { return static_cast<short>(rd16(b, at)); }
std::wstring rdWide(const std::string &b, std::size_t &at) {
    std::wstring w;
    while (wchar_t c = static_cast<wchar_t>(rd16(b, at))) {
        w.push_back(c);
        at += 2;
    }
    at += 2;
    return w;
}

// Captures the errors handed to the handler and abandons, as the program's
// handler does for toolkit errors.
struct CapturingHandler {
    std::vector<ErrorObject> seen;
    CapturingHandler() {
        setErrorHandler([this](const ErrorObject &e) -> int {
            seen.push_back(e);
            throw AbandonOperation{};
        });
    }
    ~CapturingHandler() { setErrorHandler(nullptr); }
};

void CALLBACK repaintOnce(HWND w, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(w, id);
    ::InvalidateRect(w, nullptr, TRUE);
}

} // namespace

TEST(DialogNew, DefaultsGiveTextUnitRectangleAndModalFrameStyle) {
    TDialog d;
    EXPECT_EQ(d.nTop, 0);
    EXPECT_EQ(d.nLeft, 0);
    EXPECT_EQ(d.nBottom, 151);
    EXPECT_EQ(d.nRight, 316);
    EXPECT_EQ(d.nStyle, 0x80C80080u); // DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
    EXPECT_TRUE(d.lModify);
    EXPECT_FALSE(d.lVisible);
    EXPECT_EQ(d.nResult, 0);
    EXPECT_EQ(d.cVarName, "oDlg");
    EXPECT_EQ(TDialog::windowDefault(), &d);

    TDialog sizable({.lSizable = true});
    EXPECT_EQ(sizable.nStyle, 0x80C80080u | 0x00070000u);
}

TEST(DialogNew, ConversionsPixelsAndTitle) {
    EXPECT_EQ(textUnitsToPixels(1, 1, 3, 5), (Rect{15, 7, 45, 39}));
    EXPECT_EQ(textUnitsToPixels(-3, -3, 0, 0), (Rect{-45, -23, 0, 0}));

    TDialog px({.nTop = 5, .nLeft = 6, .nBottom = 70, .nRight = 80, .lPixels = true});
    EXPECT_EQ((Rect{px.nTop, px.nLeft, px.nBottom, px.nRight}), (Rect{5, 6, 70, 80}));

    // Width or height given: pixels, and they become bottom and right.
    TDialog wh({.nTop = 2, .nLeft = 3, .cCaption = "Title   ", .nWidth = 300, .nHeight = 200});
    EXPECT_EQ((Rect{wh.nTop, wh.nLeft, wh.nBottom, wh.nRight}), (Rect{2, 3, 200, 300}));
    EXPECT_EQ(wh.cCaption, "Title");
}

TEST(Template, HeaderAndItemBytesFollowThePlatformLayout) {
    std::string out;
    appendTemplateHeader(out, {.style = 0x80400080, .count = 1, .x = 1, .y = -2, .cx = 30,
                               .cy = 40, .title = "Ab\xc3\xa8"}); // "Abè"
    ASSERT_EQ(out.size(), 22u + 2u * 4u); // title with its terminator
    EXPECT_EQ(rd32(out, 0), 0x80400080u);
    EXPECT_EQ(rd32(out, 4), 0u);
    EXPECT_EQ(rd16(out, 8), 1u);
    EXPECT_EQ(rdShort(out, 10), 1);
    EXPECT_EQ(rdShort(out, 12), -2);
    EXPECT_EQ(rd16(out, 14), 30u);
    EXPECT_EQ(rd16(out, 16), 40u);
    EXPECT_EQ(rd16(out, 18), 0u); // no menu
    EXPECT_EQ(rd16(out, 20), 0u); // default class
    std::size_t at = 22;
    EXPECT_EQ(rdWide(out, at), L"Ab\u00e8");

    appendTemplateItem(out, {.style = 0x50010000, .x = -12, .y = -21, .cx = 20, .cy = 19,
                             .id = 101, .className = "LISTBOX", .text = ""});
    std::size_t item = 32; // 30 rounded up to a 4-byte boundary
    EXPECT_EQ(out[30], '\0');
    EXPECT_EQ(rd32(out, item), 0x50010000u);
    EXPECT_EQ(rdShort(out, item + 8), -12);
    EXPECT_EQ(rdShort(out, item + 10), -21);
    EXPECT_EQ(rd16(out, item + 16), 101u);
    at = item + 18;
    EXPECT_EQ(rdWide(out, at), L"LISTBOX");
    EXPECT_EQ(rdWide(out, at), L"");
    EXPECT_EQ(rd16(out, at), 0u); // no creation data
    EXPECT_EQ(out.size(), at + 2);
}

TEST(Template, DialogUnitsTruncateTowardZero) {
    const BaseUnits u{8, 16};
    EXPECT_EQ(pixelsToDlgY(151, u), 75);
    EXPECT_EQ(pixelsToDlgX(316, u), 158);
    EXPECT_EQ(pixelsToDlgY(-3, u), -1);
    EXPECT_EQ(pixelsToDlgX(-24, u, 2), -24);
    EXPECT_EQ(pixelsToDlgY(-42, u, 2), -42);
}

TEST(Template, CToCharDescribesDialogAndControlsInOrder) {
    TDialog d({.cCaption = "Viewer", .nStyle = 0x80400080u});
    TListBox &lb = TListBox::New({.nRow = -3, .nCol = -3});
    TButton &bt = TButton::New({.nRow = -2, .nCol = -2, .cCaption = ""});
    const std::string b = d.cToChar(nullptr);
    const BaseUnits u = dialogBaseUnits();
    EXPECT_EQ(rd32(b, 0), 0x80400080u);
    EXPECT_EQ(rd16(b, 8), 2u);
    EXPECT_EQ(rd16(b, 14), static_cast<unsigned>(pixelsToDlgX(316, u)));
    EXPECT_EQ(rd16(b, 16), static_cast<unsigned>(pixelsToDlgY(151, u)));
    std::size_t at = 22;
    EXPECT_EQ(rdWide(b, at), L"Viewer");
    at = (at + 3) & ~std::size_t{3};
    EXPECT_EQ(rd32(b, at), lb.nStyle);
    EXPECT_EQ(rdShort(b, at + 8), pixelsToDlgX(-24, u, 2));
    EXPECT_EQ(rdShort(b, at + 10), pixelsToDlgY(-42, u, 2));
    EXPECT_EQ(rd16(b, at + 16), static_cast<unsigned>(lb.nId));
    at += 18;
    EXPECT_EQ(rdWide(b, at), L"LISTBOX");
    rdWide(b, at);
    at += 2;
    at = (at + 3) & ~std::size_t{3};
    EXPECT_EQ(rd16(b, at + 16), static_cast<unsigned>(bt.nId));
    at += 18;
    EXPECT_EQ(rdWide(b, at), L"BUTTON");
}

TEST(Controls, RectanglesStylesAndIdentifiers) {
    TDialog d;
    const int before = TControl::nInitID();
    TListBox &lb = TListBox::New({.nRow = -3, .nCol = -3});
    EXPECT_EQ((Rect{lb.nTop, lb.nLeft, lb.nBottom, lb.nRight}), (Rect{-42, -24, -3, 15}));
    EXPECT_EQ(lb.nStyle, 0x50A10081u);
    EXPECT_EQ(lb.nId, before + 1);
    EXPECT_EQ(lb.oWnd, &d);
    TButton &bt = TButton::New({.nRow = -2, .nCol = -2, .cCaption = ""});
    EXPECT_EQ((Rect{bt.nTop, bt.nLeft, bt.nBottom, bt.nRight}), (Rect{-36, -12, -23, 18}));
    EXPECT_EQ(bt.nStyle, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_TABSTOP));
    EXPECT_EQ(bt.nId, before + 2);
    EXPECT_EQ(bt.cVarName, "oBtn2");
    TButton &wide = TButton::New({.cCaption = "A long caption"}); // 14 chars x 6
    EXPECT_EQ(wide.nRight - wide.nLeft, 84);
    ASSERT_EQ(d.aControls.size(), 3u);
    EXPECT_EQ(d.aControls[0].get(), &lb);
}

TEST(Controls, IdentifierAfter30000Is100) {
    const int saved = TControl::nInitID();
    TControl::nInitID() = 29999;
    EXPECT_EQ(TControl::GetNewId(), 30000);
    EXPECT_EQ(TControl::GetNewId(), 100);
    EXPECT_EQ(TControl::GetNewId(), 101);
    TControl::nInitID() = saved;
}

TEST(Controls, DuplicatedIdIsToldAndNotAdded) {
    CapturingHandler h;
    TDialog d;
    TButton::Redefine({.nId = 201});
    EXPECT_THROW(TButton::Redefine({.nId = 201}), AbandonOperation);
    ASSERT_EQ(h.seen.size(), 1u);
    EXPECT_EQ(h.seen[0].genCode, kGenToolkit);
    EXPECT_EQ(h.seen[0].description, "Duplicated Id");
    EXPECT_EQ(h.seen[0].operation, "No:    201");
    EXPECT_EQ(d.aControls.size(), 1u);
}

TEST(Hooks, AnyCallableShapeGivesAnOptionalAnswer) {
    WindowHook none = [](TWindow &) {};
    WindowHook flag = [](TWindow &) { return false; };
    WindowHook bare = [] { return 7; };
    TDialog d;
    EXPECT_FALSE(none(d).has_value());
    EXPECT_EQ(flag(d), 0);
    EXPECT_EQ(bare(d), 7);
    EXPECT_TRUE(isFalse(flag(d)));
    EXPECT_TRUE(notFalse(none(d)));
    EXPECT_FALSE(static_cast<bool>(WindowHook{}));
}

// Real modal dialogs: the hooks drive them to their end.
TEST(DialogActivate, WhenFalseShowsNothingAndGivesTwo) {
    TDialog d;
    bool initRan = false;
    d.Activate({.bInit = [&] { initRan = true; }, .bWhen = [] { return false; }});
    EXPECT_EQ(d.nResult, 2);
    EXPECT_FALSE(initRan);
    EXPECT_FALSE(d.lVisible);
}

TEST(DialogActivate, StartRunsOnceAfterFirstPaintAndEndAsksValid) {
    TDialog d({.nStyle = 0x80400080u});
    d.lHelpIcon = false;
    TListBox::New({.nRow = -3, .nCol = -3});
    int starts = 0, paints = 0, asked = 0;
    bool paintedBeforeStart = false;
    d.bStart = [&] {
        // lHelpIcon false: no context-help button.
        EXPECT_FALSE(::GetWindowLongW(d.hWnd, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
        ++starts;
        paintedBeforeStart = paints > 0;
        d.Refresh(); // more paints must not run it again
        ::UpdateWindow(d.hWnd);
        EXPECT_FALSE(d.End(5)); // refused by bValid
        EXPECT_TRUE(d.End(5));
    };
    d.Activate({.bPainted = [&](HDC dc, const PAINTSTRUCT &, TWindow &) {
                    EXPECT_NE(dc, nullptr);
                    ++paints;
                },
                .bValid = [&] { return ++asked > 1; },
                .bInit = [&](TWindow &w) {
                    EXPECT_EQ(&w, &d);
                    MOVEWINDOW(d.hWnd, 0, 0, 120, 90);
                }});
    EXPECT_EQ(starts, 1);
    EXPECT_TRUE(paintedBeforeStart);
    EXPECT_GE(paints, 2);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(d.nResult, 5);
    EXPECT_FALSE(d.lVisible);
    EXPECT_EQ(d.hWnd, nullptr); // cleared when the window went
}

TEST(DialogActivate, ErrorInAHookIsAbandonedAndTheDialogRuns) {
    CapturingHandler h;
    TDialog d;
    int paints = 0;
    d.bStart = [&] { throw std::runtime_error("hook failed"); };
    d.Activate({.bPainted = [&] {
                    // lHelpIcon left empty: the context-help button is added.
                    EXPECT_TRUE(::GetWindowLongW(d.hWnd, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
                    if (++paints == 2)
                        d.End(3);
                },
                .bInit = [&] {
                    // A later paint, after the failed start hook.
                    ::SetTimer(d.hWnd, 7, 100, &repaintOnce);
                }});
    // The dialog outlived the failed hook until a later paint ended it.
    ASSERT_EQ(h.seen.size(), 1u);
    EXPECT_EQ(h.seen[0].description, "hook failed");
    EXPECT_EQ(d.nResult, 3);
}

TEST(DialogActivate, MissingResourceIsCannotCreateDialogBox) {
    CapturingHandler h;
    TDialog d({.cResName = "NO_SUCH_DIALOG"});
    EXPECT_THROW(d.Activate(), AbandonOperation);
    ASSERT_EQ(h.seen.size(), 1u);
    EXPECT_EQ(h.seen[0].genCode, kGenToolkit);
    EXPECT_EQ(h.seen[0].description,
              "Cannot create Dialog Box\r\n" + std::string(22, ' ') + "Resource: NO_SUCH_DIALOG");
    EXPECT_EQ(TDialog::activeCount(), 0);
}

namespace {
// The platform's own text for an error code, without its line break.
std::string platformText(DWORD code) {
    char *buf = nullptr;
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<char *>(&buf), 0, nullptr);
    std::string text(buf ? buf : "", n);
    if (buf)
        ::LocalFree(buf);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}
INT_PTR CALLBACK idleProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}
} // namespace

TEST(DialogActivate, RefusedDialogNamesThePlatformsReason) {
    // An owner that is no window: the platform refuses to make the dialog.
    TDialog owner;
    owner.hWnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0xBAD0));
    ASSERT_FALSE(::IsWindow(owner.hWnd));
    std::string tpl;
    appendTemplateHeader(tpl, {.style = 0x80400080, .cx = 100, .cy = 50, .title = "Refused"});
    // The reason the platform gives for a dialog over that owner, read at once.
    std::vector<DWORD> words((tpl.size() + 3) / 4 + 1, 0);
    std::memcpy(words.data(), tpl.data(), tpl.size());
    ::SetLastError(0);
    const INT_PTR r = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr),
                                                reinterpret_cast<LPCDLGTEMPLATEW>(words.data()),
                                                owner.hWnd, &idleProc, 0);
    const DWORD code = ::GetLastError();
    ASSERT_EQ(r, -1);
    ASSERT_NE(code, 0u);
    const std::string reason = platformText(code);
    ASSERT_FALSE(reason.empty());

    CapturingHandler h;
    TDialog d({.cCaption = "Refused", .oWnd = &owner});
    EXPECT_THROW(d.Activate(), AbandonOperation);
    ASSERT_EQ(h.seen.size(), 1u);
    const std::string text = h.seen[0].description.value_or("");
    EXPECT_EQ(text, "Cannot create Dialog Box\r\n" + std::string(22, ' ') +
                        "Title: Refused, System Error: " + reason);
    EXPECT_EQ(text.back(), '.') << "the platform's full stop is kept";
    std::string success = platformText(ERROR_SUCCESS);
    if (!success.empty() && success.back() == '.')
        success.pop_back(); // found with or without its full stop
    EXPECT_EQ(text.find("System Error: " + success), std::string::npos) << text;
    EXPECT_EQ(TDialog::activeCount(), 0);
}

TEST(DialogActivate, NonModalRegistersAndEndsThroughClose) {
    TDialog d({.cCaption = "Progress"});
    TButton::New({.cCaption = "&Annulla"});
    d.Activate({.lModal = false});
    ASSERT_NE(d.hWnd, nullptr);
    HWND wnd = d.hWnd;
    const auto &slots = toolkitState().nonModal;
    EXPECT_NE(std::find(slots.begin(), slots.end(), wnd), slots.end());
    EXPECT_TRUE(::IsWindowVisible(wnd));
    EXPECT_EQ(d.cTitle(), "Progress");
    bool allow = false;
    d.bValid = [&] { return allow; };
    d.End(4); // posted close, refused
    EXPECT_TRUE(::IsWindow(wnd));
    allow = true;
    d.End(4);
    EXPECT_FALSE(::IsWindow(wnd));
    EXPECT_EQ(d.nResult, 4);
    EXPECT_EQ(std::find(slots.begin(), slots.end(), wnd), slots.end());
}
