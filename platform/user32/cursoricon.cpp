// Icons and cursors: the system's own, loaded by their identifiers.
#include "platform/user32/user32_private.h"

#include <map>

namespace platform::detail {

namespace {

struct CursorIcons {
    std::map<int, HICON> icons;
    std::map<int, HCURSOR> cursors;
    HCURSOR cursor = nullptr;
};

CursorIcons& cursorIcons() {
    static CursorIcons c;
    return c;
}

bool standardIcon(int id) {
    return id >= 32512 && id <= 32518;
}
bool standardCursor(int id) {
    return (id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651);
}

} // namespace

void resetCursorIcons() {
    cursorIcons() = CursorIcons{};
}

} // namespace platform::detail

using namespace platform::detail;

HICON WINAPI LoadIconW(HINSTANCE instance, LPCWSTR name) {
    int id = IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<uintptr_t>(name)) : 0;
    // Only the system's own icons exist: the program carries no resources.
    if (instance || !standardIcon(id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    HICON& icon = cursorIcons().icons[id];
    if (!icon) icon = makeHandle<HICON>();
    return icon;
}

HCURSOR WINAPI LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    int id = IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<uintptr_t>(name)) : 0;
    if (instance || !standardCursor(id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    HCURSOR& cursor = cursorIcons().cursors[id];
    if (!cursor) cursor = makeHandle<HCURSOR>();
    return cursor;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    HCURSOR old = cursorIcons().cursor;
    cursorIcons().cursor = cursor;
    return old;
}
