// The controls the program places on its dialogs: the control base, list
// box, push button, static text, image, bitmap button and progress bar.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/handles.h"
#include "toolkit/template.h"
#include "toolkit/window.h"

namespace vistoro {

class TDialog;

// The toolkit's own click message, posted by a button to itself.
inline constexpr UINT kClickMessage = 2048;

class TControl : public TWindow {
  public:
    ~TControl() override;

    int nId = 0;
    DWORD nExtStyle = 0;
    std::string cClassName; // platform class of the in-memory item
    std::optional<bool> lActive, lDrag, lCaptured, lFocused, lCancel, lTransparent;
    std::optional<int> nDlgCode;
    HFONT oFont = nullptr; // not owned
    std::optional<COLORREF> nClrText, nClrPane;

    // The dialog that owns the control (oWnd as a dialog).
    TDialog *dialog() const;

    // Identifiers: 101, 102, ... across the program; after 30000 comes 100.
    static int GetNewId();
    static int &nInitID();

    // Links the control to its platform window in dialog hWndDlg; raises
    // "Non defined Id" when the dialog has no such control.
    virtual void Initiate(HWND hWndDlg);
    // One item of the in-memory dialog description.
    virtual void AppendTemplateItem(std::string &out, const BaseUnits &units, bool truePixel) const;
    virtual void Click() {}
    virtual void Refresh();
    HookResult KeyDown(int nKey, int nFlags) override;
    virtual HookResult GetDlgCode(WPARAM nWParam, LPARAM nLParam);
    // Messages of the linked platform control; empty: the control's own
    // window procedure runs.
    virtual HookResult HandleEvent(UINT nMsg, WPARAM nWParam, LPARAM nLParam);
    // The platform's own window procedure of this control.
    LRESULT callDefault(UINT nMsg, WPARAM nWParam, LPARAM nLParam);
    // Background brush for WM_CTLCOLOR*; nullptr leaves the platform's.
    HBRUSH ctlColor(HDC dc);
    void setBackColor(std::optional<COLORREF> colour);

  protected:
    TControl() = default;
    // Stores the owner (the window default when none) and appends the
    // control to it through the dialog's DefControl.
    static void place(std::unique_ptr<TControl> control, TWindow *owner);
    // place, handing back the control itself for its maker to return.
    template <class T> static T &adopt(std::unique_ptr<T> control, TWindow *owner) {
        T &ref = *control;
        place(std::move(control), owner);
        return ref;
    }
    void link(HWND wnd);
    void unlink() noexcept;
    friend struct ControlProcs;

