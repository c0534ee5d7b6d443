// A structural walk of a Windows metafile before any platform call sees
// it. The platform's players trust the counts, sizes and object indexes
// inside the records; a damaged file makes them read or write past their
// buffers, or step through the records for ever. The walk refuses a file
// whose records do not hold together, or which uses a record the players
// are known to mishandle. Internal to the imaging layer.
#pragma once

#include <windows.h>

#include <cstddef>

namespace vistoro {

// True when the data is a Windows metafile, from its nine-word header (any
// placeable header already skipped) to its end-of-file record, whose every
// record holds together.
bool windowsMetafileIsSound(const BYTE *data, std::size_t size) noexcept;

} // namespace vistoro
