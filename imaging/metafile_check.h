// A structural walk of metafile data before any platform call sees it. The
// platform's metafile players trust the offsets, counts, sizes and object
// indexes inside the records; a damaged file makes them read or write past
// their buffers, or step through the records for ever. The walk refuses
// data whose records do not hold together, or which uses a record the
// players are known to mishandle. Internal to the imaging layer.
#pragma once

#include <windows.h>

#include <cstddef>

namespace vistoro {

// What the platform's loaders would take the data for, judged by its first
// bytes the way the loaders judge it, plus the plain Windows metafile that
// this program wraps itself.
enum class MetafileKind { none, enhanced, placeable, plainWmf };
MetafileKind metafileKindOf(const BYTE *data, std::size_t size) noexcept;

// True when the data is no metafile at all, or a metafile of its kind whose
// every record holds together.
bool metafileRecordsHoldTogether(const BYTE *data, std::size_t size) noexcept;

// The parts, for the tests: an enhanced metafile from its header record,
// and a Windows metafile from its nine-word header (placeable header off).
bool enhancedMetafileIsSound(const BYTE *data, std::size_t size) noexcept;
bool windowsMetafileIsSound(const BYTE *data, std::size_t size) noexcept;

} // namespace vistoro
