// Decoding of every accepted type, the pixel-format rule, bad input and
// what a decode leaves behind.
#include "fixtures.h"

#include "imaging/decode.h"
#include "imaging/decode_probe.h"
#include "imaging/gdiplus_session.h"
#include "imaging/pixel_format.h"
#include "imaging/paint.h"
#include "support/test_support.h"
#include "base/text.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <algorithm>
#include <bit>

using namespace vistoro;
using imgtest::Pixels;
using testsupport::ScratchDir;
using testsupport::writeFile;

namespace {

const auto *const environment =
    testing::AddGlobalTestEnvironment(new imgtest::GdiplusEnvironment);

// Loads a file and hands back the handle's pixels (empty when no handle).
Pixels loadPixels(const std::string &path, int &width, int &height) {
    HBITMAP h = LOADIMG(path);
    width = height = 0;
    if (!h)
        return {};
    Pixels px = imgtest::handlePixels(h, width, height);
    EXPECT_TRUE(DELETEOBJECT(h));
    return px;
}

// 4 x 2 test colours: opaque, half transparent and fully transparent.
const Pixels kColours = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF,
                         0xFF000000, 0xFF808080, 0x80FF0000, 0x00000000};

} // namespace

TEST(PixelFormatRule, RefusesUnknownAndSixteenBitFormats) {
    for (bool force : {false, true}) {
        EXPECT_FALSE(normalisedPixelFormat(0, force));
        EXPECT_FALSE(normalisedPixelFormat(kPixelFormatExtended, force));
        EXPECT_FALSE(normalisedPixelFormat(0x00101004, force)); // 16-bit grey
        EXPECT_FALSE(normalisedPixelFormat(0x0010300C, force)); // 48-bit RGB
        EXPECT_FALSE(normalisedPixelFormat(0x0034400D, force)); // 64-bit ARGB
        EXPECT_FALSE(normalisedPixelFormat(0x001C400E, force)); // 64-bit PARGB
    }
}

TEST(PixelFormatRule, ChoosesTheTargetFormat) {
    const std::uint32_t rgb24 = 0x00021808, argb32 = 0x0026200A, indexed8 = 0x00030803;
    for (std::uint32_t f : {rgb24, argb32, indexed8, kPixelFormat32bppRGB, kPixelFormat32bppPARGB})
        EXPECT_EQ(normalisedPixelFormat(f, true), kPixelFormat32bppPARGB) << std::hex << f;
    EXPECT_EQ(normalisedPixelFormat(kPixelFormat32bppRGB, false), kPixelFormat32bppPARGB);
    EXPECT_EQ(normalisedPixelFormat(rgb24, false), rgb24);
    EXPECT_EQ(normalisedPixelFormat(argb32, false), argb32);
    EXPECT_EQ(normalisedPixelFormat(indexed8, false), indexed8);
    EXPECT_TRUE(copiesPixelWords(kPixelFormat32bppRGB));
    EXPECT_FALSE(copiesPixelWords(argb32));
    EXPECT_FALSE(copiesPixelWords(kPixelFormat32bppPARGB));
}

TEST(Decode, LosslessTypesGiveExactPixels) {
    ScratchDir dir("img");
    // Premultiplied: the half-transparent red is 0x80800000.
    const Pixels expected = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF,
                             0xFF000000, 0xFF808080, 0x80800000, 0x00000000};
    for (auto [name, mime] : {std::pair{"a.png", L"image/png"}, std::pair{"a.tif", L"image/tiff"}}) {
        const std::string path = dir.file(name);
        ASSERT_TRUE(imgtest::saveEncoded(path, mime, 4, 2, kColours)) << name;
        auto result = GDIP_IMAGEFROMFILE(path, {.lForcePremultiplied = true});
        ASSERT_NE(result.oImage, nullptr) << name;
        EXPECT_EQ(result.hBitmap, nullptr);
        EXPECT_EQ(imgtest::imageFormat(result.oImage), static_cast<int>(kPixelFormat32bppPARGB));
        int w, h;
        EXPECT_EQ(imgtest::imagePixels(result.oImage, static_cast<int>(kPixelFormat32bppPARGB), w, h), expected) << name;
        GDIP_DELETEIMAGE(result.oImage);

        // Through a handle the opaque pixels come out unchanged.
        Pixels px = loadPixels(path, w, h);
        ASSERT_EQ(w, 4);
        ASSERT_EQ(h, 2);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(px[i], expected[i]) << name << " pixel " << i;
    }
}

