// Times the decoder step by step against the decoding call alone, and the
// painting of its result.
//   imaging_bench file PICTURE [RUNS]  one large picture, medians of RUNS
//   imaging_bench peak PICTURE         memory of one LOADIMG in a fresh process
//   imaging_bench peakdecode PICTURE   memory of the decoding call alone, likewise
//   imaging_bench folder DIR           every picture of a folder, once each
//   imaging_bench orient PLAIN TURNED [RUNS]  the same photo stored upright and
//                                      under EXIF orientation 6, LOADIMG of each
//   imaging_bench eighth PICTURE [RUNS] the one-eighth reader of a JPEG, from
//                                      bytes in memory and from the file, against
//                                      LOADIMG of it
// Peak memory is measured per process, so each peak gets a process of its own.
#include "bench/bench_support.h"
#include "imaging/decode.h"
#include "imaging/decode_probe.h"
#include "imaging/dib_readout.h"
#include "imaging/byte_stream.h"
#include "imaging/gdiplus_holders.h"
#include "imaging/gdiplus_session.h"
#include "imaging/jpeg_eighth.h"
#include "imaging/paint.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace vistoro;
using benchsupport::median;
using benchsupport::nowMs;

namespace {

double timed(const std::function<void()> &work) {
    const double start = nowMs();
    work();
    return nowMs() - start;
}

PROCESS_MEMORY_COUNTERS memory() {
    PROCESS_MEMORY_COUNTERS m{};
    m.cb = sizeof m;
    GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
    return m;
}

double mib(double bytes) { return bytes / 1048576.0; }

std::string fileBytes(const std::string &path) {
    std::string bytes;
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
        char buffer[1 << 16];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            bytes.append(buffer, n);
        std::fclose(f);
    }
    return bytes;
}

// The decoding call alone; the decoded image is released outside the time.
double decodeOnlyMs(const std::string &bytes) {
    UniqueStream stream = streamOverBytes(bytes);
    UniqueGpBitmap image;
    const double ms = timed([&] { gp::GdipCreateBitmapFromStream(stream.get(), image.put()); });
    return image ? ms : -1;
}

// The straight way for comparison: decode, draw into a new premultiplied
// image, convert to a handle over black. The handle is kept when asked.
double drawnWayMs(const std::string &bytes, HBITMAP *keep = nullptr) {
    UniqueStream stream = streamOverBytes(bytes);
    HBITMAP handle = nullptr;
    const double ms = timed([&] {
        UniqueGpBitmap source, target;
        gp::GdipCreateBitmapFromStream(stream.get(), source.put());
        UINT w = 0, h = 0;
        gp::GdipGetImageWidth(source.get(), &w);
        gp::GdipGetImageHeight(source.get(), &h);
        gp::GdipCreateBitmapFromScan0(static_cast<INT>(w), static_cast<INT>(h), 0,
                                      PixelFormat32bppPARGB, nullptr, target.put());
        {
            UniqueGpGraphics graphics;
            gp::GdipGetImageGraphicsContext(target.get(), graphics.put());
            gp::GdipDrawImageRectI(graphics.get(), source.get(), 0, 0, static_cast<INT>(w),
                                   static_cast<INT>(h));
        }
        source.reset();
        gp::GdipCreateHBITMAPFromBitmap(target.get(), &handle, 0xFF000000);
    });
    if (keep)
        *keep = handle;
    else
        DeleteObject(handle);
    return ms;
}

// Whether LOADIMG's handle holds the very bytes of the drawing way's handle.
bool sameAsDrawingWay(const std::string &path, const std::string &bytes) {
    HBITMAP drawn = nullptr;
    drawnWayMs(bytes, &drawn);
    HBITMAP loaded = LOADIMG(path);
    DIBSECTION a{}, b{};
    const bool same =
        GetObjectW(drawn, sizeof a, &a) == sizeof a && GetObjectW(loaded, sizeof b, &b) == sizeof b &&
        a.dsBm.bmWidth == b.dsBm.bmWidth && a.dsBm.bmHeight == b.dsBm.bmHeight &&
        a.dsBmih.biHeight == b.dsBmih.biHeight && a.dsBm.bmWidthBytes == b.dsBm.bmWidthBytes &&
        a.dsBm.bmBitsPixel == b.dsBm.bmBitsPixel &&
        std::memcmp(a.dsBm.bmBits, b.dsBm.bmBits,
                    static_cast<std::size_t>(a.dsBm.bmWidthBytes) * a.dsBm.bmHeight) == 0;
    DeleteObject(drawn);
    DELETEOBJECT(loaded);
    return same;
}

