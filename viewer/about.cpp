#include "viewer/about.h"

#include "res/about.h"
#include "toolkit/controls.h"
#include "toolkit/dialog.h"
#include "util/dlghelp.h"

namespace vistoro {

void INFOS(const std::string &cName, const std::string &cVersion, const std::string &,
           const std::string &) {
    TDialog dlg({.cResName = "INFOS2", .cVarName = "oDlg"});
    dlg.lModify = false;
    dlg.lHelpIcon = false;

    TImage::ReDefine({.nId = IDC_ABOUT_LOGO, .oWnd = &dlg, .cResName = "ZELM", .lAdjust = false});
    TSay::Redefine({.nId = IDC_ABOUT_NAME, .bText = [cName] { return cName; }, .oWnd = &dlg});
    TSay::Redefine({.nId = IDC_ABOUT_VERSION,
                    .bText = [cVersion] { return "Version: " + cVersion; },
                    .oWnd = &dlg});
    TButton::Redefine({.nId = IDC_ABOUT_CLOSE,
                       .bAction =
                           [&dlg] {
                               dlg.Cargo = 1;
                               dlg.End(1);
                           },
                       .oWnd = &dlg});

    // Centred on the screen by the toolkit, once widened.
    dlg.Activate(
        {.lCentered = true, .bValid = [&dlg] { return VALID(dlg, false); }, .lResize16 = true});
}

} // namespace vistoro