TEST(Decode, OpaqueTypesGiveTheirPixels) {
    ScratchDir dir("img");
    const std::string bmp = dir.file("a.bmp"), jpg = dir.file("a.jpg");
    ASSERT_TRUE(imgtest::saveEncoded(bmp, L"image/bmp", 4, 2, kColours));
    Pixels solid(16 * 16, 0xFF3060C0);
    ASSERT_TRUE(imgtest::saveEncoded(jpg, L"image/jpeg", 16, 16, solid));
    int w, h;
    Pixels px = loadPixels(bmp, w, h);
    ASSERT_EQ(px.size(), 8u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(px[i], kColours[i]) << i;
    px = loadPixels(jpg, w, h);
    ASSERT_EQ(w, 16);
    ASSERT_EQ(h, 16);
    for (auto p : px)
        ASSERT_TRUE(imgtest::similar(p, 0xFF3060C0, 6)) << std::hex << p;

    // A 24-bit picture keeps its own format unless premultiplying is forced.
    auto own = GDIP_IMAGEFROMFILE(jpg);
    ASSERT_NE(own.oImage, nullptr);
    EXPECT_EQ(imgtest::imageFormat(own.oImage), 0x00021808); // 24-bit RGB
    GDIP_DELETEIMAGE(own.oImage);
}

TEST(Decode, GifAndIconFromTheBuild) {
    int w, h;
    Pixels px = loadPixels(imgtest::fixture("exact.gif"), w, h);
    ASSERT_EQ(w, 4);
    ASSERT_EQ(h, 2);
    EXPECT_EQ(px, (Pixels{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF000000, 0xFF808080,
                          0xFFFFFF00, 0xFF00FFFF}));
    px = loadPixels(imgtest::fixture("exact.ico"), w, h);
    ASSERT_EQ(w, 16);
    ASSERT_EQ(h, 16);
    EXPECT_EQ(px[0], 0x00000000u);                // transparent quarter
    EXPECT_EQ(px[7 * 16 + 7], 0x00000000u);
    EXPECT_EQ(px[8], 0xFF0000FFu);                // opaque blue
    EXPECT_EQ(px[15 * 16 + 15], 0xFF0000FFu);
}

TEST(Decode, ThirtyTwoBitRgbKeepsItsFourthBytesAsAlpha) {
    ScratchDir dir("img");
    // Colour bytes above the alpha byte: nothing may premultiply them.
    const Pixels words = {0x80C0D0E0, 0x00445566, 0xFF112233, 0x01FFFFFF};
    writeFile(dir.file("a.bmp"), imgtest::bmp32Bytes(2, 2, words));
    for (bool force : {false, true}) {
        auto result = GDIP_IMAGEFROMFILE(dir.file("a.bmp"), {.lForcePremultiplied = force});
        ASSERT_NE(result.oImage, nullptr);
        EXPECT_EQ(imgtest::imageFormat(result.oImage), static_cast<int>(kPixelFormat32bppPARGB));
        int w, h;
        EXPECT_EQ(imgtest::imagePixels(result.oImage, static_cast<int>(kPixelFormat32bppPARGB), w, h), words);
        GDIP_DELETEIMAGE(result.oImage);
    }
}

namespace {

// A channel of a bit-field pixel at none, half (only its top bit) or all of
// its bits, as raw bits in the mask's place and as the 8-bit value shown.
enum Level { none, half, full };
std::uint32_t laid(std::uint32_t mask, Level level) {
    return level == none ? 0 : level == full ? mask : std::bit_floor(mask);
}
std::uint32_t shown(std::uint32_t mask, Level level) {
    // Half of 1, 2, 4, 5 and 6 bits; of 8 bits and more the top eight.
    constexpr std::uint32_t kHalf[] = {0, 255, 170, 0, 136, 132, 130, 0, 128};
    const int bits = std::popcount(mask);
    return level == none ? 0 : level == full ? 255 : kHalf[std::min(bits, 8)];
}

} // namespace

TEST(Decode, BitFieldBmpsOpenWithTheirPixelsAndAlpha) {
    struct Variant {
        const char *name;
        int bitCount;
        std::uint32_t headerBytes, compression;
        imgtest::BitFields masks;
        int height = 2; // negative: rows stored top-down
    };
    constexpr std::uint32_t kFields = BI_BITFIELDS, kAlphaFields = 6;
    const Variant variants[] = {
        {"565", 16, 40, kFields, {0xF800, 0x07E0, 0x001F, 0}},
        {"555", 16, 40, kFields, {0x7C00, 0x03E0, 0x001F, 0}},
        {"565-top-down", 16, 40, kFields, {0xF800, 0x07E0, 0x001F, 0}, -2},
        {"4444-h56", 16, 56, kFields, {0x0F00, 0x00F0, 0x000F, 0xF000}},
        {"1555-alphafields", 16, 40, kAlphaFields, {0x7C00, 0x03E0, 0x001F, 0x8000}},
        {"bgr565-v4", 16, 108, kFields, {0x001F, 0x07E0, 0xF800, 0}},
        {"888-high-bytes", 32, 40, kFields, {0xFF000000, 0x00FF0000, 0x0000FF00, 0}},
        {"888-h52", 32, 52, kFields, {0xFF0000, 0xFF00, 0xFF, 0}},
        {"8888-h56", 32, 56, kFields, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
        {"888-h56-alpha-zero", 32, 56, kFields, {0xFF0000, 0xFF00, 0xFF, 0}},
        {"abgr-alphafields", 32, 40, kAlphaFields, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}},
        {"1010102-v5", 32, 124, kFields, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}},
        {"11-11-10-v5", 32, 124, kFields, {0xFFE00000, 0x001FFC00, 0x000003FF, 0}},
    };
    // 4 x 2: red, green, blue, white / black, grey, orange half seen,
    // red not seen.
    struct Colour {
        Level a, r, g, b;
    };
    const Colour colours[] = {{full, full, none, none}, {full, none, full, none},
                              {full, none, none, full}, {full, full, full, full},
                              {full, none, none, none}, {full, half, half, half},
                              {half, full, half, none}, {none, full, none, none}};
    ScratchDir dir("bitfields");
    for (const Variant &v : variants) {
        const imgtest::BitFields &m = v.masks;
        const std::uint32_t used = m.red | m.green | m.blue | m.alpha;
        const std::uint32_t pixelBits = v.bitCount == 16 ? 0xFFFF : 0xFFFFFFFF;
        std::vector<std::uint32_t> values;
        Pixels expected;
        for (const Colour &c : colours) {
            // Bits outside the masks carry noise that must not show.
            values.push_back(laid(m.red, c.r) | laid(m.green, c.g) | laid(m.blue, c.b) |
                             laid(m.alpha, c.a) | (0xA5A5A5A5u & pixelBits & ~used));
            const std::uint32_t alpha = m.alpha ? shown(m.alpha, c.a) : 255;
            expected.push_back(alpha << 24 | shown(m.red, c.r) << 16 | shown(m.green, c.g) << 8 |
                               shown(m.blue, c.b));
        }
        const std::string path = dir.file(std::string(v.name) + ".bmp");
        writeFile(path, imgtest::bitFieldBmp(4, v.height, v.bitCount, v.headerBytes, v.compression,
                                             v.masks, values));
        int w = 0, h = 0;
        EXPECT_EQ(loadPixels(path, w, h), expected) << v.name;
    }
}

