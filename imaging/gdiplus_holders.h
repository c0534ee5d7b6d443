// Owners for the imaging service's objects, on the shared handle template,
// and a guard for locked pixel rows. Internal to the imaging layer.
#pragma once

#include "base/handles.h"

#include <objidl.h>

#include <gdiplus.h>

namespace vistoro {

namespace gp = Gdiplus::DllExports;

inline void disposeGpBitmap(Gdiplus::GpBitmap *p) noexcept { gp::GdipDisposeImage(p); }
inline void disposeGpImage(Gdiplus::GpImage *p) noexcept { gp::GdipDisposeImage(p); }
inline void deleteGpGraphics(Gdiplus::GpGraphics *p) noexcept { gp::GdipDeleteGraphics(p); }

using UniqueGpBitmap =
    UniqueHandle<Gdiplus::GpBitmap *, NullTraits<Gdiplus::GpBitmap *, disposeGpBitmap>>;
using UniqueGpImage =
    UniqueHandle<Gdiplus::GpImage *, NullTraits<Gdiplus::GpImage *, disposeGpImage>>;
using UniqueGpGraphics =
    UniqueHandle<Gdiplus::GpGraphics *, NullTraits<Gdiplus::GpGraphics *, deleteGpGraphics>>;

// GdipBitmapLockBits / GdipBitmapUnlockBits over whole rows of a bitmap:
// `rows` rows from firstRow on (all of them when firstRow is 0 and rows the
// height); row(0) is the first of them.
class BitsLock {
  public:
    BitsLock(Gdiplus::GpBitmap *bmp, UINT width, UINT rows, UINT mode, Gdiplus::PixelFormat format,
             UINT firstRow = 0) noexcept
        : bmp_(bmp) {
        Gdiplus::GpRect band(0, static_cast<INT>(firstRow), static_cast<INT>(width),
                             static_cast<INT>(rows));
        locked_ = gp::GdipBitmapLockBits(bmp, &band, mode, format, &data_) == Gdiplus::Ok;
    }
    // A read lock whose rows the service writes straight into the caller's
    // rows (scan0, stride) in the asked format, with no buffer of its own.
    BitsLock(Gdiplus::GpBitmap *bmp, UINT width, UINT rows, Gdiplus::PixelFormat format,
             BYTE *scan0, INT stride, UINT firstRow = 0) noexcept
        : bmp_(bmp) {
        Gdiplus::GpRect whole(0, static_cast<INT>(firstRow), static_cast<INT>(width),
                              static_cast<INT>(rows));
        data_.Width = width;
        data_.Height = rows;
        data_.Stride = stride;
        data_.PixelFormat = format;
        data_.Scan0 = scan0;
        locked_ = gp::GdipBitmapLockBits(
                      bmp, &whole, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                      format, &data_) == Gdiplus::Ok;
    }
    BitsLock(const BitsLock &) = delete;
    BitsLock &operator=(const BitsLock &) = delete;
    ~BitsLock() {
        if (locked_)
            gp::GdipBitmapUnlockBits(bmp_, &data_);
    }
    explicit operator bool() const noexcept { return locked_; }
    INT stride() const noexcept { return data_.Stride; }
    BYTE *row(UINT y) const noexcept {
        return static_cast<BYTE *>(data_.Scan0) + static_cast<INT_PTR>(y) * data_.Stride;
    }

  private:
    Gdiplus::GpBitmap *bmp_;
    Gdiplus::BitmapData data_{};
    bool locked_ = false;
};

} // namespace vistoro
