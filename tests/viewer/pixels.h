// Bitmaps made from and read back into 32-bit pixel words (0xAARRGGBB),
// for tests that check pictures pixel by pixel.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace viewertest {

struct Pixels {
    long width = 0, height = 0;
    std::vector<std::uint32_t> px; // top row first
    std::uint32_t at(long x, long y) const { return px[static_cast<size_t>(y * width + x)]; }
};

// A picture whose every pixel differs from the others (opaque).
Pixels patterned(long width, long height);
// A 32-bit DIB section holding the pixels; bottomUp picks the row order.
HBITMAP makeDib(const Pixels &p, bool bottomUp = false);
// A bitmap compatible with the screen holding the pixels.
HBITMAP makeDdb(const Pixels &p);
// The bitmap's pixels as 32-bit words; width 0 when it cannot be read.
Pixels readPixels(HBITMAP bmp);

} // namespace viewertest

#include <string>

namespace viewertest {

// Writes the pixels as a picture file through the imaging service's
// encoders ("image/png", "image/bmp", "image/jpeg", ...). The service must
// be running. True when the file was written. With withAlpha the fourth
// byte of each word is written as the pixel's alpha; else it is ignored.
bool writePicture(const std::string &path, const Pixels &p, const wchar_t *mimeType,
                  bool withAlpha = false);
// A picture of the given size with a gradient and the given seed mixed in,
// so that neighbouring files differ.
Pixels sampleScene(long width, long height, int seed);
// Pixels of a picture file as decoded by the imaging service (32-bit ARGB).
Pixels decodeFile(const std::string &path);

} // namespace viewertest
