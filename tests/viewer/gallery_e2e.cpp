// The gallery as a person sees it, in a program of its own driven from
// outside: its place, its cells, Esc, its close menu, and its notice when
// the folder has nothing to show.
#include "gallery_pictures.h"
#include "harness/harness.h"
#include "imaging/decode.h"
#include "imaging/gdiplus_session.h"
#include "support/photos.h"
#include "support/test_support.h"
#include "base/handles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

using namespace harness;
using testsupport::ScratchDir;
using viewertest::Pixels;

namespace {

const std::string kDemo = testsupport::hostPath(VISTORO_TEST_BIN_DIR) + "\\gallerydemo.exe";

HWND galleryOf(Process &p) {
    HWND w = waitWindow(p.pid(), "#32770", "");
    if (w) {
        EXPECT_TRUE(waitPainted(w)) << "the gallery was never painted";
    }
    return w;
}

class GalleryE2E : public ::testing::Test {
  protected:
    std::string picture(const std::string &name, const Pixels &px) {
        const std::string path = dir.file(name);
        EXPECT_TRUE(viewertest::writePicture(path, px, L"image/png")) << path;
        return path;
    }
    void damaged(const std::string &name) {
        testsupport::writeFile(dir.file(name), "GIF89a and then nothing");
    }
    vistoro::GdiplusSession session;
    ScratchDir dir{"gal"};
};

} // namespace

TEST_F(GalleryE2E, CentredWindowShowsTheFolderInListingOrderAndEscCloses) {
    const Pixels own = viewertest::patterned(30, 20);
    picture("b-big.png", gallerytest::quarters(800, 600, 0xC01010, 0x10C010, 0x1010C0, 0xC0C010));
    damaged("c-broken.gif");
    picture("D-wide.png", gallerytest::quarters(100, 40, 0xA02020, 0x20A020, 0xA02020, 0x20A020));
    picture("e-own.png", own);
    testsupport::writeFile(dir.file("f-notes.txt"), "not a picture");
    // Opened from a picture in the middle: the whole folder is shown.
    Process p(kDemo, {dir.file("D-wide.png")});
    HWND g = galleryOf(p);
    ASSERT_TRUE(g) << "no gallery window";

    const RECT r = windowRect(g);
    EXPECT_EQ(r.right - r.left, 1031);
    EXPECT_EQ(r.bottom - r.top, 775);
    EXPECT_EQ(r.left, 1920 / 2 - 1031 / 2);
    EXPECT_EQ(r.top, 1080 / 2 - 775 / 2);
    EXPECT_EQ(title(g), "");

    const RECT c = clientRectOnScreen(g);
    auto at = [&](int x, int y) { return screenPixel(c.left + x, c.top + y); };
    const DWORD background = at(1000, 700); // far from any cell in use
    // The grid fills a file at a time after the first paint: up to the last.
    ASSERT_TRUE(waitUntil([&] { return at(128 + 17, 22) == (own.px[0] & 0xFFFFFF); }))
        << "the third cell was never filled";
    // 800 x 600 squeezed into the first cell.
    EXPECT_EQ(at(8, 8), 0xC01010u);
    EXPECT_EQ(at(56, 8), 0x10C010u);
    EXPECT_EQ(at(8, 56), 0x1010C0u);
    EXPECT_EQ(at(56, 56), 0xC0C010u);
    // The damaged file takes no cell: 100 x 40 as 64 x 40 in the second.
    EXPECT_EQ(at(64, 11), background);
    EXPECT_EQ(at(64, 12), 0xA02020u);
    EXPECT_EQ(at(127, 51), 0x20A020u);
    EXPECT_EQ(at(127, 52), background);
    // 30 x 20 at its own size, centred in the third.
    const std::vector<DWORD> got =
        screenPixels({c.left + 128 + 17, c.top + 22, c.left + 128 + 17 + 30, c.top + 22 + 20});
    ASSERT_EQ(got.size(), own.px.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], own.px[i] & 0xFFFFFF) << "pixel " << i % 30 << "," << i / 30;
    EXPECT_EQ(at(128 + 16, 30), background);
    EXPECT_EQ(at(128 + 47, 30), background);
    // Nothing more.
    EXPECT_EQ(at(192 + 30, 30), background);
    EXPECT_NE(background, 0xC01010u);

    // A left click does nothing.
    PostMessageA(g, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
    PostMessageA(g, WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
    ASSERT_TRUE(settle(g));
    EXPECT_TRUE(IsWindowVisible(g));
    EXPECT_EQ(windowsOf(p.pid()).size(), 1u);

    typeKey(g, VK_ESCAPE);
    EXPECT_EQ(p.waitExit(), 0u) << "Esc did not close the gallery";
}

TEST_F(GalleryE2E, CloseMenuDismissedLeavesItOpenChosenClosesIt) {
    picture("one.png", gallerytest::flat(40, 40, 0x336699));
    Process p(kDemo, {dir.file("one.png")});
    HWND g = galleryOf(p);
    ASSERT_TRUE(g);
    HWND menu = openContextMenu(p.pid(), g, 500, 400);
    ASSERT_TRUE(menu) << "no close menu";
    postKey(menu, VK_ESCAPE);
    EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(menu); }, Millis{3000}));
    ASSERT_TRUE(settle(g));
    EXPECT_TRUE(IsWindowVisible(g));
    EXPECT_TRUE(p.running());

    menu = openContextMenu(p.pid(), g, 500, 400);
    ASSERT_TRUE(menu);
    postKey(menu, VK_DOWN);
    postKey(menu, VK_RETURN);
    EXPECT_EQ(p.waitExit(), 0u) << "Close did not close the gallery";
}

