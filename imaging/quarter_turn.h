// The pixel work of a quarter turn: 32-bit pixels from one set of rows into
// another, every result pixel written once. Kept apart from the bitmap
// handling so that it can be measured on its own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistoro {

// Turns W x H source pixels (row y at src + y * srcStride, in pixels; the
// stride may be negative) into H columns of W rows at dst (row r at dst +
// r * dstStride; dstStride H for rows of their own, more for a band of
// wider rows). Anticlockwise: source (x, y) lands at row W - 1 - x, column
// y; clockwise: at row x, column H - 1 - y. useSse2 false keeps to the
// single-pixel path that machines without SSE2 take (tests compare the two).
void turnQuarter(const std::uint32_t *src, std::ptrdiff_t srcStride, std::uint32_t *dst,
                 std::ptrdiff_t dstStride, long W, long H, bool anticlockwise, bool useSse2 = true);

} // namespace vistoro
