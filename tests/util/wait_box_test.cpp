// The please-wait box as a real non-modal window on the display: opening,
// replacing its text, the bar, the page count, closing, typed calls that
// close it first, refused user closes, and open/close cycles without leaks.
#include "util/wait_box.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>

#include "support/test_support.h"
#include "toolkit/wrappers.h"
#include "toolkit/message_drain.h"
#include "base/handles.h"
#include "util/popmsg.h"
#include "base/text.h"

using namespace vistoro;

namespace {

std::string windowText(HWND w) {
    wchar_t buf[512] = {};
    ::GetWindowTextW(w, buf, 512);
    return narrowUtf8(buf);
}

RECT screenRect(HWND w) {
    RECT r{};
    ::GetWindowRect(w, &r);
    return r;
}

RECT clientPlace(HWND child) {
    RECT r = screenRect(child);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT *>(&r), 2);
    return r;
}

// Widest line and character height in the box's font (Arial, 15 pixels).
struct Metrics {
    int width = 0, charHeight = 0;
};
Metrics measured(const std::vector<std::string> &lines) {
    UniqueFont font(::CreateFontW(-15, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_SWISS, L"Arial"));
    WindowDC dc(nullptr);
    SelectGuard select(dc.get(), font.get());
    Metrics m;
    TEXTMETRICW tm{};
    ::GetTextMetricsW(dc.get(), &tm);
    m.charHeight = tm.tmHeight;
    for (const auto &line : lines) {
        const std::wstring w = widen(line);
        SIZE s{};
        ::GetTextExtentPoint32W(dc.get(), w.c_str(), static_cast<int>(w.size()), &s);
        m.width = std::max(m.width, static_cast<int>(s.cx));
    }
    return m;
}

BOOL CALLBACK countChild(HWND, LPARAM p) {
    ++*reinterpret_cast<int *>(p);
    return TRUE;
}
BOOL CALLBACK countTopLevel(HWND w, LPARAM p) {
    ++*reinterpret_cast<int *>(p);
    ::EnumChildWindows(w, countChild, p);
    return TRUE;
}
// The windows of this thread, children included.
int threadWindows() {
    int n = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), countTopLevel, reinterpret_cast<LPARAM>(&n));
    return n;
}

void holdKey(int vk, bool down) {
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[vk] = down ? 0x80 : 0;
    ::SetKeyboardState(keys);
}

// What the message box seam saw when a typed call reached it.
struct Seen {
    bool called = false;
    bool boxWindowAlive = true;
    std::string curMsg = "?";
    HWND owner = nullptr;
};
Seen g_seen;
HWND g_boxWindow = nullptr;

int recordingBox(HWND owner, const std::string &, const std::string &, unsigned) {
    g_seen.called = true;
    g_seen.boxWindowAlive = g_boxWindow && ::IsWindow(g_boxWindow);
    g_seen.curMsg = CURMSG();
    g_seen.owner = owner;
    return IDOK;
}

class WaitBox : public testing::Test {
  protected:
    HWND owner = nullptr;

    void SetUp() override {
        setMessageBoxCall(recordingBox);
        g_seen = {};
        owner = ::CreateWindowExW(0, L"STATIC", L"Owner", WS_POPUP | WS_CAPTION | WS_VISIBLE, 100,
                                  100, 300, 200, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(owner, nullptr);
        ::SetForegroundWindow(owner);
        ::SetActiveWindow(owner);
        SYSREFRESH();
    }
    void TearDown() override {
        POPMSG(PopMsgArgs{});
        holdKey(VK_ESCAPE, false);
        holdKey(VK_F4, false);
        if (owner && ::IsWindow(owner))
            ::DestroyWindow(owner);
        setMessageBoxCall(nullptr);
    }
};

} // namespace

