// Painting with and without alpha, the alpha test, metrics and release.
#include "fixtures.h"

#include "imaging/decode.h"
#include "imaging/dib_readout.h"
#include "imaging/gdiplus_session.h"
#include "imaging/paint.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace vistoro;
using imgtest::Canvas;
using imgtest::Pixels;

namespace {

const auto *const environment =
    testing::AddGlobalTestEnvironment(new imgtest::GdiplusEnvironment);

// Red and blue side by side, opaque premultiplied words.
const Pixels kRedBlue = {0xFFFF0000, 0xFF0000FF};

struct Bitmap {
    HBITMAP h;
    explicit Bitmap(HBITMAP b) : h(b) {}
    ~Bitmap() { DeleteObject(h); }
};

} // namespace

TEST(HasAlpha, LooksAtEveryFourthByte) {
    EXPECT_FALSE(HASALPHA(nullptr));
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_FALSE(HASALPHA(reinterpret_cast<HBITMAP>(brush)));
    DeleteObject(brush);

    Bitmap clear(imgtest::dib32(3, 2, Pixels(6, 0x00FFFFFF)));
    EXPECT_FALSE(HASALPHA(clear.h));
    Pixels lastOnly(6, 0x00123456);
    lastOnly[5] = 0x01123456;
    Bitmap last(imgtest::dib32(3, 2, lastOnly));
    EXPECT_TRUE(HASALPHA(last.h));
    // Not 32-bit: still every fourth byte of the rows.
    Bitmap rgb24(imgtest::dibFilled(4, 2, 24, 0x55));
    EXPECT_TRUE(HASALPHA(rgb24.h));
    Bitmap black24(imgtest::dibFilled(4, 2, 24, 0));
    EXPECT_FALSE(HASALPHA(black24.h));
}

TEST(HasAlpha, FollowsTheBitmapNotAnEarlierAnswer) {
    Pixels words(4, 0);
    void *bits = nullptr;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    EXPECT_FALSE(HASALPHA(dib));
    static_cast<std::uint32_t *>(bits)[3] = 0x80000000;
    EXPECT_TRUE(HASALPHA(dib));
    DeleteObject(dib);
}

namespace {

// The alpha test's answer as the full read-out gives it.
bool readOutAnswer(HBITMAP h) {
    PackedDib dib = packedDibFromBitmap(h);
    if (!dib.block)
        return false;
    GlobalLockGuard lock(dib.block.get());
    const BYTE *bits = static_cast<const BYTE *>(lock.get()) + dib.bitsOffset;
    for (DWORD offset = 0; offset + 3 < dib.imageSize; offset += 4)
        if (bits[offset + 3] != 0)
            return true;
    return false;
}

HBITMAP section32(int width, int height, bool bottomUp, DWORD compression, void **bits) {
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } info{{sizeof(BITMAPINFOHEADER), width, bottomUp ? height : -height, 1, 32, compression, 0,
            0, 0, 0, 0},
           {0x00FF0000, 0x0000FF00, 0x000000FF}};
    return CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS, bits,
                            nullptr, 0);
}

} // namespace

