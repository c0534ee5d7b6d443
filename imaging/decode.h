// Decoding an image file into a bitmap handle (or a decoded image object)
// through the imaging service. Every failure yields 0 or null, quietly;
// nothing but the result outlives a call.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Gdiplus {
class GpBitmap;
}

namespace vistoro {

// A decoded image object handed to the caller; released with GDIP_DELETEIMAGE.
using GdipImage = Gdiplus::GpBitmap;

struct ImageFromFileOptions {
    // True: the result is a bitmap handle and the image object is released
    // inside the call. False: the result is the image object itself.
    bool lMakeHandle = false;
    // True: every picture is normalised to 32-bit premultiplied ARGB.
    // False: only 32-bit RGB pictures are; others keep their own format.
    bool lForcePremultiplied = false;
};

// Exactly one member is set on success, the one lMakeHandle asked for; the
// caller owns it.
struct ImageFromFileResult {
    HBITMAP hBitmap = nullptr;
    GdipImage *oImage = nullptr;
};

// cFile is the program's narrow text: well-formed UTF-8 with a high byte is
// read as UTF-8, anything else in the ANSI code page.
ImageFromFileResult GDIP_IMAGEFROMFILE(std::string_view cFile,
                                       const ImageFromFileOptions &options = {});

// Releases an image object made by GDIP_IMAGEFROMFILE; nothing for null or
// for a pointer that is not an outstanding result of it.
void GDIP_DELETEIMAGE(GdipImage *oImage) noexcept;

// The viewer's decoder: 0 when no file of that name exists (the imaging
// service is not touched), else a premultiplied 32-bit bitmap handle or 0.
// Safe to call from any thread once the service runs.
HBITMAP LOADIMG(std::string_view cFile);

// LOADIMG for a decode made ahead of need: a picture of more than maxPixels
// pixels is not decoded when its header tells its size, or not kept when
// only the decode does; then the result is 0 and tooLarge is set.
struct BoundedLoad {
    HBITMAP hBitmap = nullptr;
    bool tooLarge = false;
};
BoundedLoad loadImageWithin(std::string_view cFile, std::uint64_t maxPixels);

// A picture held in memory, such as the thumbnail a photo embeds, through
// the same checks as a file's bytes; it stands as `orientation` says (the
// photo's, 1 to 8), whatever its own bytes say. 0 when it does not decode.
HBITMAP loadImageFromBytes(const void *data, std::size_t size, int orientation);

} // namespace vistoro
