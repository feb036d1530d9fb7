#pragma once

#include "platform/win32.h"

#include <span>

// The platform's toolbar control with its standard small colour images.
class ToolBarEx {
public:
    ToolBarEx();
    ToolBarEx(const ToolBarEx&) = delete;
    ToolBarEx& operator=(const ToolBarEx&) = delete;
    virtual ~ToolBarEx() = default;

    virtual int addStyle(DWORD bits);
    // Reads the first buttonCount entries of buttons; a count the array cannot supply
    // is refused with -1 rather than read past its end.
    virtual int create(HWND parent, int id, int bitmapCount, std::span<const TBBUTTON> buttons,
                       int buttonCount);
    // Refuses an empty or short array with -1: the messages need at least one button.
    virtual int addButtons(std::span<const TBBUTTON> buttons, TBADDBITMAP bitmap, int count);
    virtual LRESULT sendMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // The toolbar window, for a rebar band to host.
    HWND getHandle() const { return handle; }

protected:
    HWND handle = nullptr;
    DWORD style = WS_CHILD | WS_VISIBLE;
};
