// Rotation works on 32-bit pixel rows: the source is read where it lies (a
// 32-bit DIB section) or fetched once with GetDIBits, and every result pixel
// is written once. A blit through a rotating world transform is not used:
// on some GDI implementations it misplaces pixels, and the turned picture
// has to be exact.
#include "viewer/rotate.h"

#include "imaging/picture_limits.h"

#include "imaging/dib_info.h"
#include "base/handles.h"
#include "imaging/quarter_turn.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace vistoro {
namespace {

constexpr double kPi = 3.141592653589793;

// Read access to the source's pixels, top row first, as 0xAARRGGBB words.
class SourcePixels {
  public:
    bool open(HBITMAP bmp, long w, long h) {
        DIBSECTION ds{};
        if (::GetObjectW(bmp, sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBits &&
            ds.dsBm.bmBitsPixel == 32 && ds.dsBmih.biCompression == BI_RGB &&
            ds.dsBm.bmWidthBytes == w * 4) {
            ::GdiFlush(); // drawing still queued must reach the pixels first
            auto *bits = static_cast<const std::uint8_t *>(ds.dsBm.bmBits);
            // Not every GDI reports the row order in the header's sign, so
            // the top row is fetched and looked for at either end.
            std::vector<std::uint32_t> top(static_cast<std::size_t>(w));
            BITMAPINFO bi = rgb32Info(w, h, RowOrder::BottomUp); // scan line h - 1: the top row
            WindowDC screen(nullptr);
            if (screen && ::GetDIBits(screen.get(), bmp, h - 1, 1, top.data(), &bi, DIB_RGB_COLORS) == 1) {
                const std::size_t bytes = static_cast<std::size_t>(w) * 4;
                const std::uint8_t *last = bits + static_cast<std::ptrdiff_t>(h - 1) * w * 4;
                const bool atFirst = std::memcmp(bits, top.data(), bytes) == 0;
                const bool atLast = std::memcmp(last, top.data(), bytes) == 0;
                if (atFirst != atLast || h == 1) {
                    first_ = atFirst ? bits : last;
                    stride_ = atFirst ? w * 4 : -w * 4;
                    return true;
                }
            }
            // Undecided (equal end rows): read a copy instead.
        }
        BITMAPINFO bi = rgb32Info(w, h, RowOrder::TopDown);
        copy_.resize(static_cast<std::size_t>(w) * h);
        WindowDC screen(nullptr);
        if (!screen || ::GetDIBits(screen.get(), bmp, 0, h, copy_.data(), &bi, DIB_RGB_COLORS) != h)
            return false;
        first_ = reinterpret_cast<const std::uint8_t *>(copy_.data());
        stride_ = w * 4;
        return true;
    }
    // From one row to the next, in pixels.
    std::ptrdiff_t stride() const { return stride_ / 4; }
    const std::uint32_t *row(long y) const {
        return reinterpret_cast<const std::uint32_t *>(first_ + static_cast<std::ptrdiff_t>(y) * stride_);
    }

  private:
    const std::uint8_t *first_ = nullptr;
    std::ptrdiff_t stride_ = 0;
    std::vector<std::uint32_t> copy_;
};

// A top-down 32-bit target: a DIB section when the display is 32-bit, else a
// buffer handed to a bitmap compatible with the screen at the end.
class TargetPixels {
  public:
    bool create(long w, long h) {
        w_ = w;
        h_ = h;
        WindowDC screen(nullptr);
        if (!screen)
            return false;
        depth_ = ::GetDeviceCaps(screen.get(), BITSPIXEL) * ::GetDeviceCaps(screen.get(), PLANES);
        if (depth_ == 32) {
            BITMAPINFO bi = info();
            void *bits = nullptr;
            bmp_.reset(::CreateDIBSection(screen.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
            pixels_ = static_cast<std::uint32_t *>(bits);
            return bmp_ && pixels_;
        }
        buffer_.resize(static_cast<std::size_t>(w) * h);
        pixels_ = buffer_.data();
        return true;
    }
    std::uint32_t *row(long y) { return pixels_ + static_cast<std::ptrdiff_t>(y) * w_; }
    long width() const { return w_; }
    HBITMAP finish() {
        if (depth_ != 32) {
            WindowDC screen(nullptr);
            if (!screen)
                return nullptr;
            bmp_.reset(::CreateCompatibleBitmap(screen.get(), w_, h_));
            BITMAPINFO bi = info();
            if (!bmp_ || ::SetDIBits(screen.get(), bmp_.get(), 0, h_, pixels_, &bi, DIB_RGB_COLORS) != h_)
                return nullptr;
        }
        return bmp_.release();
    }

  private:
    BITMAPINFO info() const { return rgb32Info(w_, h_, RowOrder::TopDown); }
    long w_ = 0, h_ = 0;
    int depth_ = 0;
    UniqueBitmap bmp_;
    std::uint32_t *pixels_ = nullptr;
    std::vector<std::uint32_t> buffer_;
};

void quarterTurn(const SourcePixels &src, TargetPixels &dst, long W, long H, int quarters) {
    if (quarters == 0) {
        for (long y = 0; y < H; ++y)
            std::memcpy(dst.row(y), src.row(y), static_cast<std::size_t>(W) * 4);
        return;
    }
    if (quarters == 2) {
        for (long y = 0; y < H; ++y) {
            const std::uint32_t *s = src.row(y);
            std::reverse_copy(s, s + W, dst.row(H - 1 - y));
        }
        return;
    }
    turnQuarter(src.row(0), src.stride(), dst.row(0), H, W, H, quarters == 1);
}

bool anyAlpha(const SourcePixels &src, long W, long H) {
    for (long y = 0; y < H; ++y) {
        const std::uint32_t *s = src.row(y);
        for (long x = 0; x < W; ++x)
            if (s[x] & 0xFF000000u)
                return true;
    }
    return false;
}

// Any other angle: each result pixel takes the source pixel under its centre
// (nearest neighbour), or the background where the source does not reach.
void freeTurn(const SourcePixels &src, TargetPixels &dst, long W, long H, const RotatedCanvas &cv,
              double s, double c, COLORREF back) {
    // A picture that carries alpha is painted by blending: its background
    // must then be opaque too, or the corners would show what lies beneath.
    const std::uint32_t alpha = anyAlpha(src, W, H) ? 0xFF000000u : 0;
    const std::uint32_t fill = alpha | (std::uint32_t{GetRValue(back)} << 16) |
                               (std::uint32_t{GetGValue(back)} << 8) | GetBValue(back);
    for (long y = 0; y < cv.height; ++y) {
        const double v = y + 0.5 + cv.minY;
        const double u0 = 0.5 + cv.minX;
        double sx = u0 * c - v * s;
        double sy = u0 * s + v * c;
        std::uint32_t *d = dst.row(y);
        for (long x = 0; x < cv.width; ++x, sx += c, sy += s) {
            const double fx = std::floor(sx), fy = std::floor(sy);
            if (fx >= 0 && fy >= 0 && fx < W && fy < H)
                d[x] = src.row(static_cast<long>(fy))[static_cast<long>(fx)];
            else
                d[x] = fill;
        }
    }
}

// The turned copy; throws std::bad_alloc when its memory cannot be had.
HBITMAP turned(HBITMAP hBitmap, long W, long H, const RotatedCanvas &cv, double nAngle,
               COLORREF nBackColor) {
    SourcePixels src;
    if (!src.open(hBitmap, W, H))
        return nullptr;
    TargetPixels dst;
    // Whole quarter turns are exact index mappings; their canvas is H x W
    // (or W x H), which the corner arithmetic gives too.
    const double quarters = nAngle / 90.0;
    if (quarters == std::floor(quarters) && std::fabs(quarters) < 1e15) {
        const int q = static_cast<int>(((static_cast<long long>(quarters) % 4) + 4) % 4);
        const bool across = q % 2 == 1;
        if (!dst.create(across ? H : W, across ? W : H))
            return nullptr;
        quarterTurn(src, dst, W, H, q);
    } else {
        if (!dst.create(cv.width, cv.height))
            return nullptr;
        const double r = kPi * nAngle / 180.0;
        freeTurn(src, dst, W, H, cv, std::sin(r), std::cos(r), nBackColor);
    }
    return dst.finish();
}

} // namespace

RotatedCanvas rotatedCanvas(long width, long height, double angle) {
    const double r = kPi * angle / 180.0;
    const long double s = std::sin(r), c = std::cos(r);
    const long double W = width, H = height;
    // Each corner coordinate is truncated toward zero, never rounded.
    const long xs[] = {0, static_cast<long>(H * s), static_cast<long>(W * c + H * s),
                       static_cast<long>(W * c)};
    const long ys[] = {0, static_cast<long>(H * c), static_cast<long>(H * c - W * s),
                       static_cast<long>(-W * s)};
    const auto [minX, maxX] = std::minmax_element(std::begin(xs), std::end(xs));
    const auto [minY, maxY] = std::minmax_element(std::begin(ys), std::end(ys));
    return {*minX, *minY, *maxX - *minX, *maxY - *minY};
}

HBITMAP ROTATEBMP(HBITMAP hBitmap, double nAngle, COLORREF nBackColor) {
    if (!hBitmap || ::GetObjectType(hBitmap) != OBJ_BITMAP)
        return nullptr;
    BITMAP bm{};
    if (::GetObjectW(hBitmap, sizeof bm, &bm) != sizeof bm || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return nullptr;
    const long W = bm.bmWidth, H = bm.bmHeight;
    const RotatedCanvas cv = rotatedCanvas(W, H, nAngle);
    if (cv.width <= 0 || cv.height <= 0 ||
        static_cast<std::uint64_t>(cv.width) * static_cast<std::uint64_t>(cv.height) > kMaxPicturePixels)
        return nullptr;

    // Memory for a picture this large may not be had: the turn then fails
    // like any other, and the caller shows the file as stored.
    try {
        return turned(hBitmap, W, H, cv, nAngle, nBackColor);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

} // namespace vistoro
