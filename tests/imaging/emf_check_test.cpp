// The walk of enhanced metafiles: hand-built files whose one record holds
// together or points outside itself, and what the platform records.
#include "fixtures.h"

#include "imaging/emf_check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace vistoro;

namespace {

using Words = std::vector<std::uint32_t>;

// A record: its type, its size in bytes, then the words.
Words record(std::uint32_t type, const Words &body) {
    Words r{type, static_cast<std::uint32_t>(8 + 4 * body.size())};
    r.insert(r.end(), body.begin(), body.end());
    return r;
}

const Words kBounds{0, 0, 10, 10};
Words withBounds(Words rest) {
    rest.insert(rest.begin(), kBounds.begin(), kBounds.end());
    return rest;
}

// A header with `handles` object slots, the records, and the end record.
std::string emf(const std::vector<Words> &records, std::uint32_t handles = 4, bool end = true) {
    Words all(22, 0);
    all[0] = kEmfHeaderRecord;
    all[1] = 88;
    all[10] = kEmfSignature;
    all[11] = 0x10000;
    all[14] = handles;
    for (const Words &r : records)
        all.insert(all.end(), r.begin(), r.end());
    if (end) {
        const Words eof = record(14, {0, 16, 20});
        all.insert(all.end(), eof.begin(), eof.end());
    }
    all[12] = static_cast<std::uint32_t>(all.size() * 4);
    all[13] = static_cast<std::uint32_t>(records.size() + 2);
    return {reinterpret_cast<const char *>(all.data()), all.size() * 4};
}

bool sound(const std::string &b) {
    return enhancedMetafileIsSound(reinterpret_cast<const BYTE *>(b.data()), b.size());
}

// 16-bit points, one word each.
Words polyline16(std::uint32_t count, std::size_t points) {
    Words body{count};
    body.resize(1 + points, 0x00050005);
    return record(87, withBounds(body));
}

Words polyPolygon16(const Words &counts, std::uint32_t points) {
    Words body{static_cast<std::uint32_t>(counts.size()), points};
    body.insert(body.end(), counts.begin(), counts.end());
    body.resize(body.size() + points, 0x00050005);
    return record(91, withBounds(body));
}

// A 2 x 1 picture of 32-bit pixels behind an 80-byte record head.
Words stretchDibits(std::uint32_t offBmi, std::uint32_t cbBits) {
    Words body =
        withBounds({0, 0, 0, 0, 2, 1, offBmi, 40, 120, cbBits, DIB_RGB_COLORS, SRCCOPY, 2, 1});
    const Words bitmap{40, 2, 1, 1 | 32 << 16, BI_RGB, 0, 0, 0, 0, 0, 0xFF0000, 0x00FF00};
    body.insert(body.end(), bitmap.begin(), bitmap.end());
    return record(81, body);
}

// Four wide characters (two words) behind a 76-byte record head.
Words extTextOutW(std::uint32_t chars) {
    return record(84, withBounds({GM_COMPATIBLE, 0, 0, 1, 1, chars, 76, 0, 0, 0, 0, 0, 0,
                                  0x00420041, 0x00440043}));
}

// Two vertices and one rectangle from vertex 0 to vertex `to`.
Words gradientFill(std::uint32_t to) {
    return record(118, withBounds({2, 1, GRADIENT_FILL_RECT_H, 0, 0, 0, 0, 9, 9, 0, 0, 0, to}));
}

// A comment carrying one 16-byte record of the extended format.
Words extended(std::uint32_t type, std::uint32_t dataSize) {
    return record(70, {20, 0x2B464D45, type, 16, dataSize, 0});
}

// A comment carrying one record of the extended format with these data.
Words extendedWith(std::uint32_t type, const Words &data) {
    const auto dataBytes = static_cast<std::uint32_t>(4 * data.size());
    Words body{4 + 12 + dataBytes, 0x2B464D45, type, 12 + dataBytes, dataBytes};
    body.insert(body.end(), data.begin(), data.end());
    return record(70, body);
}

// Glyphs drawn by the driver: brush, options, matrix flag, the glyph count
// and room for two glyphs and their positions.
Words driverString(std::uint32_t glyphs) {
    return extendedWith(0x4036, {0, 0, 0, glyphs, 0x00420041, 1, 1, 2, 2});
}

} // namespace

