// Bitmaps made from and read back into 32-bit pixel words (0xAARRGGBB),
// for tests that check pictures pixel by pixel.
#pragma once

#include <windows.h>

#include "support/photos.h"

#include <cstdint>
#include <vector>

namespace viewertest {

// Width, height and 0xAARRGGBB words, top row first.
using Pixels = testsupport::Picture;

// Colours whose red, green and blue each differ by at most the tolerance
// (the fourth byte is not compared).
inline bool similarRgb(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance)
            return false;
    }
    return true;
}

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
// A camera's JPEG of the upright picture: its pixels stored as the EXIF
// orientation says, and the orientation in an EXIF block of that byte order.
bool writePhoto(const std::string &path, const Pixels &upright, int orientation, bool bigEndian);
// A picture of the given size with a gradient and the given seed mixed in,
// so that neighbouring files differ.
Pixels sampleScene(long width, long height, int seed);
// Pixels of a picture file as decoded by the imaging service (32-bit ARGB).
Pixels decodeFile(const std::string &path);

} // namespace viewertest
