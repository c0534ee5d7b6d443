#include "pixels.h"

#include <cstring>

namespace viewertest {
namespace {

BITMAPINFO info32(long w, long h, bool bottomUp) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = bottomUp ? h : -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
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
