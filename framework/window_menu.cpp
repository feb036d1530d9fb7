#include "framework/window_menu.h"

WindowMenu::WindowMenu() {
    itemInfo.cbSize = sizeof(MENUITEMINFOW);
}

int WindowMenu::create() {
    handle = CreateMenu();
    return handle ? 0 : -1;
}

int WindowMenu::insertPopup(HMENU target, UINT fType, const std::string& name, UINT item) {
    // One flat name space for the whole tree: a caption names at most one popup.
    if (popupMap.count(name)) return 0;
    HMENU popup = CreateMenu();
    popupMap[name] = popup;
    WString text = toWide(name);
    itemInfo.fMask = MIIM_SUBMENU | MIIM_TYPE;
    itemInfo.fType = fType;
    itemInfo.hSubMenu = popup;
    itemInfo.dwTypeData = text.data();
    InsertMenuItemW(target, item, FALSE, &itemInfo);
    itemInfo.dwTypeData = nullptr;
    return 0;
}

int WindowMenu::addPopup(UINT fType, const std::string& name, UINT item) {
    if (!handle) return -1;
    return insertPopup(handle, fType, name, item);
}

int WindowMenu::addSubPopup(const std::string& parentName, UINT fType, const std::string& name,
                            UINT item) {
    if (!handle) return -1;
    // A parent that was never added has no menu to insert into; refusing it keeps a
    // caller's typo from ending the program.
    auto parent = popupMap.find(parentName);
    if (parent == popupMap.end()) return -1;
    return insertPopup(parent->second, fType, name, item);
}

int WindowMenu::addItem(const std::string& parentName, UINT fType, const std::string& text,
                        UINT id) {
    if (!handle) return -1;
    auto parent = popupMap.find(parentName);
    if (parent == popupMap.end()) return -1;
    WString caption = toWide(text);
    itemInfo.fMask = MIIM_ID | MIIM_TYPE;
    itemInfo.fType = fType;
    itemInfo.hSubMenu = parent->second;
    itemInfo.wID = id;
    itemInfo.dwTypeData = caption.data();
    InsertMenuItemW(parent->second, id, FALSE, &itemInfo);
    itemInfo.dwTypeData = nullptr;
    return 0;
}

int WindowMenu::deleteItem(UINT item) {
    if (!handle) return -1;
    return DeleteMenu(handle, item, MF_BYCOMMAND) ? 0 : -1;
}

int WindowMenu::deleteSubItem(const std::string& parentName, UINT item) {
    if (!handle) return -1;
    auto parent = popupMap.find(parentName);
    if (parent == popupMap.end()) return -1;
    return DeleteMenu(parent->second, item, MF_BYCOMMAND) ? 0 : -1;
}

HMENU WindowMenu::getHandle() {
    return handle;
}