TEST(Decode, BmpsWithTheFiftyTwoAndFiftySixByteHeadersShowAsWithTheFortyByteOne) {
    // The same files with masks added to their headers, which count only
    // for pixels laid out by masks: palettes, run lengths, plain rows.
    ScratchDir dir("headers");
    std::vector<std::string> files;
    for (const char *name :
         {"route-pal4.bmp", "route-mono.bmp", "route-rgb24.bmp", "form-rle8.bmp"})
        files.push_back(testsupport::readFile(imgtest::fixture(name)));
    files.push_back(imgtest::bmp32Bytes(2, 2, {0x80C0D0E0, 0x00445566, 0xFF112233, 0x01FFFFFF}));
    for (const std::string &plain : files) {
        ASSERT_EQ(plain.substr(14, 4), std::string("\x28\0\0\0", 4));
        writeFile(dir.file("plain.bmp"), plain);
        int w = 0, h = 0;
        const Pixels expected = loadPixels(dir.file("plain.bmp"), w, h);
        ASSERT_FALSE(expected.empty());
        for (std::uint32_t headerBytes : {52u, 56u}) {
            std::string wider = plain;
            const std::string masks("\0\0\xFF\0\0\xFF\0\0\xFF\0\0\0\0\0\0\xFF", 16);
            wider.insert(54, masks.substr(0, headerBytes - 40));
            const auto put = [&wider](std::size_t at, std::uint32_t v) {
                for (int k = 0; k < 4; ++k)
                    wider[at + static_cast<std::size_t>(k)] = static_cast<char>(v >> (8 * k));
            };
            const auto rowsAt = static_cast<std::uint32_t>(static_cast<unsigned char>(plain[10]) |
                                                           static_cast<unsigned char>(plain[11]) << 8);
            put(2, static_cast<std::uint32_t>(wider.size()));
            put(10, rowsAt + headerBytes - 40); // the rows of these start in the first 64 KiB
            put(14, headerBytes);
            writeFile(dir.file("wider.bmp"), wider);
            EXPECT_EQ(loadPixels(dir.file("wider.bmp"), w, h), expected) << headerBytes;
        }
    }
}

