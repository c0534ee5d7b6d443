// Printing the picture on the PDF printer that scripts/print-server.sh sets
// up. The PrintOut cases print; with VISTORO_PDF_DIR (where the printer
// writes its documents) they also keep each document as <case>.pdf in
// VISTORO_PRINT_OUT. The PrintedPages cases then check the pages that
// scripts/print-pages.sh made of them (<case>-1.png, ...).
#include "viewer/print.h"

#include "imaging/decode.h"
#include "imaging/gdiplus_session.h"
#include "pixels.h"
#include "printing/print_job.h"
#include "printing/printer_setup.h"
#include "res/printdlg.h"
#include "support/gif_writer.h"
#include "support/photos.h"
#include "support/test_support.h"
#include "viewer/rotate.h"
#include "viewer/viewwin.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <thread>

using namespace vistoro;
using viewertest::Pixels;

namespace {

#define SKIP_WITHOUT_PRINTER()                                                                     \
    if (PRNGETNAME().empty())                                                                      \
    GTEST_SKIP() << "no printer configured (scripts/print-server.sh adds the PDF printer)"

constexpr std::uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF,
                        kYellow = 0xFFFFFF00, kWhite = 0xFFFFFFFF;

std::string env(const char *name) {
    const char *v = std::getenv(name);
    return v ? v : "";
}

// A picture in four coloured quadrants: red, green above; blue, yellow below.
Pixels quadrants(long w, long h) {
    Pixels p{w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w * h))};
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x)
            p.px[static_cast<std::size_t>(y * w + x)] =
                y < h / 2 ? (x < w / 2 ? kRed : kGreen) : (x < w / 2 ? kBlue : kYellow);
    return p;
}

// Short folder under C:, so that the whole path names the document
// uncut and marks this run's documents.
std::string runFolder() {
    static const std::string dir = [] {
        std::string d = "C:\\vp" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(d.c_str(), nullptr);
        return d;
    }();
    return dir;
}

std::string picture(const std::string &name, long w, long h) {
    const std::string path = runFolder() + "\\" + name + ".png";
    EXPECT_TRUE(viewertest::writePicture(path, quadrants(w, h), L"image/png"));
    return path;
}

// A camera's JPEG of the quadrants stored under an EXIF orientation, so
// that only the upright picture prints them where they belong.
std::string photo(const std::string &name, long w, long h, int orientation, bool bigEndian) {
    const std::string path = runFolder() + "\\" + name + ".jpg";
    EXPECT_TRUE(viewertest::writePhoto(path, quadrants(w, h), orientation, bigEndian));
    return path;
}

std::string photoName(int orientation, bool bigEndian) {
    return "exif" + std::to_string(orientation) + (bigEndian ? "mm" : "ii");
}

// When this program started: the printer's documents of this run are newer.
const FILETIME started = [] {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return now;
}();

