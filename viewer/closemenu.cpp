#include "viewer/closemenu.h"

#include "toolkit/menu.h"

namespace vistoro {

void MENUCHIUDI(TDialog &oWnd, int nRow, int nCol) {
    auto menu = TMenu::New(true);
    menu->Add(TMenuItem::New({.cPrompt = "Close\tESC", .bAction = [&oWnd] { oWnd.End(); }}));
    // Construction ends: the menu leaves the stack of menus being built.
    auto &building = TMenu::aMenus();
    if (!building.empty() && building.back() == menu.get())
        building.pop_back();
    menu->Activate(nRow, nCol, oWnd, true);
}

} // namespace vistoro
