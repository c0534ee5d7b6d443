// The viewing window's right-click menu: the current file and picture size,
// then every command of the viewer, Open, Print, Gallery, Close and About.
#pragma once

#include "toolkit/dialog.h"
#include "viewer/viewwin.h"

namespace vistoro {

// Builds the menu afresh over st, shows it at the client point (nRow, nCol)
// of oDlg, runs the chosen entry and returns once the menu has closed.
void CREAMENU(TDialog &oDlg, int nRow, int nCol, ViewerState &st);

// True while the menu, or the entry chosen on it, runs.
bool contextMenuRunning() noexcept;

} // namespace vistoro
