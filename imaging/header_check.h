// The picture size that a file's header declares, checked before the
// decoder sees the file. Decoders size their buffers from these fields,
// some in 32-bit arithmetic that wraps on absurd values and then writes past
// what it allocated; others spend minutes filling a canvas that the data
// never covers. Internal to the imaging layer.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vistoro {

struct DeclaredSize {
    std::uint64_t width = 0, height = 0;
};

// The picture size that the header of a BMP, PNG, GIF or JPEG file
// declares, as stored; none for other data or a header cut short.
std::optional<DeclaredSize> declaredPictureSize(const BYTE *data, std::size_t size) noexcept;

// True unless the data is a BMP, PNG, GIF or JPEG file whose header
// declares a picture the program does not take (picture_limits.h).
bool declaredSizeFits(const BYTE *data, std::size_t size) noexcept;

// True unless the data is a JPEG file whose layout is broken before its
// picture data: no frame header that makes sense ahead of a whole scan
// header, or nothing after that header. Decoders refuse such a file anyway;
// refused here, it is refused alike wherever the program meets it.
bool jpegLayoutHolds(const BYTE *data, std::size_t size) noexcept;

} // namespace vistoro
