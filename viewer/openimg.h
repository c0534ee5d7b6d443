// The Open command: another picture, perhaps of another folder, chosen with
// the open-file dialog and shown in the viewing window.
#pragma once

#include "toolkit/dialog.h"
#include "viewer/viewwin.h"

namespace vistoro {

// Asks for a file and makes it the current picture: cFile, cDir, hBmp and
// aSize follow it, and aFiles becomes absent so that the next navigation
// command lists the new folder. The caption is left to that command.
// Cancelled, missing or unshowable files leave the picture on screen.
void OPENIMG(TDialog &oDlg, ViewerState &st);

} // namespace vistoro
