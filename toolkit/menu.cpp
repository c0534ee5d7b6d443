#include "toolkit/menu.h"

#include <algorithm>

#include "toolkit/window.h"
#include "toolkit/wrappers.h"
#include "toolkit/message_drain.h"
#include "base/text.h"

namespace vistoro {

int &TMenuItem::nNextId() {
    static int next = 16384;
    return next;
}

TMenuItem::TMenuItem(const TMenuItemNew &a) {
    int &next = nNextId();
    if (next == 32768)
        next = 17408;
    cPrompt = a.cPrompt;
    cMsg = a.cMsg;
    lChecked = a.lChecked;
    bAction = a.bAlternate ? a.bAlternate : a.bAction;
    bWhen = a.bWhen;
    nId = next++;
    nVirtKey = a.nVirtKey;
    nVKState = a.nVirtKey ? a.nVKState : 0;
}

std::unique_ptr<TMenuItem> TMenuItem::New(const TMenuItemNew &args) {
    return std::make_unique<TMenuItem>(args);
}

void TMenuItem::End() {
    TMenu *menu = oMenu;
    if (!menu)
        return;
    if (menu->hMenu)
        ::DeleteMenu(menu->hMenu.get(), static_cast<UINT>(nId), MF_BYCOMMAND);
    auto &items = menu->aItems;
    items.erase(std::remove_if(items.begin(), items.end(),
                               [this](const TMenu::Entry &e) {
                                   auto p = std::get_if<std::unique_ptr<TMenuItem>>(&e);
                                   return p && p->get() == this;
                               }),
                items.end()); // this object is gone from here on
}

void TMenuItem::SetCheck(bool check) {
    lChecked = check;
    if (oMenu && oMenu->hMenu)
        ::CheckMenuItem(oMenu->hMenu.get(), static_cast<UINT>(nId),
                        MF_BYCOMMAND | (check ? MF_CHECKED : MF_UNCHECKED));
}

std::vector<TMenu *> &TMenu::aMenus() {
    static std::vector<TMenu *> menus;
    return menus;
}

TMenu::TMenu(bool lPopup) {
    hMenu.reset(lPopup ? ::CreatePopupMenu() : ::CreateMenu());
    lMenuBar = !lPopup;
    aMenus().push_back(this);
}

std::unique_ptr<TMenu> TMenu::New(bool lPopup) { return std::make_unique<TMenu>(lPopup); }

TMenu::~TMenu() {
    auto &menus = aMenus();
    menus.erase(std::remove(menus.begin(), menus.end(), this), menus.end());
    aItems.clear();
    destroyPlatformMenu();
}

void TMenu::destroyPlatformMenu() noexcept {
    // A submenu's handle goes with its parent's.
    if (attached_)
        hMenu.release();
    else
        hMenu.reset();
    for (auto &e : aItems)
        if (auto sub = std::get_if<std::unique_ptr<TMenu>>(&e))
            (*sub)->hMenu.release();
}

void TMenu::Add(std::unique_ptr<TMenuItem> oItem) {
    if (!oItem)
        return;
    const bool hasPrompt = oItem->cPrompt && !oItem->cPrompt->empty();
    if (hasPrompt && !oItem->bAction) {
        auto sub = TMenu::New(true); // now the menu under construction
        sub->cPrompt = *oItem->cPrompt;
        sub->attached_ = true;
        ::AppendMenuW(hMenu.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(sub->hMenu.get()),
                      widen(sub->cPrompt).c_str());
        aItems.emplace_back(std::move(sub));
        return;
    }
    oItem->oMenu = this;
    if (hasPrompt)
        ::AppendMenuW(hMenu.get(), MF_STRING, static_cast<UINT_PTR>(oItem->nId),
                      widen(*oItem->cPrompt).c_str());
    else
        ::AppendMenuW(hMenu.get(), MF_SEPARATOR, static_cast<UINT_PTR>(oItem->nId), nullptr);
    aItems.emplace_back(std::move(oItem));
}

void TMenu::EndConstruction() {
    auto &menus = aMenus();
    menus.erase(std::find(menus.begin(), menus.end(), this), menus.end());
}

void TMenu::Activate(int nRow, int nCol, TWindow &owner, bool lDestroy) {
    const bool fromBelow = nRow < 0;
    Point at{std::max(nRow, 0), nCol};
    CLIENTTOSCREEN(owner.hWnd, at);
    if (lDestroy && owner.oPopup && owner.oPopup != this)
        owner.oPopup->destroyPlatformMenu();
    owner.oPopup = this;
    // Clears the tracking state and the menu on every way out.
    ScopeExit done([this, &owner, lDestroy]() noexcept {
        if (lDestroy) {
            if (owner.oPopup == this)
                owner.oPopup = nullptr;
            destroyPlatformMenu();
        }
    });
    UINT flags = TPM_RIGHTBUTTON | (fromBelow ? TPM_BOTTOMALIGN : 0);
    ::TrackPopupMenu(hMenu.get(), flags, at.col, at.row, 0, owner.hWnd, nullptr);
    // The choice was posted to the owner as a command: dispatch it now, so
    // the action runs here while the menu still exists.
    SYSREFRESH();
}

void TMenu::Command(int nId) {
    if (TMenuItem *item = GetMenuItem(nId); item && item->bAction)
        item->bAction(*item);
}

TMenuItem *TMenu::GetMenuItem(int nId) {
    for (auto &e : aItems) {
        if (auto item = std::get_if<std::unique_ptr<TMenuItem>>(&e)) {
            if ((*item)->nId == nId)
                return item->get();
        } else if (auto sub = std::get_if<std::unique_ptr<TMenu>>(&e)) {
            if (TMenuItem *found = (*sub)->GetMenuItem(nId))
                return found;
        }
    }
    return nullptr;
}

void TMenu::Initiate() {
    for (auto &e : aItems) {
        if (auto item = std::get_if<std::unique_ptr<TMenuItem>>(&e)) {
            TMenuItem &it = **item;
            if (!hMenu)
                continue;
            if (it.bWhen)
                ::EnableMenuItem(hMenu.get(), static_cast<UINT>(it.nId),
                                 MF_BYCOMMAND | (notFalse(it.bWhen(it)) ? MF_ENABLED : MF_GRAYED));
            ::CheckMenuItem(hMenu.get(), static_cast<UINT>(it.nId),
                            MF_BYCOMMAND | (it.lChecked ? MF_CHECKED : MF_UNCHECKED));
        } else if (auto sub = std::get_if<std::unique_ptr<TMenu>>(&e)) {
            (*sub)->Initiate();
        }
    }
}

} // namespace vistoro
