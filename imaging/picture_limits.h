// The largest picture the program takes. Sizes come from the file, so they
// are checked here before anything is allocated or copied for them: a
// declared width or height must keep every 32-bit row and the whole 32-bit
// picture countable without overflow, and within what the address space
// can hold beside the decoder's own copy.
#pragma once

#include <cstdint>

namespace vistoro {

// 2^28 pixels: 1 GiB of 32-bit pixels (16000 x 12000 is 192 million).
inline constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{1} << 28;
// 2^20 pixels a side: a row's bits at 32 per pixel, and its bytes at any
// depth, stay countable in 32-bit arithmetic with room to spare, which the
// decoders need.
inline constexpr std::uint64_t kMaxPictureSide = std::uint64_t{1} << 20;

constexpr bool pictureFits(std::uint64_t width, std::uint64_t height) noexcept {
    constexpr std::uint64_t kMaxSide = kMaxPictureSide;
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxPicturePixels;
}

} // namespace vistoro