// A 32-bit DIB section selected into a memory context.
struct Canvas {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    Canvas(int w, int h) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void *bits = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        old = SelectObject(dc, bitmap);
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
};

volatile bool readOutFound = false; // keeps the walk from being left out

// The alpha test as a full read-out would make it, for comparison.
double readOutTestMs(HBITMAP bitmap) {
    return timed([&] {
        PackedDib dib = packedDibFromBitmap(bitmap);
        GlobalLockGuard lock(dib.block.get());
        const BYTE *bits = static_cast<const BYTE *>(lock.get()) + dib.bitsOffset;
        bool found = false;
        for (DWORD offset = 0; offset + 3 < dib.imageSize && !found; offset += 4)
            found = bits[offset + 3] != 0;
        readOutFound = found;
    });
}

void benchPaint(HBITMAP bitmap, int runs) {
    const int w = NBMPWIDTH(bitmap), h = NBMPHEIGHT(bitmap);
    // The worst case of the alpha test: nothing set until the last pixel.
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    UniqueBitmap late(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (late) {
        std::memset(bits, 0x40, static_cast<std::size_t>(w) * h * 4);
        for (std::size_t i = 0; i < static_cast<std::size_t>(w) * h; ++i)
            static_cast<BYTE *>(bits)[i * 4 + 3] = 0;
        static_cast<BYTE *>(bits)[static_cast<std::size_t>(w) * h * 4 - 1] = 0xFF;
    }
    std::vector<double> test, testLate, readOut, readOutLate, full, fit, drag;
    Canvas whole(w, h), window(1920, 1080);
    // The view of the whole picture fitted into 1080 rows, as the viewer paints it.
    const int fitH = std::min(h, 1080), fitW = static_cast<int>(static_cast<long long>(w) * fitH / h);
    for (int i = 0; i < runs; ++i) {
        test.push_back(timed([&] { HASALPHA(bitmap); }));
        testLate.push_back(timed([&] { HASALPHA(late.get()); }));
        readOut.push_back(readOutTestMs(bitmap));
        readOutLate.push_back(readOutTestMs(late.get()));
        full.push_back(timed([&] { PAINTIMG(whole.dc, bitmap, 0, 0, w, h); GdiFlush(); }));
        fit.push_back(timed([&] { PAINTIMG(window.dc, bitmap, 0, 0, fitW, fitH); GdiFlush(); }));
        // A drag step over the picture at 1:1: the window shows a part of it.
        drag.push_back(timed([&] {
            PAINTIMG(window.dc, bitmap, -(h - 1080) / 2 - i, -(w - 1920) / 2 - i, w, h);
            GdiFlush();
        }));
    }
    std::printf("  HASALPHA %.2f ms (in place; the full read-out would take %.1f ms); worst case,"
                " only the last byte set: %.1f ms (read-out %.1f ms)\n",
                median(test), median(readOut), median(testLate), median(readOutLate));
    std::printf("  PAINTIMG 1:1 of the whole picture %.1f ms; fitted into %d x %d %.1f ms; drag "
                "step (a 1920 x 1080 window's part at 1:1) %.1f ms\n",
                median(full), fitW, fitH, median(fit), median(drag));
}

int benchFile(const std::string &path, int runs) {
    const std::string bytes = fileBytes(path);
    if (bytes.empty() || decodeOnlyMs(bytes) < 0) { // also warms the decoder up
        std::fprintf(stderr, "cannot decode %s\n", path.c_str());
        return 1;
    }
    std::vector<double> decodeOnly, load, drawn, read, decode, normalise, handle;
    int w = 0, h = 0;
    bool direct = false;
    for (int i = 0; i < runs; ++i) {
        // Alternated so that neither side always runs on a warmer machine.
        auto oneLoad = [&] {
            DecodeTimings t;
            setDecodeTimings(&t);
            HBITMAP bitmap = nullptr;
            load.push_back(timed([&] { bitmap = LOADIMG(path); }));
            setDecodeTimings(nullptr);
            w = NBMPWIDTH(bitmap);
            h = NBMPHEIGHT(bitmap);
            direct = t.directHandle;
            read.push_back(t.readMs);
            decode.push_back(t.decodeMs);
            normalise.push_back(t.normaliseMs);
            handle.push_back(t.handleMs);
            DELETEOBJECT(bitmap);
        };
        if (i % 2) {
            oneLoad();
            decodeOnly.push_back(decodeOnlyMs(bytes));
        } else {
            decodeOnly.push_back(decodeOnlyMs(bytes));
            oneLoad();
        }
        drawn.push_back(drawnWayMs(bytes));
    }
    std::printf("%s: %d x %d, medians of %d runs\n", path.c_str(), w, h, runs);
    std::printf("  LOADIMG steps: read %.1f ms, decode %.1f ms, to premultiplied %.1f ms, "
                "handle %.1f ms (%s)\n",
                median(read), median(decode), median(normalise), median(handle),
                direct ? "rows filled straight into the handle's DIB section"
                       : "through a target image");
    std::printf("  LOADIMG %.1f ms, GdipCreateBitmapFromStream alone %.1f ms: ratio %.2f "
                "(target at most 1.40)\n",
                median(load), median(decodeOnly), median(load) / median(decodeOnly));
    std::printf("  the drawing way (decode, GdipDrawImageRectI, GdipCreateHBITMAPFromBitmap) "
                "%.1f ms: ratio %.2f\n",
                median(drawn), median(drawn) / median(decodeOnly));
    std::printf("  LOADIMG's pixels against the drawing way's, byte for byte: %s\n",
                sameAsDrawingWay(path, bytes) ? "identical" : "DIFFERENT");
    HBITMAP bitmap = LOADIMG(path);
    benchPaint(bitmap, runs);
    DELETEOBJECT(bitmap);
    std::printf("RESULT loadimg_ms %.1f decode_only_ms %.1f\n", median(load), median(decodeOnly));
    return 0;
}

// One load in a process that has done nothing else: its peak working set
// above the working set just before it.
int benchPeak(const std::string &path, bool decodeOnly) {
    const std::string bytes = decodeOnly ? fileBytes(path) : std::string();
    UniqueStream stream = decodeOnly ? streamOverBytes(bytes) : UniqueStream();
    const PROCESS_MEMORY_COUNTERS before = memory();
    int w = 0, h = 0;
    if (decodeOnly) {
        UniqueGpBitmap image;
        gp::GdipCreateBitmapFromStream(stream.get(), image.put());
        UINT uw = 0, uh = 0;
        gp::GdipGetImageWidth(image.get(), &uw);
        gp::GdipGetImageHeight(image.get(), &uh);
        w = static_cast<int>(uw);
        h = static_cast<int>(uh);
    } else {
        HBITMAP bitmap = LOADIMG(path);
        w = NBMPWIDTH(bitmap);
        h = NBMPHEIGHT(bitmap);
        DELETEOBJECT(bitmap);
    }
    const PROCESS_MEMORY_COUNTERS after = memory();
    if (w == 0) {
        std::fprintf(stderr, "cannot decode %s\n", path.c_str());
        return 1;
    }
    const double raw = static_cast<double>(w) * h * 4;
    const double peak = static_cast<double>(after.PeakWorkingSetSize) -
                        static_cast<double>(before.WorkingSetSize);
    std::printf("%s of %s: peak working set %.1f MiB - %.1f MiB before = %.1f MiB; raw 32-bit "
                "pixels %.1f MiB: %.2f x%s (committed peak above start %.1f MiB)\n",
                decodeOnly ? "GdipCreateBitmapFromStream alone" : "LOADIMG", path.c_str(),
                mib(static_cast<double>(after.PeakWorkingSetSize)),
                mib(static_cast<double>(before.WorkingSetSize)), mib(peak), mib(raw), peak / raw,
                decodeOnly ? "" : " (target at most 3.00)",
                mib(static_cast<double>(after.PeakPagefileUsage) -
                    static_cast<double>(before.PagefileUsage)));
    return 0;
}

int benchFolder(const std::string &dir) {
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return 1;
    std::vector<double> load, paint;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        HBITMAP bitmap = nullptr;
        const double ms = timed([&] { bitmap = LOADIMG(dir + "\\" + fd.cFileName); });
        if (!bitmap)
            continue;
        load.push_back(ms);
        Canvas canvas(NBMPWIDTH(bitmap), NBMPHEIGHT(bitmap));
        paint.push_back(timed([&] { PAINTIMG(canvas.dc, bitmap); GdiFlush(); }));
        DELETEOBJECT(bitmap);
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    std::printf("%s: %zu pictures, medians per picture: LOADIMG %.1f ms, PAINTIMG 1:1 %.1f ms\n",
                dir.c_str(), load.size(), median(load), median(paint));
    return 0;
}

// The cost of standing a photo upright: LOADIMG of a photo whose EXIF
// orientation asks for a quarter turn, against the same photo stored upright.
int benchOrientation(const std::string &plain, const std::string &turned, int runs) {
    HBITMAP first = LOADIMG(plain), second = LOADIMG(turned); // also warms the decoder up
    const bool swapped = first && second && NBMPWIDTH(first) == NBMPHEIGHT(second) &&
                         NBMPHEIGHT(first) == NBMPWIDTH(second);
    DELETEOBJECT(first);
    DELETEOBJECT(second);
    if (!swapped) {
        std::fprintf(stderr, "%s and %s are not one photo, upright and turned\n", plain.c_str(),
                     turned.c_str());
        return 1;
    }
    std::vector<double> upright, oriented;
    for (int i = 0; i < runs; ++i) {
        // Alternated so that neither side always runs on a warmer machine.
        for (int k = 0; k < 2; ++k) {
            const bool turnedNow = (i + k) % 2 == 1;
            HBITMAP bitmap = nullptr;
            const double ms = timed([&] { bitmap = LOADIMG(turnedNow ? turned : plain); });
            (turnedNow ? oriented : upright).push_back(ms);
            DELETEOBJECT(bitmap);
        }
    }
    std::printf("LOADIMG of a photo under EXIF orientation 6 %.1f ms, the same photo stored "
                "upright %.1f ms (medians of %d): ratio %.2f (target at most 1.30)\n",
                median(oriented), median(upright), runs, median(oriented) / median(upright));
    return 0;
}

// The one-eighth reader, which the gallery draws photos without an embedded
// thumbnail from, against decoding the whole photo.
int benchEighth(const std::string &path, int runs) {
    const std::wstring name(path.begin(), path.end());
    const auto bytes = ByteBlock::fromFile(name);
    const auto eighth = bytes ? readJpegEighth(bytes->data(), bytes->size()) : std::nullopt;
    HBITMAP warm = LOADIMG(path);
    DELETEOBJECT(warm);
    if (!eighth) {
        std::fprintf(stderr, "the one-eighth reader refuses %s\n", path.c_str());
        return 1;
    }
    std::vector<double> inMemory, fromFile, load;
    for (int i = 0; i < runs; ++i) {
        inMemory.push_back(timed([&] { readJpegEighth(bytes->data(), bytes->size()); }));
        fromFile.push_back(timed([&] {
            const auto read = ByteBlock::fromFile(name);
            readJpegEighth(read->data(), read->size());
        }));
        HBITMAP bitmap = nullptr;
        load.push_back(timed([&] { bitmap = LOADIMG(path); }));
        DELETEOBJECT(bitmap);
    }
    std::printf("%s: the %ld x %ld eighth of %u x %u, medians of %d runs\n", path.c_str(),
                eighth->width, eighth->height, eighth->photoWidth, eighth->photoHeight, runs);
    std::printf("  readJpegEighth from bytes in memory %.1f ms; reading the file and "
                "readJpegEighth %.1f ms; LOADIMG %.1f ms: ratio %.3f (target at most 0.25)\n",
                median(inMemory), median(fromFile), median(load), median(fromFile) / median(load));
    std::printf("RESULT eighth_ms %.1f eighth_file_ms %.1f loadimg_ms %.1f\n", median(inMemory),
                median(fromFile), median(load));
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: imaging_bench file PICTURE [RUNS] | peak PICTURE | peakdecode PICTURE"
                     " | folder DIR | orient PLAIN TURNED [RUNS] | eighth PICTURE [RUNS]\n");
        return 2;
    }
    GdiplusSession session;
    const std::string mode = argv[1];
    if (mode == "file")
        return benchFile(argv[2], argc > 3 ? std::max(1, std::atoi(argv[3])) : 5);
    if (mode == "peak" || mode == "peakdecode")
        return benchPeak(argv[2], mode == "peakdecode");
    if (mode == "folder")
        return benchFolder(argv[2]);
    if (mode == "eighth")
        return benchEighth(argv[2], argc > 3 ? std::max(1, std::atoi(argv[3])) : 5);
    if (mode == "orient" && argc > 3)
        return benchOrientation(argv[2], argv[3], argc > 4 ? std::max(1, std::atoi(argv[4])) : 5);
    return 2;
}
