// The ways of reaching premultiplied ARGB without drawing give the very
// pixels of the drawing way: for every format that takes them, each
// picture's result is compared word for word (alpha included) with a
// reference built here by drawing at 1:1 and converting over opaque black.
#include "fixtures.h"

#include "imaging/decode.h"
#include "imaging/decode_probe.h"
#include "imaging/byte_stream.h"
#include "imaging/gdiplus_holders.h"
#include "imaging/gdiplus_session.h"
#include "imaging/metafile.h"
#include "imaging/paint.h"
#include "imaging/pixel_format.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

using namespace vistoro;
using imgtest::Pixels;
using testsupport::ScratchDir;
using testsupport::writeFile;

namespace {

const auto *const environment =
    testing::AddGlobalTestEnvironment(new imgtest::GdiplusEnvironment);

// What the drawing way gives for a file's bytes.
struct Reference {
    int format = 0;
    bool transparentEntry = false; // an indexed picture with a see-through colour
    Pixels target;                 // the premultiplied target image
    Pixels handle;                 // its handle over opaque black
    DIBSECTION section{};
};

Reference drawnReference(const std::string &bytes) {
    Reference ref;
    const auto held = ByteBlock::fromBytes(bytes.data(), bytes.size());
    UniqueStream stream = streamOver(held);
    UniqueGpBitmap source;
    if (gp::GdipCreateBitmapFromStream(stream.get(), source.put()) != Gdiplus::Ok) {
        source.release();
        source = bitmapFromMetafile(held);
    }
    if (!source)
        return ref;
    UINT w = 0, h = 0;
    Gdiplus::PixelFormat format = 0;
    gp::GdipGetImageWidth(source.get(), &w);
    gp::GdipGetImageHeight(source.get(), &h);
    gp::GdipGetImagePixelFormat(source.get(), &format);
    ref.format = static_cast<int>(format);
    INT paletteBytes = 0;
    if ((format & PixelFormatIndexed) &&
        gp::GdipGetImagePaletteSize(source.get(), &paletteBytes) == Gdiplus::Ok && paletteBytes) {
        std::vector<BYTE> buffer(static_cast<std::size_t>(paletteBytes));
        auto *palette = reinterpret_cast<Gdiplus::ColorPalette *>(buffer.data());
        if (gp::GdipGetImagePalette(source.get(), palette, paletteBytes) == Gdiplus::Ok)
            for (UINT i = 0; i < palette->Count; ++i)
                ref.transparentEntry |= (palette->Entries[i] >> 24) != 0xFF;
    }
    UniqueGpBitmap target;
    EXPECT_EQ(gp::GdipCreateBitmapFromScan0(static_cast<INT>(w), static_cast<INT>(h), 0,
                                            PixelFormat32bppPARGB, nullptr, target.put()),
              Gdiplus::Ok);
    if (format == kPixelFormat32bppRGB) {
        BitsLock from(source.get(), w, h, Gdiplus::ImageLockModeRead, PixelFormat32bppRGB);
        BitsLock to(target.get(), w, h, Gdiplus::ImageLockModeWrite, PixelFormat32bppPARGB);
        for (UINT y = 0; y < h; ++y)
            std::memcpy(to.row(y), from.row(y), w * 4);
    } else {
        UniqueGpGraphics graphics;
        EXPECT_EQ(gp::GdipGetImageGraphicsContext(target.get(), graphics.put()), Gdiplus::Ok);
        EXPECT_EQ(gp::GdipDrawImageRectI(graphics.get(), source.get(), 0, 0, static_cast<INT>(w),
                                         static_cast<INT>(h)),
                  Gdiplus::Ok);
    }
    int iw, ih;
    ref.target = imgtest::imagePixels(target.get(), PixelFormat32bppPARGB, iw, ih);
    HBITMAP handle = nullptr;
    EXPECT_EQ(gp::GdipCreateHBITMAPFromBitmap(target.get(), &handle, 0xFF000000), Gdiplus::Ok);
    ref.handle = imgtest::handlePixels(handle, iw, ih);
    GetObjectW(handle, sizeof ref.section, &ref.section);
    DeleteObject(handle);
    return ref;
}

// A bottom-up 16-bit BI_RGB (5-5-5) file of width x height with varied colours.
std::string bmp16Bytes(int width, int height) {
    const int stride = (width * 2 + 3) & ~3;
    std::string s = "BM";
    auto put = [&s](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            s += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put(static_cast<std::uint32_t>(54 + stride * height), 4);
    put(0, 4);
    put(54, 4);
    put(40, 4);
    put(static_cast<std::uint32_t>(width), 4);
    put(static_cast<std::uint32_t>(height), 4);
    put(1, 2);
    put(16, 2);
    for (int i = 0; i < 6; ++i)
        put(0, 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            put(static_cast<std::uint32_t>((x * 977 + y * 131) & 0x7FFF), 2);
        put(0, stride - width * 2);
    }
    return s;
}

bool partlyTransparent(const Pixels &px) {
    for (auto p : px)
        if ((p >> 24) != 0 && (p >> 24) != 0xFF)
            return true;
    return false;
}

// Pictures of every decoded format, with their names.
std::vector<std::pair<std::string, std::string>> routePictures(const ScratchDir &dir) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const char *name : {"route-rgb24.jpg", "route-rgb24.bmp", "route-pal8t.gif",
                             "route-pal8t.png", "route-grey.png", "route-grey.jpg",
                             "route-mono.png", "route-mono.bmp", "route-pal4.bmp", "photo.jpg", "photo.png", "photo.gif",
                             "exact.ico"})
        files.push_back({name, testsupport::readFile(imgtest::fixture(name))});
    // Every alpha level over colours that premultiplying rounds.
    Pixels ramp(61 * 17);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::uint32_t>(i % 256) << 24 |
                  static_cast<std::uint32_t>((i * 37) & 0xFFFFFF);
    EXPECT_TRUE(imgtest::saveEncoded(dir.file("ramp.png"), L"image/png", 61, 17, ramp));
    files.push_back({"ramp.png", testsupport::readFile(dir.file("ramp.png"))});
    files.push_back({"words.bmp", imgtest::bmp32Bytes(3, 2, {0x80C0D0E0, 0x00445566, 0xFF112233,
                                                             0x01FFFFFF, 0x7F7F7F7F, 0xFE000000})});
    files.push_back({"a.emf", imgtest::emfBytes(45, 31)});
    files.push_back({"rgb555.bmp", bmp16Bytes(7, 5)});
    return files;
}

} // namespace

