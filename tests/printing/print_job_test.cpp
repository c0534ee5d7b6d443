// The print job over the PDF printer that scripts/print-server.sh sets up as
// the default: its progress dialog, the cancel button, pages recorded into
// metafiles, and the release of everything it takes. Skipped without a printer.
#include "printing/print_job.h"

#include "imaging/gdiplus_session.h"
#include "printing/printer_setup.h"
#include "res/printdlg.h"
#include "support/test_support.h"
#include "util/libinit.h"
#include "util/popmsg.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

using namespace vistoro;
using testsupport::ScratchDir;

namespace {

#define SKIP_WITHOUT_PRINTER()                                                                     \
    if (PRNGETNAME().empty())                                                                      \
    GTEST_SKIP() << "no printer configured (scripts/print-server.sh adds the PDF printer)"

std::vector<std::string> &shown = testsupport::shownBoxes();

// An uncompressed BMP file of w x h pixels; bits 8 gives a grey colour table.
std::string bmpFile(int w, int h, int bits) {
    const int stride = ((w * bits + 31) / 32) * 4;
    const int colours = bits == 8 ? 256 : 0;
    const std::uint32_t offset = 14 + 40 + 4 * colours;
    std::string out(offset + static_cast<std::size_t>(stride) * h, '\0');
    auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&out[at], &v, 4); };
    out[0] = 'B', out[1] = 'M';
    put32(2, static_cast<std::uint32_t>(out.size()));
    put32(10, offset);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(w));
    put32(22, static_cast<std::uint32_t>(h));
    out[26] = 1;
    out[28] = static_cast<char>(bits);
    for (int i = 0; i < colours; ++i)
        put32(54 + 4 * static_cast<std::size_t>(i), static_cast<std::uint32_t>(i * 0x010101));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < stride; ++x)
            out[offset + static_cast<std::size_t>(y * stride + x)] = static_cast<char>(x * 7 + y);
    return out;
}

std::string windowText(HWND wnd) {
    char text[256] = {};
    GetWindowTextA(wnd, text, sizeof text);
    return text;
}

bool hasChildWithText(HWND dlg, const std::string &text) {
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (windowText(c) == text)
            return true;
    return false;
}

// A plain top-level window made the active one, as the viewing window is.
class ActiveWindow {
  public:
    ActiveWindow() {
        wnd_ = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 10, 10, 100, 100,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetForegroundWindow(wnd_);
        SetActiveWindow(wnd_);
    }
    ~ActiveWindow() { DestroyWindow(wnd_); }
    HWND get() const { return wnd_; }

  private:
    HWND wnd_;
};

class PrintJob : public ::testing::Test {
  protected:
    void SetUp() override {
        shown.clear();
        setMessageBoxCall(testsupport::recordBox);
    }
    void TearDown() override { setMessageBoxCall(nullptr); }
    GdiplusSession session;
    ScratchDir dir{"job"};
};

} // namespace

TEST_F(PrintJob, ProgressDialogFollowsThePagesAndTheActiveWindowWaits) {
    SKIP_WITHOUT_PRINTER();
    ActiveWindow owner;
    ASSERT_EQ(GetActiveWindow(), owner.get());
    const std::string name(40, 'd');
    {
        TPrinter job({.cDocument = name});
        ASSERT_TRUE(job.hDC);
        EXPECT_EQ(job.cModel, "PDF");
        EXPECT_EQ(job.hDCOut, job.hDC.get());
        EXPECT_EQ(job.hWnd, owner.get());
        EXPECT_FALSE(IsWindowEnabled(owner.get()));
        ASSERT_TRUE(job.oDlg);
        const HWND dlg = job.oDlg->hWnd;
        ASSERT_TRUE(IsWindow(dlg));
        EXPECT_TRUE(IsWindowVisible(dlg));
        EXPECT_EQ(windowText(dlg), name); // the caption is not cut
        EXPECT_EQ(windowText(GetDlgItem(dlg, IDC_PRINT_PAGE)), "1");
        EXPECT_EQ(windowText(GetDlgItem(dlg, IDC_PRINT_CANCEL)), "&Annulla");
        EXPECT_TRUE(hasChildWithText(dlg, "Sto stampando la pagina n.:"));
        EXPECT_TRUE(GetDlgItem(dlg, IDC_PRINT_PICTURE));

        job.StartPage();
        job.EndPage();
        EXPECT_EQ(job.nPage, 2);
        job.StartPage();
        EXPECT_EQ(windowText(GetDlgItem(dlg, IDC_PRINT_PAGE)), "2");
        job.EndPage();

        job.End();
        EXPECT_FALSE(IsWindow(dlg));
        EXPECT_TRUE(IsWindowEnabled(owner.get()));
        EXPECT_FALSE(job.hDC);
        job.End(); // a second End finds nothing to release
    }
    EXPECT_TRUE(shown.empty());
}

TEST_F(PrintJob, CancelButtonStopsEveryLaterPage) {
    SKIP_WITHOUT_PRINTER();
    const std::string picture = dir.file("grey.bmp");
    testsupport::writeFile(picture, bmpFile(8, 6, 8));
    TPrinter job({.cDocument = "cancelled"});
    ASSERT_TRUE(job.hDC);
    // The click waits in the queue until the page starts.
    PostMessageA(GetDlgItem(job.oDlg->hWnd, IDC_PRINT_CANCEL), BM_CLICK, 0, 0);
    EXPECT_FALSE(job.lCancel);
    job.StartPage();
    EXPECT_TRUE(job.lCancel);
    const int before = testsupport::countGdiObjects();
    job.SayImage({.cFile = picture});
    EXPECT_EQ(testsupport::countGdiObjects(), before);
    job.EndPage();
    EXPECT_EQ(job.nPage, 2); // pages still count
    job.StartPage();
    job.EndPage();
    EXPECT_EQ(job.nPage, 3);
    job.End();
    EXPECT_FALSE(job.hDC);
}

