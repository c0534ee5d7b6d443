// TDialog: a modal or non-modal dialog built from a resource or from an
// in-memory description, whose window messages are routed to hooks.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base/handles.h"
#include "toolkit/template.h"
#include "toolkit/window.h"
#include "toolkit/wrappers.h"

namespace vistoro {

class TDialog;

// The positions of TDialog::New; anything left out takes its default.
struct TDialogNew {
    std::optional<int> nTop, nLeft, nBottom, nRight; // 0, 0, 10, 40 (text units)
    std::optional<std::string> cCaption;
    std::optional<std::string> cResName;
    HINSTANCE hResources = nullptr; // the program's module
    bool lVbx = false;
    std::optional<DWORD> nStyle; // modal frame, popup, caption, system menu
    std::optional<COLORREF> nClrText;
    std::optional<COLORREF> nClrPane;
    HBRUSH oBrush = nullptr; // not owned
    TWindow *oWnd = nullptr;
    bool lPixels = false;
    // An icon handle (not owned), or a text: an icon file when such a file
    // exists, else an icon resource name.
    std::variant<std::monostate, HICON, std::string> oIcon;
    HFONT oFont = nullptr; // not owned
    std::optional<int> nHelpId;
    int nWidth = 0, nHeight = 0; // either non-zero: pixels, (top, left, height, width)
    bool lTransparent = false;
    std::vector<COLORREF> aGradColors;
    std::string cVarName = "oDlg";
    std::optional<bool> lUnicode;
    std::optional<bool> lTruePixel;
    bool lSizable = false;
};

// The positions of TDialog::Activate.
struct TDialogActivate {
    LClickHook bLClicked;  // replaces the member when given
    MoveHook bMoved;       // stored as given (empty clears)
    PaintHook bPainted;    // stored as given (empty clears)
    std::optional<bool> lCentered;
    WindowHook bValid;     // replaces the member when given
    std::optional<bool> lModal;
    WindowHook bInit;      // replaces the member when given
    RClickHook bRClicked;  // replaces the member when given
    WindowHook bWhen;      // replaces the member when given
    std::optional<bool> lResize16;
    std::optional<bool> lCenterInWnd;
};

class TDialog : public TWindow {
  public:
    explicit TDialog(const TDialogNew &args = {});
    ~TDialog() override;

    // Same as the constructor, for callers that want the dialog on the heap.
    static std::unique_ptr<TDialog> New(const TDialogNew &args = {});

    // Modal: returns when the dialog has ended. Non-modal: returns at once.
    void Activate(const TDialogActivate &args = {});
    // Asks bValid; true when the dialog was ended.
    bool End(std::optional<int> nResult = std::nullopt);
    void Refresh(bool lErase = true);
    void Hide();
    void Show();
    // Sets the title when a text is given; returns the current title.
    std::string cTitle(const std::optional<std::string> &cText = std::nullopt);

    // The in-memory dialog description, in the platform's template format.
    std::string cToChar(HWND owner) const;

    // Appends a control; raises "Duplicated Id" when its identifier is taken.
    void DefControl(std::unique_ptr<TControl> control);
    // The control with this identifier, or nullptr.
    TControl *GetItem(int nId) const;

    bool lTruePixel = false;
    std::string cResName;
    HINSTANCE hResources = nullptr;
    bool lCentered = false;
    bool lCenterInWnd = false;
    std::optional<bool> lModal = true;
    bool lModify = true;
    PlainHook bStart;
    std::optional<bool> lHelpIcon; // empty or true: help button; false: none
    bool lResize16 = false;
    bool lTransparent = false;
    bool lVbx = false;
    bool lUnicode = false;
    COLORREF nClrText = 0, nClrPane = 0;
    HBRUSH oBrush = nullptr;
    std::variant<std::monostate, HICON, std::string> oIcon;
    HFONT oFont = nullptr;
    std::optional<int> nHelpId;
    std::vector<COLORREF> aGradColors;

    // Message routing, reached from the dialog procedure.
    HookResult HandleEvent(UINT nMsg, WPARAM nWParam, LPARAM nLParam);
    bool Initiate(HWND hWndCtlFocus, HWND hWndDlg);
    HookResult Command(WPARAM nWParam, LPARAM nLParam);
    HookResult KeyDown(int nKey, int nFlags) override;
    // The paths of a drop, handed to bDropFiles; the drop is released first.
    void DropFiles(UniqueDrop drop);
    void Close(std::optional<int> nPosted);

    // Module-wide settings and state.
    static bool lEscClose;          // Esc closes dialogs (on)
    static int activeCount();       // dialogs whose Activate is running
    static TDialog *windowDefault(); // the most recent New: owner of new controls

  private:
    friend struct DialogProcs;
    void Display();
    HWND ownerWindow() const;
    void runModal(HWND owner);
    void runNonModal(HWND owner);
    void raiseCannotCreate(DWORD lastError) const;
    bool modal() const { return lModal.value_or(true); }
    bool creatingNonModal_ = false;
    UniqueIcon smallIcon_; // only an icon this dialog loaded itself
};

} // namespace vistoro
