#include "viewer/closemenu.h"

#include "toolkit/menu.h"

namespace vistoro {

void MENUCHIUDI(TDialog &oWnd, int nRow, int nCol) {
    auto menu = TMenu::New(true);
    menu->Add(TMenuItem::New({.cPrompt = "Close\tESC", .bAction = [&oWnd] { oWnd.End(); }}));
    menu->EndConstruction();
    menu->Activate(nRow, nCol, oWnd, true);
}

} // namespace vistoro
