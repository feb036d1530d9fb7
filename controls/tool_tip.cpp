#include "controls/tool_tip.h"

#include "controls/common_control.h"

std::uint32_t ToolTip::toolCounter = 0;

ToolTip::ToolTip() {
    CommonControl();
    tool.cbSize = TTTOOLINFOW_V1_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = nullptr;
    tool.uId = toolCounter++;
    tool.hinst = nullptr;
    tool.lpszText = registeredText.data();
    tool.lParam = 0;
}

int ToolTip::setText(const std::string& text) {
    tipText = toWide(text);
    return 0;
}

int ToolTip::create(HWND owner) {
    if (handle) return 0;
    const WString className = toWide("tooltips_class32");
    handle = CreateWindowExW(0, className.c_str(), nullptr, style, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    if (!handle) return -1;
    tool.hwnd = owner;
    return 0;
}

int ToolTip::addTool() {
    if (!handle) return -1;
    GetClientRect(tool.hwnd, &tool.rect);
    registeredText = tipText;
    tool.lpszText = registeredText.data();
    SendMessageW(handle, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    return 0;
}

int ToolTip::updateToolRect() {
    if (!handle) return -1;
    GetClientRect(tool.hwnd, &tool.rect);
    SendMessageW(handle, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    return 0;
}