TEST(BadInput, BitFieldMasksThatOverlapBreakOrOverflowAreRefused) {
    struct Bad {
        const char *name;
        int bitCount;
        std::uint32_t headerBytes;
        imgtest::BitFields masks;
    };
    const Bad bad[] = {
        {"overlapping", 16, 40, {0xF800, 0x0FE0, 0x001F, 0}},
        {"broken-run", 16, 40, {0xE800, 0x07E0, 0x001F, 0}},
        {"past-16-bits", 16, 40, {0x1F0000, 0x07E0, 0x001F, 0}},
        {"alpha-over-red", 32, 56, {0xFF0000, 0xFF00, 0xFF, 0xFF800000}},
    };
    ScratchDir dir("bitfields");
    const std::vector<std::uint32_t> values(4 * 2, 0x1234);
    for (const Bad &b : bad) {
        const std::string path = dir.file(std::string(b.name) + ".bmp");
        writeFile(path, imgtest::bitFieldBmp(4, 2, b.bitCount, b.headerBytes, BI_BITFIELDS, b.masks,
                                             values));
        EXPECT_EQ(LOADIMG(path), nullptr) << b.name;
    }
    // Masks or rows that the file does not hold in full.
    const std::string good =
        imgtest::bitFieldBmp(4, 2, 16, 40, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F, 0}, values);
    for (std::size_t length : {std::size_t{60}, good.size() - 1}) {
        writeFile(dir.file("cut.bmp"), good.substr(0, length));
        EXPECT_EQ(LOADIMG(dir.file("cut.bmp")), nullptr) << length;
    }
}

TEST(Decode, AGifWithoutAnyColourTableShowsWithADefaultPalette) {
    // Black and white lead the default table, so a two-colour picture
    // shows as one.
    ScratchDir dir("gif");
    writeFile(dir.file("bare.gif"), imgtest::gifWithoutColourTable());
    int w = 0, h = 0;
    EXPECT_EQ(loadPixels(dir.file("bare.gif"), w, h), (Pixels{0xFF000000, 0xFFFFFFFF}));
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 1);
}

