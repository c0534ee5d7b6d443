// The gallery's grid painted into a canvas of this process, its notice
// when nothing can be shown, and the live GDI objects across repaints of
// the real gallery window.
#include "viewer/gallery.h"

#include "gallery_pictures.h"
#include "imaging/fixtures.h"
#include "imaging/area_average.h"
#include "imaging/decode.h"
#include "imaging/decode_probe.h"
#include "imaging/gdiplus_session.h"
#include "support/photos.h"
#include "support/test_support.h"
#include "base/handles.h"
#include "base/paths.h"
#include "util/popmsg.h"
#include "base/text.h"
#include "viewer/decoder.h"
#include "viewer/viewwin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

using namespace vistoro;
using gallerytest::cellOf;
using gallerytest::colourOf;
using testsupport::ScratchDir;
using viewertest::Pixels;

namespace {

constexpr std::uint32_t kSentinel = 0x123456;

// A 32-bit top-down DIB section larger than the grid, filled with the
// sentinel, so that paint outside the cells shows.
class Canvas {
  public:
    static constexpr int kW = 1100, kH = 840;
    Canvas() {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), kW, -kH, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        dc_ = CreateCompatibleDC(nullptr);
        bmp_ = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, reinterpret_cast<void **>(&bits_),
                                nullptr, 0);
        old_ = SelectObject(dc_, bmp_);
        for (int i = 0; i < kW * kH; ++i)
            bits_[i] = kSentinel;
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bmp_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    void fill(std::uint32_t colour) {
        for (int i = 0; i < kW * kH; ++i)
            bits_[i] = colour;
    }
    std::uint32_t at(int x, int y) const {
        GdiFlush();
        return bits_[y * kW + x] & 0xFFFFFF;
    }

  private:
    HDC dc_ = nullptr;
    HBITMAP bmp_ = nullptr;
    HGDIOBJ old_ = nullptr;
    std::uint32_t *bits_ = nullptr;
};

// Seam for the notice: records what would have been shown.
struct Told {
    std::string text, title;
};
std::vector<Told> told;
std::function<void()> whileTelling;
int recordBox(HWND, const std::string &text, const std::string &title, unsigned) {
    told.push_back({text, title});
    // Run once only: a box that opens again must show as a second call,
    // not recurse without end.
    if (auto once = std::exchange(whileTelling, nullptr))
        once();
    return IDOK;
}

class GalleryTest : public ::testing::Test {
  protected:
    void TearDown() override {
        setMessageBoxCall(nullptr);
        told.clear();
        whileTelling = nullptr;
    }
    std::string picture(const std::string &name, const Pixels &px) {
        const std::string path = lowerText(dir.file(name));
        EXPECT_TRUE(viewertest::writePicture(path, px, L"image/png")) << path;
        return path;
    }
    std::string damaged(const std::string &name) {
        const std::string path = lowerText(dir.file(name));
        testsupport::writeFile(path, "\x89PNG but nothing more");
        return path;
    }
    // n flat 10 x 10 pictures named p000.png on, coloured by their position.
    ImageList numbered(int n) {
        ImageList list;
        for (int i = 0; i < n; ++i) {
            char name[16];
            snprintf(name, sizeof name, "p%03d.png", i);
            list.push_back(picture(name, gallerytest::flat(10, 10, colourOf(i))));
        }
        return list;
    }
    // The 10 x 10 picture of colour c sits exactly at offset 27, 27 of cell n.
    ::testing::AssertionResult smallInCell(const Canvas &c, int n, std::uint32_t colour) {
        const auto [x, y] = cellOf(n);
        const struct {
            int dx, dy;
            bool inside;
        } probes[] = {{27, 27, true},  {36, 36, true},  {26, 27, false},
                      {27, 26, false}, {37, 36, false}, {36, 37, false}};
        for (const auto &p : probes) {
            const std::uint32_t got = c.at(x + p.dx, y + p.dy);
            if ((got == colour) != p.inside || (!p.inside && got != kSentinel))
                return ::testing::AssertionFailure()
                       << "cell " << n << " at " << p.dx << "," << p.dy << " is " << std::hex << got
                       << ", picture colour " << colour;
        }
        return ::testing::AssertionSuccess();
    }
    GdiplusSession session;
    ScratchDir dir{"glr"};
    TDialog dlg{{.cCaption = ""}};
};

} // namespace

