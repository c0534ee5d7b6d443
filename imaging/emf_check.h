// A structural walk of an enhanced metafile before any platform call sees
// it. The platform's players trust the offsets, counts, sizes and object
// indexes inside the records; a damaged file makes them read or write past
// their buffers. The walk refuses a file whose records do not hold
// together, or which uses a record the players are known to mishandle.
// Internal to the imaging layer.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace vistoro {

// The type of the header record an enhanced metafile starts with, and the
// signature the header carries at offset 40.
inline constexpr std::uint32_t kEmfHeaderRecord = 1;
inline constexpr std::uint32_t kEmfSignature = 0x464D4520; // " EMF"

// True when the data is an enhanced metafile, from its header record to its
// end-of-file record, whose every record holds together.
bool enhancedMetafileIsSound(const BYTE *data, std::size_t size) noexcept;

} // namespace vistoro
