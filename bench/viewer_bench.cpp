// Measures, in one run: the time from a Down key to the next picture being
// painted over a generated folder of 1920 x 1080 JPEG pictures, next to the
// bare decode of each file timed just before its key; and a quarter turn of
// a 6000 x 4000 picture next to a plain copy of its pixels.
//
// Or, over a folder of photos, one Down at a reading pace: the time to the
// next picture painted, the longest the window went without taking a
// message, and the peak memory; then a bare decode of each photo.
//
// Or the zoom window of one photo: its picture against the area average at
// its size, and its first paint.
//
// Usage: viewer_bench [pictures]   (default 200; "rotate": the turn alone)
//        viewer_bench folder DIR [PACE_MS]   (default 1500)
//        viewer_bench zoom FILE
#include "bench/bench_support.h"
#include "imaging/area_average.h"
#include "imaging/decode.h"
#include "imaging/dib_info.h"
#include "imaging/gdiplus_session.h"
#include "util/dlghelp.h"
#include "imaging/quarter_turn.h"
#include "viewer/rotate.h"
#include "base/error.h"
#include "base/paths.h"
#include "base/text.h"
#include "viewer/decoder.h"
#include "viewer/viewwin.h"
#include "viewer/zoom.h"

#include <windows.h>

#include <objidl.h>
#include <psapi.h>

#include <gdiplus.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <functional>
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
    // At a pace: the next key only this long after the last paint.
    double paceMs = 0, lastPaintAt = 0;
    Pinger *pinger = nullptr;
    // The bare decode of the file that the next key brings, timed just
    // before the key, so that both see the machine in the same state.
    const std::vector<std::string> *files = nullptr;
    std::size_t next = 1;
    std::vector<double> decode;
};
KeyRun run;

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    if (!run.dlg || run.dlg->bStart || run.waiting || run.inCommand ||
        nowMs() - run.lastPaintAt < run.paceMs)
        return;
    if (run.left-- <= 0) {
        run.dlg->End();
        return;
    }
    if (run.files && run.next < run.files->size()) {
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

// Wraps the window's key and paint hooks to time each key to its paint.
void timeKeysAndPaints(TDialog &d) {
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
            run.lastPaintAt = t1;
        }
    };
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
    openViewingWindow(st, timeKeysAndPaints);
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

PROCESS_MEMORY_COUNTERS memory() {
    PROCESS_MEMORY_COUNTERS m{};
    m.cb = sizeof m;
    GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
    return m;
}

void benchPace(const std::vector<std::string> &files, double paceMs) {
    const PROCESS_MEMORY_COUNTERS before = memory();
    ViewerState st;
    // As the program starts on a folder: its list, the first photo shown.
    st.aFiles = AFILE(folderPart(lowerText(files.front())));
    st.nIdx = 1;
    st.cFile = st.aFiles->front();
    const std::optional<FileStamp> stamp = fileStamp(st.cFile);
    st.hBmp.reset(LOADIMAGE(st.cFile, false));
    st.pictures.nowShowing(st.cFile, stamp, st.hBmp.get());
    st.aSize = AIMGSIZE(st.hBmp.get());
    const double raw = 4.0 * st.aSize.width * st.aSize.height;
    Pinger pinger;
    run = KeyRun{};
    run.left = static_cast<int>(files.size()) - 1;
    run.paceMs = paceMs;
    UINT_PTR timer = SetTimer(nullptr, 0, 1, tick);
    openViewingWindow(st, [&pinger](TDialog &d) {
        timeKeysAndPaints(d);
        run.lastPaintAt = nowMs();
        pinger.aimAt(d.hWnd);
    });
    KillTimer(nullptr, timer);
    run.dlg = nullptr;
    const double longest = pinger.stop();
    const PROCESS_MEMORY_COUNTERS after = memory();
    DELETEIMG(st.hBmp);
    st.pictures.clear();

    // The bare decodes after the run, so that their peak is not the run's.
    std::vector<double> decode;
    for (std::size_t i = 1; i < files.size(); ++i) {
        const double t0 = nowMs();
        UniqueBitmap h(LOADIMG(files[i]));
        decode.push_back(nowMs() - t0);
    }
    std::printf("Down to painted at a pace of one key every %.0f ms, %zu photos of %d x %d:\n",
                paceMs, run.keyToPaint.size(), st.aSize.width, st.aSize.height);
    if (run.keyToPaint.empty() || decode.empty()) {
        std::printf("  no measurement\n");
        return;
    }
    const Stats k = statsOf(run.keyToPaint), d = statsOf(decode), p = statsOf(run.paintOnly);
    print("  key to painted", k);
    print("  key posted to key hook", statsOf(run.keyToHook));
    print("  key hook to paint start", statsOf(run.hookToPaint));
    print("  paint of the picture", p);
    print("  bare decode (LOADIMG)", d);
    std::printf("  ratio key-to-painted / decode (medians): %.3f; key-to-painted less the paint "
                "%.1f ms (targets: median <= 30 ms, <= one paint + 20 ms)\n",
                k.median / d.median, k.median - p.median);
    std::printf("  longest unanswered message while stepping: %.1f ms (target <= 50 ms)\n", longest);
    const double peak = static_cast<double>(after.PeakWorkingSetSize) -
                        static_cast<double>(before.WorkingSetSize);
    std::printf("  peak working set above the start %.1f MiB = %.2f x one photo's raw 32-bit "
                "pixels (%.1f MiB)\n",
                peak / 1048576.0, peak / raw, raw / 1048576.0);
}

