#include "imaging/dib_layout.h"

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

std::optional<DibLayout> dibLayout(const void *p, SIZE_T blockSize, bool needRows) noexcept {
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

} // namespace vistoro
