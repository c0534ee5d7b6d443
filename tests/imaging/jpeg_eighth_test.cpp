// The one-eighth reader against the full decode averaged over each 8 x 8
// block, in every form it takes; the forms it refuses; and cut and damaged
// files read from the very end of readable memory.
#include "fixtures.h"

#include "imaging/decode.h"
#include "imaging/jpeg_eighth.h"
#include "imaging/paint.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

using namespace vistoro;

namespace {

const auto *const environment = testing::AddGlobalTestEnvironment(new imgtest::GdiplusEnvironment);

// Bytes placed at the very end of readable memory, a page that may not be
// read behind them: a read past their end faults.
class GuardedBytes {
  public:
    explicit GuardedBytes(const std::string &bytes) {
        SYSTEM_INFO system{};
        GetSystemInfo(&system);
        const std::size_t page = system.dwPageSize;
        const std::size_t readable = (bytes.size() + page) / page * page;
        base_ = static_cast<BYTE *>(
            VirtualAlloc(nullptr, readable + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        if (!base_ || !VirtualProtect(base_ + readable, page, PAGE_NOACCESS, &old))
            return;
        data_ = base_ + readable - bytes.size();
        std::memcpy(data_, bytes.data(), bytes.size());
    }
    ~GuardedBytes() {
        if (base_)
            VirtualFree(base_, 0, MEM_RELEASE);
    }
    GuardedBytes(const GuardedBytes &) = delete;
    GuardedBytes &operator=(const GuardedBytes &) = delete;
    const BYTE *data() const { return data_; }

  private:
    BYTE *base_ = nullptr, *data_ = nullptr;
};

std::optional<EighthPicture> eighthOf(const std::string &bytes) {
    GuardedBytes guarded(bytes);
    EXPECT_NE(guarded.data(), nullptr);
    return guarded.data() ? readJpegEighth(guarded.data(), bytes.size()) : std::nullopt;
}

// The pixels [first, end) of the cell-th of `cells` cells of 8 along an
// upright axis of `length` pixels. They count from the start, or from the
// end when the axis runs backwards through the stored picture: the partial
// cell, at the stored picture's right or bottom edge, then comes first.
std::pair<long, long> cellAlong(long cell, long cells, long length, bool backwards) {
    if (!backwards)
        return {8 * cell, std::min(length, 8 * cell + 8)};
    const long end = length - 8 * (cells - 1 - cell);
    return {std::max(0L, end - 8), end};
}

struct Difference {
    int largest = 0;   // from the rounded average, of any channel of any pixel
    double mean = 0;   // from the average, over all channels of all pixels
    std::string where; // of the largest
};

// The full decode of the fixture (upright, as LOADIMG makes it) averaged
// over the pixels of each block of the stored picture, against the eighth.
::testing::AssertionResult closeToFullDecode(const std::string &name, int orientation,
                                             int tolerance) {
    const std::string path = imgtest::fixture(name);
    const auto eighth = eighthOf(testsupport::readFile(path));
    if (!eighth)
        return ::testing::AssertionFailure() << name << " refused";
    HBITMAP full = LOADIMG(path);
    int w = 0, h = 0;
    const imgtest::Pixels px = imgtest::handlePixels(full, w, h);
    DELETEOBJECT(full);
    const long cellsWide = (w + 7) / 8, cellsHigh = (h + 7) / 8;
    if (w == 0 || eighth->width != cellsWide || eighth->height != cellsHigh ||
        eighth->photoWidth != static_cast<std::uint32_t>(w) ||
        eighth->photoHeight != static_cast<std::uint32_t>(h) ||
        eighth->pixels.size() != static_cast<std::size_t>(cellsWide * cellsHigh))
        return ::testing::AssertionFailure()
               << name << ": eighth " << eighth->width << "x" << eighth->height << " of "
               << eighth->photoWidth << "x" << eighth->photoHeight << ", full decode " << w << "x"
               << h;
    const bool xBackwards =
                   orientation == 2 || orientation == 3 || orientation == 6 || orientation == 7,
               yBackwards =
                   orientation == 3 || orientation == 4 || orientation == 7 || orientation == 8;
    Difference d;
    for (long cy = 0; cy < cellsHigh; ++cy)
        for (long cx = 0; cx < cellsWide; ++cx) {
            const auto [x0, x1] = cellAlong(cx, cellsWide, w, xBackwards);
            const auto [y0, y1] = cellAlong(cy, cellsHigh, h, yBackwards);
            const std::uint32_t got = eighth->pixels[static_cast<std::size_t>(cy * cellsWide + cx)];
            if (got >> 24 != 0xFF)
                return ::testing::AssertionFailure()
                       << name << ": not opaque at " << cx << "," << cy;
            for (int shift = 0; shift < 24; shift += 8) {
                double sum = 0;
                for (long y = y0; y < y1; ++y)
                    for (long x = x0; x < x1; ++x)
                        sum += (px[static_cast<std::size_t>(y * w + x)] >> shift) & 0xFF;
                const double average = sum / static_cast<double>((x1 - x0) * (y1 - y0));
                const double off = std::fabs(static_cast<double>((got >> shift) & 0xFF) - average);
                const int rounded = std::abs(static_cast<int>((got >> shift) & 0xFF) -
                                             static_cast<int>(std::lround(average)));
                d.mean += off;
                if (rounded > d.largest) {
                    d.largest = rounded;
                    d.where = std::to_string(cx) + "," + std::to_string(cy);
                }
            }
        }
    d.mean /= static_cast<double>(cellsWide * cellsHigh * 3);
    std::printf("%s: largest difference %d at %s, mean %.2f\n", name.c_str(), d.largest,
                d.where.c_str(), d.mean);
    if (d.largest > tolerance)
        return ::testing::AssertionFailure() << name << ": a channel " << d.largest << " off at "
                                             << d.where << " (mean " << d.mean << ")";
    return ::testing::AssertionSuccess();
}

// The fixtures of every form taken (make-fixtures.sh), with their EXIF
// orientation and how far a channel may be from the rounded average of the
// full decode over the same block.
const struct Taken {
    const char *name;
    int orientation = 1, tolerance = 2;
} kTaken[] = {
    {"eighth-420.jpg"},
    {"eighth-422.jpg"},
    {"eighth-444.jpg"},
    {"eighth-grey.jpg"},
    {"eighth-rgb.jpg"},
    {"eighth-progressive.jpg"},
    {"eighth-steps.jpg"},
    {"eighth-turned.jpg", 6},
    // Its colour blocks span three eighth pixels across: the outer ones take
    // the colour of the middle one, 8 pixels away.
    {"eighth-separate.jpg", 1, 3},
};

// Where the data of the file's last scan of DC values ends: at the marker
// behind it.
std::size_t endOfDcValues(const std::string &b) {
    const auto byte = [&b](std::size_t at) { return static_cast<unsigned char>(b[at]); };
    std::size_t header = std::string::npos;
    for (std::size_t at = b.find("\xFF\xDA"); at != std::string::npos;
         at = b.find("\xFF\xDA", at + 2))
        if (byte(at + 5 + 2 * byte(at + 4)) == 0) // its first coefficient is the DC one
            header = at;
    std::size_t at = header + 2 + (byte(header + 2) << 8 | byte(header + 3));
    while (!(byte(at) == 0xFF && byte(at + 1) != 0 && (byte(at + 1) & 0xF8) != 0xD0))
        ++at;
    return at;
}

} // namespace

TEST(JpegEighth, MatchesTheFullDecodeAveragedOverEachBlock) {
    // The largest difference of any channel of any pixel, not a mean.
    for (const Taken &t : kTaken)
        EXPECT_TRUE(closeToFullDecode(t.name, t.orientation, t.tolerance));
}

TEST(JpegEighth, ProgressiveScansGiveTheValuesOfTheBaselineScan) {
    // The same photo, tables and sampling: the same DC values, however the
    // scans deliver them (interleaved or per component, all bits at once
    // or refined, with restarts), to the last bit, which the comparison
    // with the full decode is too coarse to see.
    for (const auto &[progressive, baseline] :
         {std::pair{"eighth-progressive.jpg", "eighth-420.jpg"},
          std::pair{"eighth-steps.jpg", "eighth-444.jpg"}}) {
        const auto a = eighthOf(testsupport::readFile(imgtest::fixture(progressive)));
        const auto b = eighthOf(testsupport::readFile(imgtest::fixture(baseline)));
        ASSERT_TRUE(a && b) << progressive;
        EXPECT_EQ(a->pixels, b->pixels) << progressive;
    }
}

TEST(JpegEighth, RefusesFormsItDoesNotTake) {
    const std::string plain = testsupport::readFile(imgtest::fixture("eighth-420.jpg"));
    const std::size_t frame = plain.find("\xFF\xC0"), huffman = plain.find("\xFF\xC4");
    ASSERT_TRUE(eighthOf(plain));
    ASSERT_NE(frame, std::string::npos);
    ASSERT_NE(huffman, std::string::npos);
    const auto changed = [&plain](std::size_t at, const std::string &bytes) {
        return std::string(plain).replace(at, bytes.size(), bytes);
    };
    const struct {
        const char *what;
        std::string bytes;
    } refused[] = {
        {"arithmetic coding", testsupport::readFile(imgtest::fixture("eighth-arithmetic.jpg"))},
        {"four components (CMYK)", testsupport::readFile(imgtest::fixture("eighth-cmyk.jpg"))},
        {"12-bit samples", changed(frame + 4, "\x0C")},
        {"lossless", changed(frame + 1, "\xC3")},
        {"height 0, left to a line count", changed(frame + 5, std::string(2, '\0'))},
        {"width past the limit", changed(frame + 5, "\x40\x00\xFF\xFF")},
        {"an undefined quantisation table", changed(frame + 10 + 2, "\x03")},
        {"over-subscribed codes", changed(huffman + 5, "\x03")},
    };
    for (const auto &r : refused)
        EXPECT_FALSE(eighthOf(r.bytes)) << r.what;
}

TEST(JpegEighth, EveryCutBeforeTheLastDcValueIsRefusedAndDamageStaysInsideTheBytes) {
    std::mt19937 random(8);
    int flipped = 0, flippedTaken = 0;
    for (const Taken &t : kTaken) {
        const std::string name = t.name;
        const std::string whole = testsupport::readFile(imgtest::fixture(name));
        const auto complete = eighthOf(whole);
        ASSERT_TRUE(complete) << name;
        // The values past the last DC scan (AC scans, the end marker) are not needed.
        const std::size_t needed = endOfDcValues(whole);
        const auto enough = eighthOf(whole.substr(0, needed));
        ASSERT_TRUE(enough) << name;
        EXPECT_EQ(enough->pixels, complete->pixels) << name;
        for (std::size_t cut = 0; cut < needed; ++cut)
            ASSERT_FALSE(eighthOf(whole.substr(0, cut))) << name << " cut to " << cut << " bytes";
        for (int k = 0; k < 60; ++k, ++flipped) {
            std::string damaged = whole;
            for (int n = 1 + k % 3; n > 0; --n)
                damaged[random() % damaged.size()] = static_cast<char>(random());
            if (const auto e = eighthOf(damaged)) {
                ++flippedTaken;
                EXPECT_EQ(e->pixels.size(), static_cast<std::size_t>(e->width * e->height)) << name;
            }
        }
    }
    std::printf("%d damaged files, %d of them read\n", flipped, flippedTaken);
}