TEST(Decode, MetafilesAreDrawnAtTheirOwnSize) {
    ScratchDir dir("img");
    writeFile(dir.file("a.emf"), imgtest::emfBytes(60, 40));
    const std::string wmf = imgtest::wmfBytes(60, 40);
    writeFile(dir.file("plain.wmf"), wmf);
    writeFile(dir.file("placeable.wmf"), imgtest::placeable(wmf, 60, 40));
    for (const char *name : {"a.emf", "plain.wmf", "placeable.wmf"}) {
        int w, h;
        Pixels px = loadPixels(dir.file(name), w, h);
        ASSERT_FALSE(px.empty()) << name;
        // The recorded bounds of an enhanced metafile may lose a pixel or two.
        EXPECT_NEAR(w, 60, 3) << name;
        EXPECT_NEAR(h, 40, 3) << name;
        EXPECT_EQ(px[static_cast<std::size_t>((h / 2) * w + w / 4)], 0xFFFF0000u) << name;
        EXPECT_EQ(px[static_cast<std::size_t>((h / 2) * w + 3 * w / 4)], 0xFF0000FFu) << name;
    }
    // A plain metafile that sets no window extent has no size of its own.
    writeFile(dir.file("nosize.wmf"), imgtest::wmfBytes(60, 40, false));
    EXPECT_EQ(LOADIMG(dir.file("nosize.wmf")), nullptr);
}

TEST(Decode, SixteenBitsPerChannelFollowTheReportedFormat) {
    for (const char *name : {"deep16.png", "deep16.tif"}) {
        auto result = GDIP_IMAGEFROMFILE(imgtest::fixture(name));
        const int format = result.oImage ? imgtest::imageFormat(result.oImage) : 0;
        GDIP_DELETEIMAGE(result.oImage);
        HBITMAP h = LOADIMG(imgtest::fixture(name));
        // Refused where the decoder reports an extended format; shown where
        // it hands them over as 32-bit ARGB.
        if (result.oImage && !(format & kPixelFormatExtended)) {
            EXPECT_NE(h, nullptr) << name;
        } else {
            EXPECT_EQ(h, nullptr) << name;
        }
        DELETEOBJECT(h);
    }
}

TEST(Decode, ResultFormsAndRelease) {
    const std::string path = imgtest::fixture("photo.png");
    auto handle = GDIP_IMAGEFROMFILE(path, {.lMakeHandle = true});
    EXPECT_NE(handle.hBitmap, nullptr);
    EXPECT_EQ(handle.oImage, nullptr);
    EXPECT_EQ(NBMPWIDTH(handle.hBitmap), 160);
    EXPECT_TRUE(DELETEOBJECT(handle.hBitmap));

    // Two loads, two handles, each released on its own.
    HBITMAP a = LOADIMG(path), b = LOADIMG(path);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_TRUE(DELETEOBJECT(a));
    EXPECT_EQ(NBMPHEIGHT(b), 120);
    EXPECT_TRUE(DELETEOBJECT(b));

    // Only outstanding results are released; others are left alone.
    auto image = GDIP_IMAGEFROMFILE(path);
    ASSERT_NE(image.oImage, nullptr);
    GDIP_DELETEIMAGE(nullptr);
    GDIP_DELETEIMAGE(reinterpret_cast<GdipImage *>(&image));
    GDIP_DELETEIMAGE(image.oImage);
    GDIP_DELETEIMAGE(image.oImage); // a second release does nothing
}

