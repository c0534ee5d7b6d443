// BMP files with the 52- or 56-byte info header: the 40-byte header
// followed by the red, green and blue masks (and alpha in the longer one).
// Not every platform decoder knows these headers, while every one knows the
// 40-byte header they begin with, which for pixels that are not laid out by
// masks (bmp_bitfields.h) says all that they say. Internal to the imaging
// layer.
#pragma once

#include "imaging/byte_stream.h"

#include <cstddef>
#include <memory>

namespace vistoro {

// True when the data is a BMP file with a 52- or 56-byte info header.
bool hasMaskInfoHeader(const BYTE *data, std::size_t size) noexcept;

// The same file with the 40-byte info header and the masks left out; null
// when the colour table or the rows would start inside the header, or
// memory runs out.
std::shared_ptr<const ByteBlock> withPlainInfoHeader(const BYTE *data, std::size_t size);

} // namespace vistoro
