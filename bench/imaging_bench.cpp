// Times the decoder step by step and the painting of its result.
//   imaging_bench file PICTURE [RUNS]  one large picture, medians of RUNS
//   imaging_bench folder DIR           every picture of a folder, once each
// Peak memory is measured per process, so each large picture gets its own run.
#include "imaging/decode.h"
#include "imaging/decode_probe.h"
#include "imaging/gdiplus_session.h"
#include "imaging/paint.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace vistoro;

namespace {

double nowMs() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

PROCESS_MEMORY_COUNTERS memory() {
    PROCESS_MEMORY_COUNTERS m{};
    m.cb = sizeof m;
    GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
    return m;
}

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// PAINTIMG at 1:1 into a 32-bit picture of the bitmap's size.
double paintMs(HBITMAP bitmap) {
    const int w = NBMPWIDTH(bitmap), h = NBMPHEIGHT(bitmap);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    HBITMAP canvas = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, canvas);
    const double start = nowMs();
    PAINTIMG(dc, bitmap, 0, 0, w, h);
    GdiFlush();
    const double ms = nowMs() - start;
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(canvas);
    return ms;
}

int benchFile(const std::string &path, int runs) {
    std::vector<double> read, decode, normalise, handle, total, paint;
    const PROCESS_MEMORY_COUNTERS start = memory();
    PROCESS_MEMORY_COUNTERS afterFirst{};
    int w = 0, h = 0;
    for (int i = 0; i < runs; ++i) {
        DecodeTimings t;
        setDecodeTimings(&t);
        HBITMAP bitmap =
            GDIP_IMAGEFROMFILE(path, {.lMakeHandle = true, .lForcePremultiplied = true}).hBitmap;
        setDecodeTimings(nullptr);
        if (!bitmap) {
            std::fprintf(stderr, "cannot decode %s\n", path.c_str());
            return 1;
        }
        if (i == 0)
            afterFirst = memory(); // before painting adds its canvas
        w = NBMPWIDTH(bitmap);
        h = NBMPHEIGHT(bitmap);
        read.push_back(t.readMs);
        decode.push_back(t.decodeMs);
        normalise.push_back(t.normaliseMs);
        handle.push_back(t.handleMs);
        total.push_back(t.readMs + t.decodeMs + t.normaliseMs + t.handleMs);
        paint.push_back(paintMs(bitmap));
        DELETEOBJECT(bitmap);
    }
    const double raw = static_cast<double>(w) * h * 4;
    std::printf("%s: %d x %d, medians of %d runs\n", path.c_str(), w, h, runs);
    std::printf("  read %.1f ms, decode %.1f ms, normalise %.1f ms, handle %.1f ms: %.1f ms\n",
                median(read), median(decode), median(normalise), median(handle), median(total));
    std::printf("  PAINTIMG 1:1 %.1f ms\n", median(paint));
    // Committed memory and resident memory can peak apart; the larger counts.
    const double peak = static_cast<double>(std::max(
        afterFirst.PeakPagefileUsage - start.PagefileUsage,
        afterFirst.PeakWorkingSetSize - std::min(start.WorkingSetSize, afterFirst.PeakWorkingSetSize)));
    std::printf("  peak memory above start %.1f MiB (committed %.1f, resident %.1f), raw pixels "
                "%.1f MiB: %.2f x\n",
                peak / 1048576.0,
                static_cast<double>(afterFirst.PeakPagefileUsage - start.PagefileUsage) / 1048576.0,
                static_cast<double>(afterFirst.PeakWorkingSetSize - start.WorkingSetSize) / 1048576.0,
                raw / 1048576.0, peak / raw);
    std::printf("RESULT decode_total_ms %.1f\n", median(total));
    return 0;
}

int benchFolder(const std::string &dir) {
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return 1;
    std::vector<double> read, decode, normalise, handle, paint;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        DecodeTimings t;
        setDecodeTimings(&t);
        HBITMAP bitmap = LOADIMG(dir + "\\" + fd.cFileName);
        setDecodeTimings(nullptr);
        if (!bitmap)
            continue;
        read.push_back(t.readMs);
        decode.push_back(t.decodeMs);
        normalise.push_back(t.normaliseMs);
        handle.push_back(t.handleMs);
        paint.push_back(paintMs(bitmap));
        DELETEOBJECT(bitmap);
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    double sum = 0;
    for (std::size_t i = 0; i < read.size(); ++i)
        sum += read[i] + decode[i] + normalise[i] + handle[i] + paint[i];
    std::printf("%s: %zu pictures, medians per picture\n", dir.c_str(), read.size());
    std::printf("  read %.1f ms, decode %.1f ms, normalise %.1f ms, handle %.1f ms, PAINTIMG %.1f ms\n",
                median(read), median(decode), median(normalise), median(handle), median(paint));
    std::printf("  all pictures: %.0f ms, %.1f ms a picture\n", sum,
                read.empty() ? 0.0 : sum / static_cast<double>(read.size()));
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: imaging_bench file PICTURE [RUNS] | folder DIR\n");
        return 2;
    }
    GdiplusSession session;
    const std::string mode = argv[1];
    if (mode == "file")
        return benchFile(argv[2], argc > 3 ? std::max(1, std::atoi(argv[3])) : 5);
    if (mode == "folder")
        return benchFolder(argv[2]);
    return 2;
}
