// The dialog procedure shared by every TDialog (internal to the toolkit).
#pragma once

#include <windows.h>

namespace vistoro {

DLGPROC dialogProc();
// Frees the window's slot in the table of non-modal dialogs.
void forgetNonModal(HWND wnd) noexcept;

} // namespace vistoro
