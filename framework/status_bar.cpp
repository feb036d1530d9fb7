#include "framework/status_bar.h"

#include "controls/common_control.h"
#include "framework/text.h"

StatusBar::StatusBar() {
    CommonControl();
}

int StatusBar::addStyle(DWORD bits) {
    style |= bits;
    return 0;
}

int StatusBar::create(HWND parent, const std::string& text) {
    if (handle) return 0;
    const WString wide = toWide(text);
    handle = CreateStatusWindowW(static_cast<LONG>(style), wide.c_str(), parent, 1);
    return handle ? 0 : -1;
}

int StatusBar::setText(const std::string& text) {
    if (!handle) return 0;
    const WString wide = toWide(text);
    return static_cast<int>(
        SendMessageW(handle, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(wide.c_str())));
}

HWND StatusBar::getHandle() {
    return handle;
}
