// Static texts, made by the toolkit or taken over from a dialog resource.
#include "base/text.h"
#include "toolkit/controls.h"
#include "toolkit/dialog.h"

namespace vistoro {

TSay &TSay::Redefine(const TSayRedefine &a) {
    auto c = std::make_unique<TSay>();
    c->nId = a.nId;
    c->bGet = a.bText;
    c->cPicture = a.cPicture;
    c->cCaption = a.bText ? a.bText() : std::string();
    TDialog *owner = a.oWnd ? dynamic_cast<TDialog *>(a.oWnd) : TDialog::windowDefault();
    c->nClrText = a.nClrText ? a.nClrText : (owner ? std::optional(owner->nClrText) : std::nullopt);
    c->setBackColor(a.nClrBack.value_or(::GetSysColor(COLOR_BTNFACE)));
    c->lAdjust = a.lAdjust;
    c->lTransparent = a.lTransparent;
    c->oFont = a.oFont;
    c->Cargo = a.uCargo;
    c->cClassName = "STATIC";
    return adopt(std::move(c), a.oWnd);
}

void TSay::Initiate(HWND hWndDlg) {
    TControl::Initiate(hWndDlg);
    if (!cCaption.empty()) {
        ::SetWindowTextW(hWnd, widen(cCaption).c_str());
    } else {
        const int n = ::GetWindowTextLengthW(hWnd);
        std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
        const int got = ::GetWindowTextW(hWnd, w.data(), n + 1);
        w.resize(static_cast<std::size_t>(got > 0 ? got : 0));
        cCaption = narrowUtf8(w);
    }
}

void TSay::Refresh() {
    if (bGet)
        cCaption = bGet();
    if (hWnd)
        ::SetWindowTextW(hWnd, widen(cCaption).c_str());
}

} // namespace vistoro
