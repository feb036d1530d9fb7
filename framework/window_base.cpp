#include "framework/window_base.h"

#include "framework/callback_error.h"
#include "framework/fatal.h"

#include <algorithm>
#include <vector>

std::map<HWND, WindowBase*> WindowBase::handleMap;
std::map<HWND, WNDPROC> WindowBase::originalProcMap;

WindowBase::WindowBase(const std::string& title) : title(title) {
    wc.cbSize = sizeof(WNDCLASSEXW);
    wc.lpfnWndProc = &WindowBase::classWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
}

WindowBase::~WindowBase() {
    if (!hwnd) return;
    auto object = handleMap.find(hwnd);
    // The handle may have been reused by a window that another object owns now.
    if (object == handleMap.end() || object->second != this) return;
    auto original = originalProcMap.find(hwnd);
    if (original != originalProcMap.end()) {
        const LONG_PTR current = GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
        if (current == reinterpret_cast<LONG_PTR>(&WindowBase::subclassWindowProc)) {
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original->second));
        }
        originalProcMap.erase(original);
    }
    handleMap.erase(object);
}

void WindowBase::setClassName(const std::string& name) {
    className = toWide(name);
    wc.lpszClassName = className.c_str();
}

int WindowBase::setWindowClass(WNDCLASSEXW windowClass) {
    wc = windowClass;
    return 0;
}

int WindowBase::registerClass() {
    return RegisterClassExW(&wc) != 0 ? 0 : -1;
}

int WindowBase::create(DWORD exStyle, DWORD style, int x, int y, int width, int height, HWND parent,
                       HMENU menuOrId) {
    if (created == 1) {
        menu = reinterpret_cast<UINT_PTR>(menuOrId);
        return 0;
    }
    hwnd = nullptr;
    const WString windowName = toWide(title);
    HWND made =
        CreateWindowExW(exStyle, wc.lpszClassName, windowName.c_str(), style, x, y, width, height,
                        parent, menuOrId, wc.hInstance, static_cast<WindowBase*>(this));
    if (!made) {
        // WM_CREATE may have tied a window to this object before creation was refused;
        // that window is gone, so the object must not keep pointing at it.
        if (hwnd) {
            auto entry = handleMap.find(hwnd);
            if (entry != handleMap.end() && entry->second == this) handleMap.erase(entry);
            hwnd = nullptr;
        }
        return -2;
    }
    if (!hwnd) hwnd = made;
    handleMap[hwnd] = this;
    originalProcMap[hwnd] = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(&WindowBase::subclassWindowProc));
    created = 1;
    menu = reinterpret_cast<UINT_PTR>(menuOrId);
    return 0;
}

HWND WindowBase::getHandle() {
    return hwnd;
}

HWND WindowBase::getParent() {
    return GetParent(hwnd);
}

HINSTANCE WindowBase::getInstance() {
    return wc.hInstance;
}

int WindowBase::setFont(HFONT font) {
    if (!hwnd) return -1;
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
    return 0;
}

int WindowBase::setText(const std::string& text) {
    const WString wide = toWide(text);
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str())) > 0 ? 1 : 0;
}

std::string WindowBase::getTextBytes() {
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) return {};
    std::vector<WCHAR> buffer(static_cast<size_t>(length) + 1, 0);
    const int copied = GetWindowTextW(hwnd, buffer.data(), length + 1);
    // The length is allowed to overstate the text; only what was copied is text.
    const size_t units = static_cast<size_t>(std::clamp(copied, 0, length));
    std::string bytes;
    bytes.reserve(units * 2);
    for (size_t k = 0; k < units; ++k) {
        const auto unit = static_cast<char16_t>(buffer[k]);
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

std::string WindowBase::getText() {
    const std::string bytes = getTextBytes();
    WString units;
    units.reserve(bytes.size() / 2);
    for (size_t k = 0; k + 1 < bytes.size(); k += 2) {
        const unsigned low = static_cast<unsigned char>(bytes[k]);
        const unsigned high = static_cast<unsigned char>(bytes[k + 1]);
        units.push_back(static_cast<WCHAR>(low | (high << 8)));
    }
    return toUtf8(units);
}

LRESULT WindowBase::onMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return windowProc(hwnd, message, wParam, lParam);
}

LRESULT WindowBase::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

int WindowBase::subclassProc(HWND, UINT, WPARAM, LPARAM) {
    return -1;
}

int WindowBase::onSubclassMessage(HWND, UINT, WPARAM, LPARAM) {
    return -1;
}

LRESULT CALLBACK WindowBase::classWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    return guardCallback(0, [&] { return routeClassMessage(hwnd, message, wParam, lParam); });
}

LRESULT CALLBACK WindowBase::subclassWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    return guardCallback(0, [&] { return routeSubclassMessage(hwnd, message, wParam, lParam); });
}

LRESULT WindowBase::routeClassMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        // A window of a framework class created by someone else carries no object.
        if (cs && cs->lpCreateParams) {
            auto* object = static_cast<WindowBase*>(cs->lpCreateParams);
            object->hwnd = hwnd;
            handleMap[hwnd] = object;
        }
    }
    auto entry = handleMap.find(hwnd);
    if (entry == handleMap.end()) return DefWindowProcW(hwnd, message, wParam, lParam);
    return entry->second->onMessage(hwnd, message, wParam, lParam);
}

LRESULT WindowBase::routeSubclassMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto original = originalProcMap.find(hwnd);
    if (original == originalProcMap.end()) return DefWindowProcW(hwnd, message, wParam, lParam);
    // Copied first: the hook may re-enter and add entries to the maps.
    const WNDPROC proc = original->second;
    auto object = handleMap.find(hwnd);
    if (object == handleMap.end()) fatalInternalError("subclassed window without its object");
    object->second->onSubclassMessage(hwnd, message, wParam, lParam);
    return CallWindowProcW(proc, hwnd, message, wParam, lParam);
}
