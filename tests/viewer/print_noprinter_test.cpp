// Printing on a machine without printers: the job tells the user once and
// does nothing more, and nothing is left behind.
#include "viewer/print.h"

#include "imaging/gdiplus_session.h"
#include "printing/printer_setup.h"
#include "support/test_support.h"
#include "util/popmsg.h"

#include <gtest/gtest.h>

using namespace vistoro;

namespace {

std::vector<std::string> &shown = testsupport::shownBoxes();

BOOL WINAPI noDefaultPrinter(LPPRINTDLGW) { return FALSE; }

BOOL CALLBACK countVisible(HWND wnd, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(wnd))
        ++*reinterpret_cast<int *>(param);
    return TRUE;
}

int visibleWindowsOfThisProcess() {
    int n = 0;
    EnumWindows(countVisible, reinterpret_cast<LPARAM>(&n));
    return n;
}

} // namespace

TEST(PrintWithoutPrinter, TellsOnceAndLeavesNothingBehind) {
    detail::setPrintDialogCall(noDefaultPrinter);
    setMessageBoxCall(testsupport::recordBox);
    GdiplusSession session;
    testsupport::ScratchDir dir("noprn");
    const std::string file = dir.file("pic.bmp");
    testsupport::writeFile(file, "BM");
    const int objects = testsupport::countGdiObjects();

    PRINT(file, {40, 30});
    PRINT(file, {30, 40});

    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], "Impossibile trovare la stampante .|Attenzione");
    EXPECT_EQ(shown[1], shown[0]);
    EXPECT_EQ(PRNGETORIENTATION(), 0);
    EXPECT_EQ(visibleWindowsOfThisProcess(), 0); // no progress dialog
    EXPECT_EQ(testsupport::countGdiObjects(), objects);
    setMessageBoxCall(nullptr);
    detail::setPrintDialogCall(nullptr);
}