TEST(HasAlpha, SectionsReadInPlaceAnswerAsTheReadOut) {
    const int w = 5, h = 3;
    // Where the one set fourth byte sits (-1: none), over colour bytes that
    // are all set.
    for (int at : {-1, 0, 4, 7, w * h - 1}) {
        for (bool bottomUp : {false, true}) {
            for (DWORD compression : {DWORD{BI_RGB}, DWORD{BI_BITFIELDS}}) {
                void *bits = nullptr;
                Bitmap dib(section32(w, h, bottomUp, compression, &bits));
                ASSERT_NE(dib.h, nullptr);
                auto *words = static_cast<std::uint32_t *>(bits);
                for (int i = 0; i < w * h; ++i)
                    words[i] = 0x00FFFFFF;
                if (at >= 0)
                    words[at] |= 0x01000000;
                SCOPED_TRACE(testing::Message() << at << " " << bottomUp << " " << compression);
                EXPECT_EQ(HASALPHA(dib.h), at >= 0);
                EXPECT_EQ(HASALPHA(dib.h), readOutAnswer(dib.h));
            }
        }
    }
    // A device bitmap has no rows to read in place: the read-out decides.
    HDC screen = GetDC(nullptr);
    Bitmap device(CreateCompatibleBitmap(screen, w, h));
    ReleaseDC(nullptr, screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    Pixels words(w * h, 0x00102030);
    words[w * h - 1] = 0x80102030;
    ASSERT_TRUE(SetDIBits(nullptr, device.h, 0, h, words.data(), &info, DIB_RGB_COLORS));
    EXPECT_EQ(HASALPHA(device.h), readOutAnswer(device.h));
}

// Whether a window must erase under the picture: only where something
// under it could show, so opaque pictures replace each other without it.
TEST(PaintsEveryPixel, FalseOnlyWhenSomethingUnderItCouldShow) {
    EXPECT_FALSE(paintsEveryPixel(nullptr));
    Bitmap opaque(imgtest::dib32(3, 2, Pixels(6, 0xFF102030)));
    EXPECT_TRUE(paintsEveryPixel(opaque.h));
    Pixels one(6, 0xFF102030);
    one[4] = 0xFE0F1F2F;
    Bitmap almost(imgtest::dib32(3, 2, one));
    EXPECT_FALSE(paintsEveryPixel(almost.h));
    // No alpha anywhere: copied as it is, every pixel.
    Bitmap plain(imgtest::dib32(3, 2, Pixels(6, 0x00FFFFFF)));
    EXPECT_TRUE(paintsEveryPixel(plain.h));
}

TEST(Paint, PlainCopyAtOwnSizeAndStretched) {
    // Alpha bytes all 0: the plain path, pixel for pixel.
    Bitmap bmp(imgtest::dib32(2, 1, {0x00FF0000, 0x000000FF}));
    Canvas canvas(8, 4, 0x00FFFFFF);
    PAINTIMG(canvas.dc(), bmp.h, 1, 2);
    EXPECT_EQ(canvas.rgb(2, 1), 0xFF0000u);
    EXPECT_EQ(canvas.rgb(3, 1), 0x0000FFu);
    EXPECT_EQ(canvas.rgb(1, 1), 0xFFFFFFu);
    EXPECT_EQ(canvas.rgb(4, 1), 0xFFFFFFu);
    EXPECT_EQ(canvas.rgb(2, 2), 0xFFFFFFu);

    Canvas same(8, 4, 0x00FFFFFF);
    PAINTIMG(same.dc(), bmp.h, 0, 0, 2, 1);
    EXPECT_EQ(same.rgb(0, 0), 0xFF0000u);
    EXPECT_EQ(same.rgb(2, 0), 0xFFFFFFu);

    Canvas stretched(8, 4, 0x00FFFFFF);
    SetStretchBltMode(stretched.dc(), HALFTONE);
    PAINTIMG(stretched.dc(), bmp.h, 0, 0, 6, 3); // aspect not kept
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(stretched.rgb(0, y), 0xFF0000u);
        EXPECT_EQ(stretched.rgb(2, y), 0xFF0000u);
        EXPECT_EQ(stretched.rgb(3, y), 0x0000FFu);
        EXPECT_EQ(stretched.rgb(5, y), 0x0000FFu);
    }
    EXPECT_EQ(stretched.rgb(6, 0), 0xFFFFFFu);
    EXPECT_EQ(stretched.rgb(0, 3), 0xFFFFFFu);
    EXPECT_EQ(GetStretchBltMode(stretched.dc()), HALFTONE);
}

namespace {
// The stretch modes a recorded paint set, in order, read from the
// metafile's records.
struct Recorded {
    std::vector<int> modes;
    int stretches = 0;
};
int CALLBACK readRecord(HDC, HANDLETABLE *, const ENHMETARECORD *record, int, LPARAM into) {
    auto &seen = *reinterpret_cast<Recorded *>(into);
    if (record->iType == EMR_SETSTRETCHBLTMODE)
        seen.modes.push_back(static_cast<int>(record->dParm[0]));
    else if (record->iType == EMR_STRETCHBLT)
        ++seen.stretches;
    return 1;
}
Recorded recordPlainCopy(HBITMAP bitmap, int width, int height) {
    HDC recording = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    SetStretchBltMode(recording, BLACKONWHITE);
    PALBMPDRAW(recording, 0, 0, bitmap, nullptr, width, height);
    HENHMETAFILE played = CloseEnhMetaFile(recording);
    Recorded seen;
    EnumEnhMetaFile(nullptr, played, readRecord, &seen, nullptr);
    DeleteEnhMetaFile(played);
    return seen;
}
} // namespace