TEST_F(GalleryTest, RowsOfSixteenCloseUpOverFilesThatCannotBeShown) {
    ImageList list = numbered(20);
    // A damaged picture and a file of no image type, among the others.
    list.insert(list.begin() + 5, damaged("p004x.png"));
    list.insert(list.begin() + 9, lowerText(dir.file("notes.txt")));
    testsupport::writeFile(list[9], "text");
    int endAsked = 0;
    dlg.bValid = [&endAsked](TWindow &) {
        ++endAsked;
        return true;
    };
    Canvas c;
    DRAWGLR(dlg, list, c.dc());
    for (int n = 0; n < 20; ++n)
        EXPECT_TRUE(smallInCell(c, n, colourOf(n)));
    // The second row holds four; its fifth cell stays empty.
    EXPECT_EQ(c.at(cellOf(20).x + 30, cellOf(20).y + 30), kSentinel);
    EXPECT_TRUE(told.empty());
    EXPECT_EQ(endAsked, 0) << "the gallery was ended although it showed pictures";
}

TEST_F(GalleryTest, EachSideIsCutToTheCellOnItsOwnAndThePictureCentred) {
    const Pixels own = viewertest::patterned(30, 20), full = viewertest::patterned(64, 64);
    const Pixels odd = viewertest::patterned(31, 33);
    const ImageList list = {
        picture("a.png", gallerytest::quarters(800, 600, 0xC01010, 0x10C010, 0x1010C0, 0xC0C010)),
        picture("b.png", gallerytest::quarters(100, 40, 0xA02020, 0x20A020, 0xA02020, 0x20A020)),
        picture("c.png", own),
        picture("d.png", full),
        picture("e.png", odd),
        picture("f.png", gallerytest::quarters(10, 90, 0x303090, 0x303090, 0x907030, 0x907030)),
    };
    Canvas c;
    DRAWGLR(dlg, list, c.dc());

    // 800 x 600: the whole picture squeezed into the whole cell.
    EXPECT_EQ(c.at(8, 8), 0xC01010u);
    EXPECT_EQ(c.at(56, 8), 0x10C010u);
    EXPECT_EQ(c.at(8, 56), 0x1010C0u);
    EXPECT_EQ(c.at(56, 56), 0xC0C010u);
    EXPECT_EQ(c.at(0, 0), 0xC01010u);
    EXPECT_EQ(c.at(63, 63), 0xC0C010u);

    // 100 x 40: 64 x 40 at rows 12 to 51 of the second cell.
    EXPECT_EQ(c.at(64, 11), kSentinel);
    EXPECT_EQ(c.at(64, 12), 0xA02020u);
    EXPECT_EQ(c.at(127, 51), 0x20A020u);
    EXPECT_EQ(c.at(127, 52), kSentinel);

    // Own size, pixel for pixel: 30 x 20 at 17, 22; 64 x 64 filling its
    // cell; 31 x 33 at 16, 15 (the odd half cut off).
    auto exactlyAt = [&](const Pixels &p, int x0, int y0) {
        const int w = static_cast<int>(p.width), h = static_cast<int>(p.height);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (c.at(x0 + x, y0 + y) != (p.at(x, y) & 0xFFFFFF)) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " of the " << w << " x " << h
                                  << " picture is " << std::hex << c.at(x0 + x, y0 + y);
                    return;
                }
        if (w < 64) { // the margins left and right stay as they were
            EXPECT_EQ(c.at(x0 - 1, y0), kSentinel);
            EXPECT_EQ(c.at(x0 + w, y0 + h - 1), kSentinel);
        }
        if (h < 64) {
            EXPECT_EQ(c.at(x0, y0 - 1), kSentinel);
            EXPECT_EQ(c.at(x0 + w - 1, y0 + h), kSentinel);
        }
    };
    exactlyAt(own, 128 + 17, 22);
    exactlyAt(full, 192, 0);
    exactlyAt(odd, 256 + 16, 15);

    // 10 x 90: 10 x 64, the height squeezed, centred across.
    EXPECT_EQ(c.at(320 + 26, 0), kSentinel);
    EXPECT_EQ(c.at(320 + 27, 0), 0x303090u);
    EXPECT_EQ(c.at(320 + 36, 63), 0x907030u);
    EXPECT_EQ(c.at(320 + 37, 63), kSentinel);
}

