// Measures, in one run: the time from a Down key to the next picture being
// painted over a generated folder of 1920 x 1080 JPEG pictures, next to the
// bare decode of each file timed just before its key; and a quarter turn of
// a 6000 x 4000 picture next to a plain copy of its pixels.
//
// Usage: viewer_bench [pictures]   (default 200; "rotate": the turn alone)
#include "bench/bench_support.h"
#include "imaging/decode.h"
#include "imaging/dib_info.h"
#include "imaging/gdiplus_session.h"
#include "util/dlghelp.h"
#include "imaging/quarter_turn.h"
#include "viewer/rotate.h"
#include "viewer/viewwin.h"

#include <windows.h>

#include <objidl.h>

#include <gdiplus.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

using namespace vistoro;
using namespace benchsupport;

namespace {

// The key run: a thread timer posts one Down at a time to the focus holder
// and waits for the paint that follows it.
struct KeyRun {
    TDialog *dlg = nullptr;
    int left = 0;
    bool waiting = false;
    bool inCommand = false;
    double sentAt = 0;
    std::vector<double> keyToPaint, paintOnly, keyToHook, hookToPaint;
    double hookAt = 0;
    // The bare decode of the file that the next key brings, timed just
    // before the key, so that both see the machine in the same state.
    const std::vector<std::string> *files = nullptr;
    std::size_t next = 1;
    std::vector<double> decode;
};
KeyRun run;

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    if (!run.dlg || run.dlg->bStart || run.waiting || run.inCommand)
        return;
    if (run.left-- <= 0) {
        run.dlg->End();
        return;
    }
    if (run.next < run.files->size()) {
        const double t0 = nowMs();
        HBITMAP h = LOADIMG((*run.files)[run.next++]);
        run.decode.push_back(nowMs() - t0);
        DeleteObject(h);
    }
    HWND holder = CTL(*run.dlg, 1)->hWnd;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(VK_DOWN, 0)) << 16;
    run.waiting = true;
    run.sentAt = nowMs();
    PostMessageA(holder, WM_KEYDOWN, VK_DOWN, 1 | scan);
    PostMessageA(holder, WM_KEYUP, VK_DOWN, 1 | scan | (3u << 30));
}

void benchKeys(const std::vector<std::string> &files) {
    ViewerState st;
    std::string first = files.front();
    for (char &c : first)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    st.cFile = first;
    st.hBmp.reset(LOADIMAGE(st.cFile, false));
    st.aSize = AIMGSIZE(st.hBmp.get());
    run.left = static_cast<int>(files.size()) - 1;
    run.files = &files;
    UINT_PTR timer = SetTimer(nullptr, 0, 1, tick);
    openViewingWindow(st, [](TDialog &d) {
        run.dlg = &d;
        TControl *holder = CTL(d, 1);
        KeyHook inner = holder->bKeyDown;
        holder->bKeyDown = [inner](int k, int f, TWindow &w) {
            run.inCommand = true;
            if (run.waiting)
                run.hookAt = nowMs();
            HookResult r = inner(k, f, w);
            run.inCommand = false;
            return r;
        };
        PaintHook paint = d.bPainted;
        d.bPainted = [paint](HDC dc, const PAINTSTRUCT &ps, TWindow &w) {
            const double t0 = nowMs();
            paint(dc, ps, w);
            const double t1 = nowMs();
            if (run.waiting) {
                run.keyToPaint.push_back(t1 - run.sentAt);
                run.paintOnly.push_back(t1 - t0);
                run.keyToHook.push_back(run.hookAt - run.sentAt);
                run.hookToPaint.push_back(t0 - run.hookAt);
                run.waiting = false;
            }
        };
    });
    KillTimer(nullptr, timer);
    run.dlg = nullptr;

    std::printf("Down key to painted, %zu pictures of 1920 x 1080 (JPEG):\n", run.keyToPaint.size());
    const std::vector<double> &decode = run.decode;
    if (run.keyToPaint.empty() || decode.empty()) {
        std::printf("  no measurement\n");
        return;
    }
    const Stats k = statsOf(run.keyToPaint), d = statsOf(decode), p = statsOf(run.paintOnly);
    print("  key to painted", k);
    print("  bare decode (LOADIMG)", d); // of the same file, just before its key
    print("  paint of the picture", p);
    print("  key posted to key hook", statsOf(run.keyToHook));
    print("  key hook to paint start", statsOf(run.hookToPaint));
    std::printf("  ratio key-to-painted / decode (medians): %.2f\n", k.median / d.median);
    std::printf("  over the decode (medians): %.2f ms, of which painting %.2f ms\n",
                k.median - d.median, p.median);
}

