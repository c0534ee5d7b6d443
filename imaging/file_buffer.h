// A whole file read in one piece into one movable memory block, with a
// stream over it that owns the block. Internal to the imaging layer.
#pragma once

#include "util/handles.h"

#include <string>

namespace vistoro {

// The stream over the file's bytes, or empty when the file cannot be
// opened or read whole, when it is empty, or when memory runs out. The file
// is closed before this returns; the block goes with the stream's last
// release (or here, when no stream could be made).
UniqueStream streamOverFile(const std::wstring &name);

// The same over a copy of bytes already in memory; empty when there are
// none or memory runs out.
UniqueStream streamOverBytes(const std::string &bytes);

} // namespace vistoro