TEST_F(GalleryTest, PhotosOfEveryOrientationStandUprightInTheirCells) {
    // Landscape and portrait scenes in turn, each stored under one of the
    // eight orientations, in both byte orders.
    ImageList list;
    for (bool big : {false, true})
        for (int o = 1; o <= 8; ++o) {
            const bool wide = o % 2 == 1;
            const std::string path =
                lowerText(dir.file("exif" + std::to_string(o) + (big ? "mm" : "ii") + ".jpg"));
            ASSERT_TRUE(viewertest::writePhoto(
                path, testsupport::quarters(wide ? 48 : 32, wide ? 32 : 48), o, big));
            list.push_back(path);
        }
    Canvas c;
    DRAWGLR(dlg, list, c.dc());
    const std::uint32_t corners[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};
    for (int n = 0; n < 16; ++n) {
        const bool wide = (n % 8) % 2 == 0;
        const int w = wide ? 48 : 32, h = wide ? 32 : 48;
        const auto [x0, y0] = cellOf(n);
        for (int q = 0; q < 4; ++q) {
            const int x = x0 + (64 - w) / 2 + (q % 2 ? 3 : 1) * w / 4;
            const int y = y0 + (64 - h) / 2 + (q / 2 ? 3 : 1) * h / 4;
            EXPECT_TRUE(viewertest::similarRgb(c.at(x, y), corners[q], 24))
                << list[static_cast<std::size_t>(n)] << " quadrant " << q << ": " << std::hex << c.at(x, y);
        }
    }
}

TEST_F(GalleryTest, OnlyTheFirst192InListOrderAreShown) {
    const ImageList list = numbered(300);
    Canvas c;
    DRAWGLR(dlg, list, c.dc());
    for (int n = 0; n < 192; ++n)
        ASSERT_TRUE(smallInCell(c, n, colourOf(n)));
    // Below the twelfth row nothing is painted.
    for (int col = 0; col < 16; ++col)
        EXPECT_EQ(c.at(col * 64 + 30, 768 + 30), kSentinel) << "column " << col;
}

TEST_F(GalleryTest, NothingToShowIsToldOnceAndEndsTheGallery) {
    setMessageBoxCall(recordBox);
    const ImageList broken = {damaged("a.png"), damaged("b.jpg")};
    Canvas c;
    // The box's own loop repaints the gallery, which finds nothing again.
    whileTelling = [&] { DRAWGLR(dlg, broken, c.dc()); };
    DRAWGLR(dlg, broken, c.dc());
    ASSERT_EQ(told.size(), 1u) << "told more than once";
    EXPECT_EQ(told[0].text, "No image file found.");
    EXPECT_EQ(told[0].title, "ZELM Vistoro");
    EXPECT_EQ(dlg.nResult, 2);
    EXPECT_EQ(c.at(30, 30), kSentinel);

    // An empty folder as well.
    told.clear();
    whileTelling = nullptr;
    TDialog other({.cCaption = ""});
    DRAWGLR(other, {}, c.dc());
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].text, "No image file found.");
    EXPECT_EQ(other.nResult, 2);
}

