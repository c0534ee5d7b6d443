#include "imaging/area_average.h"

#include "imaging/dib_info.h"
#include "imaging/picture_limits.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <numeric>
#include <vector>

#include <emmintrin.h>

namespace vistoro {
namespace {

using u32 = std::uint32_t;
using u64 = std::uint64_t;

// How one result pixel covers the source pixels along an axis: a part of
// the first it touches, then whole ones, then a part of the last. Lengths
// are in units where a source pixel is `unit` long and a result pixel
// `span` long, both made as small as the two sizes allow, so that weights
// stay small and every sum exact.
struct Cover {
    long first = 0; // the first source pixel touched
    u32 firstPart = 0;
    long whole = 0;   // source pixels wholly inside it, after the first
    u32 lastPart = 0; // of the source pixel after those; 0 when it touches none
};

struct Axis {
    u32 unit = 1, span = 1;
    std::vector<Cover> covers;
};

// The source has `from` pixels along the axis, the result `to` (to <= from).
Axis axisOf(long from, long to) {
    const long common = std::gcd(from, to);
    Axis a;
    a.unit = static_cast<u32>(to / common);
    a.span = static_cast<u32>(from / common);
    a.covers.resize(static_cast<std::size_t>(to));
    for (long i = 0; i < to; ++i) {
        Cover &c = a.covers[static_cast<std::size_t>(i)];
        const u64 start = static_cast<u64>(i) * a.span, end = start + a.span;
        c.first = static_cast<long>(start / a.unit);
        const u64 firstEnd = (static_cast<u64>(c.first) + 1) * a.unit;
        if (end <= firstEnd) {
            c.firstPart = a.span;
            continue;
        }
        const long last = static_cast<long>((end - 1) / a.unit);
        c.firstPart = static_cast<u32>(firstEnd - start);
        c.whole = last - c.first - 1;
        c.lastPart = static_cast<u32>(end - static_cast<u64>(last) * a.unit);
    }
    return a;
}

// Blue and red, or green and alpha, side by side in the halves of a word,
// so that one addition or multiplication serves two channels.
constexpr u32 kPairMask = 0x00FF00FF;
constexpr u32 blueRed(u32 p) noexcept {
    return p & kPairMask;
}
constexpr u32 greenAlpha(u32 p) noexcept {
    return (p >> 8) & kPairMask;
}
// A half holds any weighted sum of a result pixel while 255 x span fits.
constexpr u32 kMostPairedSpan = 0xFFFF / 0xFF;
// Whole pixels summed in pairs before a half could overflow.
constexpr long kMostPairedRun = 256;

// One source row across: the four channel sums of each result column
// (blue, green, red, alpha), weighted by cover. The usual case, where a
// result pixel spans few enough units that each sum fits a half word.
void acrossPaired(const u32 *row, const Axis &across, u32 *sums) noexcept {
    for (const Cover &c : across.covers) {
        const u32 *p = row + c.first;
        u32 br = blueRed(p[0]) * c.firstPart, ga = greenAlpha(p[0]) * c.firstPart;
        if (c.whole > 0) {
            u32 wholeBr = 0, wholeGa = 0;
            for (long k = 1; k <= c.whole; ++k) {
                wholeBr += blueRed(p[k]);
                wholeGa += greenAlpha(p[k]);
            }
            br += wholeBr * across.unit;
            ga += wholeGa * across.unit;
        }
        if (c.lastPart) {
            const u32 last = p[c.whole + 1];
            br += blueRed(last) * c.lastPart;
            ga += greenAlpha(last) * c.lastPart;
        }
        sums[0] = br & 0xFFFF;
        sums[1] = ga & 0xFFFF;
        sums[2] = br >> 16;
        sums[3] = ga >> 16;
        sums += 4;
    }
}

// The same for result pixels that span more: each channel on its own, the
// whole pixels still summed in pairs, a run at a time.
void acrossWide(const u32 *row, const Axis &across, u32 *sums) noexcept {
    for (const Cover &c : across.covers) {
        const u32 *p = row + c.first;
        u32 b = 0, g = 0, r = 0, a = 0;
        for (long k = 1; k <= c.whole;) {
            const long runEnd = std::min(c.whole + 1, k + kMostPairedRun);
            u32 br = 0, ga = 0;
            for (; k < runEnd; ++k) {
                br += blueRed(p[k]);
                ga += greenAlpha(p[k]);
            }
            b += br & 0xFFFF;
            r += br >> 16;
            g += ga & 0xFFFF;
            a += ga >> 16;
        }
        const auto part = [](u32 pixel, u32 weight, u32 *into) {
            into[0] += (pixel & 0xFF) * weight;
            into[1] += ((pixel >> 8) & 0xFF) * weight;
            into[2] += ((pixel >> 16) & 0xFF) * weight;
            into[3] += (pixel >> 24) * weight;
        };
        sums[0] = b * across.unit;
        sums[1] = g * across.unit;
        sums[2] = r * across.unit;
        sums[3] = a * across.unit;
        part(p[0], c.firstPart, sums);
        if (c.lastPart)
            part(p[c.whole + 1], c.lastPart, sums);
        sums += 4;
    }
}

// A sum of span(across) x span(down) weighted units divided by that count,
// rounded, as a multiplication and a shift: exact to well under a level,
// so 255 (opaque) stays 255 and a colour stays within its alpha.
constexpr int kLevelShift = 55;
class Leveller {
  public:
    explicit Leveller(u64 divisor) noexcept
        : reciprocal_(((u64{1} << kLevelShift) + divisor / 2) / divisor) {}
    u32 operator()(u64 sum) const noexcept {
        return static_cast<u32>((sum * reciprocal_ + (u64{1} << (kLevelShift - 1))) >> kLevelShift);
    }

