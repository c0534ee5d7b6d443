// The thumbnail a camera or phone embeds in a JPEG photo's EXIF block, for
// a small picture of the photo without decoding the whole of it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

namespace vistoro {

// Only this much of the file's start is searched for the thumbnail.
inline constexpr std::size_t kThumbnailSearchBytes = 64 * 1024;

struct EmbeddedThumbnail {
    HBITMAP hBitmap = nullptr;                     // the caller's, upright as the photo
    std::uint64_t photoWidth = 0, photoHeight = 0; // the photo's own size, upright
};

// The thumbnail of a JPEG photo, decoded through the same checks as any
// picture and standing as the photo's orientation says; none (hBitmap 0)
// for any other file, for a photo without one, or for a thumbnail whose
// proportions are not the photo's within one pixel of its own size (a
// cropped photo whose thumbnail was left behind).
EmbeddedThumbnail loadEmbeddedThumbnail(std::string_view cFile);

} // namespace vistoro