TEST_F(GalleryE2E, FolderWithNothingToShowTellsOnceAndCloses) {
    damaged("a.gif");
    damaged("b.png");
    testsupport::writeFile(dir.file("c.txt"), "text");
    Process p(kDemo, {dir.file("b.png")});
    HWND box = waitWindow(p.pid(), "#32770", "ZELM Vistoro");
    ASSERT_TRUE(box) << "no notice appeared";
    EXPECT_EQ(messageBoxText(box), "No image file found.");
    pressButton(box, IDOK);
    EXPECT_EQ(p.waitExit(), 0u) << "the gallery stayed open after the notice";

    // A folder without any file at all.
    ScratchDir empty{"gal0"};
    Process q(kDemo, {empty.file("gone.png")});
    box = waitWindow(q.pid(), "#32770", "ZELM Vistoro");
    ASSERT_TRUE(box) << "no notice for the empty folder";
    EXPECT_EQ(messageBoxText(box), "No image file found.");
    pressButton(box, IDOK);
    EXPECT_EQ(q.waitExit(), 0u);
}

namespace {
double nowMs() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}
} // namespace

// A folder of photo-sized PNGs, each cell a whole decode (a JPEG's cell
// needs only its one-eighth picture): the window shows its first cell soon,
// keeps answering while it fills, and Esc closes it before the fill is
// done. Every bound is a multiple of one decode of the same files, timed in
// this run.
TEST_F(GalleryE2E, LargePicturesFillWhileTheWindowKeepsAnsweringAndEscClosesIt) {
    constexpr int kFiles = 48, kScenes = 3;
    for (int i = 0; i < kFiles; ++i) {
        char name[16];
        snprintf(name, sizeof name, "p%02d.png", i);
        if (i < kScenes)
            ASSERT_TRUE(viewertest::writePicture(
                dir.file(name), viewertest::sampleScene(1920, 1080, i), L"image/png"));
        else
            ASSERT_TRUE(CopyFileA(dir.file("p0" + std::to_string(i % kScenes) + ".png").c_str(),
                                  dir.file(name).c_str(), FALSE));
    }
    double decode = 0, fastest = 1e9; // the slowest and the fastest of a few
    for (int i = 0; i < kScenes; ++i) {
        const double t = nowMs();
        vistoro::UniqueBitmap bmp(vistoro::LOADIMG(dir.file("p0" + std::to_string(i) + ".png")));
        decode = std::max(decode, nowMs() - t);
        fastest = std::min(fastest, nowMs() - t);
        ASSERT_TRUE(bmp);
    }
    const double bound = 2 * decode + 250; // one decode, doubled, and the machine's slack

    Process p(kDemo, {dir.file("p00.png")});
    HWND g = waitWindow(p.pid(), "#32770", "");
    ASSERT_TRUE(g) << "no gallery window";
    const double shown = nowMs();
    const RECT c = clientRectOnScreen(g);
    auto at = [&](int x, int y) { return screenPixel(c.left + x, c.top + y); };
    ASSERT_TRUE(waitPainted(g));
    const DWORD background = at(1020, 760);
    ASSERT_TRUE(waitUntil([&] { return at(32, 32) != background; }, Millis{15000}, Millis{5}))
        << "the first cell never appeared";
    EXPECT_LT(nowMs() - shown, decode + bound) << "first cell late; one decode is " << decode;

    double slowest = 0;
    for (int i = 0; i < 8; ++i) {
        const double t = nowMs();
        DWORD_PTR answer = 0;
        EXPECT_TRUE(SendMessageTimeoutA(g, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &answer));
        slowest = std::max(slowest, nowMs() - t);
        Sleep(20); // probes spread over the fill, not a wait for an effect
    }
    EXPECT_LT(slowest, bound) << "the window went unanswered; one decode is " << decode;
    // However fast the machine, two workers take half the files' decodes
    // to fill the grid; well inside that it is still filling.
    const auto [lastX, lastY] = gallerytest::cellOf(kFiles - 1);
    if (nowMs() - shown < kFiles * fastest / 6) {
        EXPECT_EQ(at(lastX + 32, lastY + 32), background) << "the fill ended before Esc";
    }

    const double esc = nowMs();
    postKey(g, VK_ESCAPE);
    ASSERT_TRUE(waitUntil([&] { return !IsWindowVisible(g); }, Millis{15000}, Millis{5}));
    EXPECT_LT(nowMs() - esc, bound) << "Esc waited; one decode is " << decode;
    EXPECT_EQ(p.waitExit(), 0u);
}

