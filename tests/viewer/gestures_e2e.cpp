// What a person reaches for beyond the keys, seen from outside: a moving
// GIF plays, the wheel steps, a dropped file opens, Ctrl+C copies.
#include "harness/harness.h"
#include "imaging/gdiplus_session.h"
#include "pixels.h"
#include "support/gif_writer.h"
#include "support/test_support.h"
#include "viewer_window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

using namespace viewere2e;
using testsupport::GifTestFrame;
using testsupport::ScratchDir;

namespace {

constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

double nowMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

GifTestFrame frame(int left, int top, int width, int height, std::uint8_t index, int delay,
                   int disposal) {
    GifTestFrame f;
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    f.indexes.assign(static_cast<std::size_t>(width * height), index);
    f.delay = delay;
    f.disposal = disposal;
    return f;
}

// The colour at a client point of the window, waited for.
bool showsAt(HWND w, int x, int y, DWORD colour, Millis wait = Millis{5000}) {
    const RECT c = clientRectOnScreen(w);
    return waitUntil([&] { return screenPixel(c.left + x, c.top + y) == colour; }, wait, Millis{5});
}
DWORD colourAt(HWND w, int x, int y) {
    const RECT c = clientRectOnScreen(w);
    return screenPixel(c.left + x, c.top + y);
}
POINT clientCentre(HWND w) {
    const RECT c = clientRectOnScreen(w);
    return {(c.left + c.right) / 2, (c.top + c.bottom) / 2};
}

class GesturesE2E : public ::testing::Test {
  protected:
    std::string picture(const std::string &name, const Pixels &px,
                        const wchar_t *type = L"image/png", const ScratchDir *in = nullptr) {
        const std::string path = (in ? *in : dir).file(name);
        EXPECT_TRUE(viewertest::writePicture(path, px, type)) << path;
        return path;
    }
    std::string gif(const std::string &name, const std::vector<GifTestFrame> &frames,
                    std::optional<int> loops) {
        const std::string path = dir.file(name);
        testsupport::writeFile(path, testsupport::animatedGif(60, 40, frames, loops,
                                                              {kRed, kGreen, kBlue, 0xFFFFFF}));
        return path;
    }
    vistoro::GdiplusSession session;
    ScratchDir dir{"gest"};
};

} // namespace

// Red; then green on the left over the kept red (its right half is
// transparent); then, the second frame disposed to the background, a blue
// square on nothing. Played once, it stays on the last frame.
TEST_F(GesturesE2E, AMovingGifShowsItsComposedFramesAtTheirDelaysThenStopsOnTheLast) {
    GifTestFrame second = frame(0, 0, 60, 40, 1, 40, 2);
    for (int y = 0; y < 40; ++y)
        for (int x = 30; x < 60; ++x)
            second.indexes[static_cast<std::size_t>(y * 60 + x)] = 3;
    second.transparent = 3;
    const std::string path =
        gif("moving.gif", {frame(0, 0, 60, 40, 0, 40, 1), second, frame(0, 0, 20, 20, 2, 40, 0)},
            std::nullopt);
    Process p(kExe, {path});
    HWND w = viewer(p, path);
    ASSERT_TRUE(w);
    const double painted = nowMs();
    EXPECT_TRUE(placedAt(w, centredFor(60, 40)));
    // What shows through where the picture lets it: the dialog's own face.
    const COLORREF face = GetSysColor(COLOR_3DFACE);
    const DWORD background = DWORD{GetRValue(face)} << 16 | DWORD{GetGValue(face)} << 8 |
                             GetBValue(face);

    ASSERT_TRUE(showsAt(w, 10, 10, kGreen)) << "the second frame never came";
    const double second2 = nowMs();
    EXPECT_EQ(colourAt(w, 45, 30), kRed) << "the second frame's transparent half hid the first";
    ASSERT_TRUE(showsAt(w, 10, 10, kBlue)) << "the third frame never came";
    const double third = nowMs();
    EXPECT_EQ(colourAt(w, 45, 30), background) << "the second frame was not disposed of";
    // Each frame stays its 40 hundredths, give or take the polling and a
    // busy machine.
    EXPECT_GE(second2 - painted, 300);
    EXPECT_GE(third - second2, 300);
    EXPECT_LE(third - second2, 1200);
    // Played once: it stays on the last frame. Nothing outside tells that a
    // frame did not come, so it is given three delays' time.
    Sleep(1200);
    EXPECT_EQ(colourAt(w, 10, 10), kBlue);
    EXPECT_EQ(colourAt(w, 45, 30), background);
    closeWithEsc(p, w);
}