  private:
    u64 reciprocal_;
};

// The vector kernel's view of the columns: each result column reads a fixed
// number of pixel pairs from `first` on, each pair with its two weights
// (0 outside the column's cover) repeated for the four channels, as one
// multiply-add of 16-bit lanes takes them.
struct PairTaps {
    long pairs = 0;
    std::vector<long> first;
    std::vector<std::int16_t> weights; // 8 a pair, the pairs of a column in a row
};

std::atomic<bool> vectorKernelAllowed{true};

// SSE2, which every processor of this decade has, and weights and sums in
// the sizes its lanes hold: 16-bit weights, column sums that a float holds
// exactly, and a source wide enough for a column's pairs.
bool vectorKernelFits(const Axis &across, long sourceWidth, long pairs) noexcept {
    return vectorKernelAllowed && ::IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) &&
           across.unit <= 0x7FFF && u64{255} * across.span < (u64{1} << 24) &&
           2 * pairs <= sourceWidth;
}

long pairsPerColumn(const Axis &across) noexcept {
    long most = 0;
    for (const Cover &c : across.covers)
        most = std::max(most, 1 + c.whole + (c.lastPart ? 1 : 0));
    return (most + 1) / 2;
}

// Each column's pairs start where its cover does, or earlier where that
// would read past the row's end.
PairTaps pairTapsOf(const Axis &across, long sourceWidth, long pairs) {
    PairTaps taps;
    taps.pairs = pairs;
    taps.first.resize(across.covers.size());
    taps.weights.resize(across.covers.size() * static_cast<std::size_t>(pairs) * 8);
    std::vector<std::int16_t> column(static_cast<std::size_t>(2 * pairs));
    for (std::size_t x = 0; x < across.covers.size(); ++x) {
        const Cover &c = across.covers[x];
        const long first = std::min(c.first, sourceWidth - 2 * pairs);
        taps.first[x] = first;
        std::fill(column.begin(), column.end(), std::int16_t{0});
        const auto at = [&](long pixel) -> std::int16_t & {
            return column[static_cast<std::size_t>(pixel - first)];
        };
        at(c.first) = static_cast<std::int16_t>(c.firstPart);
        for (long k = 1; k <= c.whole; ++k)
            at(c.first + k) = static_cast<std::int16_t>(across.unit);
        if (c.lastPart)
            at(c.first + c.whole + 1) = static_cast<std::int16_t>(c.lastPart);
        std::int16_t *out = &taps.weights[x * static_cast<std::size_t>(pairs) * 8];
        for (long p = 0; p < pairs; ++p, out += 8)
            for (int lane = 0; lane < 8; ++lane)
                out[lane] = column[static_cast<std::size_t>(2 * p + (lane & 1))];
    }
    return taps;
}

struct Band {
    const SourceRows *from = nullptr;
    const TargetRows *to = nullptr;
    const Axis *across = nullptr, *down = nullptr;
    const PairTaps *taps = nullptr; // the vector kernel's; null: the portable one
    long firstRow = 0, endRow = 0;
    bool made = false;
};

// Result rows down the band: each source row is reduced across once (a row
// shared by two result rows is kept for the second), then added in by its
// cover.
template <class Kernel> void averageBand(const Band &band) {
    const Axis &down = *band.down;
    Kernel kernel(band);
    long reducedRow = -1;
    const auto addRow = [&](long r, u32 weight, bool first) {
        if (r != reducedRow) {
            kernel.across(band.from->top + static_cast<std::ptrdiff_t>(r) * band.from->stride);
            reducedRow = r;
        }
        kernel.down(weight, first);
    };
    for (long y = band.firstRow; y < band.endRow; ++y) {
        const Cover &c = down.covers[static_cast<std::size_t>(y)];
        addRow(c.first, c.firstPart, true);
        for (long k = 1; k <= c.whole; ++k)
            addRow(c.first + k, down.unit, false);
        if (c.lastPart)
            addRow(c.first + c.whole + 1, c.lastPart, false);
        kernel.write(band.to->top + static_cast<std::ptrdiff_t>(y) * band.to->stride);
    }
}

// In integers throughout, exact. Acc holds 255 x both spans: 32 bits where
// that fits, else 64.
template <class Acc> class PortableKernel {
  public:
    explicit PortableKernel(const Band &band)
        : columns_(*band.across), width_(band.to->width),
          sums_(static_cast<std::size_t>(width_) * 4), acc_(sums_.size()),
          level_(u64{band.across->span} * band.down->span) {}
    void across(const u32 *row) noexcept {
        columns_.span <= kMostPairedSpan ? acrossPaired(row, columns_, sums_.data())
                                         : acrossWide(row, columns_, sums_.data());
    }
    void down(u32 weight, bool first) noexcept {
        Acc *a = acc_.data();
        const u32 *s = sums_.data();
        const std::size_t n = sums_.size();
        if (first) {
            for (std::size_t j = 0; j < n; ++j)
                a[j] = Acc{s[j]} * weight;
        } else {
            for (std::size_t j = 0; j < n; ++j)
                a[j] += Acc{s[j]} * weight;
        }
    }
    void write(u32 *out) const noexcept {
        const Acc *a = acc_.data();
        for (long x = 0; x < width_; ++x, a += 4)
            out[x] = level_(a[0]) | level_(a[1]) << 8 | level_(a[2]) << 16 | level_(a[3]) << 24;
    }

  private:
    const Axis &columns_;
    long width_;
    std::vector<u32> sums_;
    std::vector<Acc> acc_;
    Leveller level_;
};

// The same with SSE2: across, pairs of pixels in one multiply-add each,
// exact in 32-bit lanes; down, in floats, whose rounding stays far below a
// level and, being monotone, keeps every colour within its alpha.
class VectorKernel {
  public:
    explicit VectorKernel(const Band &band)
        : taps_(*band.taps), width_(band.to->width), sums_(static_cast<std::size_t>(width_) * 4),
          acc_(sums_.size()), scale_(1.0f / (static_cast<float>(band.across->span) *
                                             static_cast<float>(band.down->span))) {}
    __attribute__((target("sse2"))) void across(const u32 *row) noexcept {
        const __m128i zero = _mm_setzero_si128();
        const std::int16_t *weights = taps_.weights.data();
        std::int32_t *sums = sums_.data();
        for (long x = 0; x < width_; ++x, sums += 4) {
            const u32 *p = row + taps_.first[static_cast<std::size_t>(x)];
            __m128i sum = zero;
            for (long k = 0; k < taps_.pairs; ++k, p += 2, weights += 8) {
                // b0 b1 g0 g1 r0 r1 a0 a1, in 16-bit lanes
                const __m128i pair =
                    _mm_unpacklo_epi8(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(p[0])),
                                                        _mm_cvtsi32_si128(static_cast<int>(p[1]))),
                                      zero);
                sum = _mm_add_epi32(
                    sum, _mm_madd_epi16(
                             pair, _mm_loadu_si128(reinterpret_cast<const __m128i *>(weights))));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i *>(sums), sum);
        }
    }
    __attribute__((target("sse2"))) void down(u32 weight, bool first) noexcept {
        const __m128 w = _mm_set1_ps(static_cast<float>(weight));
        const std::int32_t *s = sums_.data();
        float *a = acc_.data();
        for (std::size_t j = 0; j < sums_.size(); j += 4) {
            const __m128 part = _mm_mul_ps(
                _mm_cvtepi32_ps(_mm_loadu_si128(reinterpret_cast<const __m128i *>(s + j))), w);
            _mm_storeu_ps(a + j, first ? part : _mm_add_ps(_mm_loadu_ps(a + j), part));
        }
    }
    __attribute__((target("sse2"))) void write(u32 *out) const noexcept {
        const __m128 scale = _mm_set1_ps(scale_);
        const float *a = acc_.data();
        for (long x = 0; x < width_; ++x, a += 4) {
            const __m128i levels = _mm_cvtps_epi32(_mm_mul_ps(_mm_loadu_ps(a), scale));
            const __m128i words = _mm_packs_epi32(levels, levels);
            out[x] = static_cast<u32>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
        }
    }

  private:
    const PairTaps &taps_;
    long width_;
    std::vector<std::int32_t> sums_;
    std::vector<float> acc_;
    float scale_;
};

