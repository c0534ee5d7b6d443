// Ctrl+C: the picture as the window shows it (upright, turned, the moving
// picture's frame) onto the clipboard, for pasting elsewhere.
#pragma once

#include <windows.h>

namespace vistoro {

// Puts the picture on the clipboard as CF_DIBV5 and CF_DIB, with its alpha.
// When the clipboard stays held by another program, or there is no picture,
// it beeps and changes nothing; false then.
bool copyPicture(HWND owner, HBITMAP shown);

} // namespace vistoro
