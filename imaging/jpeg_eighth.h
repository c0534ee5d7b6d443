// A JPEG photo's one-eighth picture, read without decoding the photo. The
// DC value of each 8 x 8 block is that block's average, so the DC values
// of the scans alone give an area-averaged reduction to an eighth: the AC
// codes are passed over and nothing is transformed back. The gallery draws
// its cells from this when a photo embeds no thumbnail.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vistoro {

struct EighthPicture {
    // ceil(w/8) x ceil(h/8), upright (swapped for EXIF orientations 5-8).
    long width = 0, height = 0;
    std::uint32_t photoWidth = 0, photoHeight = 0; // the full picture's size, upright
    // Top-down rows of width * height words 0xFFRRGGBB (opaque), as a 32-bit
    // BI_RGB DIB section holds them.
    std::vector<std::uint32_t> pixels;
};

// The picture's one-eighth reduction from the DC values of its scans, stood
// upright by its EXIF orientation. Taken: baseline, extended (8-bit) and
// progressive Huffman-coded JPEGs of 8-bit samples with one component
// (grey) or three (YCbCr, or RGB as an Adobe segment or the component ids
// say). None for every other form, and for damaged or inconsistent data:
// the caller then decodes the whole picture. Reads nothing outside the
// bytes given, whatever they hold.
std::optional<EighthPicture> readJpegEighth(const BYTE *data, std::size_t size) noexcept;

} // namespace vistoro
