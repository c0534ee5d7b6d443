// A bitmap as the clipboard's device-independent bitmaps carry it, for
// pasting into a mail, a document or a paint program: 32-bit rows, bottom
// up, with straight (not premultiplied) alpha, as CF_DIBV5 (a version 5
// header with its masks and sRGB) and as CF_DIB (a plain 40-byte header)
// for programs that read only that. A picture that paints without alpha
// (HASALPHA false) is opaque throughout.
#pragma once

#include <windows.h>

#include <optional>

#include "base/handles.h"

namespace vistoro {

struct ClipboardDibs {
    UniqueGlobal v5;    // for CF_DIBV5
    UniqueGlobal plain; // for CF_DIB
};

// Movable blocks ready for SetClipboardData; none when the pixels cannot
// be read or memory runs out.
std::optional<ClipboardDibs> clipboardDibs(HBITMAP bitmap);

} // namespace vistoro
