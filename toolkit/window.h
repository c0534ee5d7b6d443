// The members that dialogs and controls share: the platform window, the
// requested rectangle, the caption and style, the owner, and the hooks.
#pragma once

#include <windows.h>

#include <any>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/hook.h"

namespace vistoro {

class TWindow;
class TControl;
class TMenu;

// Hook signatures (see the dialog's message routing).
using LClickHook = Hook<int /*nRow*/, int /*nCol*/, int /*nKeyFlags*/, TWindow &, bool /*lTouch*/>;
using RClickHook = Hook<int /*nRow*/, int /*nCol*/, int /*nKeyFlags*/, TWindow &>;
using MoveHook = Hook<int /*nRow*/, int /*nCol*/, int /*nKeyFlags*/, TWindow &>;
using PaintHook = Hook<HDC /*hDC*/, const PAINTSTRUCT & /*cPS*/, TWindow &>;
using KeyHook = Hook<int /*nKey*/, int /*nFlags*/, TWindow &>;
// The wheel turned over the window: its delta (120 a notch, negative
// towards the user, parts of a notch from fine wheels) and the key flags.
using WheelHook = Hook<int /*nDelta*/, int /*nKeyFlags*/, TWindow &>;
// Files dropped onto the window, as full paths in the program's text.
using DropHook = Hook<const std::vector<std::string> & /*aFiles*/, TWindow &>;
using WindowHook = Hook<TWindow &>; // bInit, bValid, bWhen
using PlainHook = Hook<>;           // bStart

class TWindow {
  public:
    TWindow() = default;
    TWindow(const TWindow &) = delete;
    TWindow &operator=(const TWindow &) = delete;
    virtual ~TWindow() = default;

    HWND hWnd = nullptr;
    int nTop = 0, nLeft = 0, nBottom = 0, nRight = 0;
    std::string cCaption;
    DWORD nStyle = 0;
    TWindow *oWnd = nullptr; // owner window object
    // The controls in definition order; CTL counts them from 1.
    std::vector<std::unique_ptr<TControl>> aControls;
    std::optional<int> nResult;
    bool lVisible = false;
    int nLastKey = 0;
    bool lValidating = false;

    LClickHook bLClicked;
    RClickHook bRClicked;
    PaintHook bPainted;
    MoveHook bMoved;
    WindowHook bInit;
    WindowHook bValid;
    WindowHook bWhen;
    KeyHook bKeyDown;
    WheelHook bMouseWheel;
    // A dialog with this hook when it is made accepts files dropped on it.
    DropHook bDropFiles;

    HDC hDC = nullptr;        // of the paint in progress
    PAINTSTRUCT cPS{};        // paint record of the paint in progress
    TMenu *oPopup = nullptr;  // menu tracked over this window
    std::any Cargo;           // free slot for the caller

    std::string cVarName;

    // Window-level handling shared by dialogs and controls.
    virtual HookResult LButtonDown(int nRow, int nCol, int nKeyFlags, bool lTouch);
    virtual HookResult RButtonDown(int nRow, int nCol, int nKeyFlags);
    virtual HookResult KeyDown(int nKey, int nFlags);
    virtual void LostFocus() {}
};

} // namespace vistoro
