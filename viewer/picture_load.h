// What the viewer's own decodes make of a file on a worker: the picture as
// LOADIMAGE(file, false) gives it, with the verdict on a failure, the
// file's stamp as read, and the picture's share of the budget.
#pragma once

#include <windows.h>

#include <string>

#include "viewer/decoder.h"

namespace vistoro {

// How long a decode that a person waits for waits for a file that another
// program holds without sharing (a virus scanner or a sync client holds a
// new file for a second or two) before it counts as one that does not load.
inline constexpr DWORD kWaitWhileHeldMs = 3000;

enum class DecodePurpose {
    ahead, // decoded ahead of need: gives way to the budget, waits for nothing
    key,   // for a key: never gives way, waits for a file held for a moment
    cell,  // for a gallery cell: as a key, without the look at its pixels
};

// 0 for a file that fails the extension test or does not decode.
DecodeOutcome decodePicture(const std::string &file, DecodePurpose purpose);

} // namespace vistoro
