// Camera photos as a person sees them: a folder of JPEGs stored under each
// of the eight EXIF orientations, in both byte orders, stepped through in
// the viewing window, turned and zoomed; every one stands upright.
#include "harness/harness.h"
#include "imaging/decode.h"
#include "imaging/gdiplus_session.h"
#include "pixels.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace harness;
using testsupport::ScratchDir;
using viewertest::Pixels;

namespace {

const std::string kExe = testsupport::hostPath(VISTORO_EXE);
constexpr int kScreenW = 1920, kScreenH = 1080;

// Red, green above; blue, yellow below: where the upright quadrants stand.
constexpr std::uint32_t kUpright[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};

bool centredAs(HWND w, int picW, int picH) {
    return waitUntil([&] {
        const RECT r = windowRect(w);
        const int ww = picW + 7, wh = picH + 7;
        return r.left == kScreenW / 2 - ww / 2 && r.top == kScreenH / 2 - wh / 2 &&
               r.right - r.left == ww && r.bottom - r.top == wh;
    }, Millis{5000});
}

// The centres of the four quadrants of a w x h picture painted at the
// client area's top-left corner show the given colours (top left, top
// right, bottom left, bottom right).
::testing::AssertionResult showsQuadrants(HWND wnd, int w, int h, const std::uint32_t (&want)[4]) {
    const RECT c = clientRectOnScreen(wnd);
    std::uint32_t got[4] = {};
    const bool ok = waitUntil([&] {
        bool all = true;
        for (int q = 0; q < 4; ++q) {
            got[q] = screenPixel(c.left + (q % 2 ? 3 : 1) * w / 4, c.top + (q / 2 ? 3 : 1) * h / 4);
            all = all && viewertest::similarRgb(got[q], want[q], 24);
        }
        return all;
    }, Millis{5000});
    if (ok)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hex << "quadrants " << got[0] << " " << got[1]
                                         << " " << got[2] << " " << got[3];
}

// The photo of orientation o in the folder: landscape for odd values,
// portrait for even ones, so that the shapes alternate as the keys step.
struct Photo {
    std::string path;
    int orientation;
    int width, height; // upright
};

class PhotosE2E : public ::testing::Test {
  protected:
    std::vector<Photo> folder() {
        std::vector<Photo> photos;
        for (bool big : {false, true})
            for (int o = 1; o <= 8; ++o) {
                const bool wide = o % 2 == 1;
                Photo ph{testsupport::lower(dir.file((big ? "b" : "a") + std::to_string(o) + ".jpg")),
                         o, wide ? 240 : 160, wide ? 160 : 240};
                EXPECT_TRUE(viewertest::writePhoto(
                    ph.path, testsupport::quarters(ph.width, ph.height), o, big));
                photos.push_back(ph);
            }
        return photos;
    }
    vistoro::GdiplusSession session;
    ScratchDir dir{"photo"};
};

} // namespace

TEST_F(PhotosE2E, EveryOrientationStandsUprightAsTheKeysStepAndTurnAndZoom) {
    const std::vector<Photo> photos = folder();
    Process p(kExe, {dir.path() + "\\"});
    HWND w = waitWindow(p.pid(), "#32770", "ZELM Vistoro - " + photos[0].path);
    ASSERT_TRUE(w);
    ASSERT_TRUE(waitPainted(w));
    for (std::size_t i = 0; i < photos.size(); ++i) {
        const Photo &ph = photos[i];
        if (i > 0)
            typeKey(w, VK_DOWN);
        ASSERT_TRUE(waitUntil([&] { return title(w) == "ZELM Vistoro - " + ph.path; }, Millis{10000}))
            << ph.path;
        EXPECT_TRUE(centredAs(w, ph.width, ph.height)) << ph.path;
        EXPECT_TRUE(showsQuadrants(w, ph.width, ph.height, kUpright)) << ph.path;

        if (ph.orientation != 6 || i >= 8)
            continue;
        // A phone's portrait photo, turned left: the upright picture turns.
        SetWindowTextA(w, "before the key");
        typeKey(w, VK_LEFT);
        ASSERT_TRUE(waitUntil([&] { return title(w) != "before the key"; }, Millis{10000}));
        EXPECT_TRUE(centredAs(w, ph.height, ph.width));
        EXPECT_TRUE(showsQuadrants(w, ph.height, ph.width, {0x00FF00, 0xFFFF00, 0xFF0000, 0x0000FF}));
        SetWindowTextA(w, "before the key");
        typeKey(w, VK_RIGHT);
        ASSERT_TRUE(waitUntil([&] { return title(w) != "before the key"; }, Millis{10000}));
        EXPECT_TRUE(showsQuadrants(w, ph.width, ph.height, kUpright));
        // The zoom window shows it upright too, as large as the desktop allows.
        typeKey(w, VK_SPACE);
        HWND z = nullptr;
        ASSERT_TRUE(waitUntil([&] {
            for (HWND other : windowsOf(p.pid(), "#32770"))
                if (other != w)
                    z = other;
            return z != nullptr;
        }, Millis{5000}));
        ASSERT_TRUE(waitPainted(z));
        EXPECT_TRUE(showsQuadrants(z, 720, 1080, kUpright));
        typeKey(z, VK_SPACE);
        ASSERT_TRUE(waitUntil([&] { return !IsWindow(z) && IsWindowVisible(w); }, Millis{5000}));
    }
    typeKey(w, VK_ESCAPE);
    EXPECT_EQ(p.waitExit(), 0u);
}

TEST_F(PhotosE2E, EscWhileA24MegapixelPhotoIsDecodedEndsTheProgramAtOnce) {
    // A small photo, then a camera's 6000 x 4000 one: decoded ahead once the
    // first is shown, and waited for by a Down pressed before it is done.
    const std::string small = testsupport::lower(dir.file("a.jpg"));
    const std::string large = testsupport::lower(dir.file("b.jpg"));
    ASSERT_TRUE(viewertest::writePicture(small, viewertest::sampleScene(240, 160, 1), L"image/jpeg"));
    ASSERT_TRUE(viewertest::writePicture(large, viewertest::sampleScene(6000, 4000, 2), L"image/jpeg"));
    using Clock = std::chrono::steady_clock;
    const auto began = Clock::now();
    DeleteObject(vistoro::LOADIMG(large));
    const auto decode = Clock::now() - began;

    for (bool downFirst : {false, true}) {
        Process p(kExe, {small});
        HWND w = waitWindow(p.pid(), "#32770", "ZELM Vistoro - " + small);
        ASSERT_TRUE(w);
        ASSERT_TRUE(waitPainted(w));
        if (downFirst)
            typeKey(w, VK_DOWN);
        const auto pressed = Clock::now();
        typeKey(w, VK_ESCAPE);
        EXPECT_EQ(p.waitExit(Millis{30000}), 0u) << (downFirst ? "after Down" : "while ahead");
        const auto took = Clock::now() - pressed;
        EXPECT_LT(took, decode / 2)
            << (downFirst ? "after Down" : "while ahead") << ": "
            << std::chrono::duration_cast<Millis>(took).count() << " ms against a decode of "
            << std::chrono::duration_cast<Millis>(decode).count() << " ms";
    }
}
