// The walk of Windows metafiles: hand-built files whose one record holds
// together or points outside itself, and what the platform records.
#include "fixtures.h"

#include "imaging/wmf_check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace vistoro;

namespace {

using Params = std::vector<std::uint16_t>;

// A record: its size in words, its function, then the parameters.
Params record(std::uint16_t function, const Params &params) {
    const auto words = static_cast<std::uint32_t>(3 + params.size());
    Params r{static_cast<std::uint16_t>(words), static_cast<std::uint16_t>(words >> 16), function};
    r.insert(r.end(), params.begin(), params.end());
    return r;
}

// The nine-word header with a table of `objects` slots, the records, and
// the end record.
std::string wmf(const std::vector<Params> &records, std::uint16_t objects = 1, bool end = true) {
    Params all{1, 9, 0x0300, 0, 0, objects, 0, 0, 0};
    for (const Params &r : records)
        all.insert(all.end(), r.begin(), r.end());
    if (end) {
        const Params eof = record(0, {});
        all.insert(all.end(), eof.begin(), eof.end());
    }
    all[3] = static_cast<std::uint16_t>(all.size());
    all[4] = static_cast<std::uint16_t>(all.size() >> 16);
    return {reinterpret_cast<const char *>(all.data()), all.size() * 2};
}

bool sound(const std::string &b) {
    return windowsMetafileIsSound(reinterpret_cast<const BYTE *>(b.data()), b.size());
}

Params withPoints(Params head, std::size_t points) {
    head.resize(head.size() + 2 * points, 5);
    return head;
}

// One band of a region: its x pairs given by `xs`, closed by `closing`.
Params region(std::uint16_t count, std::size_t xs, std::uint16_t closing) {
    Params p{0, 6, 0, 0, 100, 1, 0, 0, 10, 10, 0}; // eleven words, one band
    p.insert(p.end(), {count, 0, 10});
    p.resize(p.size() + xs, 3);
    p.push_back(closing);
    return record(0x06FF, p);
}

// An old device-dependent bitmap of 16 x 2 pixels at one bit, its rows
// padded to 16-bit words (not to 32-bit ones): two rows of two bytes.
Params bitBlt(std::size_t rowWords) {
    Params p(7, 0);
    p.insert(p.end(), {16, 2, 2, 1, 1});
    p.resize(p.size() + rowWords, 0xAAAA);
    return record(0x0922, p);
}

// A 2 x 1 bitmap of 32-bit pixels, `rowWords` words of its rows held.
Params stretchDib(std::size_t rowWords) {
    Params p{0x0020, 0x00CC, DIB_RGB_COLORS, 1, 2, 0, 0, 1, 2, 0, 0};
    p.insert(p.end(), {40, 0, 2, 0, 1, 0, 1, 32, BI_RGB, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    p.resize(p.size() + rowWords, 0x7F7F);
    return record(0x0F43, p);
}

} // namespace

TEST(WmfCheck, EachRecordHoldsTogether) {
    constexpr std::uint16_t kSelectObject = 0x012D, kDeleteObject = 0x01F0;
    constexpr std::uint16_t kCreatePen = 0x02FA, kCreateBrush = 0x02FC, kPolygon = 0x0324;
    constexpr std::uint16_t kPolyPolygon = 0x0538, kTextOut = 0x0521, kEscape = 0x0626;
    struct Row {
        const char *what;
        std::string file;
        bool sound;
    };
    const Row rows[] = {
        {"a pen selected from the table",
         wmf({record(kCreatePen, {0, 1, 1, 0, 0}), record(kSelectObject, {0})}), true},
        {"a slot past the table", wmf({record(kSelectObject, {1})}), false},
        {"a slot deleted from the table", wmf({record(kDeleteObject, {0})}), true},
        {"a slot deleted past the table", wmf({record(kDeleteObject, {1})}), false},
        {"a hatched brush", wmf({record(kCreateBrush, {BS_HATCHED, 0, 0, HS_CROSS})}), true},
        {"a pattern brush", wmf({record(kCreateBrush, {BS_PATTERN, 0, 0, 0x1234})}), false},
        {"the old pattern brush", wmf({record(0x01F9, Params(20, 0))}), false},
        {"a polygon holding its points", wmf({record(kPolygon, withPoints({3}, 3))}), true},
        {"a polygon counting a point more", wmf({record(kPolygon, withPoints({4}, 3))}), false},
        {"polygons sharing out the points", wmf({record(kPolyPolygon, withPoints({2, 2, 2}, 4))}),
         true},
        {"polygons counting more than the points",
         wmf({record(kPolyPolygon, withPoints({2, 2, 3}, 4))}), false},
        {"a polygon of a negative count",
         wmf({record(kPolyPolygon, withPoints({2, 0xFFFF, 2}, 4))}), false},
        {"a region band closed by its count", wmf({region(2, 2, 2)}), true},
        {"a region band closed by another count", wmf({region(2, 2, 4)}), false},
        {"a region band of an odd count", wmf({region(1, 1, 1)}), false},
        {"text holding its characters", wmf({record(kTextOut, {4, 0x4241, 0x4443, 1, 1})}), true},
        {"text counting a character more", wmf({record(kTextOut, {5, 0x4241, 0x4443, 1, 1})}),
         false},
        {"a comment", wmf({record(kEscape, {15, 4, 0x4241, 0x4443})}), true},
        {"an embedded enhanced metafile", wmf({record(kEscape, {15, 4, 0x4D57, 0x4346})}), false},
        {"old bitmap rows padded to words", wmf({bitBlt(2)}), true},
        {"old bitmap rows a word short", wmf({bitBlt(1)}), false},
        {"a bitmap holding its rows", wmf({stretchDib(4)}), true},
        {"a bitmap a word short of its rows", wmf({stretchDib(3)}), false},
    };
    for (const Row &r : rows)
        EXPECT_EQ(sound(r.file), r.sound) << r.what;
}

TEST(WmfCheck, TheWalkEndsOnlyAtItsEndRecord) {
    const std::string whole = wmf({record(0x0325, withPoints({2}, 2))});
    EXPECT_TRUE(sound(whole));
    EXPECT_FALSE(sound(wmf({record(0x0325, withPoints({2}, 2))}, 1, false)));
    // The header counting words the file lacks.
    EXPECT_FALSE(sound(whole.substr(0, whole.size() - 2)));
    Params longer = record(0x0325, withPoints({2}, 2));
    longer[0] = 0x100;
    EXPECT_FALSE(sound(wmf({longer})));
    Params shorter = record(0x0325, withPoints({2}, 2));
    shorter[0] = 2; // less than its own head
    EXPECT_FALSE(sound(wmf({shorter})));
    // The platform's own recording of a picture.
    EXPECT_TRUE(sound(imgtest::wmfBytes(60, 40)));
}
