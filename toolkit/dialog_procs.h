// The dialog procedure shared by every TDialog (internal to the toolkit).
#pragma once

#include <windows.h>

namespace vistoro {

DLGPROC dialogProc();
// Takes the window out of the open non-modal dialogs.
void forgetNonModal(HWND wnd) noexcept;

} // namespace vistoro
