#include "printing/packed_dib.h"

#include "imaging/dib_layout.h"
#include "imaging/dib_readout.h"

#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

namespace vistoro {

namespace {

constexpr bool fitsWord(int v) noexcept { return v >= 0 && v <= 0xFFFF; }

} // namespace

UniqueGlobal DIBFROMBITMAP(HBITMAP hBmp, HPALETTE hPal) {
    return std::move(packedDibFromBitmap(hBmp, hPal).block);
}

UniquePalette DIBPALETTE(HGLOBAL hDib) {
    if (!hDib)
        return {};
    GlobalLockGuard lock(hDib);
    const auto layout = dibLayout(lock.get(), ::GlobalSize(hDib), false);
    if (!layout || layout->colours == 0 || layout->colours > 0xFFFF)
        return {};
    const auto *table = static_cast<const BYTE *>(lock.get()) + layout->tableOffset;

    // LOGPALETTE ends in a one-entry array: room for the header and n entries.
    std::vector<BYTE> store(offsetof(LOGPALETTE, palPalEntry) +
                            layout->colours * sizeof(PALETTEENTRY));
    auto *pal = reinterpret_cast<LOGPALETTE *>(store.data());
    pal->palVersion = 0x300;
    pal->palNumEntries = static_cast<WORD>(layout->colours);
    for (DWORD i = 0; i < layout->colours; ++i) {
        const BYTE *entry = table + i * layout->entrySize; // blue, green, red
        PALETTEENTRY pe{entry[2], entry[1], entry[0], 0};
        std::memcpy(store.data() + offsetof(LOGPALETTE, palPalEntry) + i * sizeof pe, &pe,
                    sizeof pe);
    }
    return UniquePalette(::CreatePalette(pal));
}

bool DIBDRAW(HDC hDC, HGLOBAL hDib, const DibDrawOptions &o) {
    if (!hDC || !hDib)
        return false;
    // Passed on as 16-bit values, anything outside would wrap to another
    // place or size; such a request is refused instead.
    if (!fitsWord(o.nRow) || !fitsWord(o.nCol) || !fitsWord(o.nWidth) || !fitsWord(o.nHeight))
        return false;
    const DWORD rop = o.nRaster ? o.nRaster : SRCCOPY;

    GlobalLockGuard lock(hDib);
    const auto layout = dibLayout(lock.get(), ::GlobalSize(hDib), true);
    if (!layout)
        return false;
    const auto *info = static_cast<const BITMAPINFO *>(lock.get());
    const BYTE *bits = static_cast<const BYTE *>(lock.get()) + layout->bitsOffset;

    PaletteGuard palette(hDC, o.hPal, true);
    if (o.nWidth == 0 || o.nHeight == 0) {
        ::SetDIBitsToDevice(hDC, o.nCol, o.nRow, static_cast<DWORD>(layout->width),
                            static_cast<DWORD>(layout->height), 0, 0, 0,
                            static_cast<UINT>(layout->height), bits, info, DIB_RGB_COLORS);
    } else {
        ::StretchDIBits(hDC, o.nCol, o.nRow, o.nWidth, o.nHeight, 0, 0, layout->width,
                        layout->height, bits, info, DIB_RGB_COLORS, rop);
    }
    return true;
}

} // namespace vistoro
