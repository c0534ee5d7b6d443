// The gallery over 192 generated JPEG pictures, once at 1920 x 1080 and once
// at 4000 x 3000, or over the folders given: the time from the call to the
// first cell and to the full grid, next to the sum of the bare decodes of
// the same files in this run; the longest wait of a message sent to the
// window while it fills; and a repaint of the full grid.
//
// Or one photo's cell against the area average of its whole decode.
//
// Usage: gallery_bench [pictures]    (default 192)
//        gallery_bench folder DIR...  (the pictures of each folder)
//        gallery_bench cell FILE
#include "base/error.h"
#include "base/handles.h"
#include "bench/bench_support.h"
#include "imaging/decode.h"
#include "imaging/dib_info.h"
#include "imaging/gdiplus_session.h"
#include "viewer/decoder.h"
#include "viewer/gallery.h"
#include "viewer/viewwin.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace vistoro;
using namespace benchsupport;

namespace {

// What one gallery run saw, on the gallery's thread.
struct Run {
    double start = 0, firstCell = 0, full = 0;
    std::vector<double> repaints;
    HWND window = nullptr;
    Pinger *pinger = nullptr;
};
Run *run = nullptr;

BOOL CALLBACK galleryOfThread(HWND w, LPARAM) {
    char cls[16] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (IsWindowVisible(w) && std::string(cls) == "#32770") {
        run->window = w;
        run->pinger->aimAt(w);
        return FALSE;
    }
    return TRUE;
}

void observe(int nCells, bool lFinished) {
    if (!run->window)
        EnumThreadWindows(GetCurrentThreadId(), galleryOfThread, 0);
    if (nCells >= 1 && run->firstCell == 0)
        run->firstCell = nowMs() - run->start;
    if (!lFinished)
        return;
    run->full = nowMs() - run->start;
    const HWND w = run->window;
    for (int i = 0; i < 21; ++i) {
        const double t = nowMs();
        RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        GdiFlush();
        run->repaints.push_back(nowMs() - t);
    }
    PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
}

void benchFolder(const std::vector<std::string> &files, const char *what) {
    std::vector<double> decodes;
    for (const std::string &f : files) {
        const double t = nowMs();
        UniqueBitmap bmp(LOADIMG(f));
        decodes.push_back(nowMs() - t);
    }
    double sum = 0;
    for (double d : decodes)
        sum += d;
    const Stats one = statsOf(decodes);

    Run r;
    Pinger pinger;
    r.pinger = &pinger;
    run = &r;
    setGalleryFillObserver(observe);
    r.start = nowMs();
    GALLERY(files.front());
    const double longest = pinger.stop();
    setGalleryFillObserver(nullptr);
    run = nullptr;

    std::printf("%s: %zu pictures\n", what, files.size());
    print("  one bare decode", one);
    std::printf("  first cell                   %8.1f ms after the call\n", r.firstCell);
    std::printf("  full grid                    %8.1f ms   bare decodes %8.1f ms   ratio %.3f\n",
                r.full, sum, sum > 0 ? r.full / sum : 0.0);
    std::printf("  longest unanswered           %8.1f ms   slowest decode %6.1f ms (target <= "
                "50 ms)\n",
                longest, one.max);
    if (!r.repaints.empty()) {
        r.repaints.erase(r.repaints.begin()); // the first pays for caches
        print("  repaint of the full grid", statsOf(r.repaints));
    }
}

// One photo's cell as a worker makes it, and the cell made the way the
// platform stretches (the whole decode painted at the cell's size), each
// against the area average of the whole decode to the cell's size.
void benchCell(const std::string &file) {
    const COLORREF background = GetSysColor(COLOR_BTNFACE);
    UniqueBitmap picture(LOADIMG(file));
    if (!picture) {
        std::printf("%s: does not load\n", file.c_str());
        return;
    }
    std::vector<double> made;
    DecodeOutcome cell;
    for (int i = 0; i < 5; ++i) {
        const double t = nowMs();
        cell = makeGalleryCell(file, background);
        made.push_back(nowMs() - t);
    }
    if (!cell.bitmap) {
        std::printf("%s: no cell\n", file.c_str());
        return;
    }
    const std::vector<double> yardstick =
        referenceAverage(pixelsOf(picture.get()), cell.width, cell.height);
    BITMAPINFO bi = rgb32Info(cell.width, cell.height, RowOrder::TopDown);
    void *bits = nullptr;
    UniqueBitmap stretched(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueDC dc(CreateCompatibleDC(nullptr));
    {
        SelectGuard into(dc.get(), stretched.get());
        DRAWIMG(dc.get(), picture.get(), 0, 0, cell.width, cell.height);
        GdiFlush();
    }
    const ImageSize own = AIMGSIZE(picture.get());
    std::printf("Cell of a %d x %d photo (%d x %d):\n", own.width, own.height, cell.width,
                cell.height);
    print("  making the cell", statsOf(made));
    std::printf("  against the area average of the whole decode: %.2f levels per channel "
                "(target <= 4); the platform's stretch %.2f\n",
                meanLevelDifference(pixelsOf(cell.bitmap.get()), yardstick),
                meanLevelDifference(pixelsOf(stretched.get()), yardstick));
}

void removeFolder(const std::string &dir, const std::vector<std::string> &files) {
    for (const std::string &f : files)
        DeleteFileA(f.c_str());
    RemoveDirectoryA(dir.c_str());
}

} // namespace

int main(int argc, char **argv) {
    GdiplusSession session;
    ShutdownRoutine decoding(endBackgroundDecoder);
    if (argc > 2 && std::string(argv[1]) == "cell") {
        benchCell(argv[2]);
        return 0;
    }
    if (argc > 2 && std::string(argv[1]) == "folder") {
        for (int i = 2; i < argc; ++i) {
            const std::vector<std::string> files = folderFiles(argv[i]);
            if (files.empty()) {
                std::printf("%s: no pictures\n", argv[i]);
                return 1;
            }
            benchFolder(files, argv[i]);
        }
        return 0;
    }
    const int count = argc > 1 ? std::max(2, std::atoi(argv[1])) : 192;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string base =
        std::string(temp) + "vistoro-gallery-" + std::to_string(GetCurrentProcessId());
    const struct {
        int width, height;
        const char *what;
    } sizes[] = {{1920, 1080, "1920 x 1080"}, {4000, 3000, "4000 x 3000"}};
    for (const auto &s : sizes) {
        const std::string dir = base + "-" + std::to_string(s.width);
        const std::vector<std::string> files = sceneFolder(dir, count, s.width, s.height);
        if (files.empty()) {
            std::printf("could not write the pictures\n");
            return 1;
        }
        benchFolder(files, s.what);
        removeFolder(dir, files);
    }
    return 0;
}
