// A moving GIF's playback on its own: how many frames exist at once while
// frames wait, a damaged frame ending it on the last good one, and a
// playback stopped by the very window that shows its frame.
#include "viewer/playback.h"

#include "imaging/gdiplus_session.h"
#include "support/gif_writer.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

using namespace vistoro;
using testsupport::GifTestFrame;
using testsupport::ScratchDir;

namespace {

GifTestFrame flat(std::uint8_t index) {
    GifTestFrame f;
    f.width = 16;
    f.height = 12;
    f.delay = 2;
    f.disposal = 1;
    f.indexes.assign(16 * 12, index);
    return f;
}

// Takes this thread's messages, where the frames arrive, until the
// condition holds or the time is up.
bool pumpUntil(const std::function<bool()> &condition, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

class PlaybackTest : public ::testing::Test {
  protected:
    std::string gif(const std::vector<GifTestFrame> &frames, std::optional<int> loops) {
        const std::string path = dir.file("moving" + std::to_string(++made) + ".gif");
        testsupport::writeFile(path, testsupport::animatedGif(16, 12, frames, loops,
                                                              {0xFF0000, 0x00FF00, 0x0000FF}));
        return path;
    }
    GdiplusSession session;
    ScratchDir dir{"play"};
    int made = 0;
};

} // namespace

TEST_F(PlaybackTest, WhileFramesWaitOnlyTheNextOneIsMadeAndADamagedFrameEndsIt) {
    GifTestFrame broken = flat(2);
    broken.data = std::string("\x02\x03\xFF\xFF\xFF", 5) + std::string(1, '\0'); // codes past the table
    const std::string path = gif({flat(0), flat(1), broken, flat(0)}, 0);
    UniqueBitmap shown;
    int frames = 0;
    bool wait = true;
    Playback player([&](UniqueBitmap frame, bool) { shown = std::move(frame); ++frames; },
                    [&wait] { return wait; });
    const int before = testsupport::countMadeGdiObjects();
    player.start(path);
    // Frames wait: the next one is made, and no more than it, however long.
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(frames, 0);
    EXPECT_LE(testsupport::countMadeGdiObjects(), before + 1) << "frames were made ahead of the next";
    wait = false;
    ASSERT_TRUE(pumpUntil([&] { return frames == 2; })) << frames << " frames came";
    // The third frame does not decode: the second stays, and nothing more comes.
    ASSERT_TRUE(pumpUntil([&] { return !player.playing(); }));
    pumpUntil([] { return false; }, 200);
    EXPECT_EQ(frames, 2);
    EXPECT_TRUE(player.showsOwnFrame());
    shown.reset();
    EXPECT_EQ(testsupport::countMadeGdiObjects(), before);
}

TEST_F(PlaybackTest, AWindowThatStopsThePlaybackWhileShowingItsFrameIsSafe) {
    const std::string first = gif({flat(0), flat(0)}, 0), second = gif({flat(2), flat(1)}, 0);
    UniqueBitmap shown;
    std::vector<std::uint32_t> colours;
    std::unique_ptr<Playback> player;
    // The window's handlers run inside the hand-over (Esc, a key that moves
    // on): here the first frame of the first file stops its playback.
    player = std::make_unique<Playback>(
        [&](UniqueBitmap frame, bool) {
            shown = std::move(frame);
            BITMAPINFO info{};
            info.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -12, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
            std::vector<std::uint32_t> px(16 * 12);
            HDC screen = GetDC(nullptr);
            GetDIBits(screen, shown.get(), 0, 12, px.data(), &info, DIB_RGB_COLORS);
            ReleaseDC(nullptr, screen);
            colours.push_back(px[0] & 0xFFFFFF);
            if (colours.size() == 1)
                player->stop();
        },
        [] { return false; });
    player->start(first);
    ASSERT_TRUE(pumpUntil([&] { return !colours.empty(); }));
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(colours, std::vector<std::uint32_t>{0xFF0000u}) << "frames came after the stop";
    // Another file plays as usual after it.
    player->start(second);
    ASSERT_TRUE(pumpUntil([&] { return colours.size() >= 3; }));
    EXPECT_EQ(colours[1], 0x0000FFu);
    EXPECT_EQ(colours[2], 0x00FF00u);
    player.reset();
}
