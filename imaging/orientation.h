// Standing a photo upright: the mirror and quarter turns that an EXIF
// orientation (1 to 8) asks for, applied to 32-bit pixel rows. Internal to
// the imaging layer.
#pragma once

#include "imaging/dib_info.h"
#include "imaging/gdiplus_holders.h"

#include <cstddef>
#include <cstdint>

namespace vistoro {

// Orientations 5 to 8 turn the picture a quarter: width and height swap.
constexpr bool swapsAxes(int orientation) noexcept { return orientation >= 5 && orientation <= 8; }

// Writes the upright picture of W x H source pixels (row y at src + y *
// srcStride, in pixels; the stride may be negative) into the contiguous
// rows at dst, which are W wide (H wide when the axes swap) and run in
// dstOrder. Orientation 1, or one outside 1 to 8, copies as stored.
void orientPixels(const std::uint32_t *src, std::ptrdiff_t srcStride, long W, long H,
                  int orientation, std::uint32_t *dst, RowOrder dstOrder);

// The same for a band of the source: its rows firstRow to firstRow + rows
// - 1, the first of them at src, each put where it stands in the whole
// upright picture at dst. A picture passed band by band, in any order,
// comes out as orientPixels makes it, with no copy of the whole.
void orientBand(const std::uint32_t *src, std::ptrdiff_t srcStride, long W, long H, long firstRow,
                long rows, int orientation, std::uint32_t *dst, RowOrder dstOrder);

// The same for a picture held as an image object, through the imaging
// service's turns. False when the service refuses.
bool orientImage(Gdiplus::GpBitmap *image, int orientation) noexcept;

} // namespace vistoro
