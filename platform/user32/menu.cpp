// Menus: bars and popups, their items and the lookup by command or position.
#include "platform/user32/user32_private.h"

#include <functional>
#include <map>

namespace platform::detail {

namespace {

struct MenuItem {
    UINT type = MFT_STRING;
    UINT state = 0;
    UINT id = 0;
    HMENU sub = nullptr;
    std::u16string text;
    ULONG_PTR data = 0;
    HBITMAP bitmap = nullptr;
    HBITMAP checked = nullptr;
    HBITMAP unchecked = nullptr;
};

struct Menu {
    bool popup = false;
    std::vector<MenuItem> items;
};

std::map<uintptr_t, Menu>& menus() {
    static std::map<uintptr_t, Menu> m;
    return m;
}

Menu* findMenu(HMENU menu) {
    auto it = menus().find(handleKey(menu));
    return it == menus().end() ? nullptr : &it->second;
}

Menu* menuOrError(HMENU menu) {
    Menu* m = findMenu(menu);
    if (!m) SetLastError(ERROR_INVALID_MENU_HANDLE);
    return m;
}

struct Location {
    HMENU menu = nullptr;
    size_t index = 0;
};

// By command the search goes into popups depth first; a popup whose own identifier matches
// is taken only when no plain item anywhere below it does, as Windows does.
bool locate(HMENU menu, UINT item, UINT flags, Location& where, int depth = 0) {
    Menu* m = findMenu(menu);
    if (!m || depth > 64) return false;
    if (flags & MF_BYPOSITION) {
        if (item >= m->items.size()) return false;
        where = {menu, item};
        return true;
    }
    bool fallback = false;
    size_t fallbackIndex = 0;
    for (size_t i = 0; i < m->items.size(); i++) {
        const MenuItem& it = m->items[i];
        if (it.sub) {
            if (locate(it.sub, item, flags, where, depth + 1)) return true;
            if (it.id == item && !fallback) fallback = true, fallbackIndex = i;
        } else if (it.id == item) {
            where = {menu, i};
            return true;
        }
    }
    if (fallback) where = {menu, fallbackIndex};
    return fallback;
}

MenuItem* itemAt(const Location& where) {
    return &findMenu(where.menu)->items[where.index];
}

bool validInfoSize(UINT size) {
    return size == sizeof(MENUITEMINFOW) || size == CCSIZEOF_STRUCT(MENUITEMINFOW, cch);
}

// Applies the members named by fMask; false for a record Windows would refuse.
bool applyInfo(MenuItem& item, const MENUITEMINFOW* info) {
    UINT mask = info->fMask;
    if ((mask & MIIM_TYPE) && (mask & (MIIM_FTYPE | MIIM_STRING | MIIM_BITMAP))) return false;
    if (mask & MIIM_SUBMENU) {
        if (info->hSubMenu && !findMenu(info->hSubMenu)) return false;
    }
    if (mask & MIIM_TYPE) {
        item.type = info->fType;
        if (info->fType & MFT_BITMAP) {
            item.bitmap = reinterpret_cast<HBITMAP>(info->dwTypeData);
            item.text.clear();
        } else if (info->fType & (MFT_SEPARATOR | MFT_OWNERDRAW)) {
            item.text.clear();
        } else {
            item.text = copyString(info->dwTypeData);
        }
    }
    if (mask & MIIM_FTYPE) item.type = (item.type & MFT_BITMAP) | (info->fType & ~MFT_BITMAP);
    if (mask & MIIM_STRING) item.text = copyString(info->dwTypeData);
    if ((mask & MIIM_BITMAP) && info->cbSize == sizeof(MENUITEMINFOW)) item.bitmap = info->hbmpItem;
    if (mask & MIIM_STATE) item.state = info->fState;
    if (mask & MIIM_ID) item.id = info->wID;
    if (mask & MIIM_SUBMENU) {
        item.sub = info->hSubMenu;
        if (Menu* sub = findMenu(item.sub)) sub->popup = true;
    }
    if (mask & MIIM_DATA) item.data = info->dwItemData;
    if (mask & MIIM_CHECKMARKS) {
        item.checked = info->hbmpChecked;
        item.unchecked = info->hbmpUnchecked;
    }
    return true;
}

MenuItem itemFromFlags(UINT flags, UINT_PTR id, LPCWSTR text) {
    MenuItem item;
    item.state = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE | MF_DEFAULT);
    item.type = flags & (MF_MENUBARBREAK | MF_MENUBREAK | MF_RIGHTJUSTIFY | MFT_RADIOCHECK);
    if (flags & MF_POPUP) {
        item.sub = reinterpret_cast<HMENU>(id);
        item.id = static_cast<UINT>(id);
    } else {
        item.id = static_cast<UINT>(id);
    }
    if (flags & MF_SEPARATOR) {
        item.type |= MFT_SEPARATOR;
    } else if (flags & MF_BITMAP) {
        item.type |= MFT_BITMAP;
        item.bitmap = reinterpret_cast<HBITMAP>(const_cast<LPWSTR>(text));
    } else if (flags & MF_OWNERDRAW) {
        item.type |= MFT_OWNERDRAW;
    } else {
        item.text = copyString(text);
    }
    return item;
}

bool insertItem(HMENU menu, UINT position, bool byPosition, MenuItem item) {
    Menu* m = menuOrError(menu);
    if (!m) return false;
    if (item.sub && (!findMenu(item.sub) || menuTreeContains(item.sub, menu))) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return false;
    }
    if (Menu* sub = findMenu(item.sub)) sub->popup = true;
    HMENU target = menu;
    size_t index = m->items.size();
    if (byPosition) {
        if (position < m->items.size()) index = position;
    } else {
        // An identifier that is nowhere in the menu appends.
        Location where;
        if (locate(menu, position, MF_BYCOMMAND, where)) {
            target = where.menu;
            index = where.index;
        }
    }
    auto& items = findMenu(target)->items;
    items.insert(items.begin() + static_cast<ptrdiff_t>(index), std::move(item));
    notifyMenuChanged(target);
    return true;
}

