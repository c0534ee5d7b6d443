// Photos stand upright: the EXIF orientation read from the file's bytes,
// its mirror and turns on pixel rows, and the decoder's pictures of JPEG
// and TIFF files stored with each of the eight values.
#include "fixtures.h"

#include "imaging/decode.h"
#include "imaging/exif.h"
#include "imaging/orientation.h"
#include "imaging/paint.h"
#include "support/photos.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace vistoro;
using testsupport::ExifBlock;
using testsupport::Picture;
using testsupport::ScratchDir;

namespace {

const auto *const environment =
    testing::AddGlobalTestEnvironment(new imgtest::GdiplusEnvironment);

Picture patterned(long w, long h) {
    Picture p{w, h, {}};
    for (long i = 0; i < w * h; ++i)
        p.px.push_back(0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8));
    return p;
}

// A JPEG of the stored pixels (flat quarters survive the compression).
std::string jpegOf(const Picture &p, const ScratchDir &dir) {
    const std::string path = dir.file("encoded.jpg");
    EXPECT_TRUE(imgtest::saveEncoded(path, L"image/jpeg", p.width, p.height, p.px));
    return testsupport::readFile(path);
}

// The quarters' centres of a bitmap match the upright picture's.
::testing::AssertionResult upright(HBITMAP bmp, const Picture &want, int tolerance);
::testing::AssertionResult upright(const imgtest::Pixels &px, int w, int h, const Picture &want,
                                   int tolerance) {
    if (w != want.width || h != want.height)
        return ::testing::AssertionFailure() << "size " << w << "x" << h << ", upright is "
                                             << want.width << "x" << want.height;
    for (double fy : {0.25, 0.75})
        for (double fx : {0.25, 0.75}) {
            const long x = static_cast<long>(fx * w), y = static_cast<long>(fy * h);
            const std::uint32_t got = px[static_cast<std::size_t>(y * w + x)];
            if (!imgtest::similar(got, want.at(x, y), tolerance))
                return ::testing::AssertionFailure() << "at " << x << "," << y << ": " << std::hex
                                                     << got << ", upright " << want.at(x, y);
        }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult upright(HBITMAP bmp, const Picture &want, int tolerance) {
    int w = 0, h = 0;
    const imgtest::Pixels px = imgtest::handlePixels(bmp, w, h);
    return upright(px, w, h, want, tolerance);
}

} // namespace

TEST(OrientPixels, EveryValueUndoesWhatTheCameraStored) {
    // Odd sizes, and one large enough for the turns' tiled path.
    for (auto [w, h] : {std::pair{7L, 5L}, std::pair{37L, 22L}}) {
        const Picture want = patterned(w, h);
        for (int o = 1; o <= 8; ++o) {
            const Picture stored = testsupport::storedFor(want, o);
            for (RowOrder order : {RowOrder::TopDown, RowOrder::BottomUp})
                for (long band : {0L, 3L}) { // 0: the whole picture at once
                    std::vector<std::uint32_t> out(want.px.size());
                    if (band == 0)
                        orientPixels(stored.px.data(), stored.width, stored.width,
                                     stored.height, o, out.data(), order);
                    else // bands of 3 rows, the last one short, from the bottom up
                        for (long y0 = (stored.height - 1) / band * band; y0 >= 0; y0 -= band)
                            orientBand(stored.px.data() + y0 * stored.width, stored.width,
                                       stored.width, stored.height, y0,
                                       std::min(band, stored.height - y0), o, out.data(), order);
                    if (order == RowOrder::BottomUp)
                        for (long y = 0; y < h / 2; ++y)
                            std::swap_ranges(out.begin() + y * w, out.begin() + (y + 1) * w,
                                             out.begin() + (h - 1 - y) * w);
                    EXPECT_EQ(out, want.px)
                        << "orientation " << o << " " << w << "x" << h
                        << (order == RowOrder::BottomUp ? " bottom-up" : "") << " band " << band;
                }
        }
    }
}

TEST(ExifReader, FindsTheTagInEitherByteOrderAndInALongDirectory) {
    const std::string jpeg = "\xFF\xD8\xFF\xDB\x00\x04\x00\x00\xFF\xDA\x00\x02";
    for (bool big : {false, true})
        for (int others : {0, 40})
            for (int o = 1; o <= 8; ++o) {
                const std::string photo = testsupport::withExif(jpeg, {o, big, others});
                const auto *b = reinterpret_cast<const BYTE *>(photo.data());
                EXPECT_EQ(readExif(b, photo.size()).orientation, o) << big << " " << others;
                const std::string tiff = testsupport::exifTiff({o, big, others});
                EXPECT_EQ(readExif(reinterpret_cast<const BYTE *>(tiff.data()), tiff.size()).orientation, o);
            }
}