// The printer's document of this run named after the case, kept as
// <case>.pdf for the page check; false when it did not appear in time.
bool keepDocument(const std::string &name) {
    const std::string from = env("VISTORO_PDF_DIR"), to = env("VISTORO_PRINT_OUT");
    const std::string mark = "vp" + std::to_string(GetCurrentProcessId());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        WIN32_FIND_DATAA fd;
        HANDLE find = FindFirstFileA((from + "\\*.pdf").c_str(), &fd);
        if (find != INVALID_HANDLE_VALUE) {
            std::string found;
            do {
                const std::string file = fd.cFileName;
                // The printer makes the name from the document's and cuts it
                // at will; documents left by an earlier run are older.
                if (file.find(mark + "_" + name) != std::string::npos &&
                    CompareFileTime(&fd.ftLastWriteTime, &started) >= 0)
                    found = file;
            } while (FindNextFileA(find, &fd));
            FindClose(find);
            // The printer writes the file in pieces: wait until it stops growing.
            if (!found.empty()) {
                const std::string path = from + "\\" + found;
                std::size_t size = 0;
                for (int i = 0; i < 50; ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                    const std::size_t now = testsupport::readFile(path).size();
                    if (now > 0 && now == size)
                        break;
                    size = now;
                }
                // Moved, so that the printer's folder does not fill up with test pages.
                return MoveFileExA(path.c_str(), (to + "\\" + name + ".pdf").c_str(),
                                   MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING) != 0;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

void expectDocument(const std::string &name) {
    if (env("VISTORO_PDF_DIR").empty() || env("VISTORO_PRINT_OUT").empty())
        return; // printed only; scripts/print-pages.sh checks the pages
    EXPECT_TRUE(keepDocument(name)) << "no printed document for " << name;
}

// Presses the progress dialog's cancel button as soon as it is made: the
// click waits in the queue until the page starts.
HHOOK cancelHook = nullptr;
LRESULT CALLBACK pressCancelWhenMade(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND) {
        const auto *cs = reinterpret_cast<CBT_CREATEWNDA *>(lp)->lpcs;
        if ((cs->style & WS_CHILD) && reinterpret_cast<INT_PTR>(cs->hMenu) == IDC_PRINT_CANCEL)
            PostMessageA(reinterpret_cast<HWND>(wp), BM_CLICK, 0, 0);
    }
    return CallNextHookEx(cancelHook, code, wp, lp);
}

class PrintOut : public ::testing::Test {
  protected:
    GdiplusSession session;
};

} // namespace

TEST_F(PrintOut, PageFollowsTheShapeAndTheOrientationComesBack) {
    SKIP_WITHOUT_PRINTER();
    const std::string wide = picture("wide", 40, 30);
    const std::string tall = picture("tall", 30, 40);
    const std::string square = picture("square", 30, 30);

    PRNPORTRAIT();
    SETPROW(5);
    PRINT(wide, {40, 30});
    EXPECT_EQ(PRNGETORIENTATION(), kPortrait);
    EXPECT_EQ(SETPROW(), 0);
    expectDocument("wide");

    PRNLANDSCAPE();
    PRINT(tall, {30, 40});
    EXPECT_EQ(PRNGETORIENTATION(), kLandscape);
    expectDocument("tall");

    PRINT(square, {30, 30});
    EXPECT_EQ(PRNGETORIENTATION(), kLandscape);
    expectDocument("square");
    PRNPORTRAIT();
}

TEST_F(PrintOut, TurnedPicturePrintsAsTheWindowShowsIt) {
    SKIP_WITHOUT_PRINTER();
    const std::string turned = picture("turned", 40, 30);
    UniqueBitmap stored(LOADIMG(turned));
    UniqueBitmap left(ROTATEBMP(stored.get(), 90));
    ASSERT_TRUE(left);
    PRINT(turned, {30, 40}, left.get());
    EXPECT_EQ(PRNGETORIENTATION(), kPortrait);
    expectDocument("turned");
}

// A moving GIF prints the frame on show, not the file's first frame.
TEST_F(PrintOut, MovingPicturePrintsTheFrameOnShow) {
    SKIP_WITHOUT_PRINTER();
    testsupport::GifTestFrame red, green;
    for (testsupport::GifTestFrame *f : {&red, &green}) {
        f->width = 40;
        f->height = 30;
        f->delay = 10;
        f->disposal = 1;
        f->indexes.assign(40 * 30, f == &red ? 0 : 1);
    }
    ViewerState st;
    st.cFile = runFolder() + "\\moving.gif";
    testsupport::writeFile(st.cFile, testsupport::animatedGif(40, 30, {red, green}, 0,
                                                              {0xFF0000, 0x00FF00}));
    st.hBmp.reset(LOADIMG(st.cFile));
    st.aSize = AIMGSIZE(st.hBmp.get());
    // Frames wait while the job runs, as they do while the menu's entry runs.
    bool printing = false;
    st.player = std::make_unique<Playback>(
        [&st](UniqueBitmap frame, bool) { st.hBmp = std::move(frame); },
        [&printing] { return printing; });
    st.player->start(st.cFile);
    // Frames come through this thread's loop: until the green one is on show.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((viewertest::readPixels(st.hBmp.get()).px.empty() ||
            (viewertest::readPixels(st.hBmp.get()).px[0] & 0xFFFFFF) != 0x00FF00) &&
           std::chrono::steady_clock::now() < deadline) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(5);
    }
    ASSERT_EQ(viewertest::readPixels(st.hBmp.get()).px.at(0) & 0xFFFFFF, 0x00FF00u);
    printing = true;
    PRINT(st.cFile, st.aSize, pictureForPrint(st));
    expectDocument("moving");
}

TEST_F(PrintOut, PhotosOfEveryOrientationPrintUpright) {
    SKIP_WITHOUT_PRINTER();
    PRNPORTRAIT();
    for (bool big : {false, true})
        for (int o = 1; o <= 8; ++o) {
            // Landscape scenes and portrait ones, in turn.
            const bool wide = o % 2 == 1;
            const std::string name = photoName(o, big);
            PRINT(photo(name, wide ? 48 : 32, wide ? 32 : 48, o, big), wide ? ImageSize{48, 32} : ImageSize{32, 48});
            expectDocument(name);
        }
}

