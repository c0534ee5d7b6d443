// The viewing window as the end-to-end tests see it from outside: where it
// stands, its title, its pixels, a key run to its end, its notices.
#pragma once

#include "harness/harness.h"
#include "pixels.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace viewere2e {

using namespace harness;
using testsupport::lower;
using viewertest::Pixels;

inline const std::string kExe = testsupport::hostPath(VISTORO_EXE);
inline constexpr int kScreenW = 1920, kScreenH = 1080;

struct Placement {
    int left, top, width, height;
};
inline Placement placementOf(HWND w) {
    RECT r = windowRect(w);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}
// Where a window of a picture of this size belongs: picture + 7, centred.
inline Placement centredFor(int picW, int picH) {
    const int w = picW + 7, h = picH + 7;
    return {kScreenW / 2 - w / 2, kScreenH / 2 - h / 2, w, h};
}
inline ::testing::AssertionResult placedAt(HWND w, Placement want) {
    Placement got{};
    waitUntil([&] {
        got = placementOf(w);
        return got.left == want.left && got.top == want.top && got.width == want.width &&
               got.height == want.height;
    }, Millis{5000});
    if (got.left == want.left && got.top == want.top && got.width == want.width &&
        got.height == want.height)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "window at " << got.left << "," << got.top << " size " << got.width << "x"
           << got.height << "; expected " << want.left << "," << want.top << " size "
           << want.width << "x" << want.height;
}
inline ::testing::AssertionResult titled(HWND w, const std::string &want) {
    std::string got;
    waitUntil([&] { return (got = title(w)) == want; }, Millis{5000});
    if (got == want)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "title \"" << got << "\", expected \"" << want << "\"";
}

// The viewing window of a started program, found by its title, once it
// has painted (keys before that are dropped, as they should be).
inline HWND viewer(Process &p, const std::string &file) {
    HWND w = waitWindow(p.pid(), "#32770", "ZELM Vistoro - " + lower(file));
    if (w) {
        EXPECT_TRUE(waitPainted(w)) << "the viewing window was never painted";
    }
    return w;
}

// The client area's top-left pixels, as many as the picture has.
inline bool showsPixels(HWND w, const Pixels &want) {
    const RECT c = clientRectOnScreen(w);
    const RECT area{c.left, c.top, c.left + want.width, c.top + want.height};
    std::vector<DWORD> got;
    waitUntil([&] {
        got = screenPixels(area);
        for (std::size_t i = 0; i < got.size(); ++i)
            if (got[i] != (want.px[i] & 0xFFFFFF))
                return false;
        return got.size() == want.px.size();
    }, Millis{5000});
    for (std::size_t i = 0; i < got.size(); ++i)
        if (got[i] != (want.px[i] & 0xFFFFFF)) {
            ADD_FAILURE() << "pixel " << i % want.width << "," << i / want.width << " is " << std::hex
                          << got[i] << ", expected " << (want.px[i] & 0xFFFFFF);
            return false;
        }
    return got.size() == want.px.size();
}

inline Pixels turnedLeft(const Pixels &p) {
    Pixels out{p.height, p.width, std::vector<std::uint32_t>(p.px.size())};
    for (long y = 0; y < p.height; ++y)
        for (long x = 0; x < p.width; ++x)
            out.px[static_cast<std::size_t>((p.width - 1 - x) * out.width + y)] = p.at(x, y);
    return out;
}

// Presses a key that runs a command to its end, and waits for that end:
// the viewer sets its caption last, so a marker put in first shows when it
// is done. A key pressed while a command runs is refused, as it should be.
inline void pressAndWaitForTheCommand(HWND w, WORD vk) {
    const std::string marker = "before the key";
    SetWindowTextA(w, marker.c_str());
    typeKey(w, vk);
    EXPECT_TRUE(waitUntil([&] { return title(w) != marker; }, Millis{10000}))
        << "key " << vk << " did not finish";
}

inline void closeWithEsc(Process &p, HWND w) {
    typeKey(w, VK_ESCAPE);
    EXPECT_EQ(p.waitExit(), 0u);
}

inline void expectNotice(Process &p, const std::string &text) {
    HWND box = waitWindow(p.pid(), "#32770", "ZELM Vistoro");
    ASSERT_TRUE(box) << "no notice appeared";
    EXPECT_EQ(messageBoxText(box), text);
    pressButton(box, IDOK);
    EXPECT_EQ(p.waitExit(), 0u);
    EXPECT_TRUE(windowsOf(p.pid()).empty());
}

} // namespace viewere2e