TEST(ExifReader, DamagedOrUnknownValuesMeanAsStored) {
    const std::string jpeg = "\xFF\xD8\xFF\xDA\x00\x02";
    const auto orientationOf = [](const std::string &bytes) {
        return readExif(reinterpret_cast<const BYTE *>(bytes.data()), bytes.size()).orientation;
    };
    for (int value : {0, 9, 0xFFFF})
        EXPECT_EQ(orientationOf(testsupport::withExif(jpeg, {value})), 1) << value;
    const std::string good = testsupport::withExif(jpeg, {6, false, 30});
    // APP1 at 2, its TIFF header at 12, the directory 8 bytes on; the
    // orientation is the 31st entry.
    const std::size_t ifd = 20, tag = ifd + 2 + 30 * 12;
    EXPECT_EQ(orientationOf(good), 6);
    // Cut in the middle of the segment: before the tag it is gone, after it kept.
    EXPECT_EQ(orientationOf(good.substr(0, tag + 6)), 1);
    EXPECT_EQ(orientationOf(good.substr(0, tag + 12)), 6);
    std::string bent = good;
    bent[ifd] = bent[ifd + 1] = '\xFF'; // a directory claiming 65535 entries
    EXPECT_EQ(orientationOf(bent), 6);  // the entries that are there are read
    bent = good;
    bent[12 + 7] = '\x7F'; // the first directory past the end
    EXPECT_EQ(orientationOf(bent), 1);
    bent = good;
    bent[tag + 2] = 2; // the tag as text
    EXPECT_EQ(orientationOf(bent), 1);
    bent = good;
    bent[tag + 4] = 2; // two values
    EXPECT_EQ(orientationOf(bent), 1);
    bent = good;
    bent[2 + 2] = '\x00';
    bent[2 + 3] = '\x01'; // a segment length of 1
    EXPECT_EQ(orientationOf(bent), 1);
    EXPECT_EQ(orientationOf("\xFF\xD8"), 1);
    EXPECT_EQ(readExif(nullptr, 0).orientation, 1);
}

TEST(DecodeUpright, JpegsOfEveryOrientationAndByteOrder) {
    ScratchDir dir("orient");
    // The last is stood upright a band of rows at a time.
    for (const Picture &want : {testsupport::quarters(48, 32), testsupport::quarters(32, 48),
                                testsupport::quarters(150, 260)})
        for (bool big : {false, true})
            for (int o = 1; o <= 8; ++o) {
                const std::string path = dir.file("photo.jpg");
                testsupport::writeFile(
                    path, testsupport::withExif(jpegOf(testsupport::storedFor(want, o), dir),
                                                {o, big, 12}));
                int w = 0, h = 0;
                HBITMAP bmp = LOADIMG(path);
                ASSERT_NE(bmp, nullptr) << o;
                EXPECT_TRUE(upright(bmp, want, 24))
                    << "orientation " << o << (big ? " big-endian" : " little-endian");
                DELETEOBJECT(bmp);
                // The image objects that the decoder hands out stand upright too.
                auto image = GDIP_IMAGEFROMFILE(path, {.lForcePremultiplied = true});
                ASSERT_NE(image.oImage, nullptr) << o;
                const imgtest::Pixels px = imgtest::imagePixels(image.oImage, PixelFormat32bppPARGB, w, h);
                EXPECT_TRUE(upright(px, w, h, want, 24)) << "image object, orientation " << o;
                GDIP_DELETEIMAGE(image.oImage);
            }
}

TEST(DecodeUpright, TiffWithTheTagAndDamagedTagsDecodeAsStored) {
    ScratchDir dir("orient");
    const Picture want = testsupport::quarters(24, 16);
    for (bool big : {false, true})
        for (int o : {3, 6, 7}) {
            const std::string path = dir.file("scan.tif");
            testsupport::writeFile(path, testsupport::rgbTiff(testsupport::storedFor(want, o), o, big));
            HBITMAP bmp = LOADIMG(path);
            ASSERT_NE(bmp, nullptr) << o << " " << big;
            EXPECT_TRUE(upright(bmp, want, 0)) << o << " " << big;
            DELETEOBJECT(bmp);
        }
    // An unknown value is no reason to refuse or to turn the picture.
    const Picture stored = testsupport::storedFor(want, 6);
    const std::string path = dir.file("odd.jpg");
    testsupport::writeFile(path, testsupport::withExif(jpegOf(stored, dir), {9}));
    HBITMAP bmp = LOADIMG(path);
    ASSERT_NE(bmp, nullptr);
    EXPECT_TRUE(upright(bmp, stored, 24));
    DELETEOBJECT(bmp);
}