TEST_F(PrintOut, CancelledBeforeThePageSendsNoPicture) {
    SKIP_WITHOUT_PRINTER();
    const std::string cancel = picture("cancel", 40, 30);
    cancelHook = SetWindowsHookExA(WH_CBT, pressCancelWhenMade, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(cancelHook);
    PRINT(cancel, {40, 30});
    UnhookWindowsHookEx(cancelHook);
    EXPECT_EQ(PRNGETORIENTATION(), kPortrait);
    expectDocument("cancel");
}

// ---- Checks of the printed pages ----

namespace {

class PrintedPages : public ::testing::Test {
  protected:
    void SetUp() override {
        if (env("VISTORO_PRINT_OUT").empty())
            GTEST_SKIP() << "needs the pages that scripts/print-pages.sh makes";
    }
    std::string page(const std::string &name, int n) const {
        return env("VISTORO_PRINT_OUT") + "\\" + name + "-" + std::to_string(n) + ".png";
    }
    // The only page of the document, checked to be the only one.
    Pixels onlyPage(const std::string &name) const {
        EXPECT_TRUE(testsupport::fileExists(page(name, 1))) << name;
        EXPECT_FALSE(testsupport::fileExists(page(name, 2))) << name << " has a second page";
        return viewertest::decodeFile(page(name, 1));
    }
    GdiplusSession session;
};

bool similar(std::uint32_t a, std::uint32_t b) { return viewertest::similarRgb(a, b, 48); }

// The colour at a fraction of the page's width and height.
std::uint32_t at(const Pixels &p, double fx, double fy) {
    return p.at(static_cast<long>(fx * (p.width - 1)), static_cast<long>(fy * (p.height - 1)));
}

// The quadrants where they belong (top left, top right, bottom left,
// bottom right), reaching close to every edge of the page: the picture is
// stretched over the whole printable area.
void expectQuadrants(const Pixels &p, const std::string &name,
                     std::array<std::uint32_t, 4> corners = {kRed, kGreen, kBlue, kYellow}) {
    ASSERT_GT(p.width, 0) << name;
    for (double f : {0.08, 0.3}) {
        const double g = 1 - f;
        EXPECT_TRUE(similar(at(p, f, f), corners[0])) << name << " top left " << f;
        EXPECT_TRUE(similar(at(p, g, f), corners[1])) << name << " top right " << f;
        EXPECT_TRUE(similar(at(p, f, g), corners[2])) << name << " bottom left " << f;
        EXPECT_TRUE(similar(at(p, g, g), corners[3])) << name << " bottom right " << f;
    }
}

} // namespace

TEST_F(PrintedPages, WidePictureOnALandscapePage) {
    const Pixels p = onlyPage("wide");
    EXPECT_GT(p.width, p.height);
    expectQuadrants(p, "wide");
}

TEST_F(PrintedPages, TallAndSquarePicturesOnPortraitPages) {
    for (const char *name : {"tall", "square"}) {
        const Pixels p = onlyPage(name);
        EXPECT_LT(p.width, p.height) << name;
        expectQuadrants(p, name);
    }
}

TEST_F(PrintedPages, TurnedPictureIsPrintedTurnedOnAPortraitPage) {
    const Pixels p = onlyPage("turned");
    EXPECT_LT(p.width, p.height);
    // Turned left: the top right quadrant stands at the top left.
    expectQuadrants(p, "turned", {kGreen, kYellow, kRed, kBlue});
}

TEST_F(PrintedPages, MovingPictureIsPrintedAsTheFrameOnShow) {
    expectQuadrants(onlyPage("moving"), "moving", {kGreen, kGreen, kGreen, kGreen});
}

TEST_F(PrintedPages, PhotosOfEveryOrientationAreUprightOnPagesOfTheirShape) {
    for (bool big : {false, true})
        for (int o = 1; o <= 8; ++o) {
            const std::string name = photoName(o, big);
            const Pixels p = onlyPage(name);
            EXPECT_EQ(p.width > p.height, o % 2 == 1) << name;
            expectQuadrants(p, name);
        }
}

TEST_F(PrintedPages, CancelledJobCarriesNoPicture) {
    // The printer turns a document without pages into one blank page.
    const Pixels p = viewertest::decodeFile(page("cancel", 1));
    ASSERT_GT(p.width, 0);
    for (double fy : {0.1, 0.3, 0.5, 0.7, 0.9})
        for (double fx : {0.1, 0.3, 0.5, 0.7, 0.9})
            EXPECT_TRUE(similar(at(p, fx, fy), kWhite)) << fx << "," << fy;
}
