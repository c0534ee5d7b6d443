// The printer selection over the PDF printer that scripts/print-server.sh
// sets up as the default; skipped when the machine has no printer.
#include "printing/printer_setup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace vistoro;

namespace {

#define SKIP_WITHOUT_PRINTER()                                                                     \
    if (PRNGETNAME().empty())                                                                      \
    GTEST_SKIP() << "no printer configured (scripts/print-server.sh adds the PDF printer)"

struct Found {
    DWORD pid;
    HWND dialog;
};

BOOL CALLBACK findSetupDialog(HWND wnd, LPARAM param) {
    auto *f = reinterpret_cast<Found *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    char cls[16] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (pid == f->pid && IsWindowVisible(wnd) && lstrcmpA(cls, "#32770") == 0 &&
        GetDlgItem(wnd, 0x470)) { // the printer combo box
        f->dialog = wnd;
        return FALSE;
    }
    return TRUE;
}

// Answers this process's print set-up dialog with a button, from a thread
// of its own while the test's thread waits inside the dialog.
class DialogAnswer {
  public:
    explicit DialogAnswer(int button)
        : worker_([this, button] {
              const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
              while (std::chrono::steady_clock::now() < deadline) {
                  Found f{GetCurrentProcessId(), nullptr};
                  EnumWindows(findSetupDialog, reinterpret_cast<LPARAM>(&f));
                  if (f.dialog) {
                      PostMessageA(f.dialog, WM_COMMAND, static_cast<WPARAM>(button), 0);
                      answered_ = true;
                      return;
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              }
          }) {}
    ~DialogAnswer() {
        if (worker_.joinable())
            worker_.join();
    }
    bool answered() {
        if (worker_.joinable())
            worker_.join();
        return answered_;
    }

  private:
    std::atomic<bool> answered_{false};
    std::thread worker_;
};

bool pageIsWide(HDC dc) { return GetDeviceCaps(dc, HORZRES) > GetDeviceCaps(dc, VERTRES); }

} // namespace

TEST(PrinterSelection, StartsFromTheDefaultPrinter) {
    SKIP_WITHOUT_PRINTER();
    EXPECT_EQ(PRNGETNAME(), "PDF");
    EXPECT_EQ(PRNGETORIENTATION(), kPortrait);
    UniqueDC dc = GETPRINTDEFAULT();
    ASSERT_TRUE(dc);
    EXPECT_EQ(GetDeviceCaps(dc.get(), TECHNOLOGY), DT_RASPRINTER);
}

TEST(PrinterSelection, OrientationRoundTripReachesNewContexts) {
    SKIP_WITHOUT_PRINTER();
    const int old = PRNGETORIENTATION();
    UniqueDC before = GETPRINTDEFAULT();

    EXPECT_TRUE(PRNLANDSCAPE());
    EXPECT_EQ(PRNGETORIENTATION(), kLandscape);
    UniqueDC wide = GETPRINTDEFAULT();
    ASSERT_TRUE(wide);
    EXPECT_TRUE(pageIsWide(wide.get()));

    EXPECT_TRUE(PRNPORTRAIT());
    EXPECT_EQ(PRNGETORIENTATION(), kPortrait);
    UniqueDC tall = GETPRINTDEFAULT();
    ASSERT_TRUE(tall);
    EXPECT_FALSE(pageIsWide(tall.get()));

    // A context made earlier keeps the orientation it was made with.
    ASSERT_TRUE(before);
    EXPECT_EQ(pageIsWide(before.get()), old == kLandscape);
    old == kLandscape ? PRNLANDSCAPE() : PRNPORTRAIT();
}

TEST(PrinterSelection, CancelledSetupChangesNothing) {
    SKIP_WITHOUT_PRINTER();
    PRNLANDSCAPE();
    DialogAnswer cancel(IDCANCEL);
    EXPECT_FALSE(PSETUP());
    EXPECT_TRUE(cancel.answered());
    EXPECT_EQ(PRNGETNAME(), "PDF");
    EXPECT_EQ(PRNGETORIENTATION(), kLandscape);
    PRNPORTRAIT();
}

TEST(PrinterSelection, ConfirmedSetupGivesAContextAndKeepsTheSettings) {
    SKIP_WITHOUT_PRINTER();
    PRNLANDSCAPE();
    DialogAnswer ok(IDOK);
    UniqueDC dc = PRINTERSETUP(GetDesktopWindow());
    EXPECT_TRUE(ok.answered());
    ASSERT_TRUE(dc);
    EXPECT_EQ(GetDeviceCaps(dc.get(), TECHNOLOGY), DT_RASPRINTER);
    // The dialog started from the selection, so the choice is what it was.
    EXPECT_EQ(PRNGETNAME(), "PDF");
    EXPECT_EQ(PRNGETORIENTATION(), kLandscape);
    UniqueDC after = GETPRINTDEFAULT();
    ASSERT_TRUE(after);
    EXPECT_TRUE(pageIsWide(after.get()));
    PRNPORTRAIT();
}
