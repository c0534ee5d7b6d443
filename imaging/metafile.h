// Metafile pictures for a bitmap decoder that refuses them: the picture
// drawn at its own size into a new 32-bit premultiplied bitmap of that size,
// which is what a bitmap made from the metafile gives where the decoder
// takes metafiles. Internal to the imaging layer.
#pragma once

#include "imaging/byte_stream.h"
#include "imaging/gdiplus_holders.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

namespace vistoro {

// A 22-byte placeable header for a plain Windows metafile, whose box is
// the window origin and extent the metafile sets (in pixels at 96 per
// inch); nothing when it sets no extent, since the picture then has no
// size of its own.
std::optional<std::vector<BYTE>> placeableHeaderFor(const BYTE *data, std::size_t size);

// The picture of the metafile in the bytes, or empty when they are no
// metafile or it cannot be drawn. The caller has checked the records
// (metafile_check.h).
UniqueGpBitmap bitmapFromMetafile(const std::shared_ptr<const ByteBlock> &bytes);

} // namespace vistoro
