#include "viewer/contextmenu.h"

#include <string>

#include "version.h"

#include "base/handles.h"
#include "printing/printer_setup.h"
#include "toolkit/menu.h"
#include "viewer/about.h"
#include "viewer/commands.h"
#include "viewer/gallery.h"
#include "viewer/keys.h"
#include "viewer/openimg.h"
#include "viewer/print.h"
#include "viewer/zoom.h"

namespace vistoro {

namespace {

bool menuRunning = false;

void entry(TMenu &menu, const std::string &prompt, std::function<void()> action) {
    menu.Add(TMenuItem::New({.cPrompt = prompt, .bAction = std::move(action)}));
}

// The dispatcher's commands go through it with their key, exactly as the
// keys do, so the end tests and the busy flag apply; the zoom is called
// directly and so is subject to neither.
void runFromMenu(TDialog &oDlg, ViewerState &st, const CommandEntry &command) {
    switch (command.command) {
    case ViewerCommand::Open:
        OPENIMG(oDlg, st);
        break;
    case ViewerCommand::Zoom:
        ZOOM(oDlg, st.aSize, st.hBmp.get());
        break;
    case ViewerCommand::Print:
        PRINT(st.cFile, st.aSize, pictureForPrint(st));
        break;
    case ViewerCommand::PrintSetup:
        PSETUP();
        break;
    case ViewerCommand::Gallery:
        GALLERY(st.cFile);
        repaintPicture(oDlg, st.hBmp.get()); // where the gallery lay over it
        break;
    case ViewerCommand::Close:
        oDlg.End();
        break;
    case ViewerCommand::About:
        INFOS(kViewerCaption, VISTORO_VERSION, "2022", "");
        break;
    default:
        CHANGEIMG(oDlg, st, command.nKey);
        break;
    }
}

} // namespace

bool contextMenuRunning() noexcept { return menuRunning; }

void CREAMENU(TDialog &oDlg, int nRow, int nCol, ViewerState &st) {
    // The menu's own loop and the windows its entries open let drops reach
    // the viewing window meanwhile; they are refused until it is over.
    const bool outer = !menuRunning;
    menuRunning = true;
    ScopeExit over([outer]() noexcept {
        if (outer)
            menuRunning = false;
    });
    auto menu = TMenu::New(true);
    TMenu &m = *menu;
    // The first two lines name what is on screen now; choosing them does nothing.
    entry(m, st.cFile, [] {});
    entry(m, "Size: " + std::to_string(st.aSize.width) + "x" + std::to_string(st.aSize.height) +
                 " pixels",
          [] {});
    m.Add(TMenuItem::New());
    for (const CommandEntry &command : commandTable()) {
        if (!command.cMenuText)
            continue; // a key only
        if (command.command == ViewerCommand::None)
            m.Add(TMenuItem::New()); // a separator
        else
            entry(m, command.cMenuText, [&oDlg, &st, &command] { runFromMenu(oDlg, st, command); });
    }

    menu->EndConstruction();
    menu->Activate(nRow, nCol, oDlg, true);
}

} // namespace vistoro
