// The program's one printer selection: which printer and with which settings
// (paper, orientation, copies, ...). Filled from the system's default printer
// at the first call of any function here, changed by the set-up dialog and
// the orientation calls, kept in memory for the run only.
#pragma once

#include "base/handles.h"

#include <commdlg.h>

#include <optional>
#include <string>

namespace vistoro {

// Orientation values of the device mode.
inline constexpr short kPortrait = DMORIENT_PORTRAIT;   // 1
inline constexpr short kLandscape = DMORIENT_LANDSCAPE; // 2

// The system's print set-up dialog over the selection, owned by hWndOwner
// (the active window when absent). The context of a confirmed dialog, empty
// when cancelled; a cancelled dialog leaves the selection as it was.
UniqueDC PRINTERSETUP(std::optional<HWND> hWndOwner = std::nullopt);

// PRINTERSETUP() with no owner: true when the user confirmed.
bool PSETUP();

// The selection's orientation (kPortrait, kLandscape); 0 without a printer.
int PRNGETORIENTATION();

// Set the selection's orientation; only that field of the device mode is
// written. True when set, false (and no effect) without a printer.
bool PRNPORTRAIT();
bool PRNLANDSCAPE();

// A new printer context with the selection's settings; empty without a
// printer or when the context cannot be made.
UniqueDC GETPRINTDEFAULT();

// The selection's device name, "" without a printer.
std::string PRNGETNAME();

// A context for a printer given by its names, with the selection's device
// mode (the printer's own defaults when the selection has none); empty when
// it cannot be made.
UniqueDC PRINTERDCFROMNAME(const std::string &cDriver, const std::string &cDevice,
                           const std::string &cPort);

namespace detail {
// The platform's print dialog call, replaceable by tests before the first
// use (for a machine without printers); nullptr restores PrintDlgW.
using PrintDialogCall = BOOL(WINAPI *)(LPPRINTDLGW);
void setPrintDialogCall(PrintDialogCall call) noexcept;
} // namespace detail

} // namespace vistoro
