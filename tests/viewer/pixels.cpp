#include "pixels.h"

#include "imaging/dib_info.h"
#include "support/encoders.h"
#include "support/test_support.h"

#include <cstring>

namespace viewertest {
namespace {

BITMAPINFO info32(long w, long h, bool bottomUp) {
    return vistoro::rgb32Info(w, h, bottomUp ? vistoro::RowOrder::BottomUp : vistoro::RowOrder::TopDown);
}

} // namespace

Pixels patterned(long width, long height) {
    Pixels p{width, height, {}};
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x)
            p.px.push_back(0xFF000000u | static_cast<std::uint32_t>((y & 0xFF) << 16) |
                           static_cast<std::uint32_t>((x & 0xFF) << 8) |
                           static_cast<std::uint32_t>(((x >> 8) + (y >> 8) * 16 + 1) & 0xFF));
    return p;
}

HBITMAP makeDib(const Pixels &p, bool bottomUp) {
    BITMAPINFO bi = info32(p.width, p.height, bottomUp);
    void *bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp)
        return nullptr;
    auto *rows = static_cast<std::uint32_t *>(bits);
    for (long y = 0; y < p.height; ++y) {
        long at = bottomUp ? p.height - 1 - y : y;
        std::memcpy(rows + at * p.width, &p.px[static_cast<size_t>(y * p.width)], p.width * 4);
    }
    return bmp;
}

HBITMAP makeDdb(const Pixels &p) {
    HDC screen = GetDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(screen, p.width, p.height);
    BITMAPINFO bi = info32(p.width, p.height, false);
    SetDIBits(screen, bmp, 0, p.height, p.px.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return bmp;
}

Pixels readPixels(HBITMAP bmp) {
    BITMAP bm{};
    if (!bmp || GetObjectA(bmp, sizeof bm, &bm) != sizeof bm)
        return {};
    Pixels p{bm.bmWidth, bm.bmHeight, std::vector<std::uint32_t>(bm.bmWidth * bm.bmHeight)};
    BITMAPINFO bi = info32(p.width, p.height, false);
    HDC screen = GetDC(nullptr);
    int rows = GetDIBits(screen, bmp, 0, p.height, p.px.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != p.height)
        return {};
    return p;
}

} // namespace viewertest

#include <objidl.h>

#include <gdiplus.h>

#include <cwchar>

namespace viewertest {
namespace gp = Gdiplus::DllExports;

namespace {
using testsupport::encoderFor;

std::wstring wide(const std::string &s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, w.data(), n);
    w.resize(n > 0 ? n - 1 : 0);
    return w;
}
} // namespace

bool writePicture(const std::string &path, const Pixels &p, const wchar_t *mimeType,
                  bool withAlpha) {
    CLSID clsid{};
    if (!encoderFor(mimeType, clsid))
        return false;
    std::vector<std::uint32_t> copy = p.px; // the bitmap borrows the buffer
    Gdiplus::GpBitmap *bmp = nullptr;
    if (gp::GdipCreateBitmapFromScan0(p.width, p.height, p.width * 4,
                                      withAlpha ? PixelFormat32bppARGB : PixelFormat32bppRGB,
                                      reinterpret_cast<BYTE *>(copy.data()), &bmp) != Gdiplus::Ok)
        return false;
    const bool ok = gp::GdipSaveImageToFile(bmp, wide(path).c_str(), &clsid, nullptr) == Gdiplus::Ok;
    gp::GdipDisposeImage(bmp);
    return ok;
}

bool writePhoto(const std::string &path, const Pixels &upright, int orientation, bool bigEndian) {
    if (!writePicture(path, testsupport::storedFor(upright, orientation), L"image/jpeg"))
        return false;
    testsupport::writeFile(path, testsupport::withExif(testsupport::readFile(path),
                                                       {orientation, bigEndian}));
    return true;
}

Pixels sampleScene(long width, long height, int seed) {
    Pixels p{width, height, {}};
    p.px.reserve(static_cast<size_t>(width * height));
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x) {
            std::uint32_t r = static_cast<std::uint32_t>((x * 255) / (width > 1 ? width - 1 : 1));
            std::uint32_t g = static_cast<std::uint32_t>((y * 255) / (height > 1 ? height - 1 : 1));
            std::uint32_t b = static_cast<std::uint32_t>((seed * 37 + ((x / 16 + y / 16) % 2) * 90) & 0xFF);
            p.px.push_back(0xFF000000u | r << 16 | g << 8 | b);
        }
    return p;
}

Pixels decodeFile(const std::string &path) {
    Gdiplus::GpBitmap *bmp = nullptr;
    if (gp::GdipCreateBitmapFromFile(wide(path).c_str(), &bmp) != Gdiplus::Ok)
        return {};
    UINT w = 0, h = 0;
    gp::GdipGetImageWidth(bmp, &w);
    gp::GdipGetImageHeight(bmp, &h);
    Pixels p{static_cast<long>(w), static_cast<long>(h), std::vector<std::uint32_t>(w * h)};
    Gdiplus::Rect r(0, 0, static_cast<INT>(w), static_cast<INT>(h));
    Gdiplus::BitmapData data{};
    data.Width = w;
    data.Height = h;
    data.Stride = static_cast<INT>(w * 4);
    data.PixelFormat = PixelFormat32bppARGB;
    data.Scan0 = p.px.data();
    const bool ok = gp::GdipBitmapLockBits(bmp, &r, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                                           PixelFormat32bppARGB, &data) == Gdiplus::Ok;
    if (ok)
        gp::GdipBitmapUnlockBits(bmp, &data);
    gp::GdipDisposeImage(bmp);
    return ok ? p : Pixels{};
}

} // namespace viewertest
