// A small program of the toolkit's own, driven by toolkit_e2e_test: it
// writes what its hooks receive to a log file, one line per event.
//   tkdemo main <log>            in-memory dialog with the invisible list box
//   tkdemo resource <log> <0|1>  resource dialog, widened when 1
#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "base/error.h"
#include "toolkit/controls.h"
#include "toolkit/dialog.h"
#include "toolkit/menu.h"
#include "util/dlghelp.h"

using namespace vistoro;

namespace {

FILE *g_log = nullptr;

void logLine(const std::string &line) {
    if (!g_log)
        return;
    std::fprintf(g_log, "%s\n", line.c_str());
    std::fflush(g_log);
}

void showMenu(TDialog &dlg, int nRow, int nCol) {
    auto menu = TMenu::New(true);
    HMENU handle = menu->hMenu.get();
    auto add = [](TMenuItemNew item) { TMenu::aMenus().back()->Add(TMenuItem::New(item)); };
    add({.cPrompt = "Entry one", .bAction = [handle] {
             logLine("chose one menu=" + std::to_string(::IsMenu(handle) ? 1 : 0));
         }});
    add({});
    add({.cPrompt = "Entry two", .bAction = [] { logLine("chose two"); }});
    add({});
    add({.cPrompt = "Close\tESC", .bAction = [&dlg] { dlg.End(); }});
    TMenu::aMenus().pop_back();
    menu->Activate(nRow, nCol, dlg, true);
    logLine(std::string("menu done popup=") + (dlg.oPopup ? "1" : "0") +
            " alive=" + std::to_string(::IsMenu(handle) ? 1 : 0));
}

int runMain() {
    TDialog dlg({.cCaption = "tkdemo main", .lVbx = false,
                 .nStyle = static_cast<DWORD>(NOR({static_cast<long>(WS_POPUP), WS_DLGFRAME,
                                                    DS_MODALFRAME})),
                 .lPixels = false, .lTransparent = false, .cVarName = "oDlg"});
    dlg.lModify = false;
    dlg.lHelpIcon = false;
    TListBox::New({.nRow = -3, .nCol = -3, .bSetGet = [] { return std::any(); }});
    CTL(dlg, 1)->bKeyDown = [](int nKey, int, TWindow &) {
        logLine("key " + std::to_string(nKey));
        if (nKey == 'E') {
            ErrorObject e;
            e.genCode = kGenToolkit;
            e.description = "Raised in a hook";
            raiseError(e);
            logLine("not abandoned"); // the handler abandons: never reached
        }
        if (nKey == 'X')
            throw std::runtime_error("Thrown in a hook");
    };
    int paints = 0;
    dlg.bStart = [] { logLine("start"); };
    int validCalls = 0;
    dlg.Activate({.bLClicked = [](int nRow, int nCol, int, TWindow &, bool lTouch) {
                      logLine("lclick " + std::to_string(nRow) + " " + std::to_string(nCol) +
                              " touch=" + std::to_string(lTouch));
                  },
                  .bPainted = [&paints](HDC dc, const PAINTSTRUCT &, TWindow &) {
                      RECT r{0, 0, 60, 60};
                      HBRUSH b = ::CreateSolidBrush(RGB(10, 200, 30));
                      ::FillRect(dc, &r, b);
                      ::DeleteObject(b);
                      logLine("paint " + std::to_string(++paints));
                  },
                  .lCentered = false,
                  .bValid = [&](TWindow &) {
                      // The first request to close is refused.
                      if (++validCalls == 1) {
                          logLine("refused");
                          return false;
                      }
                      const bool ok = VALID(dlg, false);
                      logLine(std::string("allowed ") + (ok ? "1" : "0"));
                      return ok;
                  },
                  .bInit = [&dlg] {
                      MOVEWINDOW(dlg.hWnd, 0, 0, 307, 207);
                      WNDCENTER(dlg.hWnd);
                  },
                  .bRClicked = [&dlg](int nRow, int nCol, int, TWindow &) {
                      logLine("rclick " + std::to_string(nRow) + " " + std::to_string(nCol));
                      showMenu(dlg, nRow, nCol);
                  },
                  .lResize16 = true});
    logLine("result " + std::to_string(dlg.nResult.value_or(-1)) +
            " visible=" + std::to_string(dlg.lVisible));
    return 0;
}

int runResource(bool widen16) {
    TDialog dlg({.cResName = "TKRES", .cVarName = "oDlg"});
    dlg.lModify = false;
    dlg.lHelpIcon = false;
    TImage::ReDefine({.nId = 101, .oWnd = &dlg, .cResName = "LOGO", .lAdjust = false});
    TSay::Redefine({.nId = 102, .bText = [] { return std::string("Version: 2.22"); },
                    .oWnd = &dlg});
    TButton::Redefine({.nId = 201, .bAction = [&dlg] {
                           dlg.Cargo = 1;
                           dlg.End(1);
                       },
                       .oWnd = &dlg});
    dlg.Activate({.lCentered = true,
                  .bValid = [&dlg] { return VALID(dlg, false); },
                  .bInit = [&dlg] {
                      RECT wr{};
                      ::GetWindowRect(dlg.hWnd, &wr);
                      logLine("dialog " + std::to_string(wr.right - wr.left) + " " +
                              std::to_string(wr.bottom - wr.top));
                      for (int id : {101, 102, 201}) {
                          RECT cr{};
                          HWND c = ::GetDlgItem(dlg.hWnd, id);
                          ::GetWindowRect(c, &cr);
                          ::MapWindowPoints(nullptr, dlg.hWnd, reinterpret_cast<POINT *>(&cr), 2);
                          logLine("child " + std::to_string(id) + " " + std::to_string(cr.left) +
                                  " " + std::to_string(cr.top) + " " +
                                  std::to_string(cr.right - cr.left) + " " +
                                  std::to_string(cr.bottom - cr.top));
                      }
                  },
                  .lResize16 = widen16});
    logLine("result " + std::to_string(dlg.nResult.value_or(-1)) +
            " cargo=" + std::to_string(dlg.Cargo.has_value()));
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3)
        return 2;
    g_log = std::fopen(argv[2], "w");
    if (!g_log)
        return 3;
    // The program's own stand-in handler: tell (in the log) and abandon.
    setErrorHandler([](const ErrorObject &e) -> int {
        logLine("error " + e.description.value_or("?"));
        throw AbandonOperation{};
    });
    const std::string mode = argv[1];
    int rc = 2;
    if (mode == "main")
        rc = runMain();
    else if (mode == "resource")
        rc = runResource(argc > 3 && std::string(argv[3]) == "1");
    logLine("exit");
    std::fclose(g_log);
    return rc;
}