namespace {

// A camera's photo of one colour with an embedded thumbnail of its own
// proportions, so that the gallery draws its cell from the thumbnail.
std::string photoWithThumbnail(const ScratchDir &dir, std::uint32_t colour, long w = 320,
                               long h = 240) {
    const std::string scratch = dir.file("scratch.jpg");
    EXPECT_TRUE(viewertest::writePicture(scratch, gallerytest::flat(w, h, colour), L"image/jpeg"));
    const std::string photo = testsupport::readFile(scratch);
    EXPECT_TRUE(
        viewertest::writePicture(scratch, gallerytest::flat(w / 2, h / 2, colour), L"image/jpeg"));
    const std::string thumbnail = testsupport::readFile(scratch);
    DeleteFileA(scratch.c_str());
    return testsupport::withExif(photo, {1, false, 0, thumbnail});
}

// The same photo whose frame header says it is width x height.
std::string withFrameSize(std::string jpeg, std::uint16_t width, std::uint16_t height) {
    // The first frame header after the EXIF block (the thumbnail inside it
    // has one of its own).
    std::size_t at = 2;
    while (at + 4 < jpeg.size()) {
        const auto marker = static_cast<unsigned char>(jpeg[at + 1]);
        const std::size_t length = static_cast<unsigned char>(jpeg[at + 2]) << 8 |
                                   static_cast<unsigned char>(jpeg[at + 3]);
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
            jpeg[at + 5] = static_cast<char>(height >> 8);
            jpeg[at + 6] = static_cast<char>(height & 0xFF);
            jpeg[at + 7] = static_cast<char>(width >> 8);
            jpeg[at + 8] = static_cast<char>(width & 0xFF);
            return jpeg;
        }
        at += 2 + length;
    }
    ADD_FAILURE() << "no frame header";
    return jpeg;
}

} // namespace