namespace {
// The script run inside the gallery's modal loop by a thread timer.
struct Repaints {
    HWND gallery = nullptr;
    int step = 0;
    int baseline = 0, after = 0;
    std::uint32_t firstCell = 0;
    RECT placed{};
};
Repaints *script = nullptr;
// The grid is filled after the first paint, a file at a time; the objects
// the platform keeps from drawing the first cells are there only then.
bool gridFilled = false;
void noteFilled(int, bool lFinished) {
    if (lFinished)
        gridFilled = true;
}

BOOL CALLBACK findGallery(HWND w, LPARAM) {
    char cls[16] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (IsWindowVisible(w) && std::string(cls) == "#32770") {
        script->gallery = w;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK repaintTick(HWND, UINT, UINT_PTR id, DWORD) {
    Repaints &s = *script;
    if (!s.gallery) {
        EnumThreadWindows(GetCurrentThreadId(), findGallery, 0);
        if (!s.gallery || GetUpdateRect(s.gallery, nullptr, FALSE))
            return; // not yet there, or its first paint still waits
    }
    if (!gridFilled)
        return;
    auto repaint = [&] {
        RedrawWindow(s.gallery, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    };
    if (s.step == 0) {
        GetWindowRect(s.gallery, &s.placed);
        repaint(); // warm-up: what the platform caches once is counted
        s.baseline = testsupport::countMadeGdiObjects();
    } else if (s.step <= 40) {
        repaint();
    } else {
        s.after = testsupport::countMadeGdiObjects();
        HDC dc = GetDC(s.gallery);
        const COLORREF c = GetPixel(dc, 30, 30);
        ReleaseDC(s.gallery, dc);
        s.firstCell = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        KillTimer(nullptr, id);
        HWND focus = GetFocus();
        const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(VK_ESCAPE, 0)) << 16;
        PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 1 | scan);
        PostMessageA(focus, WM_KEYUP, VK_ESCAPE, 1 | scan | (3u << 30));
    }
    ++s.step;
}
} // namespace

TEST_F(GalleryTest, RepaintsOfTheGalleryWindowLeaveTheGdiObjectCountWhereItWas) {
    const ImageList list = numbered(30);
    picture("z-big.png", viewertest::sampleScene(900, 700, 3));
    damaged("q-broken.png");
    Repaints s;
    script = &s;
    gridFilled = false;
    setGalleryFillObserver(noteFilled);
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, repaintTick);
    GALLERY(list[3]); // returns once Esc has closed it
    KillTimer(nullptr, timer);
    setGalleryFillObserver(nullptr);
    script = nullptr;
    ASSERT_TRUE(s.gallery) << "no gallery window appeared";
    EXPECT_GT(s.step, 41) << "the gallery closed before the repaints were done";
    EXPECT_FALSE(IsWindow(s.gallery));
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(s.placed.right - s.placed.left, 1031);
    EXPECT_EQ(s.placed.bottom - s.placed.top, 775);
    EXPECT_EQ(s.placed.left, screenW / 2 - 1031 / 2);
    EXPECT_EQ(s.placed.top, screenH / 2 - 775 / 2);
    EXPECT_EQ(s.firstCell, colourOf(0)) << "the last repaint did not draw the first picture";
    EXPECT_GT(s.baseline, 0);
    EXPECT_EQ(s.after, s.baseline) << "GDI objects changed over 40 repaints";
    EXPECT_TRUE(told.empty());
}

namespace {
// The grid's part of the window as the screen shows it.
std::vector<std::uint32_t> gridOf(HWND wnd) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 1024, -768, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::uint32_t *bits = nullptr;
    UniqueBitmap dib(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS,
                                      reinterpret_cast<void **>(&bits), nullptr, 0));
    UniqueDC mem(CreateCompatibleDC(nullptr));
    std::vector<std::uint32_t> px;
    if (!dib || !mem)
        return px;
    {
        SelectGuard into(mem.get(), dib.get());
        WindowDC from(wnd);
        BitBlt(mem.get(), 0, 0, 1024, 768, from.get(), 0, 0, SRCCOPY);
        GdiFlush();
        for (int i = 0; i < 1024 * 768; ++i)
            px.push_back(bits[i] & 0xFFFFFF);
    }
    return px;
}

// What the fill reported last, and a script run once when it reports.
struct FillSeen {
    int cells = -1;
    bool finished = false;
    std::function<void()> atCell; // run once the count reaches atCount
    int atCount = 0;
};
FillSeen seen;
void observeFill(int nCells, bool lFinished) {
    seen.cells = nCells;
    seen.finished = seen.finished || lFinished;
    if (seen.atCell && (nCells >= seen.atCount || lFinished))
        std::exchange(seen.atCell, nullptr)();
}

