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

} // namespace platform::detail

using namespace platform::detail;

// Only the system's own icons and cursors exist: the program carries no resources. Each is
// made once and keeps its handle.
static HICON loadSystemImage(std::map<int, HICON>& loaded, bool (*exists)(int), HINSTANCE instance,
                             LPCWSTR name) {
    int id = IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<uintptr_t>(name)) : 0;
    if (instance || !exists(id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    HICON& image = loaded[id];
    if (!image) image = makeHandle<HICON>();
    return image;
}

HICON WINAPI LoadIconW(HINSTANCE instance, LPCWSTR name) {
    return loadSystemImage(cursorIcons().icons, standardIcon, instance, name);
}

HCURSOR WINAPI LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    return loadSystemImage(cursorIcons().cursors, standardCursor, instance, name);
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    HCURSOR old = cursorIcons().cursor;
    cursorIcons().cursor = cursor;
    return old;
}
