#include "imaging/header_check.h"

#include "imaging/byte_order.h"
#include "imaging/picture_limits.h"

#include <cstdint>
#include <cstring>

namespace vistoro {

namespace {

using u64 = std::uint64_t;


// A signed 32-bit height, of which only the magnitude is a size.
u64 magnitude(u64 field) noexcept {
    const auto v = static_cast<std::int32_t>(static_cast<std::uint32_t>(field));
    return v < 0 ? static_cast<u64>(-static_cast<std::int64_t>(v)) : static_cast<u64>(v);
}

bool bmpFits(const BYTE *d, std::size_t size) noexcept {
    if (size < 18 + 8)
        return true; // too short to decode at all
    const u64 headerBytes = le32(d + 14);
    if (headerBytes == 12)
        return pictureFits(le16(d + 18), le16(d + 20));
    return pictureFits(magnitude(le32(d + 18)), magnitude(le32(d + 22)));
}

bool jpegFits(const BYTE *d, std::size_t size) noexcept {
    // Segments from the start marker to the first frame header.
    for (std::size_t at = 2; at + 4 <= size;) {
        if (d[at] != 0xFF)
            return true; // not a segment: the decoder refuses the file
        const BYTE marker = d[at + 1];
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                           marker != 0xCC;
        if (frame)
            return at + 9 > size || pictureFits(be16(d + at + 7), be16(d + at + 5));
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            return true;
        at += 2 + be16(d + at + 2);
    }
    return true;
}

} // namespace

bool declaredSizeFits(const BYTE *d, std::size_t size) noexcept {
    if (size >= 2 && d[0] == 'B' && d[1] == 'M')
        return bmpFits(d, size);
    static const BYTE png[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size >= 24 && std::memcmp(d, png, sizeof png) == 0 && std::memcmp(d + 12, "IHDR", 4) == 0)
        return pictureFits(be32(d + 16), be32(d + 20));
    if (size >= 10 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0))
        return pictureFits(le16(d + 6), le16(d + 8));
    if (size >= 4 && d[0] == 0xFF && d[1] == 0xD8)
        return jpegFits(d, size);
    return true;
}

} // namespace vistoro
