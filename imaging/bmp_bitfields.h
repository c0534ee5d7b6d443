// BMP files whose 16- or 32-bit pixels are laid out by bit-field masks,
// rewritten as plain BI_RGB files of the same picture. Not every platform
// decoder takes every set of masks, nor the 52- and 56-byte headers that
// carry them, while every one takes the plain form; rewriting them all
// gives the same pixels whichever decoder reads them. Internal to the
// imaging layer.
#pragma once

#include "imaging/byte_stream.h"

#include <cstddef>
#include <memory>

namespace vistoro {

// True when the data is a BMP file whose info header (of 40, 52, 56, 108 or
// 124 bytes) says that its 16- or 32-bit pixels are laid out by masks.
bool hasBitFieldPixels(const BYTE *data, std::size_t size) noexcept;

// The same picture as a plain bottom-up BMP: 24-bit, or 32-bit with the
// alpha in each pixel's fourth byte when an alpha mask is given and is not
// all zero. Channels narrower than 8 bits are scaled to the full range,
// wider ones keep their top 8 bits. Null when a mask is not one run of
// bits inside the pixel, when two masks share a bit, when the file does not
// hold its masks and rows, when the picture's size is one the program does
// not take, or when memory runs out.
std::shared_ptr<const ByteBlock> plainBmpFrom(const BYTE *data, std::size_t size);

} // namespace vistoro
