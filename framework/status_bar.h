#pragma once

#include "platform/win32.h"

#include <string>

// The platform's status-bar control. It places itself along its parent's bottom edge
// whenever it receives WM_SIZE, so nothing here ever moves it.
class StatusBar {
public:
    StatusBar();
    StatusBar(const StatusBar&) = delete;
    StatusBar& operator=(const StatusBar&) = delete;
    virtual ~StatusBar() = default;

    virtual int addStyle(DWORD bits);
    virtual int create(HWND parent, const std::string& text);
    virtual int setText(const std::string& text);
    virtual HWND getHandle();

protected:
    HWND handle = nullptr;
    DWORD style = WS_CHILD | WS_VISIBLE;
};
