// The area average against its definition, worked out in doubles, on both
// kernels; and the rows of every kind of bitmap read top row first.
#include "imaging/area_average.h"

#include "fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

using namespace vistoro;
using imgtest::Pixels;

namespace {

// Random premultiplied words: every colour within its alpha, and whole
// stretches opaque, which must stay exactly opaque.
Pixels premultiplied(long width, long height, unsigned seed) {
    std::mt19937 random(seed);
    Pixels px(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < px.size(); ++i) {
        const std::uint32_t a = (i / 97) % 3 == 0 ? 255 : random() % 256;
        std::uint32_t word = a << 24;
        for (int shift = 0; shift < 24; shift += 8)
            word |= (a == 0 ? 0 : random() % (a + 1)) << shift;
        px[i] = word;
    }
    return px;
}

// The part of source pixel k that result pixel i of `to` covers, from the
// definition: both laid over the same length.
double covered(long k, long i, long from, long to) {
    const double start = static_cast<double>(i) * from / to, end = (i + 1.0) * from / to;
    return std::max(0.0, std::min<double>(end, k + 1) - std::max<double>(start, k));
}

// The worst distance of any channel from the exact average, in levels;
// colours above their alpha count as far off.
double worstError(const Pixels &source, long fromW, long fromH, const Pixels &result, long toW,
                  long toH) {
    double worst = 0;
    for (long y = 0; y < toH; ++y)
        for (long x = 0; x < toW; ++x) {
            const long x0 = x * fromW / toW, x1 = std::min(fromW, (x + 1) * fromW / toW + 1);
            const long y0 = y * fromH / toH, y1 = std::min(fromH, (y + 1) * fromH / toH + 1);
            double sum[4] = {0, 0, 0, 0};
            for (long sy = y0; sy < y1; ++sy)
                for (long sx = x0; sx < x1; ++sx) {
                    const double part = covered(sx, x, fromW, toW) * covered(sy, y, fromH, toH);
                    const std::uint32_t p = source[static_cast<std::size_t>(sy * fromW + sx)];
                    for (int c = 0; c < 4; ++c)
                        sum[c] += part * ((p >> (8 * c)) & 0xFF);
                }
            const std::uint32_t got = result[static_cast<std::size_t>(y * toW + x)];
            const double area = static_cast<double>(fromW) / toW * fromH / toH;
            for (int c = 0; c < 4; ++c) {
                worst = std::max(worst, std::abs(((got >> (8 * c)) & 0xFF) - sum[c] / area));
                if (((got >> (8 * c)) & 0xFF) > (got >> 24))
                    worst = std::max(worst, 255.0);
            }
        }
    return worst;
}

struct KernelScope {
    explicit KernelScope(bool vector) { detail::allowVectorKernel(vector); }
    ~KernelScope() { detail::allowVectorKernel(true); }
};

} // namespace

TEST(AreaAverage, EachResultPixelIsTheMeanOfTheAreaItCoversOnBothKernels) {
    const struct {
        long fromW, fromH, toW, toH;
    } cases[] = {
        {600, 400, 162, 108},       // the zoom window's usual ratio
        {7, 5, 3, 2},               // cut pixels on every side
        {331, 97, 331, 13},         // one side kept
        {257, 301, 256, 300},       // barely smaller
        {1000, 3, 1, 1},            // a whole row into one pixel
        {6000, 64, 64, 13},         // spans too long for paired sums
        {16800, 1001, 16799, 1000}, // sums past 32 bits
    };
    unsigned seed = 1;
    for (const auto &k : cases) {
        const Pixels source = premultiplied(k.fromW, k.fromH, seed++);
        const SourceRows from{source.data(), k.fromW, k.fromW, k.fromH};
        for (bool vector : {true, false}) {
            SCOPED_TRACE(testing::Message() << k.fromW << "x" << k.fromH << " to " << k.toW << "x"
                                            << k.toH << (vector ? ", vector" : ", portable"));
            const KernelScope kernel(vector);
            Pixels result(static_cast<std::size_t>(k.toW * k.toH));
            ASSERT_TRUE(areaAverage(from, {result.data(), k.toW, k.toW, k.toH}));
            // Rounded, except that the vector kernel's floats may round a
            // tie the other way.
            EXPECT_LE(worstError(source, k.fromW, k.fromH, result, k.toW, k.toH), 0.501);

            // Bands made on their own, or by threads at once, are the same rows.
            Pixels banded(result.size());
            const TargetRows to{banded.data(), k.toW, k.toW, k.toH};
            ASSERT_TRUE(areaAverageRows(from, to, k.toH / 2, k.toH));
            ASSERT_TRUE(areaAverageRows(from, to, 0, k.toH / 2));
            EXPECT_EQ(banded, result);
            std::fill(banded.begin(), banded.end(), 0u);
            ASSERT_TRUE(areaAverage(from, to, 3));
            EXPECT_EQ(banded, result);
        }
    }
    // Nothing is made larger.
    const Pixels one(4, 0xFF000000u);
    Pixels out(6);
    EXPECT_FALSE(areaAverage({one.data(), 2, 2, 2}, {out.data(), 3, 3, 2}));
}

TEST(AreaAverage, ReducedSectionsReadEveryKindOfBitmapTopRowFirst) {
    constexpr long w = 40, h = 30, toW = 13, toH = 7;
    Pixels source = premultiplied(w, h, 99);
    Pixels expected(toW * toH);
    ASSERT_TRUE(areaAverage({source.data(), w, w, h}, {expected.data(), toW, toW, toH}));
    const auto reducedFrom = [&](HBITMAP bitmap) {
        UniqueBitmap reduced = reducedSection(bitmap, toW, toH);
        DeleteObject(bitmap);
        Pixels got(expected.size());
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), toW, -toH, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        HDC screen = GetDC(nullptr);
        const int rows =
            reduced ? GetDIBits(screen, reduced.get(), 0, toH, got.data(), &info, DIB_RGB_COLORS)
                    : 0;
        ReleaseDC(nullptr, screen);
        EXPECT_EQ(rows, toH);
        return got;
    };
    // Sections of either row order, read in place.
    EXPECT_EQ(reducedFrom(imgtest::dib32(w, h, source)), expected);
    Pixels flipped(source.size());
    for (long y = 0; y < h; ++y)
        std::copy_n(source.begin() + (h - 1 - y) * w, w, flipped.begin() + y * w);
    void *bits = nullptr;
    BITMAPINFO bottomUp{};
    bottomUp.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HBITMAP section = CreateDIBSection(nullptr, &bottomUp, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::copy(flipped.begin(), flipped.end(), static_cast<std::uint32_t *>(bits));
    EXPECT_EQ(reducedFrom(section), expected);
    // Equal end rows leave the order undecided: read through a copy.
    std::copy_n(source.begin(), w, source.end() - w);
    ASSERT_TRUE(areaAverage({source.data(), w, w, h}, {expected.data(), toW, toW, toH}));
    EXPECT_EQ(reducedFrom(imgtest::dib32(w, h, source)), expected);
    // Larger than the bitmap: nothing.
    HBITMAP small = imgtest::dib32(2, 2, Pixels(4, 0xFF000000u));
    EXPECT_FALSE(reducedSection(small, 3, 2));
    DeleteObject(small);
}