HWND galleryWindow() {
    struct Find {
        static BOOL CALLBACK one(HWND w, LPARAM lp) {
            char cls[16] = {};
            GetClassNameA(w, cls, sizeof cls);
            if (IsWindowVisible(w) && std::string(cls) == "#32770") {
                *reinterpret_cast<HWND *>(lp) = w;
                return FALSE;
            }
            return TRUE;
        }
    };
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), Find::one, reinterpret_cast<LPARAM>(&found));
    return found;
}

void pressEsc(HWND gallery) {
    HWND focus = GetFocus() ? GetFocus() : gallery;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(VK_ESCAPE, 0)) << 16;
    PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 1 | scan);
    PostMessageA(focus, WM_KEYUP, VK_ESCAPE, 1 | scan | (3u << 30));
}

// Until the workers have nothing left and their last results are taken:
// what they made is counted only if it was kept.
void settleWorkers() {
    const DWORD until = GetTickCount() + 20000;
    MSG msg;
    do {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    } while (!backgroundDecoder().idle() && GetTickCount() < until && (Sleep(5), true));
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

struct ObserverScope {
    ObserverScope() { setGalleryFillObserver(observeFill); }
    ~ObserverScope() {
        setGalleryFillObserver(nullptr);
        seen = {};
    }
};
} // namespace

TEST_F(GalleryTest, EachCellShowsItsPictureAtTheKnownPlaceAndARepaintDecodesNothing) {
    // Sizes on both sides of the cell, odd ones, a damaged file among them,
    // and more than a row. Each picture is one flat colour of its own, so
    // that every pixel of its cell is known: the colour inside the place
    // written beside the size (left, top, width, height within the cell:
    // a side over 64 is shrunk to 64, a smaller one centred), the window's
    // background everywhere else.
    struct Case {
        long width, height;
        RECT place;
    };
    const Case cases[] = {{800, 600, {0, 0, 64, 64}}, {100, 40, {0, 12, 64, 40}},
                          {30, 20, {17, 22, 30, 20}}, {64, 64, {0, 0, 64, 64}},
                          {31, 33, {16, 15, 31, 33}}, {10, 90, {27, 0, 10, 64}},
                          {65, 63, {0, 0, 64, 63}},   {1, 1, {31, 31, 1, 1}},
                          {640, 48, {0, 8, 64, 48}},  {7, 200, {28, 0, 7, 64}}};
    ImageList list;
    for (int i = 0; i < 24; ++i) {
        char name[16];
        snprintf(name, sizeof name, "s%02d.png", i);
        const Case &c = cases[i % 10];
        list.push_back(picture(name, gallerytest::flat(c.width, c.height, colourOf(i))));
    }
    damaged("s05b.png");
    ObserverScope observing;
    struct Outcome {
        std::vector<std::uint32_t> filled, repainted;
        unsigned long decodesFilled = 0, decodesRepainted = 0;
    } out;
    seen.atCount = 1000; // at the end of the fill only
    seen.atCell = [&] {
        HWND g = galleryWindow();
        ASSERT_TRUE(g);
        out.filled = gridOf(g);
        out.decodesFilled = decodesBegun();
        for (int i = 0; i < 2; ++i)
            RedrawWindow(g, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        out.repainted = gridOf(g);
        out.decodesRepainted = decodesBegun();
        pressEsc(g);
    };
    GALLERY(list[0]);
    ASSERT_TRUE(seen.finished) << "the fill never ended";
    EXPECT_EQ(seen.cells, 24);
    EXPECT_EQ(out.decodesRepainted, out.decodesFilled) << "a repaint decoded files again";
    ASSERT_EQ(out.filled.size(), 1024u * 768u);
    ASSERT_EQ(out.repainted, out.filled) << "a repaint changed the grid";
    // Past the last picture the window shows its background only.
    const std::uint32_t background = out.filled[700 * 1024 + 1000];
    for (int n = 0; n < 24; ++n) {
        const auto [cellX, cellY] = cellOf(n);
        const RECT &r = cases[n % 10].place;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const bool inside =
                    x >= r.left && x < r.left + r.right && y >= r.top && y < r.top + r.bottom;
                ASSERT_EQ(out.filled[(cellY + y) * 1024 + cellX + x],
                          inside ? colourOf(n) : background)
                    << "picture " << n << " at " << x << "," << y << " of its cell";
            }
    }
}

