// Test pictures made in-process (GDI+ encoders, GDI metafiles, hand-built
// headers) and pixel read-back, shared by the imaging tests.
#pragma once

#include "imaging/gdiplus_session.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Gdiplus {
class GpBitmap;
}

namespace imgtest {

// GDI+ running for the whole test program.
struct GdiplusEnvironment : testing::Environment {
    void SetUp() override { ASSERT_TRUE(vistoro::GDIPLUSSTARTUP()); }
    void TearDown() override { vistoro::GDIPLUSSHUTDOWN(); }
};

// The folder of pictures drawn at build time (make-fixtures.sh).
std::string fixturesDir();
std::string fixture(const std::string &name);

// Pixels are 0xAARRGGBB words, rows top-down.
using Pixels = std::vector<std::uint32_t>;

// A bottom-up 32-bit BI_RGB file whose fourth bytes are the words' top bytes.
std::string bmp32Bytes(int width, int height, const Pixels &pixels);
// Saves through the service's encoder for the MIME type; false on failure.
bool saveEncoded(const std::string &path, const wchar_t *mime, int width, int height,
                 const Pixels &pixels);
// The same from rows of the given pixel format, without a copy.
bool saveRows(const std::string &path, const wchar_t *mime, int width, int height, int stride,
              int format, BYTE *rows);

// A metafile whose left half is red and right half is blue.
std::string emfBytes(int width, int height, const std::wstring &description = {});
std::string wmfBytes(int width, int height, bool withExtent = true); // no placeable header
std::string placeable(const std::string &wmf, int width, int height);

// Hand-built headers that declare width x height over a few bytes of data.
std::string pngHeaderOnly(std::uint32_t width, std::uint32_t height);
std::string bmpHeaderOnly(std::int32_t width, std::int32_t height);
std::string gifHeaderOnly(std::uint16_t width, std::uint16_t height);
// A BMP of 16- or 32-bit pixels described by masks. headerBytes is 40
// (the masks follow the header: three, or four with BI_ALPHABITFIELDS) or
// 52, 56, 108 or 124 (the masks inside it, alpha from 56 on). `values` are
// the raw pixel values, rows top-down; a negative height stores them so.
struct BitFields {
    std::uint32_t red, green, blue, alpha;
};
std::string bitFieldBmp(int width, int height, int bitCount, std::uint32_t headerBytes,
                        std::uint32_t compression, BitFields masks,
                        const std::vector<std::uint32_t> &values);
// The smallest GIF with neither a global nor a local colour table: two
// pixels of colour indexes 0 and 1.
std::string gifWithoutColourTable();
// A JPEG with its frame header's size replaced.
std::string withJpegSize(std::string jpeg, std::uint16_t width, std::uint16_t height);

// All pixels of a bitmap handle as 32-bit words, rows top-down.
Pixels handlePixels(HBITMAP bitmap, int &width, int &height);
// All pixels of an image object in the given 32-bit format.
Pixels imagePixels(Gdiplus::GpBitmap *image, int format, int &width, int &height);
int imageFormat(Gdiplus::GpBitmap *image);

// A 32-bit DIB section in a memory context, filled with one colour.
class Canvas {
  public:
    Canvas(int width, int height, std::uint32_t fill);
    ~Canvas();
    Canvas(const Canvas &) = delete;
    Canvas &operator=(const Canvas &) = delete;
    HDC dc() const { return dc_; }
    // The colour at (x, y) as 0xRRGGBB (the fourth byte left out).
    std::uint32_t rgb(int x, int y) const;

  private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    std::uint32_t *bits_ = nullptr;
};

// A DIB section of the given depth whose pixel bytes are all `byte`, or
// whose 32-bit words are `pixels` (rows top-down).
HBITMAP dibFilled(int width, int height, int bitCount, BYTE byte);
HBITMAP dib32(int width, int height, const Pixels &pixels);

// Colour channels within a tolerance.
bool similar(std::uint32_t a, std::uint32_t b, int tolerance);

} // namespace imgtest
