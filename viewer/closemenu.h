// The one-entry menu that a right click opens in the secondary windows.
#pragma once

#include "toolkit/dialog.h"

namespace vistoro {

// Shows "Close\tESC" at the client point (nRow, nCol) of oWnd; choosing it
// ends oWnd as Esc does. Returns once the menu has closed.
void MENUCHIUDI(TDialog &oWnd, int nRow, int nCol);

} // namespace vistoro