  private:
    bool linked_ = false;
    UniqueBrush backBrush_;
};

struct TListBoxNew {
    int nRow = 0, nCol = 0;
    std::function<std::any()> bSetGet;
    std::vector<std::string> aItems;
    int nWidth = 40, nHeight = 40;
    Hook<TWindow &> bChange;
    TWindow *oWnd = nullptr;
    WindowHook bValid;
    std::optional<COLORREF> nClrFore, nClrBack;
    bool lPixel = false, lDesign = false;
    Hook<TWindow &> bLDblClick;
    HFONT oFont = nullptr;
    std::string cMsg;
    bool lUpdate = false;
    WindowHook bWhen;
    std::vector<HBITMAP> aBitmaps;
    Hook<TWindow &> bDrawItem;
    bool lMulti = false, lSort = false;
};

class TListBox : public TControl {
  public:
    static TListBox &New(const TListBoxNew &args = {});
    std::vector<std::string> aItems;
    std::function<std::any()> bSetGet;
    Hook<TWindow &> bChange, bLDblClick, bDrawItem;
    bool lOwnerDraw = false;
    std::string cMsg;
    bool lUpdate = false;
    void Initiate(HWND hWndDlg) override;
};

struct TButtonNew {
    int nRow = 0, nCol = 0;
    std::optional<std::string> cCaption; // "&Button"
    TWindow *oWnd = nullptr;
    Hook<TWindow &> bAction;
    std::optional<int> nWidth; // max(6 x caption length, 30)
    int nHeight = 13;
    std::optional<int> nHelpId;
    HFONT oFont = nullptr;
    bool lDefault = false, lPixel = false, lDesign = false;
    std::string cMsg;
    bool lUpdate = false;
    WindowHook bWhen, bValid;
    bool lCancel = false;
    std::optional<std::string> cVarName; // "oBtn" + position
    bool lMultiline = false;
    DWORD nExtraStyle = 0;
};

struct TButtonRedefine {
    int nId = 0;
    Hook<TWindow &> bAction;
    TWindow *oWnd = nullptr;
    std::optional<int> nHelpId;
    std::string cMsg;
    bool lUpdate = false;
    WindowHook bWhen, bValid;
    std::optional<std::string> cPrompt;
    bool lCancel = false;
};

class TButton : public TControl {
  public:
    static TButton &New(const TButtonNew &args = {});
    static TButton &Redefine(const TButtonRedefine &args);
    Hook<TWindow &> bAction;
    bool lDefault = false;
    bool lProcessing = false;
    void Initiate(HWND hWndDlg) override;
    void Click() override;
    HookResult KeyDown(int nKey, int nFlags) override;
    HookResult GetDlgCode(WPARAM nWParam, LPARAM nLParam) override;
};

struct TSayRedefine {
    int nId = 0;
    std::function<std::string()> bText;
    TWindow *oWnd = nullptr;
    std::string cPicture;
    std::optional<COLORREF> nClrText; // owner's text colour
    std::optional<COLORREF> nClrBack; // system colour 15
    bool lUpdate = false;
    HFONT oFont = nullptr;
    bool lTransparent = false, lAdjust = false;
    std::optional<bool> lUnicode;
    std::any uCargo;
};

class TSay : public TControl {
  public:
    static TSay &Redefine(const TSayRedefine &args);
    std::function<std::string()> bGet;
    std::string cPicture;
    bool lAdjust = false;
    void Initiate(HWND hWndDlg) override;
    // Takes the text anew from its hook and shows it.
    void Refresh() override;
};

struct TImageReDefine {
    int nId = 0;
    TWindow *oWnd = nullptr;
    std::optional<std::string> cResName;
    std::optional<std::string> cImgFile;
    LClickHook bLClicked;
    RClickHook bRClicked;
    bool lAdjust = false;
    HCURSOR oCursor = nullptr;
    WindowHook bWhen, bValid;
};

class TImage : public TControl {
  public:
    static TImage &ReDefine(const TImageReDefine &args);
    std::string cImgFile;
    UniqueBitmap hImg;
    bool lAdjust = false;
    HookResult HandleEvent(UINT nMsg, WPARAM nWParam, LPARAM nLParam) override;
    void Paint(HDC dc);
};

struct TBtnBmpRedefine {
    int nId = 0;
    std::optional<std::string> cResName; // bitmap resource
    TWindow *oWnd = nullptr;
};

// A borderless button that only shows a bitmap; clicking it does nothing.
class TBtnBmp : public TControl {
  public:
    static TBtnBmp &Redefine(const TBtnBmpRedefine &args);
    UniqueBitmap hBitmap;
    HookResult HandleEvent(UINT nMsg, WPARAM nWParam, LPARAM nLParam) override;
};

struct TProgressNew {
    int nRow = 0, nCol = 0; // rows x 14, columns x 8 unless lPixel
    TWindow *oWnd = nullptr;
    int nWidth = 200, nHeight = 20;
    int nFrom = 0, nTo = 100;
    bool lPixel = false;
};

// A progress bar: a range and a position kept inside it.
class TProgress : public TControl {
  public:
    static TProgress &New(const TProgressNew &args = {});
    int nFrom = 0, nTo = 100, nPos = 0;
    void Initiate(HWND hWndDlg) override;
    void SetRange(int from, int to);
    // Clamped into the range.
    void SetPos(int pos);
};

} // namespace vistoro
