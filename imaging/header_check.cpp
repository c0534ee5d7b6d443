#include "imaging/header_check.h"

#include "imaging/byte_order.h"
#include "imaging/jpeg_segments.h"
#include "imaging/picture_limits.h"

#include <cstring>

namespace vistoro {

namespace {

using u64 = std::uint64_t;

// A signed 32-bit height, of which only the magnitude is a size.
u64 magnitude(u64 field) noexcept {
    const auto v = static_cast<std::int32_t>(static_cast<std::uint32_t>(field));
    return v < 0 ? static_cast<u64>(-static_cast<std::int64_t>(v)) : static_cast<u64>(v);
}

std::optional<DeclaredSize> bmpSize(const BYTE *d, std::size_t size) noexcept {
    if (size < 18 + 8)
        return std::nullopt; // too short to decode at all
    const u64 headerBytes = le32(d + 14);
    if (headerBytes == 12)
        return DeclaredSize{le16(d + 18), le16(d + 20)};
    return DeclaredSize{magnitude(le32(d + 18)), magnitude(le32(d + 22))};
}

} // namespace

std::optional<DeclaredSize> declaredPictureSize(const BYTE *d, std::size_t size) noexcept {
    if (size >= 2 && d[0] == 'B' && d[1] == 'M')
        return bmpSize(d, size);
    static const BYTE png[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size >= 24 && std::memcmp(d, png, sizeof png) == 0 && std::memcmp(d + 12, "IHDR", 4) == 0)
        return DeclaredSize{be32(d + 16), be32(d + 20)};
    if (size >= 10 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0))
        return DeclaredSize{le16(d + 6), le16(d + 8)};
    // A JPEG cut before its frame header is left to the decoder, which refuses it.
    if (startsAsJpeg(d, size))
        if (const auto frame = jpegFrameSize(MemoryReader{d, size}))
            return DeclaredSize{frame->width, frame->height};
    return std::nullopt;
}

bool declaredSizeFits(const BYTE *d, std::size_t size) noexcept {
    const std::optional<DeclaredSize> declared = declaredPictureSize(d, size);
    return !declared || pictureFits(declared->width, declared->height);
}

bool jpegLayoutHolds(const BYTE *d, std::size_t size) noexcept {
    return !startsAsJpeg(d, size) ||
           checkJpegLayout(MemoryReader{d, size}, size) != JpegCheck::broken;
}

} // namespace vistoro
