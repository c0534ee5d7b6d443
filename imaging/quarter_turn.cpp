// Quarter turns in square blocks, so that the reads and the writes of a
// block both stay within the first-level cache. Inside a block, SSE2 moves
// 4 x 4 tiles: four 16-byte loads, a transpose in registers and four 16-byte
// stores, instead of sixteen single-pixel stores each to a different row.
// Machines without SSE2 take the single-pixel path, which gives the same
// pixels.
#include "imaging/quarter_turn.h"

#include <windows.h>

#include <emmintrin.h>

#include <algorithm>

namespace vistoro {
namespace {

constexpr long kBlock = 64;
// Measured best for tiles: each result row gets 128 source rows' worth
// (512 bytes, whole cache lines) per visit.
constexpr long kTileBlockRows = 128, kTileBlockColumns = 256;

struct Rows {
    const std::uint32_t *src;
    std::ptrdiff_t srcStride;
    std::uint32_t *dst;
    std::ptrdiff_t dstStride;
    long W, H;
    bool anticlockwise;

    const std::uint32_t *srcRow(long y) const { return src + static_cast<std::ptrdiff_t>(y) * srcStride; }
    std::uint32_t *dstRow(long r) const { return dst + static_cast<std::ptrdiff_t>(r) * dstStride; }
};

// Source columns [x0, x1) of rows [y0, y1), one pixel at a time: reads run
// along a source row, writes down a result column.
void turnPixels(const Rows &t, long x0, long x1, long y0, long y1) {
    for (long y = y0; y < y1; ++y) {
        const std::uint32_t *s = t.srcRow(y) + x0;
        const std::uint32_t *end = s + (x1 - x0);
        if (t.anticlockwise) {
            std::uint32_t *d = t.dstRow(t.W - 1 - x0) + y;
            for (; s != end; ++s, d -= t.dstStride)
                *d = *s;
        } else {
            std::uint32_t *d = t.dstRow(x0) + (t.H - 1 - y);
            for (; s != end; ++s, d += t.dstStride)
                *d = *s;
        }
    }
}

void turnBlocksByPixel(const Rows &t) {
    for (long by = 0; by < t.H; by += kBlock)
        for (long bx = 0; bx < t.W; bx += kBlock)
            turnPixels(t, bx, std::min(t.W, bx + kBlock), by, std::min(t.H, by + kBlock));
}

// Built for SSE2 whatever the target, and only called where it is present.
#pragma GCC push_options
#pragma GCC target("sse2")

// Whole 4 x 4 tiles of the source columns [x0, x1) and rows [y0, y1), whose
// extents are multiples of 4. The fields are copied to locals, since the
// vector stores may alias anything and would make them be read again.
template <bool Anticlockwise, bool Streamed>
void turnTiles(const Rows &t, long x0, long x1, long y0, long y1) {
    const std::uint32_t *const src = t.src;
    const std::ptrdiff_t stride = t.srcStride, H = t.H, dstStride = t.dstStride;
    std::uint32_t *const dst = t.dst;
    const long W = t.W;
    for (long x = x0; x < x1; x += 4) {
        // Result rows of source columns x .. x + 3, in that order.
        std::uint32_t *out[4];
        for (int i = 0; i < 4; ++i)
            out[i] = dst + (Anticlockwise ? W - 1 - (x + i) : x + i) * dstStride;
        for (long y = y0; y < y1; y += 4) {
            const std::uint32_t *s = src + y * stride + x;
            const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s));
            const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + stride));
            const __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + 2 * stride));
            const __m128i r3 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + 3 * stride));
            const __m128i a = _mm_unpacklo_epi32(r0, r1), b = _mm_unpackhi_epi32(r0, r1);
            const __m128i c = _mm_unpacklo_epi32(r2, r3), d = _mm_unpackhi_epi32(r2, r3);
            // Column i of the tile: source pixels (x + i, y .. y + 3).
            const __m128i column[4] = {_mm_unpacklo_epi64(a, c), _mm_unpackhi_epi64(a, c),
                                       _mm_unpacklo_epi64(b, d), _mm_unpackhi_epi64(b, d)};
            for (int i = 0; i < 4; ++i) {
                auto *at = reinterpret_cast<__m128i *>(Anticlockwise ? out[i] + y : out[i] + (H - 4 - y));
                const __m128i v = Anticlockwise ? column[i] : _mm_shuffle_epi32(column[i], _MM_SHUFFLE(0, 1, 2, 3));
                if (Streamed)
                    _mm_stream_si128(at, v);
                else
                    _mm_storeu_si128(at, v);
            }
        }
    }
}

void turnTileBlock(const Rows &t, long x0, long x1, long y0, long y1) {
    // Whole result cache lines are written in turn, so the stores can go
    // past the cache when every tile row starts on 16 bytes.
    const bool aligned = (reinterpret_cast<std::uintptr_t>(t.dst) & 15) == 0 && t.H % 4 == 0 &&
                         t.dstStride % 4 == 0;
    if (t.anticlockwise)
        aligned ? turnTiles<true, true>(t, x0, x1, y0, y1) : turnTiles<true, false>(t, x0, x1, y0, y1);
    else
        aligned ? turnTiles<false, true>(t, x0, x1, y0, y1) : turnTiles<false, false>(t, x0, x1, y0, y1);
}

void turnBlocksByTile(const Rows &t) {
    const long tiledW = t.W & ~3L, tiledH = t.H & ~3L;
    for (long by = 0; by < tiledH; by += kTileBlockRows)
        for (long bx = 0; bx < tiledW; bx += kTileBlockColumns)
            turnTileBlock(t, bx, std::min(tiledW, bx + kTileBlockColumns), by,
                          std::min(tiledH, by + kTileBlockRows));
    _mm_sfence();
    // The last columns and rows that do not fill a tile.
    turnPixels(t, tiledW, t.W, 0, t.H);
    turnPixels(t, 0, tiledW, tiledH, t.H);
}

#pragma GCC pop_options

bool hasSse2() {
    static const bool present = ::IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != FALSE;
    return present;
}

} // namespace

void turnQuarter(const std::uint32_t *src, std::ptrdiff_t srcStride, std::uint32_t *dst,
                 std::ptrdiff_t dstStride, long W, long H, bool anticlockwise, bool useSse2) {
    const Rows t{src, srcStride, dst, dstStride, W, H, anticlockwise};
    if (useSse2 && hasSse2())
        turnBlocksByTile(t);
    else
        turnBlocksByPixel(t);
}

} // namespace vistoro
