#include "imaging/gif_palette.h"

#include <cstring>

namespace vistoro {

namespace {

// The signature and the logical screen descriptor, whose packed byte (the
// fifth) says whether a global table follows and how large it is.
constexpr std::size_t kScreenEnd = 13;
constexpr std::size_t kPackedAt = 10;
constexpr BYTE kGlobalTableFlag = 0x80;
constexpr BYTE kTableSizeBits = 0x07; // 2^(n+1) entries
constexpr std::size_t kTableBytes = 256 * 3;

} // namespace

bool lacksGlobalColourTable(const BYTE *d, std::size_t size) noexcept {
    return size >= kScreenEnd &&
           (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0) &&
           (d[kPackedAt] & kGlobalTableFlag) == 0;
}

std::shared_ptr<const ByteBlock> withDefaultColourTable(const BYTE *d, std::size_t size) {
    if (!lacksGlobalColourTable(d, size))
        return nullptr;
    return ByteBlock::written(size + kTableBytes, [&](BYTE *out) {
        std::memcpy(out, d, kScreenEnd);
        out[kPackedAt] = static_cast<BYTE>(d[kPackedAt] | kGlobalTableFlag | kTableSizeBits);
        BYTE *table = out + kScreenEnd;
        for (std::size_t i = 0; i < 256; ++i)
            std::memset(table + 3 * i, defaultTableGrey(i), 3);
        std::memcpy(table + kTableBytes, d + kScreenEnd, size - kScreenEnd);
        return true;
    });
}

} // namespace vistoro
