// What a person sees of the viewer: the window, its picture, the keys,
// turning, zooming, dragging and closing, driven from outside the process.
#include "harness/harness.h"
#include "imaging/gdiplus_session.h"
#include "pixels.h"
#include "support/test_support.h"
#include "viewer_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using namespace harness;
using testsupport::ScratchDir;
using viewertest::Pixels;
using namespace viewere2e;

namespace {

class ViewerE2E : public ::testing::Test {
  protected:
    std::string picture(const std::string &name, long w, long h, int seed = 1) {
        const std::string path = dir.file(name);
        const Pixels px = viewertest::sampleScene(w, h, seed);
        const bool bmp = name.size() > 4 && lower(name.substr(name.size() - 4)) == ".bmp";
        EXPECT_TRUE(viewertest::writePicture(path, px, bmp ? L"image/bmp" : L"image/png")) << path;
        return path;
    }
    vistoro::GdiplusSession session;
    ScratchDir dir{"view"};
};

} // namespace

TEST_F(ViewerE2E, PictureIsShownOneToOneInACentredWindowAndEscEnds) {
    const std::string path = picture("Big Scene.PNG", 640, 480, 5);
    Process p(kExe, {path});
    HWND w = viewer(p, path);
    ASSERT_TRUE(w) << "no viewing window titled with the lower-case path";
    EXPECT_TRUE(placedAt(w, centredFor(640, 480)));
    EXPECT_EQ(placementOf(w).width, 647);
    EXPECT_EQ(placementOf(w).height, 487);
    EXPECT_TRUE(showsPixels(w, viewertest::sampleScene(640, 480, 5)));
    closeWithEsc(p, w);
}

TEST_F(ViewerE2E, PictureLargerThanTheScreenIsNotScaled) {
    const std::string path = picture("huge.png", 2000, 1200);
    Process p(kExe, {path});
    HWND w = viewer(p, path);
    ASSERT_TRUE(w);
    EXPECT_TRUE(placedAt(w, centredFor(2000, 1200)));
    EXPECT_LT(placementOf(w).left, 0);
    closeWithEsc(p, w);
}

TEST_F(ViewerE2E, KeysStepThroughTheFolderSkippingADamagedPicture) {
    // 25 pictures whose sizes tell them apart; the 7th is damaged.
    std::vector<std::string> files;
    for (int i = 1; i <= 25; ++i) {
        char name[16];
        snprintf(name, sizeof name, "img%02d.bmp", i);
        if (i == 7) {
            files.push_back(dir.file(name));
            testsupport::writeFile(files.back(), "BM but nothing more");
        } else {
            files.push_back(picture(name, 100 + 4 * i, 80 + 2 * i, i));
        }
    }
    auto at = [&](int i) { return "ZELM Vistoro - " + lower(files[static_cast<size_t>(i - 1)]); };
    auto fits = [&](int i) { return centredFor(100 + 4 * i, 80 + 2 * i); };

    Process p(kExe, {dir.path() + "\\"});
    HWND w = viewer(p, files[0]);
    ASSERT_TRUE(w);
    EXPECT_TRUE(placedAt(w, fits(1)));

    struct Move {
        WORD key;
        int lands;
    };
    const Move moves[] = {
        {VK_UP, 1},    // at the start: nothing
        {VK_DOWN, 2},  {VK_NEXT, 12}, {VK_PRIOR, 2}, {VK_END, 25},
        {VK_DOWN, 25}, // at the end: nothing
        {VK_PRIOR, 15}, {VK_HOME, 1}, {VK_NEXT, 11}, {VK_PRIOR, 1},
    };
    for (const Move &m : moves) {
        const std::string before = title(w);
        typeKey(w, m.key);
        // A key that changes nothing shows nothing either: only once the
        // window has taken it does the title say it stayed.
        if (before == at(m.lands)) {
            ASSERT_TRUE(settle(w)) << "key " << m.key;
        }
        EXPECT_TRUE(titled(w, at(m.lands))) << "key " << m.key;
        EXPECT_TRUE(placedAt(w, fits(m.lands))) << "key " << m.key;
    }
    // 6 → 8 over the damaged 7, and back.
    for (int i = 2; i <= 6; ++i) {
        typeKey(w, VK_DOWN);
        ASSERT_TRUE(titled(w, at(i))); // a key pressed while one runs is dropped
    }
    typeKey(w, VK_DOWN);
    EXPECT_TRUE(titled(w, at(8)));
    EXPECT_TRUE(placedAt(w, fits(8)));
    typeKey(w, VK_UP);
    EXPECT_TRUE(titled(w, at(6)));
    // S picks a picture of the folder that loads.
    typeKey(w, 'S');
    ASSERT_TRUE(settle(w));
    const std::string picked = title(w);
    bool known = false;
    for (int i = 1; i <= 25; ++i)
        known |= i != 7 && picked == at(i);
    EXPECT_TRUE(known) << picked;
    closeWithEsc(p, w);
}