TEST_F(WaitBox, OpensOwnedCentredWithIconTextAndTitle) {
    ASSERT_EQ(::GetActiveWindow(), owner);
    POPMSG({.cMsg = "  Lettura;dei file in corso  "});
    TMsgBox *box = openWaitBox();
    ASSERT_NE(box, nullptr);
    const HWND w = box->hWnd;
    ASSERT_TRUE(::IsWindowVisible(w));
    EXPECT_EQ(::GetWindow(w, GW_OWNER), owner);
    EXPECT_EQ(windowText(w), "Attendere");
    EXPECT_EQ(CURMSG(), "Lettura\r\ndei file in corso");
    EXPECT_EQ(windowText(box->textWindow()), "Lettura\r\ndei file in corso");

    const LONG style = ::GetWindowLongW(w, GWL_STYLE);
    EXPECT_EQ(style & (DS_MODALFRAME | WS_POPUP | WS_CAPTION),
              static_cast<LONG>(DS_MODALFRAME | WS_POPUP | WS_CAPTION));
    EXPECT_EQ(style & WS_SYSMENU, 0);
    EXPECT_EQ(::GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_CONTEXTHELP, 0);
    EXPECT_FALSE(box->oDlg->lModify);

    // First control: the platform's warning icon; no bar without a range.
    ASSERT_EQ(box->oDlg->aControls.size(), 2u);
    const HWND icon = box->oDlg->aControls[0]->hWnd;
    EXPECT_EQ(::GetWindowLongW(icon, GWL_STYLE) & SS_TYPEMASK, SS_ICON);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(icon, STM_GETICON, 0, 0)),
              ::LoadIconW(nullptr, MAKEINTRESOURCEW(32515)));
    EXPECT_EQ(box->oPrg, nullptr);

    const Metrics m = measured({"Lettura", "dei file in corso"});
    const RECT r = screenRect(w);
    EXPECT_EQ(r.right - r.left, m.width + 110);
    EXPECT_EQ(r.bottom - r.top, (2 + 5) * m.charHeight);
    const RECT t = clientPlace(box->textWindow());
    EXPECT_EQ(t.top, 22);
    EXPECT_EQ(t.left, 65);
    EXPECT_EQ(t.right - t.left, m.width + 110 - 90);
    EXPECT_EQ(t.bottom - t.top, 7 * m.charHeight - 80);
    EXPECT_LE(std::abs((r.left + r.right) / 2 - ::GetSystemMetrics(SM_CXSCREEN) / 2), 1);
    EXPECT_LE(std::abs((r.top + r.bottom) / 2 - ::GetSystemMetrics(SM_CYSCREEN) / 2), 1);

    // The wait cursor over the box.
    EXPECT_TRUE(::SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w),
                               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));
}

TEST_F(WaitBox, ReplacedTextKeepsTheCentreAndTheBarMoves) {
    POPMSG({.cMsg = "Copia", .nFrom = 10, .nTo = 60});
    TMsgBox *box = openWaitBox();
    ASSERT_NE(box, nullptr);
    ASSERT_NE(box->oPrg, nullptr);
    const HWND w = box->hWnd, bar = box->oPrg->hWnd;
    EXPECT_EQ(box->oDlg->aControls.size(), 3u);
    PBRANGE range{};
    ::SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 10);
    EXPECT_EQ(range.iHigh, 60);

    const Metrics m = measured({"Copia"});
    RECT r = screenRect(w);
    const int width = m.width + 5 + 110, height = (1 + 1 + 5) * m.charHeight;
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.bottom - r.top, height);
    const RECT b = clientPlace(bar);
    EXPECT_EQ(b.top, height - 60);
    EXPECT_EQ(b.left, 15);
    EXPECT_EQ(b.right - b.left, width - 35);
    EXPECT_EQ(b.bottom - b.top, 20);
    const int centre = (r.left + r.right) / 2;

    const std::string longer = "Copia del file numero due di dieci";
    POPMSG({.cMsg = longer, .lSetText = true, .nStep = 35});
    EXPECT_EQ(openWaitBox(), box);
    EXPECT_EQ(windowText(box->textWindow()), longer);
    EXPECT_EQ(CURMSG(), longer);
    EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 35);
    const Metrics m2 = measured({longer});
    r = screenRect(w);
    EXPECT_EQ(r.right - r.left, m2.width + 108);
    EXPECT_EQ(r.bottom - r.top, height);
    EXPECT_LE(std::abs((r.left + r.right) / 2 - centre), 1);
    EXPECT_EQ(clientPlace(box->textWindow()).right - clientPlace(box->textWindow()).left, m2.width);
    EXPECT_LE(clientPlace(bar).right, r.right - r.left); // the bar stays inside

    // A text without position 4, 7 or 9 changes nothing; a bare step moves
    // the bar (kept in range) and leaves the text and the box alone.
    POPMSG({.cMsg = "ignorato"});
    EXPECT_EQ(CURMSG(), longer);
    POPMSG({.nStep = 99});
    EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 60);
    POPMSG({.cMsg = "ignorato", .nStep = 12});
    EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 12);
    EXPECT_EQ(windowText(box->textWindow()), longer);
    EXPECT_TRUE(::IsWindow(w));

    // More lines than before: the box grows so that none is cut off.
    POPMSG({.cMsg = "uno;due;tre", .lSetText = true});
    r = screenRect(w);
    EXPECT_EQ(r.bottom - r.top, (3 + 1 + 5) * m.charHeight);
    EXPECT_EQ(clientPlace(bar).top, (3 + 1 + 5) * m.charHeight - 60);
}

TEST_F(WaitBox, PagesAreCountedAsTheText) {
    POPMSG({.cMsg = "Stampa in corso"});
    TMsgBox *box = openWaitBox();
    ASSERT_NE(box, nullptr);
    POPMSG({.lNextPage = true});
    POPMSG({.lNextPage = true});
    EXPECT_EQ(box->nPag, 2);
    EXPECT_EQ(windowText(box->textWindow()), "2");
    EXPECT_EQ(CURMSG(), "2");
    const RECT r = screenRect(box->hWnd);
    EXPECT_EQ(r.right - r.left, measured({"2"}).width + 108);
}

