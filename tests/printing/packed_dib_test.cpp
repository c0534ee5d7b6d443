// Packed bitmaps: sizes and colour tables of the read-out, palettes made
// from blocks (including blocks shorter than they claim), and drawing.
#include "printing/packed_dib.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

using namespace vistoro;

namespace {

// A DIB section of the given depth (8 bits: a grey ramp as colour table),
// top-down, with its rows filled by the caller through bits().
class Section {
  public:
    Section(int width, int height, WORD bitCount) {
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD table[256];
        } info{};
        info.header = {sizeof(BITMAPINFOHEADER), width, -height, 1, bitCount, BI_RGB, 0, 0, 0, 0, 0};
        for (int i = 0; i < 256; ++i)
            info.table[i] = {BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};
        h_.reset(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS,
                                  &bits_, nullptr, 0));
    }
    HBITMAP get() const { return h_.get(); }
    std::uint32_t *words() const { return static_cast<std::uint32_t *>(bits_); }

  private:
    UniqueBitmap h_;
    void *bits_ = nullptr;
};

BITMAPINFOHEADER headerOf(HGLOBAL block) {
    GlobalLockGuard lock(block);
    BITMAPINFOHEADER h{};
    if (lock.get())
        std::memcpy(&h, lock.get(), sizeof h);
    return h;
}

// A block holding the given bytes.
UniqueGlobal blockOf(const std::vector<BYTE> &bytes) {
    UniqueGlobal g(GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
    GlobalLockGuard lock(g.get());
    std::memcpy(lock.get(), bytes.data(), bytes.size());
    return g;
}

template <class T> void put(std::vector<BYTE> &v, const T &value) {
    const auto *p = reinterpret_cast<const BYTE *>(&value);
    v.insert(v.end(), p, p + sizeof value);
}

std::vector<PALETTEENTRY> entriesOf(HPALETTE pal) {
    std::vector<PALETTEENTRY> e(GetPaletteEntries(pal, 0, 0, nullptr));
    GetPaletteEntries(pal, 0, static_cast<UINT>(e.size()), e.data());
    return e;
}

// A white 32-bit canvas in a memory context; pixel() reads it as 0xRRGGBB.
class Canvas {
  public:
    Canvas(int width, int height) : width_(width), dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bmp_.reset(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits_, nullptr, 0));
        old_ = SelectObject(dc_.get(), bmp_.get());
        std::memset(bits_, 0xFF, static_cast<size_t>(width) * height * 4);
    }
    ~Canvas() { SelectObject(dc_.get(), old_); }
    HDC dc() const { return dc_.get(); }
    std::uint32_t pixel(int x, int y) const {
        GdiFlush();
        return static_cast<const std::uint32_t *>(bits_)[y * width_ + x] & 0xFFFFFF;
    }

  private:
    int width_;
    UniqueDC dc_;
    UniqueBitmap bmp_;
    void *bits_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

constexpr std::uint32_t kWhite = 0xFFFFFF;

// 2 x 2 picture: red, green over blue, black.
UniqueGlobal smallDib() {
    Section s(2, 2, 32);
    s.words()[0] = 0xFF0000;
    s.words()[1] = 0x00FF00;
    s.words()[2] = 0x0000FF;
    s.words()[3] = 0x000000;
    return DIBFROMBITMAP(s.get());
}

} // namespace

TEST(DibFromBitmap, TrueColourBlockIsHeaderAndRowsOnly) {
    UniqueBitmap ddb(CreateBitmap(100, 50, 1, 32, nullptr));
    ASSERT_TRUE(ddb);
    UniqueGlobal dib = DIBFROMBITMAP(ddb.get());
    ASSERT_TRUE(dib);
    EXPECT_EQ(GlobalSize(dib.get()), 40u + 0u + 20000u);
    const BITMAPINFOHEADER h = headerOf(dib.get());
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 100);
    EXPECT_EQ(h.biHeight, 50); // bottom-up
    EXPECT_EQ(h.biBitCount, 32);
    EXPECT_EQ(h.biCompression, DWORD{BI_RGB});
    EXPECT_FALSE(DIBPALETTE(dib.get()));
}