bool makeBand(const Band &band) noexcept {
    try {
        if (band.taps)
            averageBand<VectorKernel>(band);
        else if (u64{255} * band.across->span * band.down->span <= 0xFFFFFFFFu)
            averageBand<PortableKernel<u32>>(band);
        else
            averageBand<PortableKernel<u64>>(band);
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

DWORD WINAPI bandThread(void *param) noexcept {
    Band &band = *static_cast<Band *>(param);
    band.made = makeBand(band);
    return 0;
}

// What every band of one reduction shares, read only.
class Plan {
  public:
    Plan(const SourceRows &from, const TargetRows &to)
        : from_(from), to_(to), across_(axisOf(from.width, to.width)),
          down_(axisOf(from.height, to.height)) {
        const long pairs = pairsPerColumn(across_);
        if (vectorKernelFits(across_, from.width, pairs))
            taps_ = pairTapsOf(across_, from.width, pairs);
    }
    Band band(long firstRow, long endRow) const noexcept {
        return {&from_, &to_, &across_, &down_, taps_.pairs ? &taps_ : nullptr, firstRow, endRow};
    }

  private:
    const SourceRows &from_;
    const TargetRows &to_;
    Axis across_, down_;
    PairTaps taps_;
};

bool sizesFit(const SourceRows &from, const TargetRows &to) noexcept {
    return from.top && to.top && to.width >= 1 && to.height >= 1 && to.width <= from.width &&
           to.height <= from.height &&
           pictureFits(static_cast<u64>(from.width), static_cast<u64>(from.height));
}

// The bitmap's pixels as top-down rows: in place where it is a 32-bit DIB
// section whose row order shows, else a copy read out through the platform.
class BitmapRows {
  public:
    bool open(HBITMAP bitmap) {
        BITMAP bm{};
        if (!bitmap || ::GetObjectType(bitmap) != OBJ_BITMAP ||
            ::GetObjectW(bitmap, sizeof bm, &bm) != sizeof bm || bm.bmWidth <= 0 ||
            bm.bmHeight <= 0 ||
            !pictureFits(static_cast<u64>(bm.bmWidth), static_cast<u64>(bm.bmHeight)))
            return false;
        rows_.width = bm.bmWidth;
        rows_.height = bm.bmHeight;
        return inPlace(bitmap) || copied(bitmap);
    }
    const SourceRows &rows() const noexcept { return rows_; }

  private:
    bool inPlace(HBITMAP bitmap) {
        DIBSECTION ds{};
        if (::GetObjectW(bitmap, sizeof ds, &ds) != sizeof ds || !ds.dsBm.bmBits ||
            ds.dsBm.bmBitsPixel != 32 || ds.dsBmih.biCompression != BI_RGB ||
            ds.dsBm.bmWidthBytes != rows_.width * 4)
            return false;
        ::GdiFlush(); // drawing still queued must reach the pixels first
        // Not every GDI reports the row order in the header's sign, so the
        // top row is fetched and looked for at either end; equal end rows
        // leave it undecided.
        const long w = rows_.width, h = rows_.height;
        std::vector<u32> top(static_cast<std::size_t>(w));
        BITMAPINFO info = rgb32Info(w, h, RowOrder::BottomUp); // scan line h - 1: the top row
        WindowDC screen(nullptr);
        if (!screen || ::GetDIBits(screen.get(), bitmap, static_cast<UINT>(h - 1), 1, top.data(),
                                   &info, DIB_RGB_COLORS) != 1)
            return false;
        const auto *first = static_cast<const u32 *>(ds.dsBm.bmBits);
        const u32 *last = first + static_cast<std::ptrdiff_t>(h - 1) * w;
        const std::size_t bytes = static_cast<std::size_t>(w) * 4;
        const bool atFirst = std::memcmp(first, top.data(), bytes) == 0;
        const bool atLast = std::memcmp(last, top.data(), bytes) == 0;
        if (atFirst == atLast && h != 1)
            return false;
        rows_.top = atFirst ? first : last;
        rows_.stride = atFirst ? w : -w;
        return true;
    }

    bool copied(HBITMAP bitmap) {
        const long w = rows_.width, h = rows_.height;
        copy_.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
        BITMAPINFO info = rgb32Info(w, h, RowOrder::TopDown);
        WindowDC screen(nullptr);
        if (!screen || ::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(h), copy_.data(),
                                   &info, DIB_RGB_COLORS) != h)
            return false;
        rows_.top = copy_.data();
        rows_.stride = w;
        return true;
    }

    SourceRows rows_;
    std::vector<u32> copy_;
};

} // namespace

