// The Open command: another picture, perhaps of another folder, chosen with
// the open-file dialog and shown in the viewing window; and the same for a
// file or folder dropped onto the window.
#pragma once

#include <string>

#include "toolkit/dialog.h"
#include "viewer/viewwin.h"

namespace vistoro {

// Asks for a file and makes it the current picture: cFile, cDir, hBmp and
// aSize follow it, and aFiles becomes absent so that the next navigation
// command lists the new folder. The caption is left to that command.
// Cancelled, missing or unshowable files leave the picture on screen.
void OPENIMG(TDialog &oDlg, ViewerState &st);

// A file dropped onto the window opens as one chosen with Open does, with
// the same checks and notices; a folder opens its first picture that
// loads, as a folder on the command line does. Refused, quietly as a key,
// while a command runs or another window of the program is in front.
void OPENDROPPED(TDialog &oDlg, ViewerState &st, const std::string &cPath);

} // namespace vistoro