TEST_F(ViewerE2E, WhenEveryLaterEntryIsDamagedTheSamePictureComesBackCentred) {
    picture("a.bmp", 120, 90);
    const std::string b = picture("b.bmp", 200, 150, 2);
    testsupport::writeFile(dir.file("c.png"), "not a png");
    testsupport::writeFile(dir.file("d.jpg"), "not a jpeg");
    Process p(kExe, {b});
    HWND w = viewer(p, b);
    ASSERT_TRUE(w);
    ASSERT_TRUE(placedAt(w, centredFor(200, 150)));
    // Moved away first, so that the re-centring shows.
    Placement home = placementOf(w);
    ASSERT_TRUE(drag(home.left + 50, home.top + 50, home.left + 150, home.top + 110, true));
    EXPECT_TRUE(placedAt(w, {home.left + 100, home.top + 60, home.width, home.height}));
    // The same picture comes back, so only the caption marker shows the end.
    pressAndWaitForTheCommand(w, VK_DOWN);
    EXPECT_TRUE(placedAt(w, centredFor(200, 150)));
    EXPECT_TRUE(titled(w, "ZELM Vistoro - " + lower(b)));
    EXPECT_TRUE(showsPixels(w, viewertest::sampleScene(200, 150, 2)));
    typeKey(w, VK_UP);
    EXPECT_TRUE(titled(w, "ZELM Vistoro - " + lower(dir.file("a.bmp"))));
    closeWithEsc(p, w);
}

TEST_F(ViewerE2E, NextPictureOfTheSameSizeIsPaintedInTheSamePlace) {
    const std::string a = picture("a.png", 200, 150, 4);
    picture("b.png", 200, 150, 5);
    Process p(kExe, {a});
    HWND w = viewer(p, a);
    ASSERT_TRUE(w);
    ASSERT_TRUE(showsPixels(w, viewertest::sampleScene(200, 150, 4)));
    pressAndWaitForTheCommand(w, VK_DOWN);
    EXPECT_TRUE(placedAt(w, centredFor(200, 150)));
    EXPECT_TRUE(showsPixels(w, viewertest::sampleScene(200, 150, 5)));
    closeWithEsc(p, w);
}

TEST_F(ViewerE2E, FolderWhoseFirstEntryDoesNotLoadStartsOnTheFirstThatDoes) {
    testsupport::writeFile(dir.file("a-broken.png"), "broken");
    CreateDirectoryA(dir.file("b-folder.jpg").c_str(), nullptr);
    const std::string c = picture("c-good.bmp", 90, 60);
    Process p(kExe, {dir.path() + "\\"});
    HWND w = viewer(p, c);
    ASSERT_TRUE(w) << "the program did not start on the first picture that loads";
    EXPECT_TRUE(windowsOf(p.pid(), "#32770").size() == 1) << "a notice was shown";
    closeWithEsc(p, w);
}