TEST(Decode, FileNamesInUtf8AndInTheAnsiCodePage) {
    ScratchDir dir("img");
    const std::string utf8Name = dir.file("caf\xC3\xA9 \xD0\x96.png");
    ASSERT_TRUE(imgtest::saveEncoded(dir.file("probe.png"), L"image/png", 4, 2, kColours));
    const std::string bytes = testsupport::readFile(dir.file("probe.png"));
    HANDLE f = CreateFileW(widen(utf8Name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                           nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
    HBITMAP h = LOADIMG(utf8Name);
    EXPECT_NE(h, nullptr);
    DELETEOBJECT(h);
    // The same name cut in the middle of a character is not UTF-8 and
    // names some other file, which does not exist.
    EXPECT_EQ(LOADIMG(utf8Name.substr(0, utf8Name.size() - 5) + ".png"), nullptr);
    DeleteFileW(widen(utf8Name).c_str());
}

TEST(Decode, NothingKeepsTheFileOpen) {
    ScratchDir dir("img");
    const std::string path = dir.file("a.png");
    ASSERT_TRUE(imgtest::saveEncoded(path, L"image/png", 4, 2, kColours));
    HBITMAP h = LOADIMG(path);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
    auto image = GDIP_IMAGEFROMFILE(imgtest::fixture("photo.png"));
    ASSERT_NE(image.oImage, nullptr);
    ASSERT_TRUE(CopyFileA(imgtest::fixture("photo.png").c_str(), path.c_str(), FALSE));
    auto moved = GDIP_IMAGEFROMFILE(path);
    ASSERT_NE(moved.oImage, nullptr);
    // The image object does not hold its file either.
    EXPECT_TRUE(MoveFileA(path.c_str(), dir.file("b.png").c_str()));
    EXPECT_TRUE(DeleteFileA(dir.file("b.png").c_str()));
    int w, hh;
    EXPECT_EQ(imgtest::imagePixels(moved.oImage, static_cast<int>(kPixelFormat32bppPARGB), w, hh).size(), 160u * 120u);
    GDIP_DELETEIMAGE(moved.oImage);
    GDIP_DELETEIMAGE(image.oImage);
    DELETEOBJECT(h);
}

TEST(BadInput, EveryBrokenFileGivesZeroAndIsLeftUntouched) {
    ScratchDir dir("bad");
    std::vector<std::pair<std::string, std::string>> files = {
        {"empty.png", ""},
        {"text.jpg", "This is a text file, not a picture.\r\n"},
        {"huge.png", imgtest::pngHeaderOnly(60000, 60000)},
        {"huge.bmp", imgtest::bmpHeaderOnly(60000, 60000)},
        {"huge.gif", imgtest::gifHeaderOnly(60000, 60000)},
        {"huge.jpg", imgtest::withJpegSize(testsupport::readFile(imgtest::fixture("photo.jpg"))
                                               .substr(0, 2000), 60000, 60000)},
        {"negative.bmp", imgtest::bmpHeaderOnly(-5, 0x7FFFFFFF)},
    };
    for (const char *name : {"photo.jpg", "photo.png", "photo.gif"}) {
        const std::string whole = testsupport::readFile(imgtest::fixture(name));
        ASSERT_GT(whole.size(), 1000u);
        for (std::size_t length : {std::size_t{1}, std::size_t{4}, std::size_t{12}, std::size_t{40},
                                   std::size_t{200}, whole.size() / 2, whole.size() - 1})
            files.push_back({std::to_string(length) + "-" + name, whole.substr(0, length)});
    }
    const int gdiBefore = testsupport::countGdiObjects();
    for (auto &[name, bytes] : files) {
        const std::string path = dir.file(name);
        writeFile(path, bytes);
        HBITMAP h = LOADIMG(path);
        // A cut PNG or GIF may still decode as the rows that arrived; what
        // must never happen is a crash, a leak or a hold on the file.
        const bool mayDecode = name.find("-photo") != std::string::npos && bytes.size() > 1000;
        if (!mayDecode) {
            EXPECT_EQ(h, nullptr) << name;
        }
        DELETEOBJECT(h);
        EXPECT_EQ(testsupport::readFile(path), bytes) << name;
        EXPECT_TRUE(DeleteFileA(path.c_str())) << name;
    }
    EXPECT_EQ(testsupport::countGdiObjects(), gdiBefore);
}

TEST(BadInput, MissingNamesAndFolders) {
    ScratchDir dir("bad");
    EXPECT_EQ(LOADIMG(dir.file("nothing.png")), nullptr);
    EXPECT_EQ(LOADIMG(""), nullptr);
    EXPECT_EQ(LOADIMG(dir.path()), nullptr);
    EXPECT_EQ(LOADIMG(dir.path() + "\\"), nullptr);
    auto image = GDIP_IMAGEFROMFILE(dir.path());
    EXPECT_EQ(image.oImage, nullptr);
    EXPECT_EQ(GDIP_IMAGEFROMFILE(dir.path(), {.lMakeHandle = true}).hBitmap, nullptr);
}

TEST(BadInput, EachFailingStepLeavesNothingBehind) {
    const std::string path = imgtest::fixture("photo.png");
    const int gdiBefore = testsupport::countGdiObjects();
    for (DecodeFault fault : {DecodeFault::allocBlock, DecodeFault::shortRead,
                              DecodeFault::makeStream, DecodeFault::makeTarget,
                              DecodeFault::makeHandle}) {
        setDecodeFault(fault);
        EXPECT_EQ(LOADIMG(path), nullptr) << static_cast<int>(fault);
        GdipImage *image = GDIP_IMAGEFROMFILE(path).oImage;
        EXPECT_EQ(image == nullptr, fault != DecodeFault::makeHandle);
        GDIP_DELETEIMAGE(image);
        EXPECT_EQ(testsupport::countGdiObjects(), gdiBefore) << static_cast<int>(fault);
    }
    setDecodeFault(DecodeFault::none);
    HBITMAP h = LOADIMG(path);
    EXPECT_NE(h, nullptr);
    DELETEOBJECT(h);
    EXPECT_EQ(testsupport::countGdiObjects(), gdiBefore);
}

TEST(BadInput, NoDecodeWithoutTheService) {
    GDIPLUSSHUTDOWN();
    EXPECT_FALSE(gdiplusRunning());
    EXPECT_EQ(LOADIMG(imgtest::fixture("photo.png")), nullptr);
    ASSERT_TRUE(GDIPLUSSTARTUP());
    EXPECT_TRUE(GDIPLUSSTARTUP()); // a second start keeps the first
    HBITMAP h = LOADIMG(imgtest::fixture("photo.png"));
    EXPECT_NE(h, nullptr);
    DELETEOBJECT(h);
}

namespace {
SIZE_T privateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&counters),
                         sizeof counters);
    return counters.PrivateUsage;
}
} // namespace