// Left turns the moving picture, which goes on playing turned; Down leaves
// it for the next picture, and no frame of it comes after.
TEST_F(GesturesE2E, LeftTurnsTheMovingPictureAndDownLeavesIt) {
    // A blue mark at the top left of red and green frames, for ever.
    GifTestFrame red = frame(0, 0, 60, 40, 0, 20, 1), green = frame(0, 0, 60, 40, 1, 20, 1);
    for (GifTestFrame *f : {&red, &green})
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                f->indexes[static_cast<std::size_t>(y * 60 + x)] = 2;
    const std::string path = gif("a-moving.gif", {red, green}, 0);
    const Pixels next = viewertest::sampleScene(90, 70, 3);
    const std::string b = picture("b-still.png", next);
    Process p(kExe, {path});
    HWND w = viewer(p, path);
    ASSERT_TRUE(w);
    ASSERT_TRUE(showsAt(w, 30, 20, kGreen));
    typeKey(w, VK_LEFT);
    ASSERT_TRUE(placedAt(w, centredFor(40, 60)));
    // Turned anticlockwise, the mark stands at the bottom left, and the
    // frames go on coming.
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(showsAt(w, 20, 30, kRed)) << "no red frame after the turn";
        EXPECT_TRUE(showsAt(w, 20, 30, kGreen)) << "no green frame after the turn";
        EXPECT_EQ(colourAt(w, 5, 55), kBlue) << "a frame came unturned";
    }
    typeKey(w, VK_DOWN);
    ASSERT_TRUE(titled(w, "ZELM Vistoro - " + lower(b)));
    EXPECT_TRUE(showsPixels(w, next));
    // Its frames were each 20 hundredths: in a second, five would have come.
    Sleep(1000);
    EXPECT_TRUE(showsPixels(w, next)) << "a frame of the moving picture came after Down";
    closeWithEsc(p, w);
}

// A notch towards the user steps as Down, away as Up; two half notches
// make one step; a notch while a command runs is refused.
TEST_F(GesturesE2E, TheWheelStepsThroughTheFolderAsDownAndUpDo) {
    const std::string a = picture("a.png", viewertest::sampleScene(200, 150, 1));
    const std::string b = picture("b.png", viewertest::sampleScene(180, 120, 2));
    const std::string c = picture("c.png", viewertest::sampleScene(160, 100, 3));
    const std::string z = picture("z.jpg", viewertest::sampleScene(6000, 4000, 4), L"image/jpeg");
    const auto at = [](const std::string &f) { return "ZELM Vistoro - " + lower(f); };
    Process p(kExe, {a});
    HWND w = viewer(p, a);
    ASSERT_TRUE(w);
    const auto turn = [&](int delta) {
        const POINT middle = clientCentre(w);
        wheel(middle.x, middle.y, delta);
    };
    turn(-120);
    EXPECT_TRUE(titled(w, at(b)));
    turn(120);
    EXPECT_TRUE(titled(w, at(a)));
    turn(-60);
    ASSERT_TRUE(settle(w));
    EXPECT_EQ(title(w), at(a)) << "half a notch stepped";
    turn(-60);
    EXPECT_TRUE(titled(w, at(b)));

    // End waits for the large photo's decode; a notch back meanwhile is
    // refused, not run after it.
    typeKey(w, VK_END);
    ASSERT_TRUE(settle(w));
    ASSERT_EQ(title(w), at(b)) << "the decode ended before the wheel turned";
    turn(120);
    EXPECT_TRUE(titled(w, at(z)));
    ASSERT_TRUE(settle(w));
    EXPECT_EQ(title(w), at(z)) << "the notch during End was run after it";
    closeWithEsc(p, w);
}

// A picture of another folder dropped on the window opens as Open opens it,
// with that folder's list; a text file gets Open's notice; a folder opens
// at its first picture. Nothing is moved.
TEST_F(GesturesE2E, ADroppedFileOpensAsOpenDoesAndAFolderAtItsFirstPicture) {
    if (!canDropFiles())
        GTEST_SKIP() << "no way to drop files here (the host's drop tool was not built)";
    ScratchDir other{"drop"}, folder{"dropdir"};
    const std::string a = picture("a.png", viewertest::sampleScene(200, 150, 1));
    const Pixels xPixels = viewertest::sampleScene(150, 110, 2);
    const std::string x = picture("x.png", xPixels, L"image/png", &other);
    const std::string y = picture("y.png", viewertest::sampleScene(130, 90, 3), L"image/png", &other);
    const std::string notes = other.file("notes.txt");
    testsupport::writeFile(notes, "not a picture");
    const std::string m = picture("m.png", viewertest::sampleScene(170, 80, 4), L"image/png", &folder);
    const std::string n = picture("n.png", viewertest::sampleScene(110, 140, 5), L"image/png", &folder);
    const std::string xBytes = testsupport::readFile(x);

    Process p(kExe, {a});
    HWND w = viewer(p, a);
    ASSERT_TRUE(w);
    POINT middle = clientCentre(w);
    ASSERT_TRUE(dropFiles(middle.x, middle.y, {x})) << "the window refused the drop";
    EXPECT_TRUE(placedAt(w, centredFor(150, 110)));
    EXPECT_TRUE(showsPixels(w, xPixels));
    // As after Open, the title names the picture before until a key moves on.
    EXPECT_EQ(title(w), "ZELM Vistoro - " + lower(a));
    typeKey(w, VK_DOWN);
    EXPECT_TRUE(titled(w, "ZELM Vistoro - " + lower(y)));
    EXPECT_EQ(testsupport::readFile(x), xBytes) << "the dropped file changed";

    middle = clientCentre(w);
    ASSERT_TRUE(dropFiles(middle.x, middle.y, {notes}));
    HWND box = waitWindow(p.pid(), "#32770", "ZELM Vistoro");
    ASSERT_TRUE(box) << "no notice for the text file";
    EXPECT_EQ(messageBoxText(box), "TXT format not supported.");
    pressButton(box, IDOK);
    EXPECT_TRUE(placedAt(w, centredFor(130, 90))) << "the picture before did not stay";

    middle = clientCentre(w);
    ASSERT_TRUE(dropFiles(middle.x, middle.y, {folder.path()}));
    EXPECT_TRUE(placedAt(w, centredFor(170, 80))) << "the folder's first picture was not opened";
    typeKey(w, VK_DOWN);
    EXPECT_TRUE(titled(w, "ZELM Vistoro - " + lower(n)));
    EXPECT_TRUE(testsupport::fileExists(x) && testsupport::fileExists(m) &&
                testsupport::fileExists(notes));
    closeWithEsc(p, w);
}