bool removeItem(HMENU menu, UINT position, UINT flags, bool destroySub) {
    if (!menuOrError(menu)) return false;
    Location where;
    if (!locate(menu, position, flags, where)) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return false;
    }
    auto& items = findMenu(where.menu)->items;
    HMENU sub = items[where.index].sub;
    items.erase(items.begin() + static_cast<ptrdiff_t>(where.index));
    notifyMenuChanged(where.menu);
    if (destroySub && sub) DestroyMenu(sub);
    return true;
}

} // namespace

bool menuTreeContains(HMENU root, HMENU menu) {
    // Menus are kept free of cycles, but the depth is bounded all the same.
    std::function<bool(HMENU, int)> search = [&](HMENU at, int depth) {
        if (at == menu) return true;
        Menu* m = findMenu(at);
        if (!m || depth > 64) return false;
        for (const MenuItem& item : m->items)
            if (item.sub && search(item.sub, depth + 1)) return true;
        return false;
    };
    return search(root, 0);
}

void notifyMenuChanged(HMENU menu) {
    std::vector<HWND> affected;
    for (auto& [key, w] : registry().windows)
        if (hasMenuBar(w.get()) && menuTreeContains(w->menu, menu)) affected.push_back(w->handle);
    for (HWND hwnd : affected)
        displayDriver().menuChanged(hwnd);
}

void forgetMenu(HMENU menu) {
    for (auto& [key, w] : registry().windows)
        if (!(w->style & WS_CHILD) && w->menu == menu) w->menu = nullptr;
}

} // namespace platform::detail

using namespace platform::detail;

HMENU WINAPI CreateMenu(void) {
    // The same per-process quota as for windows.
    if (menus().size() >= 10000) {
        SetLastError(1816 /*ERROR_NOT_ENOUGH_QUOTA*/);
        return nullptr;
    }
    HMENU menu = makeHandle<HMENU>();
    menus()[handleKey(menu)] = Menu{};
    return menu;
}

