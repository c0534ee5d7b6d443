// The pixel-format rule of the decoder, as a pure function of the format
// value that the imaging service reports for a decoded picture.
#pragma once

#include <cstdint>
#include <optional>

namespace vistoro {

inline constexpr std::uint32_t kPixelFormat32bppRGB = 0x00022009;
inline constexpr std::uint32_t kPixelFormat32bppPARGB = 0x000E200B;
// Set in the formats with 16 bits per channel (grey, 48-bit RGB, 64-bit ARGB/PARGB).
inline constexpr std::uint32_t kPixelFormatExtended = 0x00100000;

// The format a decoded picture is normalised to, or nothing when the
// picture is refused (format unknown, or 16 bits per channel).
constexpr std::optional<std::uint32_t> normalisedPixelFormat(std::uint32_t source,
                                                             bool lForcePremultiplied) noexcept {
    if (source == 0 || (source & kPixelFormatExtended) != 0)
        return std::nullopt;
    if (lForcePremultiplied || source == kPixelFormat32bppRGB)
        return kPixelFormat32bppPARGB;
    return source;
}

inline constexpr std::uint32_t kPixelFormat1bppIndexed = 0x00030101;
inline constexpr std::uint32_t kPixelFormat4bppIndexed = 0x00030402;
inline constexpr std::uint32_t kPixelFormat8bppIndexed = 0x00030803;
inline constexpr std::uint32_t kPixelFormat24bppRGB = 0x00021808;
inline constexpr std::uint32_t kPixelFormat32bppARGB = 0x0026200A;

// 32-bit RGB pictures are copied word for word, so that the fourth byte,
// which that format ignores, survives as alpha.
constexpr bool copiesPixelWords(std::uint32_t source) noexcept {
    return source == kPixelFormat32bppRGB;
}

// Formats that reach premultiplied ARGB by having the service convert the
// rows while they are locked, instead of drawing: for these the tests find
// the very pixels the drawing gives, pixel for pixel. Every other format is
// drawn.
constexpr bool convertsByLocking(std::uint32_t source) noexcept {
    switch (source) {
    case kPixelFormat1bppIndexed:
    case kPixelFormat4bppIndexed:
    case kPixelFormat8bppIndexed:
    case kPixelFormat24bppRGB:
    case kPixelFormat32bppARGB:
    case kPixelFormat32bppPARGB:
        return true;
    default:
        return false;
    }
}

} // namespace vistoro