TEST_F(GalleryTest, EscWhileTheGridFillsClosesAtOnceAndLeavesNothing) {
    // Large enough that each takes a tick of its own; copies of two files.
    ImageList list = {picture("a00.png", viewertest::sampleScene(1400, 1000, 1)),
                      picture("a01.png", viewertest::sampleScene(1400, 1000, 2))};
    for (int i = 2; i < 60; ++i) {
        char name[16];
        snprintf(name, sizeof name, "a%02d.png", i);
        list.push_back(lowerText(dir.file(name)));
        ASSERT_TRUE(CopyFileA(list[i % 2].c_str(), list.back().c_str(), FALSE));
    }
    ObserverScope observing;
    // Once through to the end, for what the platform keeps after a first use.
    seen.atCount = 1;
    seen.atCell = [] { pressEsc(galleryWindow()); };
    GALLERY(list[0]);
    ASSERT_GE(seen.cells, 1);
    settleWorkers();

    seen = {};
    const int before = testsupport::countMadeGdiObjects();
    int cellsAtEsc = 0;
    HWND gallery = nullptr;
    seen.atCount = 3;
    seen.atCell = [&] {
        gallery = galleryWindow();
        cellsAtEsc = seen.cells;
        pressEsc(gallery);
    };
    GALLERY(list[0]);
    ASSERT_TRUE(gallery);
    EXPECT_FALSE(IsWindow(gallery));
    EXPECT_FALSE(seen.finished) << "the whole folder was filled before the gallery closed";
    EXPECT_LE(seen.cells, cellsAtEsc + 1) << "cells went on being filled after Esc";
    settleWorkers();
    EXPECT_EQ(testsupport::countMadeGdiObjects(), before) << "GDI objects left by a closed gallery";
    // No timer survives the window: nothing is decoded any more.
    const unsigned long decodes = decodesBegun();
    const DWORD until = GetTickCount() + 200;
    MSG msg;
    while (GetTickCount() < until) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(10);
    }
    EXPECT_EQ(decodesBegun(), decodes);
}

TEST_F(GalleryTest, TheWorkersFillTheGridThatDrawingHereWouldAndTheWindowsThreadDecodesNone) {
    // Pictures stretched, shrunk and at their own size, one that lets the
    // background through, a JPEG, and files that take no cell between them.
    Pixels seeThrough = viewertest::sampleScene(90, 50, 7);
    for (std::size_t i = 0; i < seeThrough.px.size(); ++i)
        seeThrough.px[i] = (seeThrough.px[i] & 0xFFFFFF) | static_cast<std::uint32_t>(i * 37 % 256) << 24;
    const std::string alpha = lowerText(dir.file("c.png"));
    ASSERT_TRUE(viewertest::writePicture(alpha, seeThrough, L"image/png", true));
    const std::string jpeg = lowerText(dir.file("e.jpg"));
    ASSERT_TRUE(viewertest::writePicture(jpeg, viewertest::sampleScene(640, 480, 5), L"image/jpeg"));
    const ImageList kinds = {picture("a.png", viewertest::sampleScene(300, 200, 1)),
                             picture("b.png", viewertest::sampleScene(50, 90, 2)),
                             alpha,
                             damaged("d.png"),
                             jpeg,
                             picture("f.png", viewertest::sampleScene(64, 64, 4)),
                             picture("g.png", viewertest::sampleScene(7, 100, 6))};
    // Copies of them, for a second row and the cells that come out of turn.
    for (int i = 0; i < 21; ++i) {
        const std::string &from = kinds[static_cast<std::size_t>(i % 7)];
        const std::string copy = lowerText(dir.file("z" + std::to_string(10 + i) + "-" + nameOf(from)));
        ASSERT_TRUE(CopyFileA(from.c_str(), copy.c_str(), FALSE));
    }
    const ImageList list = AFILE(folderPart(kinds[0]));

    ObserverScope observing;
    std::vector<std::uint32_t> filled;
    seen.atCount = 1000; // at the end of the fill only
    seen.atCell = [&] {
        HWND g = galleryWindow();
        ASSERT_TRUE(g);
        filled = gridOf(g);
        pressEsc(g);
    };
    const unsigned long decodedHere = decodesBegunOnThisThread();
    GALLERY(list[0]);
    EXPECT_EQ(decodesBegunOnThisThread(), decodedHere) << "the window's thread decoded cells";
    ASSERT_TRUE(seen.finished);
    ASSERT_EQ(filled.size(), 1024u * 768u);

    // Every file decoded and drawn on this thread, over the same background.
    Canvas c;
    c.fill(filled[700 * 1024 + 1000]);
    DRAWGLR(dlg, list, c.dc());
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x)
            ASSERT_EQ(filled[static_cast<std::size_t>(y * 1024 + x)], c.at(x, y))
                << "at " << x << "," << y;
    settleWorkers();
}

