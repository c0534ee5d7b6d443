// Photos as cameras write them, for tests: an EXIF block (orientation,
// a directory made long with other tags, an embedded thumbnail) in either
// byte order, put into a JPEG's APP1 segment or written as the directory
// of an uncompressed TIFF; and the stored pixels of a picture that an
// orientation is to stand upright.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct ExifBlock {
    int orientation = 0; // 0: no orientation tag
    bool bigEndian = false;
    int otherTags = 0;     // entries ahead of the orientation in the first directory
    std::string thumbnail; // JPEG bytes for the second directory; empty: none
};

// The TIFF structure that an APP1 "Exif" segment carries.
std::string exifTiff(const ExifBlock &exif);
// The JPEG with an APP1 "Exif" segment put in right after its start marker.
std::string withExif(const std::string &jpeg, const ExifBlock &exif);

// Pixels are 0xAARRGGBB words, top row first.
struct Picture {
    long width = 0, height = 0;
    std::vector<std::uint32_t> px;
    std::uint32_t at(long x, long y) const { return px[static_cast<std::size_t>(y * width + x)]; }
};

// An uncompressed 24-bit RGB TIFF of the picture, with the orientation tag
// in its directory unless it is 0.
std::string rgbTiff(const Picture &p, int orientation, bool bigEndian);

// What a camera stores for the upright picture under the orientation: the
// picture that the orientation's mirror and turns make upright again.
Picture storedFor(const Picture &upright, int orientation);

// Four flat quarters (red, green above; blue, yellow below), which tell
// every one of the eight orientations apart.
Picture quarters(long width, long height);

} // namespace testsupport
