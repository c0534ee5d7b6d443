#include "imaging/dib_layout.h"

#include "imaging/picture_limits.h"

#include <climits>
#include <cstring>

namespace vistoro {

DWORD dibColours(WORD bitCount, DWORD coloursUsed) noexcept {
    if (coloursUsed != 0)
        return coloursUsed;
    switch (bitCount) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

std::optional<DibLayout> dibLayout(const void *p, SIZE_T blockSize, bool needRows,
                                   DibTable table) noexcept {
    if (!p || blockSize < sizeof(DWORD))
        return std::nullopt;
    DibLayout d;
    std::memcpy(&d.headerSize, p, sizeof d.headerSize);
    DWORD imageSize = 0;
    if (d.headerSize == sizeof(BITMAPCOREHEADER)) {
        BITMAPCOREHEADER core;
        if (blockSize < sizeof core)
            return std::nullopt;
        std::memcpy(&core, p, sizeof core);
        d.planes = core.bcPlanes;
        d.bitCount = core.bcBitCount;
        d.colours = dibColours(core.bcBitCount, 0);
        d.entrySize = sizeof(RGBTRIPLE);
        d.width = core.bcWidth;
        d.height = core.bcHeight;
    } else if (d.headerSize >= sizeof(BITMAPINFOHEADER)) {
        BITMAPINFOHEADER info;
        if (blockSize < d.headerSize)
            return std::nullopt;
        std::memcpy(&info, p, sizeof info);
        d.planes = info.biPlanes;
        d.bitCount = info.biBitCount;
        d.colours = dibColours(info.biBitCount, info.biClrUsed);
        d.entrySize = sizeof(RGBQUAD);
        d.width = info.biWidth;
        // The most negative height has no positive counterpart.
        if (info.biHeight == LONG_MIN)
            return std::nullopt;
        d.height = info.biHeight < 0 ? -info.biHeight : info.biHeight;
        d.topDown = info.biHeight < 0;
        d.compression = info.biCompression;
        imageSize = info.biSizeImage;
    } else {
        return std::nullopt;
    }
    if (d.width <= 0 || d.height <= 0 || d.bitCount == 0)
        return std::nullopt;
    if (table == DibTable::paletteIndexes)
        d.entrySize = sizeof(WORD);

    // Only behind the 40-byte header do the masks come before the table;
    // the larger headers hold them.
    const unsigned long long masks = d.headerSize == sizeof(BITMAPINFOHEADER)
                                         ? dibMaskCount(d.headerSize, d.compression) * sizeof(DWORD)
                                         : 0;
    d.tableOffset = static_cast<DWORD>(d.headerSize + masks);
    const unsigned long long bitsOffset =
        d.tableOffset + static_cast<unsigned long long>(d.colours) * d.entrySize;
    if (bitsOffset > blockSize)
        return std::nullopt;
    d.bitsOffset = static_cast<DWORD>(bitsOffset);

    if (d.compression == BI_RGB || d.compression == BI_BITFIELDS ||
        d.compression == kBiAlphaBitFields)
        d.pixelBytes = dibImageBytes(d.bitCount, static_cast<unsigned long long>(d.width),
                                     static_cast<unsigned long long>(d.height));
    else
        d.pixelBytes = imageSize; // compressed rows: the header says how many bytes
    if (needRows && (d.pixelBytes == 0 || d.pixelBytes > blockSize - bitsOffset))
        return std::nullopt;
    return d;
}

bool packedBitmapFits(const BYTE *data, std::size_t size, const BYTE *bitsAt, std::size_t bitsSize,
                      bool paletteIndexes) noexcept {
    const auto d = dibLayout(data, size, bitsAt == nullptr,
                             paletteIndexes ? DibTable::paletteIndexes : DibTable::colours);
    if (!d || d->planes != 1 || d->colours > 256)
        return false;
    const WORD bits = d->bitCount;
    bool drawn = false;
    switch (d->compression) {
    case BI_RGB:
        drawn = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
        break;
    case BI_RLE8:
        drawn = bits == 8 && !d->topDown; // run-length data is stored bottom-up only
        break;
    case BI_RLE4:
        drawn = bits == 4 && !d->topDown;
        break;
    case BI_BITFIELDS:
        drawn = bits == 16 || bits == 32;
        break;
    default:
        break;
    }
    const auto pixels =
        static_cast<unsigned long long>(d->width) * static_cast<unsigned long long>(d->height);
    if (!drawn || pixels > kMaxPicturePixels)
        return false;
    return !bitsAt || (d->pixelBytes != 0 && d->pixelBytes <= bitsSize);
}

} // namespace vistoro
