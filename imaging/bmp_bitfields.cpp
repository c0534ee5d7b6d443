#include "imaging/bmp_bitfields.h"

#include "imaging/byte_order.h"
#include "imaging/dib_info.h"
#include "imaging/dib_layout.h"
#include "imaging/picture_limits.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

namespace vistoro {

namespace {

constexpr std::size_t kFileHeaderBytes = sizeof(BITMAPFILEHEADER);
constexpr std::size_t kMasksAt = kFileHeaderBytes + kDibMasksAt;

// One channel of a pixel: the bits of it that count, at most eight, and
// what each of their values is in 8 bits.
struct Channel {
    unsigned shift = 0;
    std::uint32_t bits = 0; // after the shift
    std::array<BYTE, 256> eight{};

    BYTE of(std::uint32_t pixel) const noexcept { return eight[(pixel >> shift) & bits]; }
};

// The channel of a mask; nothing when its bits are not one run. A mask of
// 0 is a channel that is always 0.
std::optional<Channel> channelOf(std::uint32_t mask) noexcept {
    Channel c;
    if (mask == 0)
        return c;
    const int low = std::countr_zero(mask);
    const std::uint32_t run = mask >> low;
    if ((run & (run + 1)) != 0)
        return std::nullopt;
    const int width = std::popcount(run);
    if (width >= 8) {
        c.shift = static_cast<unsigned>(low + width - 8);
        c.bits = 0xFF;
        for (std::uint32_t v = 0; v <= 0xFF; ++v)
            c.eight[v] = static_cast<BYTE>(v);
    } else {
        c.shift = static_cast<unsigned>(low);
        c.bits = run;
        for (std::uint32_t v = 0; v <= run; ++v)
            c.eight[v] = static_cast<BYTE>((v * 255 + run / 2) / run);
    }
    return c;
}

} // namespace

bool hasBitFieldPixels(const BYTE *d, std::size_t size) noexcept {
    if (size < kFileHeaderBytes + 20 || d[0] != 'B' || d[1] != 'M')
        return false;
    const BYTE *info = d + kFileHeaderBytes;
    switch (le32(info)) {
    case 40:
    case 52:
    case 56:
    case 108:
    case 124:
        break;
    default:
        return false; // no masks, or (64 bytes) a header whose compressions differ
    }
    const std::uint16_t bitCount = le16(info + 14);
    return (bitCount == 16 || bitCount == 32) && dibMaskCount(le32(info), le32(info + 16)) != 0;
}

std::shared_ptr<const ByteBlock> plainBmpFrom(const BYTE *d, std::size_t size) {
    if (!hasBitFieldPixels(d, size))
        return nullptr;
    const auto layout = dibLayout(d + kFileHeaderBytes, size - kFileHeaderBytes, false);
    if (!layout || !pictureFits(static_cast<std::uint64_t>(layout->width),
                                static_cast<std::uint64_t>(layout->height)))
        return nullptr;

    // The masks, then the rows, all in the file.
    const DWORD maskCount = dibMaskCount(layout->headerSize, layout->compression);
    const std::size_t masksEnd = kMasksAt + maskCount * 4;
    const std::uint64_t rowsAt = le32(d + 10);
    const std::uint64_t width = static_cast<std::uint64_t>(layout->width);
    const std::uint64_t height = static_cast<std::uint64_t>(layout->height);
    const std::uint64_t stride = dibStride(layout->bitCount, width);
    if (rowsAt < masksEnd || rowsAt > size || layout->pixelBytes > size - rowsAt)
        return nullptr;
    std::uint32_t masks[4] = {};
    for (std::size_t k = 0; k < maskCount; ++k)
        masks[k] = le32(d + kMasksAt + 4 * k);
    const std::uint32_t pixelBits = layout->bitCount == 16 ? 0xFFFF : 0xFFFFFFFF;
    std::uint32_t taken = 0;
    for (std::uint32_t m : masks) {
        if ((m & ~pixelBits) != 0 || (m & taken) != 0)
            return nullptr;
        taken |= m;
    }
    const auto red = channelOf(masks[0]), green = channelOf(masks[1]), blue = channelOf(masks[2]),
               alpha = channelOf(masks[3]);
    if (!red || !green || !blue || !alpha)
        return nullptr;

    // 32-bit rows keep the alpha in their fourth bytes, as the decoder
    // takes it from any 32-bit BMP; without alpha 24 bits say it all.
    const bool keepsAlpha = masks[3] != 0;
    const WORD outBits = keepsAlpha ? 32 : 24;
    const std::uint64_t outStride = dibStride(outBits, width);
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info = rgb32Info(layout->width, layout->height, RowOrder::BottomUp).bmiHeader;
    const std::uint64_t outSize = sizeof file + sizeof info + outStride * height;
    if (outSize > static_cast<std::uint64_t>(std::numeric_limits<LONG>::max()))
        return nullptr;
    file.bfType = 0x4D42; // "BM"
    file.bfSize = static_cast<DWORD>(outSize);
    file.bfOffBits = sizeof file + sizeof info;
    info.biBitCount = outBits;
    info.biSizeImage = static_cast<DWORD>(outStride * height);
    info.biXPelsPerMeter = static_cast<LONG>(le32(d + kFileHeaderBytes + 24));
    info.biYPelsPerMeter = static_cast<LONG>(le32(d + kFileHeaderBytes + 28));

    const bool wide = layout->bitCount == 32;
    const auto columns = static_cast<std::size_t>(width);
    const bool topDown = layout->topDown;
    return ByteBlock::written(static_cast<std::size_t>(outSize), [&](BYTE *out) {
        std::memcpy(out, &file, sizeof file);
        std::memcpy(out + sizeof file, &info, sizeof info);
        BYTE *row = out + file.bfOffBits;
        for (std::uint64_t r = 0; r < height; ++r, row += outStride) {
            const std::uint64_t from = topDown ? height - 1 - r : r;
            const BYTE *in = d + static_cast<std::size_t>(rowsAt + from * stride);
            BYTE *px = row;
            for (std::size_t x = 0; x < columns; ++x) {
                const std::uint32_t v = wide ? le32(in + 4 * x) : le16(in + 2 * x);
                *px++ = blue->of(v);
                *px++ = green->of(v);
                *px++ = red->of(v);
                if (keepsAlpha)
                    *px++ = alpha->of(v);
            }
        }
        return true;
    });
}

} // namespace vistoro