namespace {
std::string jpegBytes(const Pixels &p, const ScratchDir &dir) {
    const std::string path = dir.file("thumbnail.jpg");
    EXPECT_TRUE(viewertest::writePicture(path, p, L"image/jpeg"));
    return testsupport::readFile(path);
}
} // namespace

TEST_F(GalleryTest, APhotosCellComesFromItsThumbnailOnlyWhenTheThumbnailShowsTheWholePhoto) {
    constexpr std::uint32_t kRed = 0xFF0000, kBlue = 0x0000FF;
    const COLORREF background = RGB(1, 2, 3);
    // A red photo of 300 x 200 (3:2); its thumbnails blue, of the photo's
    // proportions within a pixel or of others (a crop that kept the old one).
    const std::string photo = lowerText(dir.file("photo.jpg"));
    ASSERT_TRUE(viewertest::writePicture(photo, gallerytest::flat(300, 200, kRed), L"image/jpeg"));
    const std::string stored = testsupport::readFile(photo);
    const struct {
        long w, h;
        std::uint32_t cell;
    } cases[] = {{60, 40, kBlue}, {61, 40, kBlue}, {60, 41, kBlue},
                 {60, 42, kRed},  {60, 60, kRed},  {80, 40, kRed}};
    for (const auto &k : cases) {
        const std::string thumb = jpegBytes(gallerytest::flat(k.w, k.h, kBlue), dir);
        testsupport::writeFile(photo, testsupport::withExif(stored, {1, false, 0, thumb}));
        DecodeOutcome cell = makeGalleryCell(photo, background);
        ASSERT_TRUE(cell.bitmap) << k.w << "x" << k.h;
        EXPECT_EQ(cell.width, 64);
        EXPECT_EQ(cell.height, 64);
        Canvas c;
        DRAWIMG(c.dc(), cell.bitmap.get(), 0, 0, 64, 64);
        EXPECT_TRUE(viewertest::similarRgb(c.at(32, 32), k.cell, 24))
            << "thumbnail " << k.w << "x" << k.h << ": " << std::hex << c.at(32, 32);
    }

    // A phone's portrait: stored on its side under orientation 6, its cell
    // upright from the thumbnail, and sized as the upright photo (40 x 60
    // keeps its width and is cut to 64 in height).
    const Pixels upright = testsupport::quarters(40, 60);
    ASSERT_TRUE(viewertest::writePicture(photo, testsupport::storedFor(gallerytest::flat(40, 60, kRed), 6),
                                         L"image/jpeg"));
    const std::string thumb = jpegBytes(testsupport::storedFor(upright, 6), dir);
    testsupport::writeFile(photo, testsupport::withExif(testsupport::readFile(photo), {6, true, 0, thumb}));
    DecodeOutcome cell = makeGalleryCell(photo, background);
    ASSERT_TRUE(cell.bitmap);
    EXPECT_EQ(cell.width, 40);
    EXPECT_EQ(cell.height, 60);
    Canvas c;
    DRAWIMG(c.dc(), cell.bitmap.get(), 0, 0, 40, 60);
    const std::uint32_t corners[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};
    for (int q = 0; q < 4; ++q)
        EXPECT_TRUE(viewertest::similarRgb(c.at(q % 2 ? 30 : 10, q / 2 ? 45 : 15), corners[q], 24))
            << "quadrant " << q << ": " << std::hex << c.at(q % 2 ? 30 : 10, q / 2 ? 45 : 15);
}

