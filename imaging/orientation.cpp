#include "imaging/orientation.h"

#include "imaging/quarter_turn.h"

#include <algorithm>
#include <cstring>

namespace vistoro {
namespace {

// Where stored pixel (x, y) of a W x H picture stands once upright:
//   1 (x, y)            2 (W-1-x, y)        3 (W-1-x, H-1-y)    4 (x, H-1-y)
//   5 (y, x)            6 (H-1-y, x)        7 (H-1-y, W-1-x)    8 (y, W-1-x)
// 6 is a clockwise quarter turn, 8 an anticlockwise one; 5 and 7 are the
// same turns of the picture read bottom row first. The band's source rows
// y0 to y0 + n - 1 become rows of their own (1 to 4) or n columns of the
// upright picture, which is H wide (5 to 8).
void orientTopDown(const std::uint32_t *src, std::ptrdiff_t s, long W, long H, long y0, long n,
                   int orientation, std::uint32_t *dst) {
    const std::uint32_t *bottom = src + static_cast<std::ptrdiff_t>(n - 1) * s;
    const auto row = [dst, W](long y) { return dst + static_cast<std::ptrdiff_t>(y) * W; };
    const auto band = [src, s](long i) { return src + static_cast<std::ptrdiff_t>(i) * s; };
    // The band's columns: from the left for 5 and 8, from the right for 6 and 7.
    std::uint32_t *const leftColumns = dst + y0, *const rightColumns = dst + (H - y0 - n);
    switch (orientation) {
    case 2:
        for (long i = 0; i < n; ++i)
            std::reverse_copy(band(i), band(i) + W, row(y0 + i));
        return;
    case 3:
        for (long i = 0; i < n; ++i)
            std::reverse_copy(band(i), band(i) + W, row(H - 1 - y0 - i));
        return;
    case 4:
        for (long i = 0; i < n; ++i)
            std::memcpy(row(H - 1 - y0 - i), band(i), static_cast<std::size_t>(W) * 4);
        return;
    case 5:
        turnQuarter(bottom, -s, leftColumns, H, W, n, false);
        return;
    case 6:
        turnQuarter(src, s, rightColumns, H, W, n, false);
        return;
    case 7:
        turnQuarter(bottom, -s, rightColumns, H, W, n, true);
        return;
    case 8:
        turnQuarter(src, s, leftColumns, H, W, n, true);
        return;
    default:
        for (long i = 0; i < n; ++i)
            std::memcpy(row(y0 + i), band(i), static_cast<std::size_t>(W) * 4);
        return;
    }
}

// The orientation whose top-down rows, read bottom row first, give the
// upright picture of `orientation`: written into bottom-up rows as if they
// ran top-down, it stands upright there.
int flippedVertically(int orientation) noexcept {
    static const int flipped[] = {4, 4, 3, 2, 1, 8, 7, 6, 5};
    return orientation >= 1 && orientation <= 8 ? flipped[orientation] : 4;
}

} // namespace

void orientBand(const std::uint32_t *src, std::ptrdiff_t srcStride, long W, long H, long firstRow,
                long rows, int orientation, std::uint32_t *dst, RowOrder dstOrder) {
    orientTopDown(src, srcStride, W, H, firstRow, rows,
                  dstOrder == RowOrder::BottomUp ? flippedVertically(orientation) : orientation,
                  dst);
}

void orientPixels(const std::uint32_t *src, std::ptrdiff_t srcStride, long W, long H,
                  int orientation, std::uint32_t *dst, RowOrder dstOrder) {
    orientBand(src, srcStride, W, H, 0, H, orientation, dst, dstOrder);
}

bool orientImage(Gdiplus::GpBitmap *image, int orientation) noexcept {
    // Each value as a clockwise turn, then a mirror left to right, asked of
    // the service one at a time: implementations differ in the order in
    // which they apply the combined kinds.
    static const struct {
        Gdiplus::RotateFlipType turn;
        bool mirror;
    } steps[] = {{Gdiplus::RotateNoneFlipNone, false}, {Gdiplus::RotateNoneFlipNone, false},
                 {Gdiplus::RotateNoneFlipNone, true},  {Gdiplus::Rotate180FlipNone, false},
                 {Gdiplus::Rotate180FlipNone, true},   {Gdiplus::Rotate90FlipNone, true},
                 {Gdiplus::Rotate90FlipNone, false},   {Gdiplus::Rotate270FlipNone, true},
                 {Gdiplus::Rotate270FlipNone, false}};
    if (orientation < 2 || orientation > 8)
        return true;
    const auto &step = steps[orientation];
    if (step.turn != Gdiplus::RotateNoneFlipNone &&
        gp::GdipImageRotateFlip(image, step.turn) != Gdiplus::Ok)
        return false;
    return !step.mirror || gp::GdipImageRotateFlip(image, Gdiplus::RotateNoneFlipX) == Gdiplus::Ok;
}

} // namespace vistoro