TEST_F(PrintJob, SayImageReleasesWhatItTakesOnEveryPath) {
    SKIP_WITHOUT_PRINTER();
    testsupport::writeFile(dir.file("grey.bmp"), bmpFile(16, 12, 8));
    testsupport::writeFile(dir.file("true.bmp"), bmpFile(16, 12, 24));
    testsupport::writeFile(dir.file("broken.bmp"), "BM not a picture");
    TPrinter job({.cDocument = "released"});
    ASSERT_TRUE(job.hDC);
    job.StartPage();
    const int before = testsupport::countGdiObjects();
    for (const char *name : {"grey.bmp", "true.bmp", "broken.bmp", "missing.bmp"})
        job.SayImage({.nRow = 10, .nCol = 20, .cFile = dir.file(name), .nWidth = 300,
                      .nHeight = 200});
    job.SayImage({.cFile = dir.file("grey.bmp")}); // its own size
    job.SayImage({.cFile = dir.path()});            // a folder is no file
    EXPECT_EQ(testsupport::countGdiObjects(), before);
    job.EndPage();
    job.End();
}

TEST_F(PrintJob, PreviewRecordsEachPageIntoItsOwnMetafileAndEndErasesThem) {
    SKIP_WITHOUT_PRINTER();
    const std::string picture = dir.file("true.bmp");
    testsupport::writeFile(picture, bmpFile(16, 12, 24));
    const std::string oldTemp = libraryValues().ACS_TEMP;
    libraryValues().ACS_TEMP = dir.path() + "\\";
    {
        TPrinter job({.cDocument = "preview", .lPreview = true});
        ASSERT_TRUE(job.hDC);
        EXPECT_FALSE(job.hDCOut); // no page yet
        EXPECT_GT(job.nHorzRes(), 0);
        for (int page = 1; page <= 3; ++page) {
            job.StartPage();
            EXPECT_EQ(GetObjectType(job.hDCOut), static_cast<DWORD>(OBJ_METADC));
            if (page != 2)
                job.SayImage({.cFile = picture, .nWidth = 64, .nHeight = 48});
            job.EndPage();
            EXPECT_FALSE(job.hDCOut);
        }
        const std::vector<std::string> expected{dir.file("1.WMF"), dir.file("2.WMF"),
                                                dir.file("3.WMF")};
        EXPECT_EQ(job.aMeta, expected);
        const auto size = [](const std::string &f) { return testsupport::readFile(f).size(); };
        for (const auto &f : expected)
            EXPECT_GE(size(f), 18u) << f; // at least a metafile header
        // The picture went into pages 1 and 3 and not into page 2.
        EXPECT_GT(size(expected[0]), size(expected[1]) + 16 * 12 * 3);
        EXPECT_EQ(size(expected[0]), size(expected[2]));
        job.End();
        for (const auto &f : expected)
            EXPECT_FALSE(testsupport::fileExists(f)) << f;
    }
    libraryValues().ACS_TEMP = oldTemp;
}

TEST_F(PrintJob, PrinterNamedByTheCallerOrNotFound) {
    SKIP_WITHOUT_PRINTER();
    {
        TPrinter job({.cDocument = "named", .cModel = "PDF"});
        EXPECT_TRUE(job.hDC);
        EXPECT_EQ(job.cModel, "PDF");
        job.End();
    }
    EXPECT_TRUE(shown.empty());

    TPrinter job({.cDocument = "nowhere", .cModel = "Nessuna"});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Impossibile trovare la stampante Nessuna.|" + std::string("Attenzione"));
    EXPECT_FALSE(job.hDC);
    EXPECT_FALSE(job.oDlg);
    job.StartPage();
    job.SayImage({.cFile = dir.file("x.bmp")});
    job.EndPage();
    EXPECT_EQ(job.nPage, 1);
    job.End();
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(PrintJob, DialogShownOnceRefusesToCloseWhileEscIsHeld) {
    SKIP_WITHOUT_PRINTER();
    TPrinter job({.cDocument = "esc"});
    ASSERT_TRUE(job.oDlg);
    const HWND dlg = job.oDlg->hWnd;
    job.StartPage(); // the dialog paints, and its start hook runs
    BYTE keys[256];
    ASSERT_TRUE(GetKeyboardState(keys));
    keys[VK_ESCAPE] = 0x80;
    SetKeyboardState(keys);
    job.CloseWnd();
    EXPECT_TRUE(IsWindow(dlg));
    keys[VK_ESCAPE] = 0;
    SetKeyboardState(keys);
    job.EndPage();
    job.End();
    EXPECT_FALSE(IsWindow(dlg));

    // Held again at the end: the job's window still goes with the job.
    TPrinter again({.cDocument = "esc"});
    ASSERT_TRUE(again.oDlg);
    const HWND second = again.oDlg->hWnd;
    again.StartPage();
    keys[VK_ESCAPE] = 0x80;
    SetKeyboardState(keys);
    again.EndPage();
    again.End();
    keys[VK_ESCAPE] = 0;
    SetKeyboardState(keys);
    EXPECT_FALSE(IsWindow(second));
}
