// Pictures made smaller by averaging: each result pixel is the mean of the
// source area it covers, the source pixels cut by its edges counted by the
// part of them it covers (a box filter). The platform's stretch keeps one
// pixel of each block instead, and on some platforms its HALFTONE mode does
// the same, so where a reduction must look right the program makes its own.
// Premultiplied words average correctly as they are: a colour never exceeds
// its alpha, and opaque stays opaque.
#pragma once

#include "base/handles.h"

#include <cstddef>
#include <cstdint>

namespace vistoro {

// 32-bit pixel rows, the top one first in the sense of the picture; the
// stride (in words, from one row to the next) is negative for rows that lie
// bottom-up in memory.
struct SourceRows {
    const std::uint32_t *top = nullptr;
    std::ptrdiff_t stride = 0;
    long width = 0, height = 0;
};
struct TargetRows {
    std::uint32_t *top = nullptr;
    std::ptrdiff_t stride = 0;
    long width = 0, height = 0;
};

// Fills `to` with the area average of `from`, reading each source row once
// (to.width <= from.width, to.height <= from.height, all of them at least
// 1). The result rows are made in `bands` bands at once: the calling thread
// makes the first, a thread of its own each other one. False, leaving `to`
// partly written, when the sizes do not fit or memory runs out.
bool areaAverage(const SourceRows &from, const TargetRows &to, unsigned bands = 1) noexcept;

// The same for the result rows [firstRow, endRow) only, on the calling
// thread: bands of one picture may be made by several threads at once.
bool areaAverageRows(const SourceRows &from, const TargetRows &to, long firstRow,
                     long endRow) noexcept;

// A top-down 32-bit BI_RGB DIB section of width x height holding the area
// average of the rows, or of the bitmap's pixels (read in place from a
// 32-bit DIB section, else from a copy). Empty when the size is larger than
// the source's in either direction, or on any failure.
UniqueBitmap reducedSection(const SourceRows &from, long width, long height,
                            unsigned bands = 1) noexcept;
UniqueBitmap reducedSection(HBITMAP from, long width, long height, unsigned bands = 1) noexcept;

namespace detail {
// False makes every reduction take the portable kernel, as on a processor
// without SSE2; for the tests, which check both.
void allowVectorKernel(bool allowed) noexcept;
} // namespace detail

} // namespace vistoro