TEST_F(WaitBox, CloseWithoutArgumentsEmptiesTheSlotAndCurmsg) {
    POPMSG({.cMsg = "Attendere prego"});
    ASSERT_NE(openWaitBox(), nullptr);
    const HWND w = openWaitBox()->hWnd;
    POPMSG(PopMsgArgs{});
    EXPECT_FALSE(::IsWindow(w));
    EXPECT_EQ(openWaitBox(), nullptr);
    EXPECT_EQ(CURMSG(), "");
    EXPECT_TRUE(::IsWindowEnabled(owner));
    const auto &slots = toolkitState().nonModal;
    EXPECT_EQ(std::find(slots.begin(), slots.end(), w), slots.end());
    POPMSG(PopMsgArgs{}); // nothing open: harmless

    // A text of blanks is no text: it closes too.
    POPMSG({.cMsg = "di nuovo"});
    ASSERT_NE(openWaitBox(), nullptr);
    POPMSG({.cMsg = "   "});
    EXPECT_EQ(openWaitBox(), nullptr);
    EXPECT_EQ(CURMSG(), "");
}

TEST_F(WaitBox, TypedCallClosesTheBoxBeforeItsMessageBox) {
    POPMSG({.cMsg = "Caricamento"});
    ASSERT_NE(openWaitBox(), nullptr);
    g_boxWindow = openWaitBox()->hWnd;
    POPMSG("File non trovato", 1, "ZELM Vistoro");
    ASSERT_TRUE(g_seen.called);
    EXPECT_FALSE(g_seen.boxWindowAlive);
    EXPECT_EQ(g_seen.curMsg, "");
    EXPECT_EQ(g_seen.owner, owner); // the owner again, not the dead box
    EXPECT_EQ(openWaitBox(), nullptr);

    // A type outside 1 to 6 shows nothing, yet still closes the box.
    POPMSG({.cMsg = "Caricamento"});
    g_boxWindow = openWaitBox()->hWnd;
    g_seen = {};
    POPMSG("x", 9);
    EXPECT_FALSE(g_seen.called);
    EXPECT_FALSE(::IsWindow(g_boxWindow));
    EXPECT_EQ(openWaitBox(), nullptr);
}

TEST_F(WaitBox, EscOrF4HeldRefusesTheUsersCloseButNotTheProgramsClose) {
    POPMSG({.cMsg = "Non chiudere"});
    ASSERT_NE(openWaitBox(), nullptr);
    const HWND w = openWaitBox()->hWnd;
    for (int vk : {VK_ESCAPE, VK_F4}) {
        holdKey(vk, true);
        ::SendMessageW(w, WM_CLOSE, 0, 0);
        EXPECT_TRUE(::IsWindow(w)) << vk;
        holdKey(vk, false);
    }
    holdKey(VK_ESCAPE, true);
    POPMSG(PopMsgArgs{});
    EXPECT_FALSE(::IsWindow(w));
    holdKey(VK_ESCAPE, false);

    // Closed behind the library's back (no key held): the next text opens a
    // fresh box instead of writing into a dead one.
    POPMSG({.cMsg = "primo"});
    const HWND first = openWaitBox()->hWnd;
    ::SendMessageW(first, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(first));
    EXPECT_EQ(CURMSG(), "");
    POPMSG({.cMsg = "secondo"});
    ASSERT_NE(openWaitBox(), nullptr);
    EXPECT_TRUE(openWaitBox()->isOpen());
    EXPECT_EQ(CURMSG(), "secondo");
}

TEST_F(WaitBox, EmptyTextAndThePrintingVariantFallBackToAPlainBox) {
    // A page step with no box opens one around an empty text: no negative
    // sizes, room for the icon.
    POPMSG({.lNextPage = true});
    TMsgBox *box = openWaitBox();
    ASSERT_NE(box, nullptr);
    RECT r = screenRect(box->hWnd);
    EXPECT_EQ(r.right - r.left, 110);
    POPMSG({.lNextPage = true});
    EXPECT_EQ(CURMSG(), "1");
    POPMSG(PopMsgArgs{});

    // The printing variant is not built: the plain box is shown instead.
    POPMSG({.cMsg = "Stampa", .lPrinting = true});
    ASSERT_NE(openWaitBox(), nullptr);
    EXPECT_EQ(CURMSG(), "Stampa");
    POPMSG({.lPrinting = true, .lNextPage = true});
    EXPECT_EQ(CURMSG(), "1");
}

TEST_F(WaitBox, OpenCloseCyclesLeaveNoGdiOrUserObjects) {
    POPMSG({.cMsg = "riscaldamento", .nFrom = 0});
    POPMSG(PopMsgArgs{});
    const int gdi = testsupport::countGdiObjects();
    const int windows = threadWindows();
    for (int i = 0; i < 25; ++i) {
        POPMSG({.cMsg = "Ciclo " + std::to_string(i), .nFrom = 0, .nTo = 10});
        POPMSG({.cMsg = "Ciclo;lungo " + std::to_string(i), .lSetText = true, .nStep = i % 10});
        POPMSG({.lNextPage = true});
        POPMSG(PopMsgArgs{});
    }
    EXPECT_EQ(testsupport::countGdiObjects(), gdi);
    EXPECT_EQ(threadWindows(), windows);
}
