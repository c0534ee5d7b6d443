#include "bench/bench_support.h"

#include <windows.h>

#include <objidl.h>

#include <gdiplus.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

namespace benchsupport {
namespace gp = Gdiplus::DllExports;

double nowMs() {
    static const LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

Stats statsOf(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    auto at = [&](double q) { return v[static_cast<std::size_t>(q * (v.size() - 1) + 0.5)]; };
    return {at(0.5), at(0.1), at(0.9), v.front(), v.back()};
}

double median(std::vector<double> v) {
    return v.empty() ? 0 : statsOf(std::move(v)).median;
}

void print(const char *what, const Stats &s) {
    std::printf("%-28s median %8.2f ms   p10 %8.2f   p90 %8.2f   min %8.2f   max %8.2f\n", what,
                s.median, s.p10, s.p90, s.min, s.max);
}

namespace {

bool jpegEncoder(CLSID &clsid) {
    UINT count = 0, bytes = 0;
    gp::GdipGetImageEncodersSize(&count, &bytes);
    std::vector<unsigned char> buf(bytes);
    auto *codecs = reinterpret_cast<Gdiplus::ImageCodecInfo *>(buf.data());
    if (!bytes || gp::GdipGetImageEncoders(count, bytes, codecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i)
        if (std::wcscmp(codecs[i].MimeType, L"image/jpeg") == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    return false;
}

} // namespace

bool writeScene(const std::string &path, int w, int h, int seed) {
    CLSID jpeg{};
    if (!jpegEncoder(jpeg))
        return false;
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
    unsigned noise = 12345u + static_cast<unsigned>(seed) * 7919u;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            noise = noise * 1103515245u + 12345u;
            const unsigned n = (noise >> 24) & 0x1F;
            const unsigned r = (x * 255 / w + n) & 0xFF, g = (y * 255 / h + n) & 0xFF;
            const unsigned b = ((x + y + seed * 40) / 8 % 200 + n) & 0xFF;
            px[static_cast<std::size_t>(y) * w + x] = 0xFF000000u | r << 16 | g << 8 | b;
        }
    Gdiplus::GpBitmap *bmp = nullptr;
    if (gp::GdipCreateBitmapFromScan0(w, h, w * 4, PixelFormat32bppRGB,
                                      reinterpret_cast<BYTE *>(px.data()), &bmp) != Gdiplus::Ok)
        return false;
    const std::wstring wide(path.begin(), path.end());
    const bool ok = gp::GdipSaveImageToFile(bmp, wide.c_str(), &jpeg, nullptr) == Gdiplus::Ok;
    gp::GdipDisposeImage(bmp);
    return ok;
}

std::vector<std::string> sceneFolder(const std::string &dir, int count, int width, int height) {
    CreateDirectoryA(dir.c_str(), nullptr);
    std::vector<std::string> files;
    constexpr int kScenes = 4;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\p%03d.jpg", i + 1);
        const std::string path = dir + name;
        if (i < kScenes) {
            if (!writeScene(path, width, height, i))
                return {};
        } else {
            CopyFileA(files[static_cast<std::size_t>(i % kScenes)].c_str(), path.c_str(), FALSE);
        }
        files.push_back(path);
    }
    return files;
}

Pixels pixelsOf(void *hbitmap) {
    const auto bitmap = static_cast<HBITMAP>(hbitmap);
    BITMAP bm{};
    if (!bitmap || GetObjectW(bitmap, sizeof bm, &bm) != sizeof bm)
        return {};
    Pixels p{bm.bmWidth, bm.bmHeight, {}};
    p.px.resize(static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), p.width, -p.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(p.height), p.px.data(), &info,
                               DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return rows == p.height ? p : Pixels{};
}

namespace {
// The parts of source pixels [0, from) that result pixel i of `to` covers,
// as (first pixel, weights in source pixels).
struct Span {
    long first;
    std::vector<double> weights;
};
std::vector<Span> spansOf(long from, long to) {
    std::vector<Span> spans(static_cast<std::size_t>(to));
    const double scale = static_cast<double>(from) / static_cast<double>(to);
    for (long i = 0; i < to; ++i) {
        const double start = i * scale, end = (i + 1) * scale;
        Span &s = spans[static_cast<std::size_t>(i)];
        s.first = static_cast<long>(start);
        for (long k = s.first; k < from && k < end; ++k)
            s.weights.push_back(std::min<double>(end, k + 1) - std::max<double>(start, k));
    }
    return spans;
}
} // namespace

std::vector<double> referenceAverage(const Pixels &from, long width, long height) {
    const std::vector<Span> across = spansOf(from.width, width),
                            down = spansOf(from.height, height);
    // Across first, into rows of doubles; then down.
    std::vector<double> rows(static_cast<std::size_t>(from.height) * width * 3);
    for (long y = 0; y < from.height; ++y)
        for (long x = 0; x < width; ++x) {
            const Span &s = across[static_cast<std::size_t>(x)];
            double sum[3] = {0, 0, 0}, total = 0;
            for (std::size_t k = 0; k < s.weights.size(); ++k) {
                const std::uint32_t p = from.px[static_cast<std::size_t>(y) * from.width + s.first +
                                                static_cast<long>(k)];
                for (int c = 0; c < 3; ++c)
                    sum[c] += s.weights[k] * ((p >> (16 - 8 * c)) & 0xFF);
                total += s.weights[k];
            }
            for (int c = 0; c < 3; ++c)
                rows[(static_cast<std::size_t>(y) * width + x) * 3 + c] = sum[c] / total;
        }
    std::vector<double> out(static_cast<std::size_t>(width) * height * 3);
    for (long y = 0; y < height; ++y) {
        const Span &s = down[static_cast<std::size_t>(y)];
        double total = 0;
        for (double w : s.weights)
            total += w;
        for (long x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (std::size_t k = 0; k < s.weights.size(); ++k)
                    sum +=
                        s.weights[k] * rows[((s.first + static_cast<long>(k)) * width + x) * 3 + c];
                out[(static_cast<std::size_t>(y) * width + x) * 3 + c] = sum / total;
            }
    }
    return out;
}

double meanLevelDifference(const Pixels &picture, const std::vector<double> &reference) {
    if (picture.px.empty() || reference.size() != picture.px.size() * 3)
        return -1;
    double sum = 0;
    for (std::size_t i = 0; i < picture.px.size(); ++i)
        for (int c = 0; c < 3; ++c) {
            const double level = (picture.px[i] >> (16 - 8 * c)) & 0xFF;
            const double d = level - reference[i * 3 + c];
            sum += d < 0 ? -d : d;
        }
    return sum / (static_cast<double>(picture.px.size()) * 3);
}

std::vector<std::string> folderFiles(const std::string &dir) {
    std::vector<std::string> files;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return files;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back(dir + "\\" + fd.cFileName);
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    return files;
}

struct Pinger::State {
    std::atomic<HWND> window{nullptr};
    std::atomic<bool> running{true};
    double longest = 0;
    std::thread thread;
};

Pinger::Pinger() : state_(new State) {
    State *s = state_;
    s->thread = std::thread([s] {
        while (s->running) {
            const HWND w = s->window;
            if (!w) {
                Sleep(1);
                continue;
            }
            const double t = nowMs();
            DWORD_PTR answer = 0;
            SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &answer);
            s->longest = std::max(s->longest, nowMs() - t);
            Sleep(1);
        }
    });
}

Pinger::~Pinger() {
    stop();
    delete state_;
}

void Pinger::aimAt(void *hwnd) {
    state_->window = static_cast<HWND>(hwnd);
}

double Pinger::stop() {
    state_->running = false;
    if (state_->thread.joinable())
        state_->thread.join();
    return state_->longest;
}

} // namespace benchsupport