void benchRotation() {
    constexpr long W = 6000, H = 4000;
    BITMAPINFO bi = rgb32Info(W, H, RowOrder::TopDown);
    void *bits = nullptr;
    HBITMAP src = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!src) {
        std::printf("Rotation: no 6000 x 4000 bitmap could be made\n");
        return;
    }
    auto *px = static_cast<std::uint32_t *>(bits);
    for (long i = 0; i < W * H; ++i)
        px[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    std::vector<std::uint32_t> copy(static_cast<std::size_t>(W) * H);
    std::vector<double> left, right, plain, canvasOnly, freshCopy, kernel, kernelByPixel;
    for (int i = 0; i < 5; ++i) {
        double t0 = nowMs();
        HBITMAP l = ROTATEBMP(src, 90);
        left.push_back(nowMs() - t0);
        t0 = nowMs();
        HBITMAP r = ROTATEBMP(src, -90);
        right.push_back(nowMs() - t0);
        DeleteObject(l);
        DeleteObject(r);
        t0 = nowMs();
        std::memcpy(copy.data(), px, copy.size() * 4);
        plain.push_back(nowMs() - t0);
        // The pixel work alone, into the copy's canvas: already written to.
        t0 = nowMs();
        turnQuarter(px, W, copy.data(), H, W, H, true);
        kernel.push_back(nowMs() - t0);
        t0 = nowMs();
        turnQuarter(px, W, copy.data(), H, W, H, true, false);
        kernelByPixel.push_back(nowMs() - t0);
        // What a fresh result canvas costs before any pixel is turned.
        t0 = nowMs();
        void *fresh = nullptr;
        HBITMAP canvas = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &fresh, nullptr, 0);
        if (canvas)
            std::memset(fresh, 0, copy.size() * 4);
        canvasOnly.push_back(nowMs() - t0);
        DeleteObject(canvas);
        // The same copy, but into a fresh canvas as any turn must fill.
        t0 = nowMs();
        canvas = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &fresh, nullptr, 0);
        if (canvas)
            std::memcpy(fresh, px, copy.size() * 4);
        freshCopy.push_back(nowMs() - t0);
        DeleteObject(canvas);
    }
    DeleteObject(src);
    std::printf("Quarter turn of 6000 x 4000 (5 runs each):\n");
    const Stats l = statsOf(left), r = statsOf(right), c = statsOf(plain);
    print("  turn by 90", l);
    print("  turn by -90", r);
    print("  memcpy of the pixels", c);
    const Stats k = statsOf(kernel), kp = statsOf(kernelByPixel);
    print("  pixel work, written canvas", k);
    print("  the same, pixel by pixel", kp);
    const Stats f = statsOf(canvasOnly), fc = statsOf(freshCopy);
    print("  new canvas, first write", f);
    print("  memcpy into a new canvas", fc);
    std::printf("  ratio turn / copy (medians): %.2f and %.2f\n", l.median / c.median,
                r.median / c.median);
    std::printf("  ratio turn / copy into a new canvas (medians): %.2f and %.2f\n",
                l.median / fc.median, r.median / fc.median);
    std::printf("  ratio pixel work / copy, both into a written canvas: %.2f\n", k.median / c.median);
    std::printf("  the new canvas's first write alone / copy: %.2f (every turn must fill a new canvas)\n",
                f.median / c.median);
    std::printf("  turn less the new canvas's first write, / copy: %.2f and %.2f\n",
                (l.median - f.median) / c.median, (r.median - f.median) / c.median);
}

} // namespace

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], "rotate") == 0) {
        benchRotation();
        return 0;
    }
    const int count = argc > 1 ? std::max(2, std::atoi(argv[1])) : 200;
    GdiplusSession session;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(temp) + "vistoro-bench-" + std::to_string(GetCurrentProcessId());
    const std::vector<std::string> files = sceneFolder(dir, count, 1920, 1080);
    if (files.empty()) {
        std::printf("could not write the pictures\n");
        return 1;
    }
    benchKeys(files);
    benchRotation();
    for (const std::string &f : files)
        DeleteFileA(f.c_str());
    RemoveDirectoryA(dir.c_str());
    return 0;
}