HMENU WINAPI CreatePopupMenu(void) {
    HMENU menu = CreateMenu();
    if (menu) menus()[handleKey(menu)].popup = true;
    return menu;
}

BOOL WINAPI DestroyMenu(HMENU menu) {
    Menu* m = menuOrError(menu);
    if (!m) return FALSE;
    std::vector<HMENU> subs;
    for (const MenuItem& item : m->items)
        if (item.sub) subs.push_back(item.sub);
    menus().erase(handleKey(menu));
    forgetMenu(menu);
    for (HMENU sub : subs)
        if (findMenu(sub)) DestroyMenu(sub);
    return TRUE;
}

BOOL WINAPI IsMenu(HMENU menu) {
    return findMenu(menu) != nullptr;
}

BOOL WINAPI InsertMenuItemW(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info) {
    if (!info || !validInfoSize(info->cbSize)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MenuItem newItem;
    if (!applyInfo(newItem, info)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return insertItem(menu, item, byPosition != FALSE, std::move(newItem));
}

// Checks a MENUITEMINFOW call's record and menu and finds the item it addresses; sets the
// error Windows reports when that fails.
static bool locateForInfo(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW* info,
                          Location& where) {
    if (!info || !validInfoSize(info->cbSize)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!menuOrError(menu)) return false;
    if (!locate(menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND, where)) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return false;
    }
    return true;
}

BOOL WINAPI SetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info) {
    Location where;
    if (!locateForInfo(menu, item, byPosition, info, where)) return FALSE;
    MenuItem changed = *itemAt(where);
    // A menu cannot become a popup of itself, however deep.
    if ((info->fMask & MIIM_SUBMENU) && info->hSubMenu &&
        menuTreeContains(info->hSubMenu, where.menu)) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    if (!applyInfo(changed, info)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *itemAt(where) = std::move(changed);
    notifyMenuChanged(where.menu);
    return TRUE;
}

BOOL WINAPI GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOW info) {
    Location where;
    if (!locateForInfo(menu, item, byPosition, info, where)) return FALSE;
    const MenuItem& it = *itemAt(where);
    UINT mask = info->fMask;
    if (mask & (MIIM_TYPE | MIIM_FTYPE)) info->fType = it.type;
    if (mask & MIIM_STATE) info->fState = it.state;
    if (mask & MIIM_ID) info->wID = it.id;
    if (mask & MIIM_SUBMENU) info->hSubMenu = it.sub;
    if (mask & MIIM_DATA) info->dwItemData = it.data;
    if (mask & MIIM_CHECKMARKS) {
        info->hbmpChecked = it.checked;
        info->hbmpUnchecked = it.unchecked;
    }
    if ((mask & MIIM_BITMAP) && info->cbSize == sizeof(MENUITEMINFOW)) info->hbmpItem = it.bitmap;
    bool textual = !(it.type & (MFT_BITMAP | MFT_SEPARATOR | MFT_OWNERDRAW));
    if ((mask & MIIM_STRING) || ((mask & MIIM_TYPE) && textual)) {
        if (!textual) {
            info->cch = 0;
        } else if (!info->dwTypeData || info->cch == 0) {
            info->cch = static_cast<UINT>(it.text.size());
        } else {
            info->cch = static_cast<UINT>(
                copyToBuffer(it.text, info->dwTypeData, static_cast<int>(info->cch)));
        }
    } else if ((mask & MIIM_TYPE) && (it.type & MFT_BITMAP)) {
        info->dwTypeData = reinterpret_cast<LPWSTR>(it.bitmap);
    }
    return TRUE;
}

BOOL WINAPI AppendMenuW(HMENU menu, UINT flags, UINT_PTR idNewItem, LPCWSTR newItem) {
    return insertItem(menu, ~0u, true, itemFromFlags(flags, idNewItem, newItem));
}

