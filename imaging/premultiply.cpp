#include "imaging/premultiply.h"

#include "imaging/decode_probe.h"
#include "imaging/dib_info.h"
#include "imaging/pixel_format.h"

#include <cstring>
#include <limits>

namespace vistoro {

bool fillsPremultiplied(Gdiplus::PixelFormat sourceFormat) noexcept {
    return copiesPixelWords(sourceFormat) || convertsByLocking(sourceFormat);
}

bool fillPremultiplied(Gdiplus::GpBitmap *source, UINT width, UINT height,
                       Gdiplus::PixelFormat sourceFormat, BYTE *scan0, INT stride) noexcept {
    if (detail::faultAt(DecodeFault::fillRows))
        return false;
    if (copiesPixelWords(sourceFormat)) {
        // Row by row through the lock's own stride, which may run bottom-up.
        BitsLock from(source, width, height, Gdiplus::ImageLockModeRead, PixelFormat32bppRGB);
        if (!from)
            return false;
        const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
        for (UINT y = 0; y < height; ++y)
            std::memcpy(scan0 + static_cast<INT_PTR>(y) * stride, from.row(y), rowBytes);
        return true;
    }
    if (!convertsByLocking(sourceFormat))
        return false;
    BitsLock into(source, width, height, PixelFormat32bppPARGB, scan0, stride);
    return static_cast<bool>(into);
}

UniqueBitmap premultipliedSection(Gdiplus::GpBitmap *source, UINT width, UINT height,
                                  Gdiplus::PixelFormat sourceFormat) noexcept {
    if (width == 0 || height == 0 ||
        width > static_cast<UINT>(std::numeric_limits<INT>::max() / 4) ||
        height > static_cast<UINT>(std::numeric_limits<LONG>::max()))
        return {};
    BITMAPINFO info = rgb32Info(static_cast<LONG>(width), static_cast<LONG>(height), RowOrder::BottomUp);
    void *bits = nullptr;
    UniqueBitmap section(
        ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section || !bits)
        return {};
    // The picture's top row is the section's last one in memory.
    const INT stride = static_cast<INT>(width) * 4;
    BYTE *top = static_cast<BYTE *>(bits) + static_cast<std::size_t>(height - 1) * stride;
    if (!fillPremultiplied(source, width, height, sourceFormat, top, -stride))
        return {};
    ::GdiFlush();
    return section;
}

} // namespace vistoro