TEST_F(ViewerE2E, LeftAndRightTurnThePictureInMemoryOnly) {
    const std::string path = picture("turn.png", 640, 480, 9);
    picture("zz-next.png", 300, 200, 3);
    const std::string before = testsupport::readFile(path);
    const Pixels px = viewertest::sampleScene(640, 480, 9);
    Process p(kExe, {path});
    HWND w = viewer(p, path);
    ASSERT_TRUE(w);
    ASSERT_TRUE(placedAt(w, centredFor(640, 480)));

    pressAndWaitForTheCommand(w, VK_LEFT);
    EXPECT_TRUE(placedAt(w, centredFor(480, 640)));
    EXPECT_EQ(placementOf(w).width, 487);
    EXPECT_EQ(placementOf(w).height, 647);
    EXPECT_TRUE(showsPixels(w, turnedLeft(px)));
    pressAndWaitForTheCommand(w, VK_RIGHT);
    EXPECT_TRUE(placedAt(w, centredFor(640, 480)));
    EXPECT_TRUE(showsPixels(w, px));

    // Turned, then away and back: shown as stored.
    pressAndWaitForTheCommand(w, VK_RIGHT);
    EXPECT_TRUE(placedAt(w, centredFor(480, 640)));
    pressAndWaitForTheCommand(w, VK_DOWN);
    EXPECT_TRUE(placedAt(w, centredFor(300, 200)));
    pressAndWaitForTheCommand(w, VK_UP);
    EXPECT_TRUE(placedAt(w, centredFor(640, 480)));
    EXPECT_TRUE(showsPixels(w, px));
    closeWithEsc(p, w);
    EXPECT_EQ(testsupport::readFile(path), before);
}

TEST_F(ViewerE2E, ReleasingTheButtonOverAnotherWindowEndsTheDrag) {
    const std::string path = picture("drag.png", 200, 150);
    Process p(kExe, {path});
    HWND w = viewer(p, path);
    ASSERT_TRUE(w);
    ASSERT_TRUE(placedAt(w, centredFor(200, 150)));
    const Placement start = placementOf(w);
    // A window of this process, away from the viewer, to release over.
    HWND other = CreateWindowExA(WS_EX_TOPMOST | WS_EX_NOACTIVATE, "STATIC", "other", WS_POPUP,
                                 100, 100, 300, 300, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(other);
    ShowWindow(other, SW_SHOWNOACTIVATE);
    // As after a person's click: the viewer is the foreground window.
    bringToFront(w);
    const int fromX = start.left + 50, fromY = start.top + 50;
    ASSERT_TRUE(drag(fromX, fromY, 250, 250, true));
    const Placement dropped{start.left + 250 - fromX, start.top + 250 - fromY, start.width,
                            start.height};
    EXPECT_TRUE(placedAt(w, dropped));
    // The pointer moves on; the window must stay where it was let go.
    moveMouse(700, 900);
    ASSERT_TRUE(settle(w));
    moveMouse(750, 950);
    ASSERT_TRUE(settle(w));
    EXPECT_TRUE(placedAt(w, dropped));
    DestroyWindow(other);
    closeWithEsc(p, w);
}

namespace {
HWND zoomWindow(Process &p, HWND viewing) {
    HWND found = nullptr;
    waitUntil([&] {
        for (HWND w : windowsOf(p.pid(), "#32770"))
            if (w != viewing)
                found = w;
        return found != nullptr;
    }, Millis{5000});
    return found;
}
// Space on the viewing window, then its zoom window once it appears.
HWND spaceToZoom(Process &p, HWND viewing) {
    typeKey(viewing, VK_SPACE);
    return zoomWindow(p, viewing);
}
// Closed for good: destroyed, so the command that opened it has returned.
bool gone(HWND w) {
    return waitUntil([&] { return !IsWindow(w); }, Millis{3000});
}
} // namespace

TEST_F(ViewerE2E, SpaceZoomsToTheDesktopAndEveryWayOfClosingBringsTheViewerBack) {
    const std::string path = picture("zoom.png", 800, 600);
    Process p(kExe, {path});
    HWND w = viewer(p, path);
    ASSERT_TRUE(w);
    ASSERT_TRUE(placedAt(w, centredFor(800, 600)));
    const Placement home = placementOf(w);

    auto open = [&] {
        HWND z = spaceToZoom(p, w);
        EXPECT_TRUE(z) << "no zoom window";
        if (z) {
            EXPECT_TRUE(placedAt(z, centredFor(1440, 1080)));
            EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(w); }, Millis{5000}))
                << "the viewing window stayed visible";
        }
        return z;
    };
    auto backUnchanged = [&] {
        EXPECT_TRUE(waitUntil([&] { return IsWindowVisible(w) != FALSE; }, Millis{5000}));
        EXPECT_TRUE(placedAt(w, home));
        EXPECT_TRUE(titled(w, "ZELM Vistoro - " + lower(path)));
    };

    HWND z = open();
    ASSERT_TRUE(z);
    typeKey(z, VK_SPACE);
    EXPECT_TRUE(gone(z));
    backUnchanged();

    z = open();
    ASSERT_TRUE(z);
    typeKey(z, VK_ESCAPE);
    EXPECT_TRUE(gone(z));
    backUnchanged();

    z = open();
    ASSERT_TRUE(z);
    const Placement zp = placementOf(z);
    // Dragging does not move it.
    drag(zp.left + 300, zp.top + 300, zp.left + 400, zp.top + 350);
    ASSERT_TRUE(settle(z));
    EXPECT_TRUE(placedAt(z, zp));
    // The close menu: dismissed, the window stays; chosen, it closes.
    HWND menu = openContextMenu(p.pid(), z, 200, 200);
    ASSERT_TRUE(menu) << "no close menu";
    postKey(menu, VK_ESCAPE);
    EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(menu); }, Millis{3000}));
    ASSERT_TRUE(settle(z));
    EXPECT_TRUE(IsWindowVisible(z));
    menu = openContextMenu(p.pid(), z, 200, 200);
    ASSERT_TRUE(menu);
    postKey(menu, VK_DOWN);
    postKey(menu, VK_RETURN);
    EXPECT_TRUE(gone(z));
    backUnchanged();
    closeWithEsc(p, w);
}

