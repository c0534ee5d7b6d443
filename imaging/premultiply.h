// Filling 32-bit premultiplied rows from a decoded picture without drawing
// it, straight into the rows of the picture's final home: a target image's
// locked rows, or a DIB section that becomes the bitmap handle. Internal to
// the imaging layer.
#pragma once

#include "imaging/gdiplus_holders.h"

namespace vistoro {

// Whether fillPremultiplied takes the format (pixel_format.h decides).
bool fillsPremultiplied(Gdiplus::PixelFormat sourceFormat) noexcept;

// Writes `rows` rows of the source from firstRow on (the whole source when
// they are its height) into the rows at scan0 (row y at scan0 + y *
// stride; stride may be negative): 32-bit RGB words copied unchanged, the
// formats of convertsByLocking converted by the service. False when the
// format is neither or the service refuses.
bool fillPremultiplied(Gdiplus::GpBitmap *source, UINT width, UINT rows,
                       Gdiplus::PixelFormat sourceFormat, BYTE *scan0, INT stride,
                       UINT firstRow = 0) noexcept;

// A bottom-up 32-bit BI_RGB DIB section, the layout of a handle made from a
// premultiplied image over opaque black, filled as above and standing as
// the EXIF orientation says (width x height, or height x width for a
// quarter turn). Empty on failure, with nothing left allocated.
UniqueBitmap premultipliedSection(Gdiplus::GpBitmap *source, UINT width, UINT height,
                                  Gdiplus::PixelFormat sourceFormat, int orientation = 1) noexcept;

} // namespace vistoro