TEST(Paint, StretchFiltersOnlyAReductionAndPutsTheContextBack) {
    Bitmap bmp(imgtest::dib32(8, 6, Pixels(48, 0x00336699)));
    // Smaller in one direction is enough for HALFTONE; only larger, each
    // pixel stays a sharp block. Either way the mode is put back.
    for (const SIZE smaller : {SIZE{4, 3}, SIZE{7, 12}, SIZE{16, 5}}) {
        const Recorded seen = recordPlainCopy(bmp.h, smaller.cx, smaller.cy);
        EXPECT_EQ(seen.stretches, 1);
        EXPECT_EQ(seen.modes, (std::vector<int>{BLACKONWHITE, HALFTONE, BLACKONWHITE}))
            << smaller.cx << " x " << smaller.cy;
    }
    const Recorded larger = recordPlainCopy(bmp.h, 16, 12);
    EXPECT_EQ(larger.stretches, 1);
    EXPECT_EQ(larger.modes, (std::vector<int>{BLACKONWHITE, COLORONCOLOR, BLACKONWHITE}));

    // The brush origin that HALFTONE asks for is put back too.
    Canvas canvas(8, 6, 0);
    SetBrushOrgEx(canvas.dc(), 3, 5, nullptr);
    PALBMPDRAW(canvas.dc(), 0, 0, bmp.h, nullptr, 4, 3);
    POINT origin{};
    GetBrushOrgEx(canvas.dc(), &origin);
    EXPECT_EQ(origin.x, 3);
    EXPECT_EQ(origin.y, 5);
}

TEST(Paint, AlphaPathBlendsPremultipliedPixels) {
    // Opaque red, half-transparent premultiplied green, fully transparent.
    Bitmap bmp(imgtest::dib32(3, 1, {0xFFFF0000, 0x80008000, 0x00000000}));
    Canvas canvas(6, 2, 0x00FFFFFF);
    PAINTIMG(canvas.dc(), bmp.h, 1, 1);
    EXPECT_EQ(canvas.rgb(1, 1), 0xFF0000u);
    EXPECT_TRUE(imgtest::similar(canvas.rgb(2, 1), 0x7FFF7F, 1)) << std::hex << canvas.rgb(2, 1);
    EXPECT_EQ(canvas.rgb(3, 1), 0xFFFFFFu);
    EXPECT_EQ(canvas.rgb(0, 1), 0xFFFFFFu);

    Canvas stretched(6, 2, 0x00FFFFFF);
    PAINTIMG(stretched.dc(), bmp.h, 0, 0, 6, 2);
    EXPECT_EQ(stretched.rgb(0, 0), 0xFF0000u);
    EXPECT_EQ(stretched.rgb(1, 1), 0xFF0000u);
    EXPECT_EQ(stretched.rgb(5, 1), 0xFFFFFFu);
}

TEST(Paint, TransparentColourLeavesTheContextAsItWas) {
    Bitmap bmp(imgtest::dib32(2, 1, {0x00FF0000, 0x000000FF}));
    Canvas canvas(6, 2, 0x00FFFFFF);
    PALBMPDRAW(canvas.dc(), 0, 1, bmp.h, nullptr, 0, 0, SRCCOPY, RGB(0, 0, 255));
    EXPECT_EQ(canvas.rgb(1, 0), 0xFF0000u);
    EXPECT_EQ(canvas.rgb(2, 0), 0xFFFFFFu);
    // Stretched, the same colour stays out.
    PALBMPDRAW(canvas.dc(), 0, 0, bmp.h, nullptr, 6, 2, SRCCOPY, RGB(255, 0, 0));
    EXPECT_EQ(canvas.rgb(0, 1), 0xFFFFFFu);
    EXPECT_EQ(canvas.rgb(1, 0), 0xFF0000u); // left from the first copy
    EXPECT_EQ(canvas.rgb(3, 0), 0x0000FFu);
    EXPECT_EQ(canvas.rgb(5, 1), 0x0000FFu);
}

