// A moving GIF played in the viewing window, measured:
//   playback_bench timing GIF     each frame's time on screen against the
//                                 file's delays, and how long the window's
//                                 thread spent putting it there
//   playback_bench peak GIF       peak memory of playing it through once, in
//                                 a process of its own
//   playback_bench peakstill GIF  the same for showing its first frame only
#include "bench/bench_support.h"
#include "base/error.h"
#include "imaging/byte_stream.h"
#include "imaging/gdiplus_session.h"
#include "imaging/gif_animation.h"
#include "base/text.h"
#include "viewer/decoder.h"
#include "viewer/viewwin.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace vistoro;
using namespace benchsupport;

namespace {

struct Shown {
    LONGLONG takenAt, shownAt;
};
std::vector<Shown> shown;
int framesInFile = 0;
TDialog *window = nullptr;

void onFrame(int n, LONGLONG takenAt, LONGLONG shownAt) {
    shown.push_back({takenAt, shownAt});
    // Played through: the window closes.
    if (n >= framesInFile && window)
        window->End();
}

double ms(LONGLONG ticks) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(f.QuadPart);
}

// The delays of every frame of one pass, as the playback reads them.
std::vector<int> delaysOf(const std::string &file) {
    std::vector<int> delays;
    const auto animation = GifAnimation::open(ByteBlock::fromFile(widen(file)));
    while (animation && animation->next() == GifAnimation::Step::frame && delays.size() < 100000)
        delays.push_back(animation->delayMs());
    return delays;
}

void CALLBACK giveUp(HWND, UINT, UINT_PTR, DWORD) {
    if (window)
        window->End();
}

// Plays the file in the viewing window until its last frame is on show, or
// for at most a minute.
void play(const std::string &file) {
    ViewerState st;
    st.cFile = lowerText(file);
    st.hBmp.reset(LOADIMAGE(st.cFile, false));
    st.aSize = AIMGSIZE(st.hBmp.get());
    Playback::setFrameObserver(onFrame);
    const UINT_PTR timer = SetTimer(nullptr, 0, 60000, giveUp);
    openViewingWindow(st, [](TDialog &d) { window = &d; });
    KillTimer(nullptr, timer);
    window = nullptr;
    Playback::setFrameObserver(nullptr);
    if (static_cast<int>(shown.size()) < framesInFile)
        std::printf("  only %zu of %d frames were shown within a minute\n", shown.size(),
                    framesInFile);
}

void timing(const std::string &file) {
    const std::vector<int> delays = delaysOf(file);
    framesInFile = static_cast<int>(delays.size());
    if (framesInFile < 2) {
        std::printf("%s: not a moving picture\n", file.c_str());
        return;
    }
    play(file);
    if (shown.size() < 2) {
        std::printf("no frames came\n");
        return;
    }
    // Frame k is due the sum of the delays before it after the first frame.
    std::vector<double> late, lateAbs, busy;
    double due = ms(shown[0].shownAt);
    for (std::size_t k = 1; k < shown.size() && k < delays.size(); ++k) {
        due += delays[k - 1];
        const double off = ms(shown[k].shownAt) - due;
        late.push_back(off);
        lateAbs.push_back(off < 0 ? -off : off);
        // The next frame's due time follows the frame as shown, so an
        // error does not add up from frame to frame.
        due = ms(shown[k].shownAt);
    }
    for (const Shown &s : shown)
        busy.push_back(ms(s.shownAt - s.takenAt));
    std::printf("moving GIF, %d frames (%d ms the first delay), %zu shown:\n", framesInFile,
                delays[0], shown.size());
    print("  frame shown minus its due time (ms)", statsOf(late));
    std::printf("  median distance from the due time %.2f ms (target <= 5), latest %.2f ms "
                "(target <= 30)\n",
                median(lateAbs), *std::max_element(late.begin(), late.end()));
    print("  window's thread per frame (ms)", statsOf(busy));
    std::printf("  longest on the window's thread for a frame %.2f ms (target <= 10)\n",
                *std::max_element(busy.begin(), busy.end()));
}

void peak(const std::string &file, bool still) {
    PROCESS_MEMORY_COUNTERS before{};
    before.cb = sizeof before;
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    if (still) {
        UniqueBitmap first(LOADIMG(file));
        framesInFile = first ? 1 : 0;
    } else {
        framesInFile = static_cast<int>(delaysOf(file).size());
        play(file);
    }
    PROCESS_MEMORY_COUNTERS after{};
    after.cb = sizeof after;
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    // The working set: bitmaps live in sections, which the private bytes
    // do not count everywhere.
    std::printf("RESULT %s %.1f MiB peak working set above the start (%zu frames shown)\n",
                still ? "still" : "moving",
                (static_cast<double>(after.PeakWorkingSetSize) -
                 static_cast<double>(before.WorkingSetSize)) / 1048576.0,
                still ? std::size_t{1} : shown.size());
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::printf("usage: playback_bench timing|peak|peakstill GIF\n");
        return 2;
    }
    GdiplusSession session;
    ShutdownRoutine decoding(endBackgroundDecoder);
    if (std::strcmp(argv[1], "timing") == 0)
        timing(argv[2]);
    else
        peak(argv[2], std::strcmp(argv[1], "peakstill") == 0);
    return 0;
}
