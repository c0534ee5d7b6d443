// Popup menus built item by item through the class-wide stack of menus
// under construction, tracked at a client point of a window.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base/handles.h"
#include "toolkit/hook.h"

namespace vistoro {

class TWindow;
class TMenu;
class TMenuItem;

using MenuHook = Hook<TMenuItem &>;

struct TMenuItemNew {
    std::optional<std::string> cPrompt; // empty: a separator
    std::string cMsg;
    bool lChecked = false;
    MenuHook bAction;
    MenuHook bAlternate; // takes the action's place when given
    int nVKState = 0;
    int nVirtKey = 0;
    MenuHook bWhen;
};

class TMenuItem {
  public:
    explicit TMenuItem(const TMenuItemNew &args = {});
    TMenuItem(const TMenuItem &) = delete;
    TMenuItem &operator=(const TMenuItem &) = delete;
    static std::unique_ptr<TMenuItem> New(const TMenuItemNew &args = {});

    std::optional<std::string> cPrompt;
    std::string cMsg;
    bool lChecked = false;
    MenuHook bAction;
    MenuHook bWhen;
    int nId = 0;
    int nVKState = 0, nVirtKey = 0; // stored only: no accelerator acts on them
    TMenu *oMenu = nullptr;

    // Next identifier handed out: 16384 at start, 17408 after 32767.
    static int &nNextId();

    // Removes the item from its menu and the platform menu (destroys it).
    // Kept for the toolkit's users, as SetCheck is; the viewer calls neither.
    void End();
    void SetCheck(bool lChecked);
};

class TMenu {
  public:
    explicit TMenu(bool lPopup = false);
    TMenu(const TMenu &) = delete;
    TMenu &operator=(const TMenu &) = delete;
    ~TMenu();
    // Creates a menu and appends it to aMenus.
    static std::unique_ptr<TMenu> New(bool lPopup = false);

    // Every menu created with New in creation order; the last one is the
    // menu under construction. Menus leave it when the caller shrinks it, or
    // when they are destroyed.
    static std::vector<TMenu *> &aMenus();

    using Entry = std::variant<std::unique_ptr<TMenuItem>, std::unique_ptr<TMenu>>;

    UniqueMenu hMenu;
    std::vector<Entry> aItems;
    std::string cPrompt;
    bool lMenuBar = false;
    TWindow *oWnd = nullptr;

    void Add(std::unique_ptr<TMenuItem> oItem);
    // Ends the construction of this menu: it leaves aMenus, together with
    // any submenu of it still being built. Nothing for a menu not in it.
    void EndConstruction();
    // Shows the menu at the client point (nRow = y, nCol = x) of oWnd, runs
    // the chosen action, and destroys the menu when lDestroy.
    void Activate(int nRow, int nCol, TWindow &oWnd, bool lDestroy = true);
    void Command(int nId);
    TMenuItem *GetMenuItem(int nId);
    // Enables and checks the items before the popup opens.
    void Initiate();

  private:
    void destroyPlatformMenu() noexcept;
    bool attached_ = false; // a submenu is destroyed with its parent
};

} // namespace vistoro
