// The right-click menu inside this process: its entries read from the
// platform menu while it is tracked, and its Close ending the window.
#include "viewer/viewwin.h"

#include "imaging/gdiplus_session.h"
#include "pixels.h"
#include "support/test_support.h"
#include "base/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vistoro;
using testsupport::ScratchDir;

namespace {

// What the timer saw of the menu window, and what it did next.
struct MenuWatch {
    std::vector<std::string> entries; // "" for a separator
    int ticks = 0;
    bool read = false;
    bool gaveUp = false;
};
MenuWatch *watch = nullptr;

BOOL CALLBACK findMenuWindow(HWND w, LPARAM out) {
    char cls[16] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (std::string(cls) == "#32768" && IsWindowVisible(w)) {
        *reinterpret_cast<HWND *>(out) = w;
        return FALSE;
    }
    return TRUE;
}
HWND menuWindowOfThisThread() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findMenuWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

void postMenuKey(HWND menu, WORD vk) {
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(vk, 0)) << 16;
    PostMessageA(menu, WM_KEYDOWN, vk, 1 | scan);
    PostMessageA(menu, WM_KEYUP, vk, 1 | scan | (3u << 30));
}

// Runs inside the menu's tracking loop: reads every entry once, then
// chooses the last but one selectable entry (Close) with Up, Up, Return.
void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    MenuWatch &m = *watch;
    ++m.ticks;
    HWND menu = menuWindowOfThisThread();
    if (!menu || m.read)
        return;
    HMENU h = reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0));
    const int n = GetMenuItemCount(h);
    for (int i = 0; i < n; ++i) {
        char text[256] = {};
        GetMenuStringA(h, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        m.entries.emplace_back(text);
    }
    m.read = true;
    for (WORD k : {VK_UP, VK_UP, VK_RETURN})
        postMenuKey(menu, k);
}

void CALLBACK giveUp(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    watch->gaveUp = true;
    if (HWND menu = menuWindowOfThisThread())
        postMenuKey(menu, VK_ESCAPE);
    PostMessageA(GetActiveWindow(), WM_COMMAND, IDCANCEL, 0);
}

} // namespace

TEST(ContextMenu, ShowsTheFileAndSizeOverEveryCommandAndItsCloseEndsTheWindow) {
    GdiplusSession session;
    ScratchDir dir{"menu"};
    const std::string path = dir.file("Big Scene.PNG");
    ASSERT_TRUE(viewertest::writePicture(path, viewertest::sampleScene(640, 480, 3), L"image/png"));

    ViewerState st;
    st.cFile = lowerText(path);
    st.cDir = lowerText(dir.path());
    st.hBmp.reset(LOADIMAGE(st.cFile));
    ASSERT_TRUE(st.hBmp);
    st.aSize = AIMGSIZE(st.hBmp.get());

    MenuWatch m;
    watch = &m;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, tick);
    // A failure to close must not hang the run: a second timer gives up.
    UINT_PTR guard = SetTimer(nullptr, 0, 15000, giveUp);
    openViewingWindow(st, [](TDialog &d) {
        PostMessageA(d.hWnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 10));
        PostMessageA(d.hWnd, WM_RBUTTONUP, 0, MAKELPARAM(20, 10));
    });
    KillTimer(nullptr, timer);
    KillTimer(nullptr, guard);
    watch = nullptr;

    const std::vector<std::string> want = {
        st.cFile, "Size: 640x480 pixels", "", "Open...", "", "Forward\tDOWN", "Backward\tUP",
        "Forward 10\tPAGE DOWN", "Backward 10\tPAGE UP", "Home\tHOME", "End\tEND", "",
        "Zoom\tSPACE", "", "Rotate left\tLEFT", "Rotate right\tRIGHT", "", "Print",
        "Print setup...", "", "Gallery...", "", "Close\tESC", "", "About..."};
    ASSERT_TRUE(m.read) << "no menu appeared on the right click";
    EXPECT_EQ(m.entries, want);
    EXPECT_FALSE(m.gaveUp) << "the menu's Close did not end the window";
    EXPECT_EQ(st.cFile, lowerText(path)) << "the path is shown lower-cased, the state unchanged";
    DELETEIMG(st.hBmp);
}
