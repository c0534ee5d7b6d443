// The viewer when something goes wrong around a decode, seen from outside:
// a file that another program held for a moment while it was decoded
// ahead, and a repaint while a key waits for a long decode.
#include "harness/harness.h"
#include "imaging/gdiplus_session.h"
#include "pixels.h"
#include "support/test_support.h"
#include "viewer_window.h"

#include <gtest/gtest.h>

using namespace viewere2e;
using testsupport::ScratchDir;

namespace {

class PipelineE2E : public ::testing::Test {
  protected:
    std::string picture(const std::string &name, const Pixels &px,
                        const wchar_t *type = L"image/png") {
        const std::string path = dir.file(name);
        EXPECT_TRUE(viewertest::writePicture(path, px, type)) << path;
        return path;
    }
    vistoro::GdiplusSession session;
    ScratchDir dir{"pipe"};
};

} // namespace

// A virus scanner or a sync client opens a new file without sharing for a
// moment. Held so while the viewer decoded it ahead, and released before
// the key, the photo is shown, not passed over.
TEST_F(PipelineE2E, APictureHeldByAnotherProgramWhileDecodedAheadIsShownOnceReleased) {
    const std::string a = picture("a.png", viewertest::sampleScene(200, 150, 1));
    const Pixels bPixels = viewertest::sampleScene(180, 120, 2);
    const std::string b = picture("b.png", bPixels);
    picture("c.png", viewertest::sampleScene(160, 100, 3));
    HANDLE held = CreateFileA(b.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Process p(kExe, {a});
    HWND w = viewer(p, a);
    ASSERT_TRUE(w);
    // The look-ahead starts at the first paint and fails on the held file
    // at once; nothing of that shows outside, so it is given a while.
    Sleep(1500);
    CloseHandle(held);
    typeKey(w, VK_DOWN);
    EXPECT_TRUE(titled(w, "ZELM Vistoro - " + lower(b)));
    EXPECT_TRUE(placedAt(w, centredFor(180, 120)));
    EXPECT_TRUE(showsPixels(w, bPixels));
    closeWithEsc(p, w);
}

// End onto a 24-megapixel photo that was not decoded ahead: while its
// decode runs, the window is made to paint again and still shows the
// picture it had.
TEST_F(PipelineE2E, TheWindowKeepsItsPictureWhileAKeyWaitsForALongDecode) {
    const Pixels shownPixels = viewertest::sampleScene(240, 180, 4);
    const std::string a = picture("a.png", shownPixels);
    picture("b.png", viewertest::sampleScene(220, 160, 5));
    const std::string z = picture("z.jpg", viewertest::sampleScene(6000, 4000, 6), L"image/jpeg");
    Process p(kExe, {a});
    HWND w = viewer(p, a);
    ASSERT_TRUE(w);
    ASSERT_TRUE(showsPixels(w, shownPixels));
    const std::string shownTitle = "ZELM Vistoro - " + lower(a);
    typeKey(w, VK_END);
    // Taken by the window: it answers while it waits, and its title changes
    // only once the new picture is there.
    ASSERT_TRUE(settle(w));
    ASSERT_EQ(title(w), shownTitle) << "the decode ended before the window was repainted";
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
    ASSERT_TRUE(settle(w));
    EXPECT_TRUE(showsPixels(w, shownPixels)) << "the window lost its picture during the wait";
    EXPECT_EQ(title(w), shownTitle) << "the decode ended before the pixels were read";
    EXPECT_TRUE(titled(w, "ZELM Vistoro - " + lower(z)));
    closeWithEsc(p, w);
}