TEST(PremultipliedRoutes, SamePixelsAsDrawingForEveryFormatThatSkipsIt) {
    ScratchDir dir("route");
    std::set<int> formatsSeen;
    bool transparentEntry = false, partialAlpha = false;
    for (const auto &[name, bytes] : routePictures(dir)) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(bytes.empty());
        const Reference ref = drawnReference(bytes);
        ASSERT_FALSE(ref.handle.empty());
        const std::string path = dir.file("in-" + name);
        writeFile(path, bytes);

        DecodeTimings probe;
        setDecodeTimings(&probe);
        HBITMAP handle = LOADIMG(path);
        setDecodeTimings(nullptr);
        ASSERT_NE(handle, nullptr);
        int w, h;
        EXPECT_EQ(imgtest::handlePixels(handle, w, h), ref.handle);
        DIBSECTION section{};
        ASSERT_EQ(GetObjectW(handle, sizeof section, &section), static_cast<int>(sizeof section));
        EXPECT_EQ(section.dsBmih.biHeight, ref.section.dsBmih.biHeight);
        EXPECT_EQ(section.dsBmih.biBitCount, ref.section.dsBmih.biBitCount);
        EXPECT_EQ(section.dsBmih.biCompression, ref.section.dsBmih.biCompression);
        EXPECT_TRUE(DELETEOBJECT(handle));

        setDecodeTimings(&probe);
        auto image = GDIP_IMAGEFROMFILE(path, {.lForcePremultiplied = true});
        setDecodeTimings(nullptr);
        ASSERT_NE(image.oImage, nullptr);
        EXPECT_EQ(imgtest::imagePixels(image.oImage, PixelFormat32bppPARGB, w, h), ref.target);
        GDIP_DELETEIMAGE(image.oImage);

        const bool skipsDrawing = copiesPixelWords(static_cast<std::uint32_t>(ref.format)) ||
                                  convertsByLocking(static_cast<std::uint32_t>(ref.format));
        EXPECT_EQ(probe.route, !skipsDrawing ? DecodeRoute::draw
                               : copiesPixelWords(static_cast<std::uint32_t>(ref.format))
                                   ? DecodeRoute::copyWords
                                   : DecodeRoute::lockRows)
            << std::hex << ref.format;
        if (skipsDrawing) {
            formatsSeen.insert(ref.format);
            transparentEntry |= ref.transparentEntry;
            partialAlpha |= partlyTransparent(ref.target);
        }
    }
    // Every format that skips the drawing was among the pictures compared,
    // and so were the cases that premultiplying can get wrong.
    for (std::uint32_t f : {0x00030101u, 0x00030402u, 0x00030803u, 0x00101004u, 0x00021005u,
                            0x00021006u, 0x00061007u, 0x00021808u, 0x00022009u, 0x0026200Au,
                            0x000E200Bu, 0x0010300Cu, 0x0034400Du, 0x001C400Eu})
        if (copiesPixelWords(f) || convertsByLocking(f)) {
            EXPECT_TRUE(formatsSeen.count(static_cast<int>(f))) << std::hex << f;
        }
    EXPECT_TRUE(transparentEntry);
    EXPECT_TRUE(partialAlpha);
}

