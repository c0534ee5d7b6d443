#include "toolkit/wrappers.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace vistoro;

namespace {

// A plain popup window to move around; destroyed at the end of the test.
struct TestWindow {
    HWND wnd;
    TestWindow(int w, int h) {
        wnd = CreateWindowExA(0, "STATIC", "t", WS_POPUP, 5, 5, w, h, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    }
    ~TestWindow() { DestroyWindow(wnd); }
};

} // namespace

TEST(Wrappers, NorOrsItsArguments) {
    EXPECT_EQ(static_cast<unsigned long>(NOR({static_cast<long>(0x80000000u), 0x00400000, 128})),
              0x80400080ul);
    EXPECT_EQ(NOR(), 0);
}

TEST(Wrappers, CentringOnTheDesktopTruncatesHalves) {
    RECT desk;
    GetWindowRect(GetDesktopWindow(), &desk);
    if (desk.left != 0 || desk.top != 0 || desk.right != 1920 || desk.bottom != 1080)
        GTEST_SKIP() << "the known places are for a 1920x1080 desktop";
    TestWindow w(300, 201);
    ASSERT_TRUE(w.wnd);
    WNDCENTER(w.wnd);
    const Rect r = GETWNDRECT(w.wnd);
    // 960 - 150 across; 540 - 100 down, the odd pixel's half dropped.
    EXPECT_EQ(r.left, 810);
    EXPECT_EQ(r.top, 440);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 201);
    EXPECT_EQ(centredOrigin(300, 201), (Point{r.top, r.left}));
}

TEST(Wrappers, MoveWindowTakesTopThenLeftAndKeepsSize) {
    TestWindow w(120, 80);
    EXPECT_TRUE(MOVEWINDOW(w.wnd, 10, 20));
    EXPECT_EQ(GETWNDRECT(w.wnd), (Rect{10, 20, 90, 140}));
    EXPECT_TRUE(MOVEWINDOW(w.wnd, 30, 40, 50, 60, true));
    EXPECT_EQ(GETWNDRECT(w.wnd), (Rect{30, 40, 90, 90}));
    HWND gone = w.wnd;
    DestroyWindow(gone);
    w.wnd = nullptr;
    EXPECT_FALSE(MOVEWINDOW(gone, 1, 1));
    EXPECT_EQ(GETWNDRECT(nullptr), (Rect{}));
}

TEST(Wrappers, PointsAreRowThenColumn) {
    SetCursorPos(100, 50);
    EXPECT_EQ(GETCURSORPOS(), (Point{50, 100}));

    TestWindow w(100, 100);
    MOVEWINDOW(w.wnd, 200, 300);
    Point p{5, 7};
    const Point q = CLIENTTOSCREEN(w.wnd, p);
    EXPECT_EQ(q, (Point{205, 307}));
    EXPECT_EQ(p, q); // updated in place too
}

TEST(Wrappers, ClassIconAndInstance) {
    EXPECT_EQ(GETINSTANCE(), GetModuleHandleA(nullptr));
    EXPECT_EQ(GETDESKTOPWINDOW(), GetDesktopWindow());
    HICON icon = LOADICON(nullptr, 32512); // IDI_APPLICATION
    ASSERT_TRUE(icon);
    TestWindow w(10, 10);
    const LONG_PTR before = GetClassLongPtrA(w.wnd, GCLP_HICON);
    EXPECT_EQ(SETCLASSLONG(w.wnd, -14, reinterpret_cast<LONG_PTR>(icon)), before);
    EXPECT_EQ(GetClassLongPtrA(w.wnd, GCLP_HICON), reinterpret_cast<LONG_PTR>(icon));
    SETCLASSLONG(w.wnd, -14, before);
}

TEST(WindowClass, RegisteredAgainIsRegisteredAndARefusalIsTold) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VistoroTwice";
    EXPECT_TRUE(registerWindowClass(wc));
    EXPECT_TRUE(registerWindowClass(wc));
    wc.cbSize = 0; // a record without its size is refused
    wc.lpszClassName = L"VistoroRefused";
    EXPECT_FALSE(registerWindowClass(wc));
}
