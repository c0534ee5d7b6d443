// Start to the first painted picture: the viewer started on a 1920 x 1080
// JPEG, against a bare program of ours that only opens and paints an empty
// window of the same size, and against LOADIMG of the same file. Each start
// is timed from just before CreateProcess until the screen shows the
// expected pixels at three places of the window's client area.
//
// Usage: start_bench [RUNS]   (default 7)
#include "bench/bench_support.h"
#include "imaging/decode.h"
#include "imaging/gdiplus_session.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using namespace benchsupport;

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kFrame = 7; // the viewer's window is the picture + 7

// A client-area point and the colour the screen must show there.
struct Probe {
    POINT at;
    COLORREF colour;
};

struct FindState {
    DWORD pid;
    std::vector<HWND> found;
};
BOOL CALLBACK visibleOf(HWND wnd, LPARAM lp) {
    auto *st = reinterpret_cast<FindState *>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(wnd, &owner);
    if (owner == st->pid && IsWindowVisible(wnd))
        st->found.push_back(wnd);
    return TRUE;
}

bool shows(HWND wnd, const std::vector<Probe> &probes) {
    HDC screen = GetDC(nullptr);
    bool all = screen != nullptr;
    for (const Probe &p : probes) {
        POINT at = p.at;
        if (!all || !ClientToScreen(wnd, &at) || GetPixel(screen, at.x, at.y) != p.colour) {
            all = false;
            break;
        }
    }
    if (screen)
        ReleaseDC(nullptr, screen);
    return all;
}

// Milliseconds from the start of the program until the probes show, or
// nothing when it did not get there within 30 s. The program is closed
// afterwards.
std::optional<double> timeToPainted(const std::string &commandLine,
                                    const std::vector<Probe> &probes) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string line = commandLine;
    const double t0 = nowMs();
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return std::nullopt;
    std::optional<double> took;
    HWND wnd = nullptr;
    while (!took && nowMs() - t0 < 30000) {
        FindState st{pi.dwProcessId, {}};
        EnumWindows(visibleOf, reinterpret_cast<LPARAM>(&st));
        for (HWND w : st.found)
            if (shows(w, probes)) {
                took = nowMs() - t0;
                wnd = w;
                break;
            }
        if (!took && WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0)
            break; // ended without showing it
        Sleep(1);
    }
    if (wnd)
        PostMessageA(wnd, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return took;
}

std::string beside(const char *name) {
    char self[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string dir(self, n);
    return dir.substr(0, dir.find_last_of('\\') + 1) + name;
}

} // namespace

int main(int argc, char **argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    vistoro::GdiplusSession session;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string picture =
        std::string(temp) + "vistoro-start-" + std::to_string(GetCurrentProcessId()) + ".jpg";
    if (!writeScene(picture, kWidth, kHeight, 5)) {
        std::printf("could not write the picture\n");
        return 1;
    }

    // LOADIMG of the file, and the pixels that the viewer will show.
    std::vector<double> load;
    std::vector<Probe> pictureProbes, bareProbes;
    for (int i = 0; i < runs; ++i) {
        const double t0 = nowMs();
        HBITMAP h = vistoro::LOADIMG(picture);
        load.push_back(nowMs() - t0);
        if (i == 0 && h) {
            HDC memory = CreateCompatibleDC(nullptr);
            HGDIOBJ old = SelectObject(memory, h);
            // Inside the corners: a window of the screen's size sticks out a
            // little on every side, and the probes must lie on the screen.
            for (POINT p : {POINT{10, 10}, POINT{kWidth / 2, kHeight / 2},
                            POINT{kWidth - 10, kHeight - 10}})
                pictureProbes.push_back({p, GetPixel(memory, p.x, p.y)});
            SelectObject(memory, old);
            DeleteDC(memory);
        }
        DeleteObject(h);
    }
    if (pictureProbes.empty()) {
        std::printf("LOADIMG could not read the picture\n");
        DeleteFileA(picture.c_str());
        return 1;
    }
    // The bare window is painted in the colour of the picture's top-left
    // pixel, over the same client area.
    const COLORREF fill = pictureProbes.front().colour;
    for (const Probe &p : pictureProbes)
        bareProbes.push_back({p.at, fill});
    char colour[16];
    std::snprintf(colour, sizeof colour, "%02X%02X%02X", GetRValue(fill), GetGValue(fill),
                  GetBValue(fill));

    // The build puts the viewer in viewer/ beside bench/.
    const std::string viewer = "\"" + beside("..\\viewer\\vistoro.exe") + "\" \"" + picture + "\"";
    const std::string bare = "\"" + beside("bare_window.exe") + "\" " +
                             std::to_string(kWidth + kFrame) + " " +
                             std::to_string(kHeight + kFrame) + " " + colour;
    std::vector<double> viewerStart, bareStart;
    for (int i = 0; i < runs; ++i) {
        // Alternated, so that a slow patch of the machine falls on both.
        if (auto t = timeToPainted(bare, bareProbes))
            bareStart.push_back(*t);
        if (auto t = timeToPainted(viewer, pictureProbes))
            viewerStart.push_back(*t);
    }
    DeleteFileA(picture.c_str());

    std::printf("Start to first painted picture, %d x %d JPEG (%d runs):\n", kWidth, kHeight, runs);
    if (viewerStart.empty() || bareStart.empty()) {
        std::printf("  no measurement (viewer %zu, bare %zu of %d)\n", viewerStart.size(),
                    bareStart.size(), runs);
        return 1;
    }
    const Stats v = statsOf(viewerStart), b = statsOf(bareStart), l = statsOf(load);
    print("  viewer to painted", v);
    print("  bare window to painted", b);
    print("  LOADIMG of the file", l);
    std::printf("  viewer - bare - LOADIMG (medians): %.1f ms (target at most 50)\n",
                v.median - b.median - l.median);
    return 0;
}
