// TListBox and TButton: creation in memory, redefinition from a resource,
// and the button's click and key handling.
#include <algorithm>

#include "toolkit/controls.h"
#include "toolkit/dialog.h"
#include "base/text.h"

namespace vistoro {

TListBox &TListBox::New(const TListBoxNew &a) {
    auto c = std::make_unique<TListBox>();
    const int top = a.lPixel ? a.nRow : a.nRow * 14;
    const int left = a.lPixel ? a.nCol : a.nCol * 8;
    c->nTop = top;
    c->nLeft = left;
    c->nBottom = top + a.nHeight - 1;
    c->nRight = left + a.nWidth - 1;
    DWORD style = LBS_NOTIFY | WS_TABSTOP | LBS_USETABSTOPS | WS_CHILD | WS_VISIBLE | WS_BORDER |
                  WS_VSCROLL;
    if (a.lDesign)
        style |= WS_CLIPSIBLINGS;
    if (!a.aBitmaps.empty())
        style |= LBS_OWNERDRAWFIXED;
    if (a.lMulti)
        style |= LBS_MULTIPLESEL;
    if (a.lSort)
        style |= LBS_SORT;
    c->nStyle = style;
    c->cClassName = "LISTBOX";
    c->aItems = a.aItems;
    c->bSetGet = a.bSetGet;
    c->bChange = a.bChange;
    c->bLDblClick = a.bLDblClick;
    c->bDrawItem = a.bDrawItem;
    c->lOwnerDraw = !a.aBitmaps.empty();
    c->bValid = a.bValid;
    c->bWhen = a.bWhen;
    c->nClrText = a.nClrFore;
    if (a.nClrBack)
        c->setBackColor(a.nClrBack);
    c->oFont = a.oFont;
    c->cMsg = a.cMsg;
    c->lUpdate = a.lUpdate;
    c->nId = GetNewId();
    return adopt(std::move(c), a.oWnd);
}

void TListBox::Initiate(HWND hWndDlg) {
    TControl::Initiate(hWndDlg);
    ::SendMessageW(hWnd, LB_RESETCONTENT, 0, 0);
    for (const auto &item : aItems)
        ::SendMessageW(hWnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(item).c_str()));
}

TButton &TButton::New(const TButtonNew &a) {
    auto c = std::make_unique<TButton>();
    const std::string caption = a.cCaption.value_or("&Button");
    const int width = a.nWidth.value_or(std::max(6 * static_cast<int>(charCount(caption)), 30));
    const int top = a.lPixel ? a.nRow : a.nRow * 18;
    const int left = a.lPixel ? a.nCol : a.nCol * 6;
    c->nTop = top;
    c->nLeft = left;
    c->nBottom = top + a.nHeight;
    c->nRight = left + width;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
    if (a.lDefault)
        style |= BS_DEFPUSHBUTTON;
    if (a.lDesign)
        style |= WS_CLIPSIBLINGS;
    if (a.lMultiline)
        style |= BS_MULTILINE;
    style |= a.nExtraStyle;
    c->nStyle = style;
    c->cClassName = "BUTTON";
    c->cCaption = caption;
    c->bAction = a.bAction;
    c->lDefault = a.lDefault;
    c->lCancel = a.lCancel;
    c->bWhen = a.bWhen;
    c->bValid = a.bValid;
    c->oFont = a.oFont;
    c->nId = GetNewId();
    TDialog *dlg = a.oWnd ? dynamic_cast<TDialog *>(a.oWnd) : TDialog::windowDefault();
    c->cVarName = a.cVarName.value_or(
        "oBtn" + std::to_string(dlg ? dlg->aControls.size() + 1 : 1));
    return adopt(std::move(c), a.oWnd);
}

TButton &TButton::Redefine(const TButtonRedefine &a) {
    auto c = std::make_unique<TButton>();
    c->nId = a.nId;
    c->bAction = a.bAction;
    c->bWhen = a.bWhen;
    c->bValid = a.bValid;
    c->lCancel = a.lCancel;
    c->cCaption = a.cPrompt.value_or("");
    c->cClassName = "BUTTON";
    return adopt(std::move(c), a.oWnd);
}

void TButton::Initiate(HWND hWndDlg) {
    TControl::Initiate(hWndDlg);
    lDefault = (::GetWindowLongW(hWnd, GWL_STYLE) & BS_DEFPUSHBUTTON) != 0;
    if (!cCaption.empty())
        ::SetWindowTextW(hWnd, widen(cCaption).c_str());
}

void TButton::Click() {
    if (lProcessing)
        return;
    lProcessing = true;
    ScopeExit unmark([this]() noexcept { lProcessing = false; });
    if (bWhen && isFalse(bWhen(*this)))
        return;
    TDialog *d = dialog();
    if (hWnd && ::GetFocus() != hWnd) {
        if (d)
            d->lValidating = true;
        ::SetFocus(hWnd);
        if (d)
            d->lValidating = false;
    }
    if (bAction)
        bAction(*this);
    if (!hWnd || !::IsWindow(hWnd))
        return;
    if (::GetFocus() == hWnd)
        ::SendMessageW(hWnd, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    else if (!lDefault)
        ::SendMessageW(hWnd, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
}

HookResult TButton::KeyDown(int nKey, int nFlags) {
    auto step = [this](bool previous) {
        if (TDialog *d = dialog(); d && d->hWnd)
            ::SendMessageW(d->hWnd, WM_NEXTDLGCTL, previous ? 1 : 0, FALSE);
    };
    switch (nKey) {
    case VK_UP:
    case VK_LEFT:
        if (bKeyDown)
            bKeyDown(nKey, nFlags, *this);
        else
            step(true);
        return 0;
    case VK_DOWN:
    case VK_RIGHT:
        if (bKeyDown)
            bKeyDown(nKey, nFlags, *this);
        else
            step(false);
        return 0;
    case VK_RETURN:
        if (bKeyDown)
            bKeyDown(nKey, nFlags, *this);
        else if (hWnd)
            ::PostMessageW(hWnd, kClickMessage, 0, 0);
        return 0;
    default:
        return TControl::KeyDown(nKey, nFlags);
    }
}

HookResult TButton::GetDlgCode(WPARAM wp, LPARAM /*lp*/) {
    if (TDialog *d = dialog())
        d->nLastKey = static_cast<int>(wp);
    return std::nullopt;
}

} // namespace vistoro