TEST(DibFromBitmap, RowsArePaddedToFourBytes) {
    Section s(3, 2, 24);
    UniqueGlobal dib = DIBFROMBITMAP(s.get());
    ASSERT_TRUE(dib);
    EXPECT_EQ(GlobalSize(dib.get()), 40u + 2 * 12u);
}

TEST(DibFromBitmap, EightBitsCarryTheirColourTable) {
    Section s(5, 3, 8);
    ASSERT_TRUE(s.get());
    UniqueGlobal dib = DIBFROMBITMAP(s.get());
    ASSERT_TRUE(dib);
    EXPECT_EQ(GlobalSize(dib.get()), 40u + 256 * 4u + 3 * 8u);
    UniquePalette pal = DIBPALETTE(dib.get());
    ASSERT_TRUE(pal);
    const auto entries = entriesOf(pal.get());
    ASSERT_EQ(entries.size(), 256u);
    // Table entries are blue, green, red; the palette holds red, green, blue.
    EXPECT_EQ(entries[10].peRed, 5);
    EXPECT_EQ(entries[10].peGreen, 245);
    EXPECT_EQ(entries[10].peBlue, 10);
}

TEST(DibFromBitmap, NothingForNoBitmap) {
    EXPECT_FALSE(DIBFROMBITMAP(nullptr));
    UniqueBrush brush(CreateSolidBrush(0));
    EXPECT_FALSE(DIBFROMBITMAP(reinterpret_cast<HBITMAP>(brush.get())));
}

TEST(DibPalette, ReadsOldHeadersAndColoursUsed) {
    // 12-byte header, 1 bit: two 3-byte entries.
    std::vector<BYTE> core;
    put(core, BITMAPCOREHEADER{12, 8, 1, 1, 1});
    core.insert(core.end(), {1, 2, 3, 4, 5, 6, 0, 0, 0, 0});
    UniquePalette a = DIBPALETTE(blockOf(core).get());
    ASSERT_TRUE(a);
    auto e = entriesOf(a.get());
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[1].peRed, 6);
    EXPECT_EQ(e[1].peBlue, 4);

    // 8 bits with 3 colours used: a palette of 3.
    std::vector<BYTE> used;
    put(used, BITMAPINFOHEADER{40, 4, 1, 1, 8, BI_RGB, 0, 0, 0, 3, 0});
    for (int i = 0; i < 3; ++i)
        put(used, RGBQUAD{0, 0, BYTE(100 + i), 0});
    put(used, DWORD{0});
    UniquePalette b = DIBPALETTE(blockOf(used).get());
    ASSERT_TRUE(b);
    e = entriesOf(b.get());
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[2].peRed, 102);
}

TEST(DibPalette, RefusesBlocksShorterThanTheirTable) {
    std::vector<BYTE> shortTable;
    put(shortTable, BITMAPINFOHEADER{40, 4, 1, 1, 8, BI_RGB, 0, 0, 0, 0, 0});
    shortTable.resize(40 + 100); // 256 entries claimed, 25 present
    EXPECT_FALSE(DIBPALETTE(blockOf(shortTable).get()));

    std::vector<BYTE> hugeCount;
    put(hugeCount, BITMAPINFOHEADER{40, 4, 1, 1, 8, BI_RGB, 0, 0, 0, 0xFFFFFFFF, 0});
    hugeCount.resize(40 + 1024);
    EXPECT_FALSE(DIBPALETTE(blockOf(hugeCount).get()));

    std::vector<BYTE> headerCut(20, 0);
    headerCut[0] = 40;
    EXPECT_FALSE(DIBPALETTE(blockOf(headerCut).get()));
    EXPECT_FALSE(DIBPALETTE(nullptr));
}

