#include "viewer/contextmenu.h"

#include <string>

#include "version.h"

#include "printing/printer_setup.h"
#include "toolkit/menu.h"
#include "viewer/about.h"
#include "viewer/gallery.h"
#include "viewer/keys.h"
#include "viewer/openimg.h"
#include "viewer/print.h"
#include "viewer/zoom.h"

namespace vistoro {

namespace {

void entry(TMenu &menu, const std::string &prompt, std::function<void()> action) {
    menu.Add(TMenuItem::New({.cPrompt = prompt, .bAction = std::move(action)}));
}
void separator(TMenu &menu) { menu.Add(TMenuItem::New()); }

} // namespace

void CREAMENU(TDialog &oDlg, int nRow, int nCol, ViewerState &st) {
    auto menu = TMenu::New(true);
    TMenu &m = *menu;
    // The first two lines name what is on screen now; choosing them does nothing.
    entry(m, st.cFile, [] {});
    entry(m, "Size: " + std::to_string(st.aSize.width) + "x" + std::to_string(st.aSize.height) +
                 " pixels",
          [] {});
    separator(m);
    entry(m, "Open...", [&oDlg, &st] { OPENIMG(oDlg, st); });
    separator(m);
    // The same dispatcher as the keys, so end tests and the busy flag apply.
    const auto key = [&oDlg, &st](int nKey) { return [&oDlg, &st, nKey] { CHANGEIMG(oDlg, st, nKey); }; };
    entry(m, "Forward\tDOWN", key(VK_DOWN));
    entry(m, "Backward\tUP", key(VK_UP));
    entry(m, "Forward 10\tPAGE DOWN", key(VK_NEXT));
    entry(m, "Backward 10\tPAGE UP", key(VK_PRIOR));
    entry(m, "Home\tHOME", key(VK_HOME));
    entry(m, "End\tEND", key(VK_END));
    separator(m);
    entry(m, "Zoom\tSPACE", [&oDlg, &st] { ZOOM(oDlg, st.aSize, st.hBmp); });
    separator(m);
    entry(m, "Rotate left\tLEFT", key(VK_LEFT));
    entry(m, "Rotate right\tRIGHT", key(VK_RIGHT));
    separator(m);
    entry(m, "Print", [&st] { PRINT(st.cFile, st.aSize); });
    entry(m, "Print setup...", [] { PSETUP(); });
    separator(m);
    entry(m, "Gallery...", [&oDlg, &st] {
        GALLERY(st.cFile);
        repaintPicture(oDlg, st.hBmp); // where the gallery lay over it
    });
    separator(m);
    entry(m, "Close\tESC", [&oDlg] { oDlg.End(); });
    separator(m);
    entry(m, "About...", [] { INFOS("ZELM Vistoro", VISTORO_VERSION, "2022", ""); });

    // Construction ends: the menu leaves the stack of menus being built.
    auto &building = TMenu::aMenus();
    if (!building.empty() && building.back() == menu.get())
        building.pop_back();
    menu->Activate(nRow, nCol, oDlg, true);
}

} // namespace vistoro
