// Window classes: registration and lookup by name or atom.
#include "platform/user32/user32_private.h"

#include <algorithm>

namespace platform::detail {

namespace {

// The most extra bytes a class may ask for each of its windows.
constexpr int kMaxWindowExtra = 40 * 1024;

} // namespace

std::shared_ptr<WindowClass> findClass(LPCWSTR name) {
    if (!name) return nullptr;
    auto& classes = registry().classes;
    if (IS_INTRESOURCE(name)) {
        ATOM atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
        for (auto& c : classes)
            if (c->atom == atom) return c;
        return nullptr;
    }
    std::u16string key = foldCase(copyString(name));
    for (auto& c : classes)
        if (c->key == key) return c;
    return nullptr;
}

} // namespace platform::detail

using namespace platform::detail;

ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* wc) {
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXW) || !wc->lpszClassName || wc->cbClsExtra < 0 ||
        wc->cbWndExtra < 0 || wc->cbWndExtra > kMaxWindowExtra) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!IS_INTRESOURCE(wc->lpszClassName) && wc->lpszClassName[0] == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (IS_INTRESOURCE(wc->lpszClassName) || findClass(wc->lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto& reg = registry();
    auto cls = std::make_shared<WindowClass>();
    cls->name = copyString(wc->lpszClassName);
    cls->key = foldCase(cls->name);
    cls->atom = reg.nextAtom++;
    cls->wc = *wc;
    cls->wc.lpszClassName = nullptr; // the caller's storage may go away
    cls->wc.lpszMenuName = nullptr;
    reg.classes.push_back(cls);
    return cls->atom;
}

ATOM WINAPI RegisterClassW(const WNDCLASSW* wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXW ex{sizeof(WNDCLASSEXW), wc->style,        wc->lpfnWndProc,   wc->cbClsExtra,
                   wc->cbWndExtra,      wc->hInstance,    wc->hIcon,         wc->hCursor,
                   wc->hbrBackground,   wc->lpszMenuName, wc->lpszClassName, nullptr};
    return RegisterClassExW(&ex);
}

BOOL WINAPI UnregisterClassW(LPCWSTR className, HINSTANCE) {
    auto cls = findClass(className);
    if (!cls) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (cls->windows > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    auto& classes = registry().classes;
    classes.erase(std::remove(classes.begin(), classes.end(), cls), classes.end());
    return TRUE;
}

BOOL WINAPI GetClassInfoExW(HINSTANCE, LPCWSTR className, WNDCLASSEXW* wc) {
    auto cls = findClass(className);
    if (!cls || !wc) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    *wc = cls->wc;
    wc->lpszClassName = className;
    return cls->atom;
}

int WINAPI GetClassNameW(HWND hwnd, LPWSTR buffer, int maxCount) {
    Window* w = windowOrError(hwnd);
    if (!w) return 0;
    return copyToBuffer(w->cls->name, buffer, maxCount);
}
