#include "util/dlghelp.h"

#include <functional>

#include "base/handles.h"
#include "util/popmsg.h"

namespace vistoro {
namespace {

// The re-entrancy marker of VALID: set while one call runs, so that a
// nested call sees it and refuses.
bool g_validRunning = false;

bool isCancelIntent(const std::any &cargo) {
    if (!cargo.has_value())
        return true;
    if (const int *n = std::any_cast<int>(&cargo))
        return *n == 2;
    if (const long *n = std::any_cast<long>(&cargo))
        return *n == 2;
    return false;
}

TControl *controlOfWindow(const TDialog &dlg, HWND wnd) {
    for (const auto &c : dlg.aControls)
        if (wnd && c->hWnd == wnd)
            return c.get();
    return nullptr;
}

// A field whose Cargo is a check that fails: told, marked red meanwhile.
bool fieldsValid(TDialog &dlg) {
    for (const auto &c : dlg.aControls) {
        if (dynamic_cast<TSay *>(c.get()))
            continue;
        if (c->bWhen && isFalse(c->bWhen(*c)))
            continue;
        const auto *check = std::any_cast<std::function<bool(TControl &)>>(&c->Cargo);
        if (!check || !*check || (*check)(*c))
            continue;
        if (c->hWnd)
            ::SetFocus(c->hWnd);
        const auto former = c->nClrPane;
        c->setBackColor(RGB(255, 0, 0));
        if (c->hWnd)
            ::InvalidateRect(c->hWnd, nullptr, TRUE);
        POPMSG("Campo non valido.", 1);
        c->setBackColor(former);
        dlg.Refresh(false);
        if (c->hWnd) {
            ::InvalidateRect(c->hWnd, nullptr, TRUE);
            ::SetFocus(c->hWnd);
        }
        return false;
    }
    return true;
}

} // namespace

TControl *CTL(const TDialog &oDlg, int nWhich) {
    if (nWhich < 1 || static_cast<std::size_t>(nWhich) > oDlg.aControls.size())
        return nullptr;
    return oDlg.aControls[static_cast<std::size_t>(nWhich) - 1].get();
}

TControl *CTL(const TDialog &oDlg, const std::string &cName) {
    for (const auto &c : oDlg.aControls)
        if (c->cVarName == cName)
            return c.get();
    return nullptr;
}

bool VALID(TDialog &oDlg, bool lAsk) {
    HWND focus = ::GetFocus();
    if (g_validRunning)
        return false;
    g_validRunning = true;
    ScopeExit unmark([]() noexcept { g_validRunning = false; });
    if (isCancelIntent(oDlg.Cargo)) {
        if (!lAsk || !oDlg.lModify)
            return true;
        const bool yes = POPMSG("Annullo le modifiche?", 5).value_or(0) != 0;
        if (!yes && focus && ::IsWindow(focus))
            ::SetFocus(focus);
        return yes;
    }
    oDlg.Cargo.reset();
    if (TControl *c = controlOfWindow(oDlg, focus))
        c->LostFocus();
    return fieldsValid(oDlg);
}

} // namespace vistoro
