// A walk of a TIFF file's directories before the decoder sees them. The
// decoder reads each entry's values where the entry says they are, and
// for an entry whose values run past the end of the file it goes on
// reading and allocating for as many as the entry claims: a handful of
// damaged bytes keeps it busy for minutes. Internal to the imaging layer.
#pragma once

#include <windows.h>

#include <cstddef>

namespace vistoro {

// True when the data is no TIFF file, or one whose every directory and
// every entry's values lie inside the file, whose chain of directories
// ends, and whose first picture's declared size the program takes.
bool tiffDirectoriesHoldTogether(const BYTE *data, std::size_t size) noexcept;

} // namespace vistoro
