#include "controls/tool_bar_ex.h"

#include "controls/common_control.h"

ToolBarEx::ToolBarEx() {
    CommonControlEx();
}

int ToolBarEx::addStyle(DWORD bits) {
    style |= bits;
    return 0;
}

int ToolBarEx::create(HWND parent, int id, int bitmapCount, std::span<const TBBUTTON> buttons,
                      int buttonCount) {
    if (handle) return 0;
    if (buttonCount < 0 || static_cast<size_t>(buttonCount) > buttons.size()) return -1;
    handle = CreateToolbarEx(parent, style, static_cast<UINT>(id), bitmapCount, HINST_COMMCTRL,
                             IDB_STD_SMALL_COLOR, buttonCount > 0 ? buttons.data() : nullptr,
                             buttonCount, 0, 0, 0, 0, sizeof(TBBUTTON));
    return handle ? 0 : -1;
}

int ToolBarEx::addButtons(std::span<const TBBUTTON> buttons, TBADDBITMAP bitmap, int count) {
    if (!handle) return 0;
    if (count <= 0 || static_cast<size_t>(count) > buttons.size()) return -1;
    SendMessageW(handle, TB_ADDBITMAP, static_cast<WPARAM>(count),
                 reinterpret_cast<LPARAM>(&bitmap));
    SendMessageW(handle, TB_ADDBUTTONSW, static_cast<WPARAM>(count),
                 reinterpret_cast<LPARAM>(buttons.data()));
    SendMessageW(handle, TB_AUTOSIZE, 0, 0);
    return 0;
}

LRESULT ToolBarEx::sendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!handle) return 0;
    return SendMessageW(handle, message, wParam, lParam);
}
