// GIF files without a global colour table, given a default one. The format
// lets an image go without any colour table, leaving the colours to the
// reader, and some platform decoders then read a table that is not there.
// With a global table every image has one: its own local table, or this.
// Internal to the imaging layer.
#pragma once

#include "imaging/byte_stream.h"

#include <cstddef>
#include <memory>

namespace vistoro {

// Entry `index` (0 to 255) of the default table, a grey: black and white
// first, as the format recommends for a reader's own table so that
// two-colour pictures show as such, then the greys of the remaining indexes.
constexpr BYTE defaultTableGrey(std::size_t index) noexcept {
    return index == 0 ? 0 : index == 1 ? 255 : static_cast<BYTE>(index);
}

// True when the data is a GIF file whose screen descriptor gives no global
// colour table.
bool lacksGlobalColourTable(const BYTE *data, std::size_t size) noexcept;

// The same file with the default table of 256 colours as its global table.
// Null when the data is no such file or memory runs out.
std::shared_ptr<const ByteBlock> withDefaultColourTable(const BYTE *data, std::size_t size);

} // namespace vistoro