TEST(DibDraw, NaturalSizeWhenWidthOrHeightIsZero) {
    UniqueGlobal dib = smallDib();
    ASSERT_TRUE(dib);
    for (auto [w, h] : {std::pair{0, 0}, {0, 9}, {9, 0}}) {
        Canvas c(8, 8);
        EXPECT_TRUE(DIBDRAW(c.dc(), dib.get(), {.nRow = 1, .nCol = 3, .nWidth = w, .nHeight = h}));
        EXPECT_EQ(c.pixel(3, 1), 0xFF0000u) << w << "x" << h; // top row stays on top
        EXPECT_EQ(c.pixel(4, 1), 0x00FF00u);
        EXPECT_EQ(c.pixel(3, 2), 0x0000FFu);
        EXPECT_EQ(c.pixel(4, 2), 0x000000u);
        EXPECT_EQ(c.pixel(5, 1), kWhite);
        EXPECT_EQ(c.pixel(3, 3), kWhite);
        EXPECT_EQ(c.pixel(2, 1), kWhite);
    }
}

TEST(DibDraw, StretchesAndCopiesByDefault) {
    UniqueGlobal dib = smallDib();
    Canvas c(8, 8);
    EXPECT_TRUE(DIBDRAW(c.dc(), dib.get(), {.nWidth = 4, .nHeight = 4}));
    EXPECT_EQ(c.pixel(1, 1), 0xFF0000u);
    EXPECT_EQ(c.pixel(2, 1), 0x00FF00u);
    EXPECT_EQ(c.pixel(1, 2), 0x0000FFu);
    EXPECT_EQ(c.pixel(3, 3), 0x000000u);
    EXPECT_EQ(c.pixel(4, 0), kWhite);

    // 0 copies too; another raster operation is applied when stretching.
    Canvas zero(4, 4), inverted(4, 4);
    EXPECT_TRUE(DIBDRAW(zero.dc(), dib.get(), {.nWidth = 2, .nHeight = 2, .nRaster = 0}));
    EXPECT_EQ(zero.pixel(0, 0), 0xFF0000u);
    EXPECT_TRUE(DIBDRAW(inverted.dc(), dib.get(), {.nWidth = 2, .nHeight = 2, .nRaster = NOTSRCCOPY}));
    EXPECT_EQ(inverted.pixel(0, 0), 0x00FFFFu);
}

TEST(DibDraw, RefusesWhatItCannotDrawFaithfully) {
    UniqueGlobal dib = smallDib();
    Canvas c(8, 8);
    EXPECT_FALSE(DIBDRAW(nullptr, dib.get()));
    EXPECT_FALSE(DIBDRAW(c.dc(), nullptr));
    // Outside 0..65535 a value would wrap to another place or size.
    EXPECT_FALSE(DIBDRAW(c.dc(), dib.get(), {.nCol = -1}));
    EXPECT_FALSE(DIBDRAW(c.dc(), dib.get(), {.nRow = 65536}));
    EXPECT_FALSE(DIBDRAW(c.dc(), dib.get(), {.nWidth = 70000, .nHeight = 2}));
    // Rows missing from the block.
    std::vector<BYTE> cut;
    put(cut, BITMAPINFOHEADER{40, 4, 4, 1, 32, BI_RGB, 0, 0, 0, 0, 0});
    cut.resize(40 + 16 * 3);
    EXPECT_FALSE(DIBDRAW(c.dc(), blockOf(cut).get()));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(c.pixel(x, y), kWhite) << x << "," << y;
}

TEST(DibDraw, PaletteIsPutBackAndNothingLeaks) {
    Section s(4, 4, 8);
    const int before = testsupport::countGdiObjects();
    for (int i = 0; i < 20; ++i) {
        UniqueGlobal dib = DIBFROMBITMAP(s.get());
        UniquePalette pal = DIBPALETTE(dib.get());
        Canvas c(4, 4);
        const HGDIOBJ original = GetCurrentObject(c.dc(), OBJ_PAL);
        EXPECT_TRUE(DIBDRAW(c.dc(), dib.get(), {.hPal = pal.get(), .nWidth = 4, .nHeight = 4}));
        EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_PAL), original);
        EXPECT_EQ(c.pixel(0, 0), 0x00FF00u); // index 0: blue 0, green 255, red 0
    }
    EXPECT_EQ(testsupport::countGdiObjects(), before);
}
