#include "imaging/bmp_info_header.h"

#include "imaging/byte_order.h"

#include <cstdint>
#include <cstring>

namespace vistoro {

namespace {

constexpr std::size_t kFileHeaderBytes = sizeof(BITMAPFILEHEADER);
constexpr std::size_t kPlainBytes = sizeof(BITMAPINFOHEADER);

} // namespace

bool hasMaskInfoHeader(const BYTE *d, std::size_t size) noexcept {
    if (size < kFileHeaderBytes + 4 || d[0] != 'B' || d[1] != 'M')
        return false;
    const std::uint32_t headerBytes = le32(d + kFileHeaderBytes);
    return headerBytes == 52 || headerBytes == 56;
}

std::shared_ptr<const ByteBlock> withPlainInfoHeader(const BYTE *d, std::size_t size) {
    if (!hasMaskInfoHeader(d, size))
        return nullptr;
    const std::size_t headerEnd = kFileHeaderBytes + le32(d + kFileHeaderBytes);
    const std::uint32_t rowsAt = le32(d + 10);
    if (size < headerEnd || rowsAt < headerEnd)
        return nullptr;
    const std::size_t cut = headerEnd - kFileHeaderBytes - kPlainBytes;
    return ByteBlock::written(size - cut, [&](BYTE *out) {
        std::memcpy(out, d, kFileHeaderBytes + kPlainBytes);
        putLe32(out + 2, static_cast<std::uint32_t>(size - cut));
        putLe32(out + 10, static_cast<std::uint32_t>(rowsAt - cut));
        putLe32(out + kFileHeaderBytes, kPlainBytes);
        std::memcpy(out + kFileHeaderBytes + kPlainBytes, d + headerEnd, size - headerEnd);
        return true;
    });
}

} // namespace vistoro