BOOL WINAPI InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem,
                        LPCWSTR newItem) {
    bool byPosition = (flags & MF_BYPOSITION) || position == ~0u;
    return insertItem(menu, position, byPosition, itemFromFlags(flags, idNewItem, newItem));
}

BOOL WINAPI DeleteMenu(HMENU menu, UINT position, UINT flags) {
    return removeItem(menu, position, flags, true);
}

BOOL WINAPI RemoveMenu(HMENU menu, UINT position, UINT flags) {
    return removeItem(menu, position, flags, false);
}

int WINAPI GetMenuItemCount(HMENU menu) {
    Menu* m = menuOrError(menu);
    return m ? static_cast<int>(m->items.size()) : -1;
}

UINT WINAPI GetMenuItemID(HMENU menu, int pos) {
    Menu* m = menuOrError(menu);
    if (!m || pos < 0 || static_cast<size_t>(pos) >= m->items.size()) return ~0u;
    const MenuItem& item = m->items[static_cast<size_t>(pos)];
    return item.sub ? ~0u : item.id;
}

HMENU WINAPI GetSubMenu(HMENU menu, int pos) {
    Menu* m = menuOrError(menu);
    if (!m || pos < 0 || static_cast<size_t>(pos) >= m->items.size()) return nullptr;
    return m->items[static_cast<size_t>(pos)].sub;
}

int WINAPI GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int maxCount, UINT flags) {
    if (!menuOrError(menu)) return 0;
    Location where;
    if (!locate(menu, item, flags, where)) return 0;
    const std::u16string& text = itemAt(where)->text;
    if (!buffer) return static_cast<int>(text.size());
    return copyToBuffer(text, buffer, maxCount);
}

UINT WINAPI GetMenuState(HMENU menu, UINT item, UINT flags) {
    if (!menuOrError(menu)) return ~0u;
    Location where;
    if (!locate(menu, item, flags, where)) return ~0u;
    const MenuItem& it = *itemAt(where);
    UINT state = it.state | it.type;
    if (it.sub) {
        Menu* sub = findMenu(it.sub);
        state |= MF_POPUP | (static_cast<UINT>(sub ? sub->items.size() : 0) << 8);
    }
    return state;
}

BOOL WINAPI EnableMenuItem(HMENU menu, UINT item, UINT enable) {
    if (!menuOrError(menu)) return -1;
    Location where;
    if (!locate(menu, item, enable & MF_BYPOSITION, where)) return -1;
    MenuItem* it = itemAt(where);
    UINT old = it->state & (MF_GRAYED | MF_DISABLED);
    it->state = (it->state & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
    notifyMenuChanged(where.menu);
    return static_cast<BOOL>(old);
}

DWORD WINAPI CheckMenuItem(HMENU menu, UINT item, UINT check) {
    if (!menuOrError(menu)) return ~0u;
    Location where;
    if (!locate(menu, item, check & MF_BYPOSITION, where)) return ~0u;
    MenuItem* it = itemAt(where);
    DWORD old = it->state & MF_CHECKED;
    it->state = (it->state & ~MF_CHECKED) | (check & MF_CHECKED);
    notifyMenuChanged(where.menu);
    return old;
}

// The menu bar of a window.

BOOL WINAPI SetMenu(HWND hwnd, HMENU menu) {
    Window* w = windowOrError(hwnd);
    if (!w) return FALSE;
    if (w->style & WS_CHILD) {
        SetLastError(ERROR_CHILD_WINDOW_MENU);
        return FALSE;
    }
    if (menu && !IsMenu(menu)) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    w->menu = menu;
    displayDriver().menuChanged(hwnd);
    // The menu bar is part of the frame, so the client area changes size.
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return TRUE;
}

HMENU WINAPI GetMenu(HWND hwnd) {
    Window* w = windowOrError(hwnd);
    return w && !(w->style & WS_CHILD) ? w->menu : nullptr;
}

BOOL WINAPI DrawMenuBar(HWND hwnd) {
    Window* w = windowOrError(hwnd);
    if (!w) return FALSE;
    displayDriver().menuChanged(hwnd);
    return TRUE;
}