// The picture painted at the zoom window's size into a 32-bit canvas.
Pixels paintedAtZoomSize(int width, int height, const std::function<void(HDC)> &paint) {
    BITMAPINFO bi = rgb32Info(width, height, RowOrder::TopDown);
    void *bits = nullptr;
    UniqueBitmap canvas(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueDC dc(CreateCompatibleDC(nullptr));
    if (!canvas || !dc)
        return {};
    {
        SelectGuard into(dc.get(), canvas.get());
        paint(dc.get());
        GdiFlush();
    }
    return pixelsOf(canvas.get());
}

// The zoom window's picture: how far it is from the area average at its
// size, and its first paint (the averaged copy made, then painted) next to
// the paint that every zoom paint used to be (the platform's stretch of the
// whole picture), both onto a window of that size on the screen.
void benchZoom(const std::string &file) {
    UniqueBitmap picture(LOADIMG(file));
    if (!picture) {
        std::printf("%s: does not load\n", file.c_str());
        return;
    }
    const ImageSize own = AIMGSIZE(picture.get());
    const ZoomSize z = zoomSize(own, GETWNDRECT(GETDESKTOPWINDOW()));
    const int width = static_cast<int>(z.width), height = static_cast<int>(z.height);
    std::printf("Zoom window of a %d x %d photo at %d x %d:\n", own.width, own.height, width,
                height);

    const Pixels reference = pixelsOf(picture.get());
    const std::vector<double> yardstick = referenceAverage(reference, width, height);
    const double sampled = meanLevelDifference(
        paintedAtZoomSize(width, height,
                          [&](HDC dc) { DRAWIMG(dc, picture.get(), 0, 0, width, height); }),
        yardstick);
    const double averaged = meanLevelDifference(
        paintedAtZoomSize(width, height,
                          [&](HDC dc) { ZoomPicture(picture.get(), width, height).paint(dc); }),
        yardstick);
    std::printf("  against the area average: %.2f levels per channel (target <= 4); the "
                "platform's stretch %.2f\n",
                averaged, sampled);

    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                  width, height, nullptr, nullptr, nullptr, nullptr);
    std::vector<double> before, after, later, alone;
    {
        WindowDC dc(window);
        for (int i = 0; i < 7; ++i) {
            double t0 = nowMs();
            DRAWIMG(dc.get(), picture.get(), 0, 0, width, height);
            GdiFlush();
            before.push_back(nowMs() - t0);
            t0 = nowMs();
            const ZoomPicture shown(picture.get(), width, height);
            shown.paint(dc.get());
            GdiFlush();
            after.push_back(nowMs() - t0);
            t0 = nowMs();
            shown.paint(dc.get());
            GdiFlush();
            later.push_back(nowMs() - t0);
            t0 = nowMs();
            reducedSection(picture.get(), width, height, 2);
            alone.push_back(nowMs() - t0);
        }
    }
    DestroyWindow(window);
    const Stats b = statsOf(before), a = statsOf(after);
    print("  first paint, stretched", b);
    print("  first paint, averaged", a);
    print("  a later paint, averaged", statsOf(later));
    print("  the averaging alone", statsOf(alone));
    std::printf("  ratio first paint averaged / stretched (medians): %.2f (target <= 1.5)\n",
                a.median / b.median);
}

} // namespace

int main(int argc, char **argv) {
    if (argc > 2 && std::strcmp(argv[1], "zoom") == 0) {
        GdiplusSession session;
        benchZoom(argv[2]);
        return 0;
    }
    if (argc > 2 && std::strcmp(argv[1], "folder") == 0) {
        GdiplusSession session;
        ShutdownRoutine decoding(endBackgroundDecoder);
        const std::vector<std::string> files = folderFiles(argv[2]);
        if (files.size() < 2) {
            std::printf("%s: fewer than two pictures\n", argv[2]);
            return 1;
        }
        benchPace(files, argc > 3 ? std::atof(argv[3]) : 1500);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "rotate") == 0) {
        benchRotation();
        return 0;
    }
    const int count = argc > 1 ? std::max(2, std::atoi(argv[1])) : 200;
    GdiplusSession session;
    ShutdownRoutine decoding(endBackgroundDecoder);
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