TEST_F(ViewerE2E, ZoomSizeFollowsThePicturesShape) {
    const std::string wide = picture("a-wide.png", 4000, 1000);
    picture("b-small.png", 100, 50);
    Process p(kExe, {wide});
    HWND w = viewer(p, wide);
    ASSERT_TRUE(w);
    HWND z = spaceToZoom(p, w);
    ASSERT_TRUE(z);
    EXPECT_TRUE(placedAt(z, centredFor(1920, 480)));
    typeKey(z, VK_SPACE);
    ASSERT_TRUE(gone(z));
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(w) != FALSE; }, Millis{5000}));
    pressAndWaitForTheCommand(w, VK_DOWN);
    ASSERT_TRUE(placedAt(w, centredFor(100, 50)));
    z = spaceToZoom(p, w);
    ASSERT_TRUE(z);
    EXPECT_TRUE(placedAt(z, centredFor(1920, 960)));
    typeKey(z, VK_ESCAPE);
    ASSERT_TRUE(gone(z));
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(w) != FALSE; }, Millis{5000}));
    closeWithEsc(p, w);
}

namespace {
// One-pixel columns of the two colours in turn, or a checkerboard of them.
Pixels stripes(long width, long height, std::uint32_t a, std::uint32_t b, bool checked) {
    Pixels p{width, height, {}};
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x)
            p.px.push_back((x + (checked ? y : 0)) % 2 ? b : a);
    return p;
}
// A part of the zoom window's picture in the middle of the screen.
std::vector<DWORD> zoomCentre(HWND z) {
    const RECT c = clientRectOnScreen(z);
    const int x = (c.left + c.right) / 2, y = (c.top + c.bottom) / 2;
    return screenPixels({x - 100, y - 60, x + 100, y + 60});
}
} // namespace

