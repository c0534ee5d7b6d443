// Popup menus: the stack of menus under construction, identifiers, the
// submenu rule, separators, commands and item removal.
#include <gtest/gtest.h>

#include "toolkit/menu.h"

using namespace vistoro;

namespace {
UINT itemType(HMENU menu, int pos) {
    MENUITEMINFOW mi{};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_FTYPE | MIIM_SUBMENU;
    ::GetMenuItemInfoW(menu, static_cast<UINT>(pos), TRUE, &mi);
    return mi.fType;
}
} // namespace

TEST(Menu, ViewerPatternBuildsEntriesAndLeavesTheStackAsFound) {
    const auto depth = TMenu::aMenus().size();
    std::vector<int> ran;
    auto menu = TMenu::New(true);
    ASSERT_EQ(TMenu::aMenus().size(), depth + 1);
    EXPECT_EQ(TMenu::aMenus().back(), menu.get());
    TMenu::aMenus().back()->Add(TMenuItem::New({.cPrompt = "Forward\tDOWN",
                                                .bAction = [&] { ran.push_back(1); }}));
    TMenu::aMenus().back()->Add(TMenuItem::New());
    TMenu::aMenus().back()->Add(
        TMenuItem::New({.cPrompt = "Close\tESC", .bAction = [&](TMenuItem &it) {
                            ran.push_back(it.nId);
                        }}));
    TMenu::aMenus().pop_back();
    EXPECT_EQ(TMenu::aMenus().size(), depth);

    ASSERT_EQ(menu->aItems.size(), 3u);
    ASSERT_EQ(::GetMenuItemCount(menu->hMenu.get()), 3);
    EXPECT_EQ(itemType(menu->hMenu.get(), 1) & MFT_SEPARATOR, static_cast<UINT>(MFT_SEPARATOR));
    EXPECT_EQ(itemType(menu->hMenu.get(), 0) & MFT_SEPARATOR, 0u);

    // Every entry, separators included, takes one identifier.
    auto id = [&](int i) { return std::get<0>(menu->aItems[static_cast<std::size_t>(i)])->nId; };
    EXPECT_EQ(id(1), id(0) + 1);
    EXPECT_EQ(id(2), id(0) + 2);
    EXPECT_EQ(::GetMenuItemID(menu->hMenu.get(), 2), static_cast<UINT>(id(2)));

    menu->Command(id(0));
    menu->Command(id(2));
    menu->Command(id(1)); // separator: no action
    menu->Command(12345); // no such item
    EXPECT_EQ(ran, (std::vector<int>{1, id(2)}));
}

TEST(Menu, EndingTheConstructionLeavesTheStackAsFoundEvenWithASubmenuOpen) {
    const auto depth = TMenu::aMenus().size();
    auto menu = TMenu::New(true);
    menu->Add(TMenuItem::New({.cPrompt = "More"})); // a submenu, now being built
    ASSERT_EQ(TMenu::aMenus().size(), depth + 2);
    menu->EndConstruction();
    EXPECT_EQ(TMenu::aMenus().size(), depth);
    menu->EndConstruction(); // no longer being built: nothing changes
    EXPECT_EQ(TMenu::aMenus().size(), depth);
}

TEST(Menu, IdentifiersWrapFrom32767To17408) {
    const int saved = TMenuItem::nNextId();
    TMenuItem::nNextId() = 32767;
    TMenuItem a, b, c;
    EXPECT_EQ(a.nId, 32767);
    EXPECT_EQ(b.nId, 17408);
    EXPECT_EQ(c.nId, 17409);
    TMenuItem::nNextId() = saved;
}

TEST(Menu, PromptWithoutActionOpensASubmenuThatTakesTheNextItems) {
    auto menu = TMenu::New(true);
    const auto depth = TMenu::aMenus().size();
    bool subRan = false;
    menu->Add(TMenuItem::New({.cPrompt = "More"}));
    ASSERT_EQ(TMenu::aMenus().size(), depth + 1);
    TMenu *sub = TMenu::aMenus().back();
    EXPECT_EQ(sub->cPrompt, "More");
    sub->Add(TMenuItem::New({.cPrompt = "Inner", .bAction = [&] { subRan = true; }}));
    TMenu::aMenus().pop_back(); // back to the outer menu
    TMenu::aMenus().pop_back();

    ASSERT_EQ(menu->aItems.size(), 1u);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<TMenu>>(menu->aItems[0]));
    EXPECT_EQ(::GetSubMenu(menu->hMenu.get(), 0), sub->hMenu.get());
    EXPECT_EQ(::GetMenuItemCount(sub->hMenu.get()), 1);

    TMenuItem *inner = std::get<0>(sub->aItems[0]).get();
    EXPECT_EQ(menu->GetMenuItem(inner->nId), inner); // depth-first search
    menu->Command(inner->nId);
    EXPECT_TRUE(subRan);
}

TEST(Menu, ItemEndAndCheckAndDestroyedMenuLeavesTheStack) {
    const auto depth = TMenu::aMenus().size();
    {
        auto menu = TMenu::New(true);
        menu->Add(TMenuItem::New({.cPrompt = "A", .bAction = [] {}}));
        menu->Add(TMenuItem::New({.cPrompt = "B", .bAction = [] {}}));
        TMenuItem *a = std::get<0>(menu->aItems[0]).get();
        TMenuItem *b = std::get<0>(menu->aItems[1]).get();
        b->SetCheck(true);
        EXPECT_EQ(::GetMenuState(menu->hMenu.get(), static_cast<UINT>(b->nId), MF_BYCOMMAND) & MF_CHECKED,
                  static_cast<UINT>(MF_CHECKED));
        const int bId = b->nId;
        a->End();
        ASSERT_EQ(menu->aItems.size(), 1u);
        EXPECT_EQ(::GetMenuItemCount(menu->hMenu.get()), 1);
        EXPECT_EQ(::GetMenuItemID(menu->hMenu.get(), 0), static_cast<UINT>(bId));
        EXPECT_EQ(TMenu::aMenus().size(), depth + 1);
    }
    EXPECT_EQ(TMenu::aMenus().size(), depth);
}

TEST(Menu, InitiateGreysItemsWhoseConditionFails) {
    auto menu = TMenu::New(true);
    TMenu::aMenus().pop_back();
    menu->Add(TMenuItem::New({.cPrompt = "Off", .bAction = [] {}, .bWhen = [] { return false; }}));
    menu->Add(TMenuItem::New({.cPrompt = "On", .lChecked = true, .bAction = [] {}}));
    menu->Initiate();
    const UINT off = ::GetMenuState(menu->hMenu.get(), 0, MF_BYPOSITION);
    const UINT on = ::GetMenuState(menu->hMenu.get(), 1, MF_BYPOSITION);
    EXPECT_TRUE(off & MF_GRAYED);
    EXPECT_FALSE(on & MF_GRAYED);
    EXPECT_TRUE(on & MF_CHECKED);
}
