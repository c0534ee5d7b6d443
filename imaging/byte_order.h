// Reading the little- and big-endian numbers of file formats out of bytes
// (and writing little-endian ones), whatever the machine's own order. The
// caller has checked the bounds.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vistoro {

inline std::uint16_t le16(const BYTE *p) noexcept {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t le32(const BYTE *p) noexcept {
    return static_cast<std::uint32_t>(le16(p)) | static_cast<std::uint32_t>(le16(p + 2)) << 16;
}
inline std::uint16_t be16(const BYTE *p) noexcept {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}
inline std::uint32_t be32(const BYTE *p) noexcept {
    return static_cast<std::uint32_t>(be16(p)) << 16 | static_cast<std::uint32_t>(be16(p + 2));
}

inline void putLe32(BYTE *p, std::uint32_t v) noexcept {
    for (int k = 0; k < 4; ++k)
        p[k] = static_cast<BYTE>(v >> (8 * k));
}

// The Windows metafile formats' constants that the loader and the check share.
constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7; // first bytes of a placeable file
constexpr std::size_t kPlaceableBytes = 22;         // its header ahead of the metafile
constexpr std::size_t kWmfHeaderBytes = 18;

} // namespace vistoro