TEST(PremultipliedRoutes, RowsThatCannotBeFilledAreDrawnOrRefused) {
    ScratchDir dir("route");
    const std::string words = dir.file("words.bmp");
    writeFile(words, imgtest::bmp32Bytes(2, 1, {0x80C0D0E0, 0xFF112233}));
    const int gdiBefore = testsupport::countGdiObjects();
    for (const std::string &path : {imgtest::fixture("route-rgb24.jpg"),
                                    imgtest::fixture("route-pal8t.gif"), words}) {
        SCOPED_TRACE(path);
        HBITMAP good = LOADIMG(path);
        ASSERT_NE(good, nullptr);
        int w, h;
        const Pixels expected = imgtest::handlePixels(good, w, h);
        DELETEOBJECT(good);

        setDecodeFault(DecodeFault::fillRows);
        DecodeTimings probe;
        setDecodeTimings(&probe);
        HBITMAP drawn = LOADIMG(path);
        auto image = GDIP_IMAGEFROMFILE(path, {.lForcePremultiplied = true});
        setDecodeTimings(nullptr);
        setDecodeFault(DecodeFault::none);
        if (path == words) {
            // Drawing would lose the fourth bytes: no picture rather than a wrong one.
            EXPECT_EQ(drawn, nullptr);
            EXPECT_EQ(image.oImage, nullptr);
        } else {
            ASSERT_NE(drawn, nullptr);
            EXPECT_FALSE(probe.directHandle);
            EXPECT_EQ(probe.route, DecodeRoute::draw);
            EXPECT_EQ(imgtest::handlePixels(drawn, w, h), expected);
            EXPECT_NE(image.oImage, nullptr);
        }
        DELETEOBJECT(drawn);
        GDIP_DELETEIMAGE(image.oImage);
        EXPECT_EQ(testsupport::countGdiObjects(), gdiBefore);
    }
}
