#include "imaging/tiff_check.h"

#include "imaging/byte_order.h"
#include "imaging/picture_limits.h"

#include <cstdint>
#include <set>

namespace vistoro {

namespace {

using u64 = std::uint64_t;

class Reader {
  public:
    Reader(const BYTE *data, bool bigEndian) noexcept : p_(data), big_(bigEndian) {}
    std::uint16_t u16(u64 at) const noexcept { return big_ ? be16(p_ + at) : le16(p_ + at); }
    std::uint32_t u32(u64 at) const noexcept { return big_ ? be32(p_ + at) : le32(p_ + at); }

  private:
    const BYTE *p_;
    bool big_;
};

// Bytes a value of each field type takes; 0 for a type the format does not
// define (the decoder passes over such entries).
u64 typeBytes(std::uint16_t type) noexcept {
    switch (type) {
    case 1: case 2: case 6: case 7: // byte, ascii, signed byte, undefined
        return 1;
    case 3: case 8: // short, signed short
        return 2;
    case 4: case 9: case 11: case 13: // long, signed long, float, sub-directory
        return 4;
    case 5: case 10: case 12: // rational, signed rational, double
        return 8;
    default:
        return 0;
    }
}

constexpr std::uint16_t kImageWidth = 256, kImageLength = 257;
constexpr int kMostDirectories = 4096;

} // namespace

bool tiffDirectoriesHoldTogether(const BYTE *data, std::size_t size) noexcept {
    if (size < 4)
        return true;
    const bool little = data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0;
    const bool big = data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42;
    if (!little && !big)
        return true;
    if (size < 8)
        return false;
    const Reader r(data, big);
    try {
        std::set<u64> seen;
        bool first = true;
        for (u64 at = r.u32(4); at != 0; first = false) {
            // Each directory lies inside the file and is visited once.
            if (at < 8 || at > size - 2 || !seen.insert(at).second ||
                seen.size() > kMostDirectories)
                return false;
            const u64 entries = r.u16(at);
            if (entries == 0 || 2 + entries * 12 + 4 > size - at)
                return false;
            u64 width = 1, height = 1;
            for (u64 e = 0; e < entries; ++e) {
                const u64 entry = at + 2 + e * 12;
                const std::uint16_t tag = r.u16(entry), type = r.u16(entry + 2);
                const u64 count = r.u32(entry + 4);
                const u64 bytes = count * typeBytes(type);
                // Values of more than four bytes are stored elsewhere.
                if (bytes > 4 && (r.u32(entry + 8) > size || bytes > size - r.u32(entry + 8)))
                    return false;
                if (first && (tag == kImageWidth || tag == kImageLength) && count == 1) {
                    const u64 value = type == 3 ? r.u16(entry + 8) : r.u32(entry + 8);
                    (tag == kImageWidth ? width : height) = value;
                }
            }
            if (first && !pictureFits(width, height))
                return false;
            at = r.u32(at + 2 + entries * 12);
        }
    } catch (...) {
        return false; // no memory to follow the chain
    }
    return true;
}

} // namespace vistoro
