#include "imaging/quarter_turn.h"
#include "viewer/rotate.h"

#include "pixels.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

// GCC takes the replaced pair below for a mismatch of new with free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// While set, any allocation of more than this many bytes fails as it would
// when the address space is used up.
static std::size_t g_failAbove = 0;

void *operator new(std::size_t bytes) {
    if (g_failAbove && bytes > g_failAbove)
        throw std::bad_alloc();
    if (void *p = std::malloc(bytes ? bytes : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }

using namespace vistoro;
using namespace viewertest;

namespace {

struct Owned {
    HBITMAP h;
    explicit Owned(HBITMAP b) : h(b) {}
    ~Owned() {
        if (h)
            DeleteObject(h);
    }
};

// Source (x, y) of a W x H picture lands at (y, W - 1 - x) for a turn by 90
// and at (H - 1 - y, x) for one by -90.
void expectQuarterTurn(const Pixels &src, const Pixels &out, bool left) {
    ASSERT_EQ(out.width, src.height);
    ASSERT_EQ(out.height, src.width);
    for (long y = 0; y < src.height; ++y)
        for (long x = 0; x < src.width; ++x) {
            const std::uint32_t got =
                left ? out.at(y, src.width - 1 - x) : out.at(src.height - 1 - y, x);
            ASSERT_EQ(got, src.at(x, y)) << "source pixel " << x << "," << y;
        }
}

} // namespace

TEST(RotateCanvas, QuarterTurnsSwapTheSidesAndFortyFiveTruncates) {
    RotatedCanvas left = rotatedCanvas(640, 480, 90);
    EXPECT_EQ(left.width, 480);
    EXPECT_EQ(left.height, 640);
    RotatedCanvas right = rotatedCanvas(640, 480, -90);
    EXPECT_EQ(right.width, 480);
    EXPECT_EQ(right.height, 640);
    RotatedCanvas half = rotatedCanvas(640, 480, 180);
    EXPECT_EQ(half.width, 640);
    EXPECT_EQ(half.height, 480);
    RotatedCanvas diag = rotatedCanvas(100, 100, 45);
    EXPECT_EQ(diag.width, 141);
    EXPECT_EQ(diag.height, 140);
}

TEST(Rotate, FourByThreeTurnsExactlyBothWaysFromEveryKindOfSource) {
    const Pixels src = patterned(4, 3);
    for (int kind = 0; kind < 3; ++kind) {
        Owned in(kind == 0 ? makeDib(src) : kind == 1 ? makeDib(src, true) : makeDdb(src));
        ASSERT_TRUE(in.h);
        Owned left(ROTATEBMP(in.h, 90));
        Owned right(ROTATEBMP(in.h, -90));
        ASSERT_TRUE(left.h && right.h) << "kind " << kind;
        Pixels l = readPixels(left.h), r = readPixels(right.h);
        // A screen-compatible source drops the alpha byte: compare colours.
        if (kind == 2)
            for (auto *p : {&l, &r})
                for (auto &v : p->px)
                    v |= 0xFF000000u;
        SCOPED_TRACE(kind);
        expectQuarterTurn(src, l, true);
        expectQuarterTurn(src, r, false);
        // The source is untouched and still a bitmap.
        Pixels again = readPixels(in.h);
        if (kind == 2)
            for (auto &v : again.px)
                v |= 0xFF000000u;
        EXPECT_EQ(again.px, src.px);
    }
}

TEST(Rotate, DefaultTurnIsClockwiseAndLeftThenRightGivesTheOriginal) {
    const Pixels src = patterned(37, 21);
    Owned in(makeDib(src));
    Owned byDefault(ROTATEBMP(in.h));
    expectQuarterTurn(src, readPixels(byDefault.h), false);
    Owned left(ROTATEBMP(in.h, 90));
    Owned back(ROTATEBMP(left.h, -90));
    EXPECT_EQ(readPixels(back.h).px, src.px);
    // Four quarter turns the same way come round to the start.
    HBITMAP cur = makeDib(src);
    for (int i = 0; i < 4; ++i) {
        HBITMAP next = ROTATEBMP(cur, 90);
        ASSERT_TRUE(next);
        DeleteObject(cur);
        cur = next;
    }
    EXPECT_EQ(readPixels(cur).px, src.px);
    DeleteObject(cur);
}

TEST(Rotate, LargeQuarterTurnCrossesBlockEdgesCorrectly) {
    const Pixels src = patterned(300, 131); // not multiples of the block size
    Owned in(makeDib(src, true));
    Owned left(ROTATEBMP(in.h, 90));
    Owned right(ROTATEBMP(in.h, 270 - 360));
    expectQuarterTurn(src, readPixels(left.h), true);
    expectQuarterTurn(src, readPixels(right.h), false);
    Owned half(ROTATEBMP(in.h, 180));
    Pixels h = readPixels(half.h);
    ASSERT_EQ(h.width, 300);
    EXPECT_EQ(h.at(0, 0), src.at(299, 130));
    EXPECT_EQ(h.at(299, 130), src.at(0, 0));
}

TEST(QuarterTurn, TilesAndSinglePixelsAgreeOnEverySizeStrideAndAlignment) {
    // Sizes below, at and past the tile and block edges.
    const std::pair<long, long> sizes[] = {{1, 1}, {3, 5}, {5, 3}, {4, 4}, {8, 12},
                                           {257, 130}, {7, 129}, {260, 4}};
    for (const auto &[W, H] : sizes) {
        std::vector<std::uint32_t> src(static_cast<std::size_t>(W * H));
        for (std::size_t i = 0; i < src.size(); ++i)
            src[i] = 0x01000000u * static_cast<std::uint32_t>(i % 251) + static_cast<std::uint32_t>(i);
        for (bool anticlockwise : {true, false})
            for (bool bottomUp : {false, true})
                for (bool sse2 : {true, false})
                    for (std::size_t shift : {0u, 1u}) { // result rows off 16-byte alignment
                        SCOPED_TRACE(testing::Message() << W << "x" << H << " acw " << anticlockwise
                                                        << " bottom-up " << bottomUp << " sse2 "
                                                        << sse2 << " shift " << shift);
                        // Bottom-up: the top row is the last in memory.
                        const std::uint32_t *first = bottomUp ? src.data() + (H - 1) * W : src.data();
                        const std::ptrdiff_t stride = bottomUp ? -W : W;
                        std::vector<std::uint32_t> out(src.size() + 4, 0xDEADBEEF);
                        turnQuarter(first, stride, out.data() + shift, H, W, H, anticlockwise, sse2);
                        for (long y = 0; y < H; ++y)
                            for (long x = 0; x < W; ++x) {
                                const long row = anticlockwise ? W - 1 - x : x;
                                const long col = anticlockwise ? y : H - 1 - y;
                                ASSERT_EQ(out[shift + static_cast<std::size_t>(row * H + col)],
                                          first[y * stride + x])
                                    << "source " << x << "," << y;
                            }
                        for (std::size_t i = 0; i < shift; ++i)
                            EXPECT_EQ(out[i], 0xDEADBEEFu); // nothing written before the rows
                        EXPECT_EQ(out[shift + src.size()], 0xDEADBEEFu); // nor after them
                    }
    }
}

TEST(Rotate, FortyFiveDegreesFillsTheCornersWithTheBackground) {
    const Pixels src = patterned(100, 100);
    Owned in(makeDib(src));
    Owned black(ROTATEBMP(in.h, 45));
    Owned tinted(ROTATEBMP(in.h, 45, RGB(10, 20, 30)));
    Pixels b = readPixels(black.h), t = readPixels(tinted.h);
    ASSERT_EQ(b.width, 141);
    ASSERT_EQ(b.height, 140);
    for (auto [x, y] : {std::pair{0L, 0L}, {140L, 0L}, {0L, 139L}, {140L, 139L}}) {
        EXPECT_EQ(b.at(x, y) & 0xFFFFFF, 0u);
        EXPECT_EQ(t.at(x, y) & 0xFFFFFF, 0x0A141Eu); // 0xRRGGBB of RGB(10, 20, 30)
        // The picture carries alpha, so its background is opaque as well.
        EXPECT_EQ(t.at(x, y) >> 24, 0xFFu);
    }
    // The centre of the canvas shows the centre of the picture.
    const std::uint32_t mid = b.at(70, 70);
    bool nearCentre = false;
    for (long y = 48; y <= 52; ++y)
        for (long x = 48; x <= 52; ++x)
            nearCentre |= src.at(x, y) == mid;
    EXPECT_TRUE(nearCentre);
}

TEST(Rotate, NoBitmapGivesZeroAndNothingLeaks) {
    EXPECT_EQ(ROTATEBMP(nullptr, 90), nullptr);
    HBRUSH brush = CreateSolidBrush(0);
    EXPECT_EQ(ROTATEBMP(reinterpret_cast<HBITMAP>(brush), 90), nullptr);
    DeleteObject(brush);

    Owned in(makeDib(patterned(50, 40)));
    const int before = testsupport::countGdiObjects();
    for (double a : {90.0, -90.0, 180.0, 30.0}) {
        HBITMAP out = ROTATEBMP(in.h, a);
        ASSERT_TRUE(out);
        EXPECT_EQ(testsupport::countGdiObjects(), before + 1) << a;
        DeleteObject(out);
    }
    EXPECT_EQ(testsupport::countGdiObjects(), before);
}

TEST(Rotate, ATurnWhoseMemoryCannotBeHadGivesZero) {
    // A bitmap compatible with the screen is read through a copy of its
    // pixels; with no memory for that copy the turn fails like any other,
    // and the caller shows the file as stored, instead of the error going
    // to the error handler.
    const Pixels p = patterned(600, 400);
    Owned src(makeDdb(p));
    ASSERT_NE(src.h, nullptr);
    g_failAbove = 64 * 1024;
    HBITMAP turned = nullptr;
    EXPECT_NO_THROW(turned = ROTATEBMP(src.h, 90));
    g_failAbove = 0;
    EXPECT_EQ(turned, nullptr);
    if (turned)
        DeleteObject(turned);
    // With memory again the same turn works.
    Owned again(ROTATEBMP(src.h, 90));
    EXPECT_NE(again.h, nullptr);
}