TEST_F(ViewerE2E, TheZoomWindowKeepsPixelsSharpWhenLargerAndAveragesAPictureItMakesSmaller) {
    // 96 x 54 on a 1920 x 1080 desktop: each pixel a block of 20 x 20.
    const std::string checks = dir.file("a-checks.png");
    ASSERT_TRUE(viewertest::writePicture(checks, stripes(96, 54, 0xFFC01010, 0xFF1010C0, true),
                                         L"image/png"));
    // 3840 x 2160: each zoom pixel covers one black and one white column,
    // which averaged is grey; one pixel of each pair kept would show one of them.
    ASSERT_TRUE(viewertest::writePicture(dir.file("b-stripes.png"),
                                         stripes(3840, 2160, 0xFF000000, 0xFFFFFFFF, false),
                                         L"image/png"));
    Process p(kExe, {checks});
    HWND w = viewer(p, checks);
    ASSERT_TRUE(w);
    HWND z = spaceToZoom(p, w);
    ASSERT_TRUE(z);
    ASSERT_TRUE(placedAt(z, centredFor(1920, 1080)));
    // Only the two colours, changing at the blocks' edges and nowhere else.
    std::vector<DWORD> seen;
    const RECT c = clientRectOnScreen(z);
    const auto sharp = [&] {
        seen = screenPixels({c.left + 200, c.top + 200, c.left + 400, c.top + 260});
        for (std::size_t i = 0; i < seen.size(); ++i) {
            const long x = 200 + static_cast<long>(i % 200), y = 200 + static_cast<long>(i / 200);
            if (seen[i] != (((x / 20 + y / 20) % 2) ? 0x1010C0u : 0xC01010u))
                return false;
        }
        return !seen.empty();
    };
    EXPECT_TRUE(waitUntil(sharp, Millis{5000})) << "the enlarged picture is not in sharp blocks";
    typeKey(z, VK_SPACE);
    ASSERT_TRUE(gone(z)); // the command has ended: keys are taken again
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(w) != FALSE; }, Millis{5000}));

    pressAndWaitForTheCommand(w, VK_DOWN);
    z = spaceToZoom(p, w);
    ASSERT_TRUE(z);
    ASSERT_TRUE(placedAt(z, centredFor(1920, 1080)));
    const auto grey = [](DWORD colour) {
        for (int shift = 0; shift < 24; shift += 8)
            if (((colour >> shift) & 0xFF) < 120 || ((colour >> shift) & 0xFF) > 136)
                return false;
        return true;
    };
    EXPECT_TRUE(waitUntil(
        [&] {
            seen = zoomCentre(z);
            return !seen.empty() && std::all_of(seen.begin(), seen.end(), grey);
        },
        Millis{5000}))
        << "a zoom pixel is " << std::hex << (seen.empty() ? 0 : seen.front());
    typeKey(z, VK_ESCAPE);
    EXPECT_TRUE(gone(z));
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(w) != FALSE; }, Millis{5000}));
    closeWithEsc(p, w);
}

TEST_F(ViewerE2E, NoticesForFirstFilesThatCannotBeShown) {
    testsupport::writeFile(dir.file("notes.txt"), "text");
    testsupport::writeFile(dir.file("broken.Png"), "not a picture");
    testsupport::writeFile(dir.file("noext"), "x");
    {
        Process p(kExe, {dir.file("notes.txt")});
        expectNotice(p, "TXT format not supported.");
    }
    {
        Process p(kExe, {dir.file("broken.Png")});
        expectNotice(p, "Invalid or unsupported PNG file.");
    }
    {
        // " format not supported.": the box trims the leading blank.
        Process p(kExe, {dir.file("noext")});
        expectNotice(p, "format not supported.");
    }
}

namespace {
constexpr std::uint32_t kRed = 0xFFFF0000u;
// 10 opaque blue pixels round a wholly transparent centre.
Pixels framedHole(long w, long h) {
    Pixels p{w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w * h), 0)};
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x)
            if (x < 10 || y < 10 || x >= w - 10 || y >= h - 10)
                p.px[static_cast<std::size_t>(y * w + x)] = 0xFF0000FFu;
    return p;
}
Pixels plain(long w, long h, std::uint32_t colour) {
    return {w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w * h), colour)};
}
} // namespace

