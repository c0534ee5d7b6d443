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
// same turns of the picture read bottom row first.
void orientTopDown(const std::uint32_t *src, std::ptrdiff_t s, long W, long H, int orientation,
                   std::uint32_t *dst) {
    const std::uint32_t *bottom = src + static_cast<std::ptrdiff_t>(H - 1) * s;
    const auto row = [dst, W](long y) { return dst + static_cast<std::ptrdiff_t>(y) * W; };
    switch (orientation) {
    case 2:
        for (long y = 0; y < H; ++y)
            std::reverse_copy(src + y * s, src + y * s + W, row(y));
        return;
    case 3:
        for (long y = 0; y < H; ++y)
            std::reverse_copy(src + y * s, src + y * s + W, row(H - 1 - y));
        return;
    case 4:
        for (long y = 0; y < H; ++y)
            std::memcpy(row(H - 1 - y), src + y * s, static_cast<std::size_t>(W) * 4);
        return;
    case 5:
        turnQuarter(bottom, -s, dst, W, H, false);
        return;
    case 6:
        turnQuarter(src, s, dst, W, H, false);
        return;
    case 7:
        turnQuarter(bottom, -s, dst, W, H, true);
        return;
    case 8:
        turnQuarter(src, s, dst, W, H, true);
        return;
    default:
        for (long y = 0; y < H; ++y)
            std::memcpy(row(y), src + y * s, static_cast<std::size_t>(W) * 4);
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

void orientPixels(const std::uint32_t *src, std::ptrdiff_t srcStride, long W, long H,
                  int orientation, std::uint32_t *dst, RowOrder dstOrder) {
    orientTopDown(src, srcStride, W, H,
                  dstOrder == RowOrder::BottomUp ? flippedVertically(orientation) : orientation, dst);
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
