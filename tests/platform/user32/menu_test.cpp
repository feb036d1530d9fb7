// Menus: insertion by command and position, deletion, reading back.
#include "tests/platform/platform_fixture.h"

using namespace platform_test;

namespace {

using Menus = PlatformTest;

// A string item: a command (`id`) or, with `popup`, a submenu.
BOOL insertString(HMENU menu, UINT before, UINT id, HMENU popup, const WCHAR* text) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = (popup ? MIIM_SUBMENU : MIIM_ID) | MIIM_TYPE;
    info.fType = MFT_STRING;
    info.wID = id;
    info.hSubMenu = popup;
    info.dwTypeData = const_cast<LPWSTR>(text);
    return InsertMenuItemW(menu, before, FALSE, &info);
}

BOOL insertItem(HMENU menu, UINT before, UINT id, const WCHAR* text) {
    return insertString(menu, before, id, nullptr, text);
}

BOOL insertPopup(HMENU menu, UINT before, HMENU popup, const WCHAR* text) {
    return insertString(menu, before, 0, popup, text);
}

std::u16string itemText(HMENU menu, int position) {
    WCHAR buffer[64];
    int n = GetMenuStringW(menu, static_cast<UINT>(position), buffer, 64, MF_BYPOSITION);
    return std::u16string(buffer, static_cast<size_t>(n));
}

TEST_F(Menus, AKnownIdentifierInsertsBeforeIt) {
    HMENU popup = CreateMenu();
    insertItem(popup, 1, 1, u"one");
    insertItem(popup, 3, 3, u"three");
    EXPECT_TRUE(insertItem(popup, 3, 2, u"two"));
    ASSERT_EQ(GetMenuItemCount(popup), 3);
    EXPECT_EQ(itemText(popup, 1), u"two");
    EXPECT_EQ(GetMenuItemID(popup, 2), 3u);
}

TEST_F(Menus, InsertingBeforeAnItemInsideAPopupGoesIntoThatPopup) {
    HMENU bar = CreateMenu();
    HMENU file = CreateMenu();
    insertPopup(bar, 0, file, u"File");
    insertItem(file, 10, 10, u"Open");
    insertItem(bar, 10, 11, u"New"); // 10 lives in the popup
    EXPECT_EQ(GetMenuItemCount(bar), 1);
    ASSERT_EQ(GetMenuItemCount(file), 2);
    EXPECT_EQ(itemText(file, 0), u"New");
}

TEST_F(Menus, ByPositionInsertsAtTheIndexOrAppends) {
    HMENU menu = CreateMenu();
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STRING;
    info.wID = 1;
    info.dwTypeData = const_cast<LPWSTR>(u"b");
    InsertMenuItemW(menu, 0, TRUE, &info);
    info.wID = 2;
    info.dwTypeData = const_cast<LPWSTR>(u"a");
    InsertMenuItemW(menu, 0, TRUE, &info);
    info.wID = 3;
    info.dwTypeData = const_cast<LPWSTR>(u"c");
    InsertMenuItemW(menu, 99, TRUE, &info);
    EXPECT_EQ(itemText(menu, 0), u"a");
    EXPECT_EQ(itemText(menu, 1), u"b");
    EXPECT_EQ(itemText(menu, 2), u"c");
}

TEST_F(Menus, MalformedRecordsAreRefused) {
    HMENU menu = CreateMenu();
    MENUITEMINFOW info{};
    info.cbSize = 12;
    info.fMask = MIIM_ID;
    EXPECT_FALSE(InsertMenuItemW(menu, 0, FALSE, &info));
    info.cbSize = sizeof info;
    info.fMask = MIIM_TYPE | MIIM_STRING;
    EXPECT_FALSE(InsertMenuItemW(menu, 0, FALSE, &info));
    EXPECT_FALSE(InsertMenuItemW(menu, 0, FALSE, nullptr));
    info.fMask = MIIM_ID;
    EXPECT_FALSE(InsertMenuItemW(reinterpret_cast<HMENU>(0x2222), 0, FALSE, &info));
    info.fMask = MIIM_SUBMENU;
    info.hSubMenu = menu; // a menu cannot contain itself
    EXPECT_FALSE(InsertMenuItemW(menu, 0, FALSE, &info));
    EXPECT_EQ(GetMenuItemCount(menu), 0);
}

TEST_F(Menus, NoMenuCanBecomeItsOwnPopup) {
    HMENU outer = CreateMenu();
    HMENU inner = CreateMenu();
    insertPopup(outer, 0, inner, u"Inner");
    insertItem(inner, 1, 1, u"Item");
    EXPECT_FALSE(insertPopup(inner, 0, outer, u"Loop"));
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_SUBMENU;
    info.hSubMenu = outer;
    EXPECT_FALSE(SetMenuItemInfoW(inner, 1, FALSE, &info));
    EXPECT_EQ(GetMenuItemCount(inner), 1);
    EXPECT_TRUE(DestroyMenu(outer));
    EXPECT_FALSE(IsMenu(inner));
}

TEST_F(Menus, ItemInfoReadsBackWhatWasSet) {
    HMENU menu = CreateMenu();
    insertItem(menu, 5, 5, u"Item");
    CheckMenuItem(menu, 5, MF_CHECKED);
    EnableMenuItem(menu, 5, MF_GRAYED);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_STRING;
    WCHAR buffer[3];
    info.dwTypeData = buffer;
    info.cch = 3;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 5, FALSE, &info));
    EXPECT_EQ(info.wID, 5u);
    EXPECT_EQ(info.fState & MFS_CHECKED, static_cast<UINT>(MFS_CHECKED));
    EXPECT_EQ(info.fState & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
    EXPECT_EQ(std::u16string(buffer), u"It");
    info.dwTypeData = nullptr;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 5, FALSE, &info));
    EXPECT_EQ(info.cch, 4u);
}

TEST_F(Menus, DestroyingAWindowDestroysItsMenu) {
    HMENU bar = CreateMenu();
    HMENU file = CreateMenu();
    insertPopup(bar, 0, file, u"File");
    HWND w = makeTopLevel();
    SetMenu(w, bar);
    DestroyWindow(w);
    EXPECT_FALSE(IsMenu(bar));
    EXPECT_FALSE(IsMenu(file));
}

} // namespace