// Fill bytes are legal padding before a marker; 4 MB of them after the EXIF
// block of the second photo must not hold up the cells after it.
TEST_F(GalleryE2E, APhotoPaddedWithFillBytesDoesNotStallTheCellsAfterIt) {
    for (int i = 0; i < 9; ++i) {
        std::string photo = photoWithThumbnail(dir, gallerytest::colourOf(i * 20));
        if (i == 1) {
            const std::size_t afterExif =
                4 + (static_cast<unsigned char>(photo[4]) << 8 | static_cast<unsigned char>(photo[5]));
            photo.insert(afterExif, std::string(4 << 20, '\xFF'));
        }
        testsupport::writeFile(dir.file("p" + std::to_string(i) + ".jpg"), photo);
    }
    Process p(kDemo, {dir.file("p0.jpg")});
    HWND g = waitWindow(p.pid(), "#32770", "");
    ASSERT_TRUE(g) << "no gallery window";
    const auto start = std::chrono::steady_clock::now();
    const RECT c = clientRectOnScreen(g);
    const auto [x, y] = gallerytest::cellOf(8);
    const std::uint32_t last = gallerytest::colourOf(8 * 20);
    const bool filled = waitUntil(
        [&] { return viewertest::similarRgb(screenPixel(c.left + x + 32, c.top + y + 32), last, 12); },
        Millis{10000});
    const auto took = std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - start);
    ASSERT_TRUE(filled) << "the ninth cell was never filled";
    EXPECT_LT(took.count(), 2000) << "the ninth cell took " << took.count() << " ms";
    // The padded photo has its cell, the second.
    const auto [x1, y1] = gallerytest::cellOf(1);
    EXPECT_TRUE(viewertest::similarRgb(screenPixel(c.left + x1 + 32, c.top + y1 + 32),
                                       gallerytest::colourOf(20), 12));
    postKey(g, VK_ESCAPE);
    EXPECT_EQ(p.waitExit(), 0u);
}

// A photo whose frame is past the program's picture limit does not open,
// thumbnail or not: it takes no cell, and the photo after it takes its place.
TEST_F(GalleryE2E, APhotoTooLargeToOpenTakesNoCellThoughItCarriesAThumbnail) {
    testsupport::writeFile(dir.file("a.jpg"), photoWithThumbnail(dir, 0x2060A0));
    testsupport::writeFile(dir.file("b.jpg"),
                           withFrameSize(photoWithThumbnail(dir, 0xA02060), 20000, 15000));
    testsupport::writeFile(dir.file("c.jpg"), photoWithThumbnail(dir, 0x60A020));
    Process p(kDemo, {dir.file("a.jpg")});
    HWND g = galleryOf(p);
    ASSERT_TRUE(g) << "no gallery window";
    const RECT c = clientRectOnScreen(g);
    auto cellColour = [&](int n) {
        const auto [x, y] = gallerytest::cellOf(n);
        return screenPixel(c.left + x + 32, c.top + y + 32);
    };
    ASSERT_TRUE(waitUntil([&] { return viewertest::similarRgb(cellColour(1), 0x60A020, 12); }))
        << std::hex << "the second cell shows " << cellColour(1) << ", not the third photo";
    EXPECT_TRUE(viewertest::similarRgb(cellColour(0), 0x2060A0, 12));
    ASSERT_TRUE(settle(g));
    EXPECT_EQ(cellColour(2), screenPixel(c.left + 1000, c.top + 700)) << "a third cell was filled";
    postKey(g, VK_ESCAPE);
    EXPECT_EQ(p.waitExit(), 0u);
}
