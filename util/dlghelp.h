// Dialog helpers: find a control of a dialog, and the standard close check.
#pragma once

#include <string>

#include "toolkit/controls.h"
#include "toolkit/dialog.h"

namespace vistoro {

// The control at a 1-based position of aControls, or nullptr.
TControl *CTL(const TDialog &oDlg, int nWhich);
// The first control whose cVarName is the name, or nullptr.
TControl *CTL(const TDialog &oDlg, const std::string &cName);

// The close check: true when the dialog may close. Refuses (false) when
// called inside another running check.
bool VALID(TDialog &oDlg, bool lAsk = false);

} // namespace vistoro