// What a transparent picture lets through must be the window's background,
// never the picture shown before it, whichever way it was reached.
class SeeThroughE2E : public ViewerE2E {
  protected:
    void write(const std::string &name, const Pixels &px) {
        EXPECT_TRUE(viewertest::writePicture(dir.file(name), px, L"image/png", true)) << name;
    }
    // The client pixels inside the picture's 10-pixel border.
    std::vector<DWORD> centre(HWND w, int picW, int picH) {
        const RECT c = clientRectOnScreen(w);
        return screenPixels({c.left + 10, c.top + 10, c.left + picW - 10, c.top + picH - 10});
    }
    // The window fits the picture and its centre is all the background.
    ::testing::AssertionResult showsBackgroundThrough(HWND w, int picW, int picH) {
        if (!waitUntil(
                [&] {
                    return placementOf(w).width == picW + 7 && placementOf(w).height == picH + 7;
                },
                Millis{5000}))
            return ::testing::AssertionFailure()
                   << "the window never fitted " << picW << "x" << picH;
        std::vector<DWORD> got;
        std::size_t wrong = 0;
        waitUntil(
            [&] {
                got = centre(w, picW, picH);
                wrong = 0;
                while (wrong < got.size() && got[wrong] == background)
                    ++wrong;
                return wrong == got.size();
            },
            Millis{3000});
        if (!got.empty() && wrong == got.size())
            return ::testing::AssertionSuccess();
        const long cw = picW - 20;
        char colours[64];
        snprintf(colours, sizeof colours, " is %06lx, the window's background %06lx",
                 got.empty() ? 0ul : static_cast<unsigned long>(got[wrong]),
                 static_cast<unsigned long>(background));
        return ::testing::AssertionFailure()
               << "centre pixel " << 10 + static_cast<long>(wrong) % cw << ","
               << 10 + static_cast<long>(wrong) / cw << colours;
    }
    // The background as the picture opened directly shows it.
    void learnBackground(const std::string &path, int picW, int picH) {
        Process p(kExe, {path});
        HWND w = viewer(p, path);
        ASSERT_TRUE(w);
        ASSERT_TRUE(placedAt(w, centredFor(picW, picH)));
        ASSERT_TRUE(settle(w));
        const std::vector<DWORD> px = centre(w, picW, picH);
        ASSERT_FALSE(px.empty());
        background = px.front();
        for (DWORD c : px)
            ASSERT_EQ(c, background) << "the directly opened centre is not one colour";
        ASSERT_NE(background, kRed & 0xFFFFFF);
        ASSERT_NE(background, 0x0000FFu);
        closeWithEsc(p, w);
    }
    DWORD background = 0;
};

TEST_F(SeeThroughE2E, KeysTurnsZoomAndTheFallBackReloadShowTheBackground) {
    write("a.png", plain(200, 150, kRed));
    const std::string b = dir.file("b.png");
    write("b.png", framedHole(200, 150));
    const std::string c = dir.file("c.png");
    write("c.png", plain(300, 220, kRed));
    testsupport::writeFile(dir.file("d.png"), "not a png");
    learnBackground(b, 200, 150);

    const std::string a = dir.file("a.png");
    Process p(kExe, {a});
    HWND w = viewer(p, a);
    ASSERT_TRUE(w);
    pressAndWaitForTheCommand(w, VK_DOWN); // after a red one of the same size
    EXPECT_TRUE(showsBackgroundThrough(w, 200, 150)) << "Down";
    pressAndWaitForTheCommand(w, VK_DOWN);
    EXPECT_TRUE(showsPixels(w, plain(300, 220, kRed)));
    pressAndWaitForTheCommand(w, VK_UP); // after a red one of another size
    EXPECT_TRUE(showsBackgroundThrough(w, 200, 150)) << "Up";
    pressAndWaitForTheCommand(w, VK_LEFT);
    EXPECT_TRUE(showsBackgroundThrough(w, 150, 200)) << "Left";
    pressAndWaitForTheCommand(w, VK_RIGHT);
    EXPECT_TRUE(showsBackgroundThrough(w, 200, 150)) << "Right";

    HWND z = spaceToZoom(p, w);
    ASSERT_TRUE(z);
    ASSERT_TRUE(waitUntil([&] { return !IsWindowVisible(w); }, Millis{5000}));
    typeKey(z, VK_SPACE);
    ASSERT_TRUE(gone(z));
    EXPECT_TRUE(showsBackgroundThrough(w, 200, 150)) << "back from the zoom window";

    // c is red on screen when its file turns transparent at the same size;
    // d does not load, so Down reads c again.
    pressAndWaitForTheCommand(w, VK_DOWN);
    ASSERT_TRUE(showsPixels(w, plain(300, 220, kRed)));
    write("c.png", framedHole(300, 220));
    pressAndWaitForTheCommand(w, VK_DOWN);
    EXPECT_TRUE(titled(w, "ZELM Vistoro - " + lower(c)));
    EXPECT_TRUE(showsBackgroundThrough(w, 300, 220)) << "the fall-back reload";
    closeWithEsc(p, w);
}