// Ctrl+C puts the picture as shown, turned and with its alpha, on the
// clipboard; C alone, or a clipboard held by another program, changes nothing.
TEST_F(GesturesE2E, CtrlCCopiesThePictureAsShownWithItsAlpha) {
    // Opaque, half transparent and wholly transparent pixels, all coloured.
    Pixels straight = viewertest::sampleScene(40, 30, 6);
    for (long yy = 0; yy < 30; ++yy)
        for (long xx = 0; xx < 40; ++xx) {
            std::uint32_t &px = straight.px[static_cast<std::size_t>(yy * 40 + xx)];
            const std::uint32_t alpha = xx < 10 ? 0xFF : xx < 30 ? 0x80 : 0x00;
            px = (px & 0xFFFFFF) | alpha << 24;
        }
    const std::string path = dir.file("alpha.png");
    ASSERT_TRUE(viewertest::writePicture(path, straight, L"image/png", true));
    const std::string bytes = testsupport::readFile(path);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();

    Process p(kExe, {path});
    HWND w = viewer(p, path);
    ASSERT_TRUE(w);
    typeKey(w, VK_LEFT);
    ASSERT_TRUE(placedAt(w, centredFor(30, 40)));
    typeKey(w, 'C');
    ASSERT_TRUE(settle(w));
    EXPECT_FALSE(clipboardHolds(CF_DIBV5)) << "C alone copied";
    {
        ClipboardHold held;
        ASSERT_TRUE(held.held());
        typeKeyWith(w, VK_CONTROL, 'C');
        ASSERT_TRUE(settle(w));
    }
    EXPECT_FALSE(clipboardHolds(CF_DIBV5)) << "a copy went through a held clipboard";

    typeKeyWith(w, VK_CONTROL, 'C');
    ASSERT_TRUE(waitUntil([] { return clipboardHolds(CF_DIBV5); })) << "Ctrl+C copied nothing";
    EXPECT_TRUE(clipboardHolds(CF_DIB));
    const std::optional<std::string> v5 = clipboardBytes(CF_DIBV5);
    ASSERT_TRUE(v5 && v5->size() >= sizeof(BITMAPV5HEADER));
    BITMAPV5HEADER header;
    std::memcpy(&header, v5->data(), sizeof header);
    ASSERT_EQ(header.bV5Width, 30);
    ASSERT_EQ(std::abs(header.bV5Height), 40);
    ASSERT_EQ(header.bV5BitCount, 32);
    ASSERT_EQ(header.bV5AlphaMask, 0xFF000000u);
    std::size_t rowsAt = header.bV5Size;
    if (header.bV5Compression == BI_BITFIELDS && header.bV5Size == sizeof(BITMAPINFOHEADER))
        rowsAt += 12; // masks behind a small header
    ASSERT_GE(v5->size(), rowsAt + 30u * 40u * 4u);
    const Pixels want = turnedLeft(straight);
    int compared = 0;
    for (long yy = 0; yy < 40; ++yy)
        for (long xx = 0; xx < 30; ++xx) {
            const long row = header.bV5Height > 0 ? 39 - yy : yy;
            std::uint32_t got;
            std::memcpy(&got, v5->data() + rowsAt + static_cast<std::size_t>(row * 30 + xx) * 4, 4);
            const std::uint32_t expected = want.at(xx, yy);
            const std::uint32_t alpha = expected >> 24;
            ASSERT_EQ(got >> 24, alpha) << "alpha at " << xx << "," << yy;
            if (alpha == 0)
                continue; // no colour to keep
            // Premultiplied on the way in and back: a level or two at half alpha.
            ASSERT_TRUE(viewertest::similarRgb(got, expected, alpha == 0xFF ? 0 : 2))
                << std::hex << "pixel " << std::dec << xx << "," << yy << ": " << std::hex << got
                << ", expected " << expected;
            ++compared;
        }
    EXPECT_EQ(compared, 30 * 40 * 3 / 4);
    EXPECT_EQ(testsupport::readFile(path), bytes) << "the file on disk changed";
    closeWithEsc(p, w);
}