TEST(Paint, OpaquePartsCopiedAndAnyOtherPixelStillBlended) {
    // 4 x 4 opaque grey but for one half-transparent premultiplied pixel in
    // the picture's top row, in both row orders of the section.
    const int w = 4, h = 4;
    for (bool bottomUp : {false, true}) {
        SCOPED_TRACE(bottomUp ? "bottom-up" : "top-down");
        void *bits = nullptr;
        Bitmap dib(section32(w, h, bottomUp, BI_RGB, &bits));
        ASSERT_NE(dib.h, nullptr);
        auto *words = static_cast<std::uint32_t *>(bits);
        for (int i = 0; i < w * h; ++i)
            words[i] = 0xFF404040;
        words[bottomUp ? (h - 1) * w + 2 : 2] = 0x80000080; // picture (2, 0)

        // Shown whole, and shown through a clip of its top row only.
        for (bool clipped : {false, true}) {
            Canvas canvas(8, 8, 0x00FFFFFF);
            if (clipped)
                IntersectClipRect(canvas.dc(), 0, 0, 8, 2);
            PAINTIMG(canvas.dc(), dib.h, 1, 3);
            EXPECT_TRUE(imgtest::similar(canvas.rgb(5, 1), 0x7F7FFF, 1)) << std::hex << canvas.rgb(5, 1);
            EXPECT_EQ(canvas.rgb(3, 1), 0x404040u);
            EXPECT_EQ(canvas.rgb(2, 1), 0xFFFFFFu);
            EXPECT_EQ(canvas.rgb(3, 0), 0xFFFFFFu);
            EXPECT_EQ(canvas.rgb(6, 4), clipped ? 0xFFFFFFu : 0x404040u);
        }
        // Through a clip that leaves that pixel out, the rest is exact and
        // nothing outside the clip is touched.
        Canvas lower(8, 8, 0x00FFFFFF);
        IntersectClipRect(lower.dc(), 0, 3, 8, 8);
        PAINTIMG(lower.dc(), dib.h, 1, 3);
        EXPECT_EQ(lower.rgb(5, 1), 0xFFFFFFu);
        EXPECT_EQ(lower.rgb(5, 3), 0x404040u);
        EXPECT_EQ(lower.rgb(3, 4), 0x404040u);
        EXPECT_EQ(lower.rgb(6, 4), 0x404040u);
        EXPECT_EQ(lower.rgb(7, 4), 0xFFFFFFu);
        EXPECT_EQ(lower.rgb(6, 5), 0xFFFFFFu);
    }
}

TEST(Paint, BitmapThatRefusesTheBlendIsStillShown) {
    // A 24-bit bitmap passes the alpha test by its bytes, but cannot be
    // blended with per-pixel alpha.
    Bitmap grey(imgtest::dibFilled(4, 2, 24, 0x55));
    ASSERT_TRUE(HASALPHA(grey.h));
    Canvas canvas(4, 2, 0x00FFFFFF);
    PAINTIMG(canvas.dc(), grey.h);
    EXPECT_EQ(canvas.rgb(0, 0), 0x555555u);
    EXPECT_EQ(canvas.rgb(3, 1), 0x555555u);
}

TEST(Paint, AbpaintTakesLeftBeforeTopAndDefaultsTo220) {
    Bitmap white(imgtest::dib32(1, 1, {0xFFFFFFFF}));
    Canvas canvas(6, 4, 0x00000000);
    EXPECT_TRUE(ABPAINT(canvas.dc(), 4, 1, white.h));
    EXPECT_TRUE(imgtest::similar(canvas.rgb(4, 1), 0xDCDCDC, 1)) << std::hex << canvas.rgb(4, 1);
    EXPECT_EQ(canvas.rgb(1, 4 - 1), 0u);
    EXPECT_TRUE(ABPAINT(canvas.dc(), 0, 0, white.h, 255, 2, 2));
    EXPECT_EQ(canvas.rgb(0, 0), 0xFFFFFFu);
    EXPECT_EQ(canvas.rgb(1, 1), 0xFFFFFFu);
    EXPECT_FALSE(ABPAINT(nullptr, 0, 0, white.h));
    EXPECT_FALSE(ABPAINT(canvas.dc(), 0, 0, nullptr));
}

