#include "imaging/premultiply.h"

#include "imaging/decode_probe.h"
#include "imaging/dib_info.h"
#include "imaging/orientation.h"
#include "imaging/pixel_format.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace vistoro {
namespace {

// Rows of the stored picture converted at a time on the way to standing it
// upright: a multiple of the quarter turn's blocks, a few megabytes at most.
constexpr UINT kOrientBandRows = 128;

} // namespace

bool fillsPremultiplied(Gdiplus::PixelFormat sourceFormat) noexcept {
    return copiesPixelWords(sourceFormat) || convertsByLocking(sourceFormat);
}

bool fillPremultiplied(Gdiplus::GpBitmap *source, UINT width, UINT rows,
                       Gdiplus::PixelFormat sourceFormat, BYTE *scan0, INT stride,
                       UINT firstRow) noexcept {
    if (detail::faultAt(DecodeFault::fillRows))
        return false;
    if (copiesPixelWords(sourceFormat)) {
        // Row by row through the lock's own stride, which may run bottom-up.
        BitsLock from(source, width, rows, Gdiplus::ImageLockModeRead, PixelFormat32bppRGB,
                      firstRow);
        if (!from)
            return false;
        const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
        for (UINT y = 0; y < rows; ++y)
            std::memcpy(scan0 + static_cast<INT_PTR>(y) * stride, from.row(y), rowBytes);
        return true;
    }
    if (!convertsByLocking(sourceFormat))
        return false;
    BitsLock into(source, width, rows, PixelFormat32bppPARGB, scan0, stride, firstRow);
    return static_cast<bool>(into);
}

UniqueBitmap premultipliedSection(Gdiplus::GpBitmap *source, UINT width, UINT height,
                                  Gdiplus::PixelFormat sourceFormat, int orientation) noexcept {
    if (width == 0 || height == 0 ||
        width > static_cast<UINT>(std::numeric_limits<INT>::max() / 4) ||
        height > static_cast<UINT>(std::numeric_limits<INT>::max() / 4))
        return {};
    const bool across = swapsAxes(orientation);
    const LONG outW = static_cast<LONG>(across ? height : width);
    const LONG outH = static_cast<LONG>(across ? width : height);
    BITMAPINFO info = rgb32Info(outW, outH, RowOrder::BottomUp);
    void *bits = nullptr;
    UniqueBitmap section(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!section || !bits)
        return {};
    const INT stride = static_cast<INT>(width) * 4;
    if (orientation < 2 || orientation > 8) {
        // The picture's top row is the section's last one in memory.
        BYTE *top = static_cast<BYTE *>(bits) + static_cast<std::size_t>(height - 1) * stride;
        if (!fillPremultiplied(source, width, height, sourceFormat, top, -stride))
            return {};
    } else {
        // Filled as stored a band at a time, each band stood upright into
        // the section at once: one more pass over the pixels, and no copy
        // of the whole picture besides the section.
        const UINT bandRows = std::min(height, kOrientBandRows);
        std::unique_ptr<std::uint32_t[]> band(new (std::nothrow)
                                                  std::uint32_t[std::size_t{width} * bandRows]);
        if (!band)
            return {};
        for (UINT y = 0; y < height; y += bandRows) {
            const UINT rows = std::min(bandRows, height - y);
            if (!fillPremultiplied(source, width, rows, sourceFormat,
                                   reinterpret_cast<BYTE *>(band.get()), stride, y))
                return {};
            orientBand(band.get(), static_cast<std::ptrdiff_t>(width), static_cast<long>(width),
                       static_cast<long>(height), static_cast<long>(y), static_cast<long>(rows),
                       orientation, static_cast<std::uint32_t *>(bits), RowOrder::BottomUp);
        }
    }
    ::GdiFlush();
    return section;
}

} // namespace vistoro
