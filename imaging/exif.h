// What a photo's EXIF block says about showing it: the orientation the
// camera was held in, and where the thumbnail it embedded lies. Read from
// the file's own bytes (a JPEG's APP1 "Exif" segment, or a TIFF file's
// first directory), since the imaging service turns nothing by the tag and
// does not report it everywhere. Every offset, count and size is checked
// against the bytes at hand; whatever cannot be read counts as absent.
// Internal to the imaging layer.
#pragma once

#include <windows.h>

#include <cstddef>

namespace vistoro {

struct ExifFacts {
    // 1 to 8 as EXIF defines them; 1 (as stored) when the tag is missing,
    // unknown or unreadable.
    int orientation = 1;
    // The embedded JPEG thumbnail of a JPEG file, as an offset and a length
    // inside the bytes read; length 0 when there is none.
    std::size_t thumbnailAt = 0, thumbnailBytes = 0;
};

ExifFacts readExif(const BYTE *data, std::size_t size) noexcept;

} // namespace vistoro