namespace detail {
void allowVectorKernel(bool allowed) noexcept {
    vectorKernelAllowed = allowed;
}
} // namespace detail

bool areaAverageRows(const SourceRows &from, const TargetRows &to, long firstRow,
                     long endRow) noexcept {
    if (!sizesFit(from, to) || firstRow < 0 || endRow > to.height || firstRow > endRow)
        return false;
    try {
        const Plan plan(from, to);
        return makeBand(plan.band(firstRow, endRow));
    } catch (const std::bad_alloc &) {
        return false;
    }
}

bool areaAverage(const SourceRows &from, const TargetRows &to, unsigned bands) noexcept {
    if (!sizesFit(from, to))
        return false;
    try {
        const Plan plan(from, to);
        const long count = std::clamp<long>(static_cast<long>(bands), 1, to.height);
        std::vector<Band> parts;
        for (long k = 0; k < count; ++k)
            parts.push_back(plan.band(to.height * k / count, to.height * (k + 1) / count));
        std::vector<UniqueKernelHandle> threads(parts.size());
        // Nothing below throws: the bands must outlive their threads.
        for (std::size_t k = 1; k < parts.size(); ++k)
            threads[k].reset(::CreateThread(nullptr, 0, &bandThread, &parts[k], 0, nullptr));
        parts[0].made = makeBand(parts[0]);
        for (std::size_t k = 1; k < parts.size(); ++k) {
            if (threads[k])
                ::WaitForSingleObject(threads[k].get(), INFINITE);
            else // no thread to be had: made here instead
                parts[k].made = makeBand(parts[k]);
        }
        return std::all_of(parts.begin(), parts.end(), [](const Band &b) { return b.made; });
    } catch (const std::bad_alloc &) {
        return false;
    }
}

UniqueBitmap reducedSection(const SourceRows &from, long width, long height,
                            unsigned bands) noexcept {
    if (width < 1 || height < 1 || width > from.width || height > from.height)
        return {};
    BITMAPINFO info = rgb32Info(width, height, RowOrder::TopDown);
    void *bits = nullptr;
    UniqueBitmap section(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section || !bits)
        return {};
    const TargetRows to{static_cast<std::uint32_t *>(bits), width, width, height};
    if (!areaAverage(from, to, bands))
        return {};
    return section;
}

UniqueBitmap reducedSection(HBITMAP from, long width, long height, unsigned bands) noexcept {
    try {
        BitmapRows rows;
        if (!rows.open(from))
            return {};
        return reducedSection(rows.rows(), width, height, bands);
    } catch (const std::bad_alloc &) {
        return {};
    }
}

} // namespace vistoro