TEST(EmfCheck, EachRecordHoldsTogether) {
    constexpr std::uint32_t kSelectObject = 37, kCreatePen = 38, kCreateBrush = 39;
    constexpr std::uint32_t kStock = 0x80000000;
    struct Row {
        const char *what;
        std::string file;
        bool sound;
    };
    const Row rows[] = {
        {"polyline holding its points", emf({polyline16(3, 3)}), true},
        {"polyline counting a point more", emf({polyline16(4, 3)}), false},
        {"polygons sharing out the points", emf({polyPolygon16({2, 2}, 4)}), true},
        {"polygons counting more than the points", emf({polyPolygon16({2, 3}, 4)}), false},
        {"the last slot of the table", emf({record(kSelectObject, {3})}), true},
        {"a slot past the table", emf({record(kSelectObject, {4})}), false},
        {"a stock object", emf({record(kSelectObject, {kStock | WHITE_BRUSH})}), true},
        {"no stock object", emf({record(kSelectObject, {kStock | (STOCK_LAST + 1)})}), false},
        {"a pen as wide as a coordinate", emf({record(kCreatePen, {1, PS_SOLID, 0x7FFF, 0, 0})}),
         true},
        {"a wider pen", emf({record(kCreatePen, {1, PS_SOLID, 0x8000, 0, 0})}), false},
        {"a pen in the metafile's own slot", emf({record(kCreatePen, {0, PS_SOLID, 1, 0, 0})}),
         false},
        {"a hatched brush", emf({record(kCreateBrush, {1, BS_HATCHED, 0, HS_CROSS})}), true},
        {"a pattern brush", emf({record(kCreateBrush, {1, BS_PATTERN, 0, 0x1234})}), false},
        {"a bitmap with its rows", emf({stretchDibits(80, 8)}), true},
        {"a bitmap a byte short of its rows", emf({stretchDibits(80, 7)}), false},
        {"a bitmap header outside the record", emf({stretchDibits(4000, 8)}), false},
        {"text holding its characters", emf({extTextOutW(4)}), true},
        {"text counting a character more", emf({extTextOutW(5)}), false},
        {"a gradient between its vertices", emf({gradientFill(1)}), true},
        {"a gradient to a vertex not given", emf({gradientFill(2)}), false},
        {"an extended record holding its data", emf({extended(0x4001, 4)}), true},
        {"an extended record's data past its size", emf({extended(0x4001, 8)}), false},
        {"a saved state without its index", emf({extended(0x4025, 0)}), false},
        {"glyphs drawn by the driver", emf({driverString(2)}), true},
        {"more glyphs than the record holds", emf({driverString(3)}), false},
    };
    for (const Row &r : rows)
        EXPECT_EQ(sound(r.file), r.sound) << r.what;
}

TEST(EmfCheck, TheWalkEndsOnlyAtItsEndRecord) {
    const std::string whole = emf({polyline16(3, 3)});
    EXPECT_TRUE(sound(whole));
    EXPECT_FALSE(sound(emf({polyline16(3, 3)}, 4, false)));
    // The header counting bytes the file lacks.
    EXPECT_FALSE(sound(whole.substr(0, whole.size() - 4)));
    Words longer = polyline16(3, 3);
    longer[1] = 0x100;
    EXPECT_FALSE(sound(emf({longer})));
    EXPECT_FALSE(sound(emf({record(kEmfHeaderRecord, {})})));
    EXPECT_FALSE(sound(emf({}, 0))); // not even the slot of the metafile itself
    // The platform's own recording of a picture.
    EXPECT_TRUE(sound(imgtest::emfBytes(60, 40)));
}

TEST(EmfCheck, TheHeadersDescriptionIsReadWhereItStands) {
    // A short description, as programs write one, inside the header.
    std::string described = imgtest::emfBytes(60, 40, std::wstring(L"Vistoro\0Picture\0", 16));
    ASSERT_GT(described.size(), 108u);
    EXPECT_TRUE(sound(described));
    // One that claims more characters than the header holds.
    described[60] = '\xFF';
    EXPECT_FALSE(sound(described));
}
