// Pictures for the gallery's tests: flat quarters whose colours survive any
// stretching away from the quarters' edges, and the grid's geometry.
#pragma once

#include "pixels.h"

#include <cstdint>

namespace gallerytest {

// Top-left, top-right, bottom-left, bottom-right colours (0xRRGGBB).
inline viewertest::Pixels quarters(long width, long height, std::uint32_t tl, std::uint32_t tr,
                                   std::uint32_t bl, std::uint32_t br) {
    viewertest::Pixels p{width, height, {}};
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            const std::uint32_t c = bottom ? (right ? br : bl) : (right ? tr : tl);
            p.px.push_back(0xFF000000u | c);
        }
    return p;
}

inline viewertest::Pixels flat(long width, long height, std::uint32_t c) {
    return quarters(width, height, c, c, c, c);
}

// A colour of its own for the n-th picture of a folder.
inline std::uint32_t colourOf(int n) {
    return 0x200010u + static_cast<std::uint32_t>(n) * 0x0101u;
}

// The cell of the n-th shown picture (0-based): its top-left corner.
struct Cell {
    int x, y;
};
inline Cell cellOf(int n) { return {(n % 16) * 64, (n / 16) * 64}; }

} // namespace gallerytest