TEST(Leaks, RepeatedLoadsLeaveObjectsAndMemoryWhereTheyWere) {
    ScratchDir dir("leak");
    const std::string big = dir.file("big.png");
    ASSERT_TRUE(imgtest::saveEncoded(big, L"image/png", 400, 300, Pixels(400 * 300, 0x80336699)));
    writeFile(dir.file("a.emf"), imgtest::emfBytes(60, 40));
    const std::vector<std::string> files = {big, imgtest::fixture("photo.jpg"),
                                            imgtest::fixture("exact.gif"), dir.file("a.emf"),
                                            imgtest::fixture("photo.png") + ".missing"};
    auto round = [&] {
        for (const auto &f : files) {
            DELETEOBJECT(LOADIMG(f));
            GDIP_DELETEIMAGE(GDIP_IMAGEFROMFILE(f).oImage);
        }
    };
    for (int i = 0; i < 5; ++i)
        round(); // the service's own caches settle
    const int gdiBefore = testsupport::countGdiObjects();
    const SIZE_T memBefore = privateBytes();
    for (int i = 0; i < 40; ++i)
        round();
    EXPECT_EQ(testsupport::countGdiObjects(), gdiBefore);
    // One lost copy of the big picture per round would be 19 MB.
    EXPECT_LT(static_cast<long long>(privateBytes()) - static_cast<long long>(memBefore),
              3LL * 1024 * 1024);
}

TEST(Probe, StepTimesAreRecordedWhenAsked) {
    DecodeTimings timings;
    timings.readMs = -1;
    setDecodeTimings(&timings);
    HBITMAP h = LOADIMG(imgtest::fixture("photo.jpg"));
    setDecodeTimings(nullptr);
    ASSERT_NE(h, nullptr);
    DELETEOBJECT(h);
    EXPECT_GE(timings.readMs, 0);
    EXPECT_GT(timings.decodeMs + timings.normaliseMs + timings.handleMs, 0);
}

