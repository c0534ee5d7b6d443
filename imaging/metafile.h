// Metafile pictures for a bitmap decoder that refuses them: the picture
// drawn at its own size into a new 32-bit premultiplied bitmap of that size,
// which is what a bitmap made from the metafile gives where the decoder
// takes metafiles. Internal to the imaging layer.
#pragma once

#include "imaging/gdiplus_holders.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vistoro {

enum class MetafileKind { none, enhanced, placeable, plainWmf };

// What the first bytes of the data are.
MetafileKind metafileKindOf(const BYTE *data, std::size_t size) noexcept;

// A 22-byte placeable header for a plain Windows metafile, whose box is
// the window origin and extent the metafile sets (in pixels at 96 per
// inch); nothing when it sets no extent, since the picture then has no
// size of its own.
std::optional<std::vector<BYTE>> placeableHeaderFor(const BYTE *data, std::size_t size);

// The picture of the metafile in the stream's memory block, or empty when
// the data is no metafile or cannot be drawn.
UniqueGpBitmap bitmapFromMetafile(IStream *stream);

} // namespace vistoro
