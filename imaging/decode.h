// Decoding an image file into a bitmap handle (or a decoded image object)
// through the imaging service. Every failure yields 0 or null, quietly;
// nothing but the result outlives a call.
#pragma once

#include <windows.h>

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
HBITMAP LOADIMG(std::string_view cFile);

} // namespace vistoro