namespace {
// Chooses a context menu entry with the keys given (Down from no selection
// reaches the first entry, Up the last) and waits for the menu to close.
void chooseFromMenu(Process &p, HWND w, const std::vector<WORD> &keys) {
    HWND menu = openContextMenu(p.pid(), w, 30, 20);
    ASSERT_TRUE(menu) << "no menu on the right click";
    for (WORD k : keys)
        postKey(menu, k);
    EXPECT_TRUE(waitUntil([&] { return windowsOf(p.pid(), "#32768").empty(); }, Millis{5000}));
}
void openFromMenu(Process &p, HWND w, const std::string &path) {
    chooseFromMenu(p, w, {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
    HWND open = waitWindow(p.pid(), "#32770", "Open an image file");
    ASSERT_TRUE(open) << "no open-file dialog";
    openDialogChoose(open, path);
}
} // namespace

TEST_F(SeeThroughE2E, MenuEntryOpenItsFallBackAndTheGalleryShowTheBackground) {
    const std::string a = dir.file("a.png"), b = dir.file("b.png"), c = dir.file("c.png");
    write("a.png", plain(200, 150, kRed));
    write("b.png", framedHole(200, 150));
    write("c.png", plain(300, 220, kRed));
    testsupport::writeFile(dir.file("notes.txt"), "not a picture");
    learnBackground(b, 200, 150);

    Process p(kExe, {a});
    HWND w = viewer(p, a);
    ASSERT_TRUE(w);
    SetWindowTextA(w, "before the entry");
    chooseFromMenu(p, w, {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}); // Forward
    ASSERT_TRUE(titled(w, "ZELM Vistoro - " + lower(b)));
    EXPECT_TRUE(showsBackgroundThrough(w, 200, 150)) << "Forward from the menu";

    openFromMenu(p, w, c);
    ASSERT_TRUE(placedAt(w, centredFor(300, 220)));
    ASSERT_TRUE(showsPixels(w, plain(300, 220, kRed)));
    openFromMenu(p, w, b); // after a red one of another size
    EXPECT_TRUE(showsBackgroundThrough(w, 200, 150)) << "Open";

    // a is red on screen when its file turns transparent; the failed Open
    // reads it again.
    openFromMenu(p, w, a);
    ASSERT_TRUE(showsPixels(w, plain(200, 150, kRed)));
    write("a.png", framedHole(200, 150));
    openFromMenu(p, w, dir.file("notes.txt"));
    HWND box = waitWindow(p.pid(), "#32770", "ZELM Vistoro");
    ASSERT_TRUE(box) << "no notice for the unsupported file";
    pressButton(box, IDOK);
    EXPECT_TRUE(showsBackgroundThrough(w, 200, 150)) << "the reload after a failed Open";

    chooseFromMenu(p, w, {VK_UP, VK_UP, VK_UP, VK_RETURN}); // Gallery
    // The program's one other window is the gallery.
    HWND g = zoomWindow(p, w);
    ASSERT_TRUE(g) << "no gallery";
    EXPECT_TRUE(waitPainted(g));
    typeKey(g, VK_ESCAPE);
    ASSERT_TRUE(gone(g));
    EXPECT_TRUE(showsBackgroundThrough(w, 200, 150)) << "back from the gallery";
    closeWithEsc(p, w);
}