TEST(Decode, WellFormedVariantsKeepOpeningWithTheirPixels) {
    // Red, green / blue, yellow quadrants of 48 x 32, written in the forms
    // that real files take; a PNG whose text chunk's checksum is wrong still
    // opens, as it does without the checks.
    std::string badSum = testsupport::readFile(imgtest::fixture("form-text.png"));
    const auto text = badSum.find("tEXt");
    ASSERT_NE(text, std::string::npos);
    const std::size_t length = static_cast<unsigned char>(badSum[text - 1]);
    badSum[text + 4 + length] ^= 0x5A;
    ScratchDir dir("forms");
    testsupport::writeFile(dir.file("badsum.png"), badSum);

    std::vector<std::string> files = {dir.file("badsum.png")};
    for (const char *name : {"form-progressive.jpg", "form-restart.jpg", "form-interlaced.png",
                             "form-text.png", "form-palette.png", "form-lzw.tif", "form-core.bmp",
                             "form-v5.bmp", "form-rle8.bmp"})
        files.push_back(imgtest::fixture(name));
    // JPEG trailing bytes after the end marker.
    testsupport::writeFile(dir.file("trailing.jpg"),
                           testsupport::readFile(imgtest::fixture("form-restart.jpg")) + "trailing");
    files.push_back(dir.file("trailing.jpg"));
    for (const std::string &file : files) {
        int w = 0, h = 0;
        const Pixels px = loadPixels(file, w, h);
        ASSERT_EQ(w, 48) << file;
        ASSERT_EQ(h, 32) << file;
        // The colours as shown: a run-length BMP decodes as 32-bit RGB, whose
        // fourth bytes (0 here) are kept as they are and never blended.
        const auto at = [&](int x, int y) {
            return px[static_cast<std::size_t>(y * w + x)] | 0xFF000000u;
        };
        EXPECT_TRUE(imgtest::similar(at(5, 5), 0xFFFF0000, 24)) << file << std::hex << at(5, 5);
        EXPECT_TRUE(imgtest::similar(at(40, 5), 0xFF00FF00, 24)) << file << std::hex << at(40, 5);
        EXPECT_TRUE(imgtest::similar(at(5, 26), 0xFF0000FF, 24)) << file << std::hex << at(5, 26);
        EXPECT_TRUE(imgtest::similar(at(40, 26), 0xFFFFFF00, 24)) << file << std::hex << at(40, 26);
    }
    // The first frame of an animation, the first page of a document, and
    // the PNG picture inside an icon.
    struct First {
        const char *name;
        int width, height;
        std::uint32_t colour;
    };
    for (const First &f : {First{"form-frames.gif", 24, 16, 0xFFFF0000},
                           First{"form-pages.tif", 24, 16, 0xFF00FF00},
                           First{"form-png.ico", 256, 256, 0xFFFFFF00}}) {
        int w = 0, h = 0;
        const Pixels px = loadPixels(imgtest::fixture(f.name), w, h);
        ASSERT_EQ(w, f.width) << f.name;
        ASSERT_EQ(h, f.height) << f.name;
        EXPECT_TRUE(imgtest::similar(px[static_cast<std::size_t>(w + 1)], f.colour, 8))
            << f.name << std::hex << px[static_cast<std::size_t>(w + 1)];
    }
}

TEST(Decode, APictureOfSixteenThousandByTwelveThousandOpensWhole) {
    // 192 million pixels, red on the left half and blue on the right: more
    // than a 32-bit process holds in 2 GiB beside the decoder's copy; with
    // the large address space it fits.
    constexpr int kW = 16000, kH = 12000;
    HBITMAP h = LOADIMG(imgtest::fixture("vast.jpg"));
    ASSERT_NE(h, nullptr) << "the picture did not open";
    EXPECT_EQ(NBMPWIDTH(h), kW);
    EXPECT_EQ(NBMPHEIGHT(h), kH);
    // Two pixels of the middle row, read from the bitmap itself.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, h);
    const COLORREF left = GetPixel(dc, 10, kH / 2), right = GetPixel(dc, kW - 10, kH / 2);
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_TRUE(imgtest::similar(0xFF000000u | GetRValue(left) << 16 | GetGValue(left) << 8 | GetBValue(left),
                                 0xFFFF0000, 16)) << std::hex << left;
    EXPECT_TRUE(imgtest::similar(0xFF000000u | GetRValue(right) << 16 | GetGValue(right) << 8 | GetBValue(right),
                                 0xFF0000FF, 16)) << std::hex << right;
    EXPECT_TRUE(DELETEOBJECT(h));
}