TEST(Paint, ZeroContextOrHandlePaintsNothing) {
    Bitmap bmp(imgtest::dib32(2, 1, kRedBlue));
    Canvas canvas(2, 1, 0x00FFFFFF);
    PAINTIMG(nullptr, bmp.h);
    PAINTIMG(canvas.dc(), nullptr);
    PALBMPDRAW(canvas.dc(), 0, 0, nullptr);
    EXPECT_EQ(canvas.rgb(0, 0), 0xFFFFFFu);
}

TEST(Paint, DecodedPictureOnBothPaths) {
    testsupport::ScratchDir dir("paint");
    const std::string path = dir.file("a.png");
    ASSERT_TRUE(imgtest::saveEncoded(path, L"image/png", 2, 1, {0xFFFF0000, 0x800000FF}));
    HBITMAP h = LOADIMG(path);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(HASALPHA(h));
    Canvas canvas(2, 1, 0x00FFFFFF);
    PAINTIMG(canvas.dc(), h, 0, 0, 2, 1);
    EXPECT_EQ(canvas.rgb(0, 0), 0xFF0000u);
    EXPECT_TRUE(imgtest::similar(canvas.rgb(1, 0), 0x7F7FFF, 1)) << std::hex << canvas.rgb(1, 0);
    DELETEOBJECT(h);
}

TEST(Metrics, SizesAndZeroForWhatIsNoBitmap) {
    EXPECT_EQ(NBMPWIDTH(nullptr), 0);
    EXPECT_EQ(NBMPHEIGHT(nullptr), 0);
    HBITMAP bmp = CreateBitmap(7, 5, 1, 32, nullptr);
    EXPECT_EQ(NBMPWIDTH(bmp), 7);
    EXPECT_EQ(NBMPHEIGHT(bmp), 5);
    HBRUSH brush = CreateSolidBrush(RGB(200, 100, 50));
    EXPECT_EQ(NBMPWIDTH(reinterpret_cast<HBITMAP>(brush)), 0);
    EXPECT_EQ(NBMPHEIGHT(reinterpret_cast<HBITMAP>(brush)), 0);
    EXPECT_TRUE(DELETEOBJECT(brush));
    EXPECT_TRUE(DELETEOBJECT(bmp));
    EXPECT_EQ(NBMPWIDTH(bmp), 0);
}

TEST(DeleteObject, FalseForZeroAndForValuesThatAreNoObjects) {
    EXPECT_FALSE(DELETEOBJECT(nullptr));
    UINT_PTR free = 0;
    for (UINT_PTR v = 0x1234; v < 0xFFFF && !free; ++v)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(v)) == 0)
            free = v;
    ASSERT_NE(free, 0u);
    const int before = testsupport::countGdiObjects();
    EXPECT_FALSE(DELETEOBJECT(reinterpret_cast<HGDIOBJ>(free)));
    HBITMAP bmp = CreateBitmap(1, 1, 1, 32, nullptr);
    EXPECT_EQ(testsupport::countGdiObjects(), before + 1);
    EXPECT_TRUE(DELETEOBJECT(bmp));
    EXPECT_EQ(testsupport::countGdiObjects(), before);
    EXPECT_FALSE(DELETEOBJECT(bmp));
}

TEST(Leaks, RepeatedPaintsLeaveNoObjects) {
    HBITMAP alpha = LOADIMG(imgtest::fixture("exact.ico"));
    HBITMAP opaque = LOADIMG(imgtest::fixture("photo.jpg"));
    ASSERT_NE(alpha, nullptr);
    ASSERT_NE(opaque, nullptr);
    Bitmap plain(imgtest::dib32(2, 1, {0x00FF0000, 0x000000FF}));
    Canvas canvas(200, 150, 0);
    const int before = testsupport::countGdiObjects();
    for (int i = 0; i < 100; ++i) {
        for (HBITMAP h : {alpha, opaque, plain.h}) {
            PAINTIMG(canvas.dc(), h);
            PAINTIMG(canvas.dc(), h, 3, 4, 50, 20);
        }
        EXPECT_TRUE(HASALPHA(alpha));
    }
    EXPECT_EQ(testsupport::countGdiObjects(), before);
    DELETEOBJECT(alpha);
    DELETEOBJECT(opaque);
}