namespace {
// A photo's noise around smooth colours, away from black and white so that
// no decode clips it.
Pixels noisyPhoto(long width, long height) {
    Pixels p{width, height, {}};
    std::uint32_t noise = 7;
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x) {
            std::uint32_t word = 0xFF000000u;
            for (int c = 0; c < 3; ++c) {
                noise = noise * 1103515245u + 12345u;
                const long smooth = 60 + (c == 0   ? x * 130 / width
                                          : c == 1 ? y * 130 / height
                                                   : 70);
                word |= static_cast<std::uint32_t>(smooth + static_cast<long>(noise >> 25) - 64)
                        << (8 * c);
            }
            p.px.push_back(word);
        }
    return p;
}
} // namespace

TEST_F(GalleryTest, APhotosCellIsTheAverageOfThePhotoAndComesOnlyFromOneTheViewerOpens) {
    // No thumbnail: the cell comes from the JPEG's one-eighth picture, and
    // must be what averaging the whole decode down to the cell gives, not
    // one noisy pixel of each block.
    const std::string photo = lowerText(dir.file("noisy.jpg"));
    ASSERT_TRUE(viewertest::writePicture(photo, noisyPhoto(1200, 900), L"image/jpeg"));
    const DecodeOutcome cell = makeGalleryCell(photo, RGB(1, 2, 3));
    ASSERT_TRUE(cell.bitmap);
    ASSERT_EQ(cell.width, 64);
    ASSERT_EQ(cell.height, 64);
    const UniqueBitmap whole(LOADIMG(photo));
    const UniqueBitmap reference = reducedSection(whole.get(), 64, 64);
    ASSERT_TRUE(reference);
    const Pixels got = viewertest::readPixels(cell.bitmap.get());
    const Pixels want = viewertest::readPixels(reference.get());
    ASSERT_EQ(got.px.size(), want.px.size());
    double levels = 0;
    for (std::size_t i = 0; i < got.px.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8)
            levels += std::abs(static_cast<int>((got.px[i] >> shift) & 0xFF) -
                               static_cast<int>((want.px[i] >> shift) & 0xFF));
    EXPECT_LE(levels / (got.px.size() * 3.0), 4.0) << "mean levels from the area average";

    // The same photo declaring a frame past what the program takes opens
    // nowhere, so it takes no cell either.
    std::string bytes = testsupport::readFile(photo);
    const std::size_t frame = bytes.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    bytes.replace(frame + 5, 4, "\x4E\x20\x4E\x20"); // 20000 x 20000
    const std::string tooLarge = lowerText(dir.file("toolarge.jpg"));
    testsupport::writeFile(tooLarge, bytes);
    EXPECT_FALSE(LOADIMAGE(tooLarge, false));
    EXPECT_FALSE(makeGalleryCell(tooLarge, RGB(1, 2, 3)).bitmap);

    // Forms the one-eighth reader leaves alone take their cell from the
    // whole decode, as long as the viewer opens them.
    for (const char *form : {"eighth-arithmetic.jpg", "eighth-cmyk.jpg"}) {
        const std::string file = lowerText(dir.file(form));
        testsupport::writeFile(file, testsupport::readFile(imgtest::fixture(form)));
        const UniqueBitmap opened(LOADIMAGE(file, false));
        EXPECT_EQ(static_cast<bool>(makeGalleryCell(file, RGB(1, 2, 3)).bitmap),
                  static_cast<bool>(opened))
            << form;
    }
}
