#include "imaging/dib_readout.h"

#include "imaging/dib_layout.h"

#include <cstring>
#include <limits>

namespace vistoro {

namespace {

// The screen context with a palette realised in it, put back at scope end.
class ScreenWithPalette {
  public:
    explicit ScreenWithPalette(HPALETTE palette) noexcept : dc_(nullptr), palette_(dc_.get(), palette) {}
    HDC get() const noexcept { return dc_.get(); }

  private:
    WindowDC dc_; // released after the palette is put back
    PaletteGuard palette_;
};

} // namespace

PackedDib packedDibFromBitmap(HBITMAP hBitmap, HPALETTE hPalette) {
    if (!hBitmap)
        return {};
    BITMAP bm{};
    if (::GetObjectW(hBitmap, sizeof bm, &bm) != sizeof bm)
        return {};
    const auto bitCount = static_cast<WORD>(bm.bmPlanes * bm.bmBitsPixel);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = bm.bmWidth;
    header.biHeight = bm.bmHeight; // positive: rows bottom-up
    header.biPlanes = 1;
    header.biBitCount = bitCount;
    header.biCompression = BI_RGB;
    // Bitmaps come in 1, 4, 8, 16, 24 or 32 bits: the full table up to 8.
    const DWORD tableBytes = dibColours(bitCount, 0) * sizeof(RGBQUAD);
    const DWORD headBytes = sizeof header + tableBytes;

    ScreenWithPalette screen(hPalette ? hPalette
                                      : static_cast<HPALETTE>(::GetStockObject(DEFAULT_PALETTE)));
    if (!screen.get())
        return {};
    PackedDib dib;
    dib.block.reset(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, headBytes));
    if (!dib.block)
        return {};
    {
        GlobalLockGuard lock(dib.block.get());
        auto *info = static_cast<BITMAPINFO *>(lock.get());
        if (!info)
            return {};
        std::memcpy(info, &header, sizeof header);
        ::GetDIBits(screen.get(), hBitmap, 0, static_cast<UINT>(bm.bmHeight), nullptr, info,
                    DIB_RGB_COLORS);
        std::memcpy(&header, info, sizeof header);
    }
    unsigned long long imageSize = header.biSizeImage;
    if (imageSize == 0)
        imageSize = dibImageBytes(
            bitCount, static_cast<unsigned long long>(header.biWidth),
            static_cast<unsigned long long>(header.biHeight < 0 ? -header.biHeight
                                                                : header.biHeight));
    if (imageSize == 0 || imageSize > std::numeric_limits<DWORD>::max() - headBytes)
        return {};

    HGLOBAL grown = ::GlobalReAlloc(dib.block.get(), headBytes + imageSize, GMEM_MOVEABLE);
    if (!grown)
        return {};
    dib.block.release();
    dib.block.reset(grown);
    GlobalLockGuard lock(dib.block.get());
    auto *info = static_cast<BITMAPINFO *>(lock.get());
    if (!info || ::GetDIBits(screen.get(), hBitmap, 0, static_cast<UINT>(bm.bmHeight),
                             static_cast<BYTE *>(lock.get()) + headBytes, info,
                             DIB_RGB_COLORS) == 0)
        return {};
    dib.bitsOffset = headBytes;
    dib.imageSize = static_cast<DWORD>(imageSize);
    return dib;
}

} // namespace vistoro
