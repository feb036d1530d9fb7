#pragma once

#include "framework/text.h"
#include "platform/win32.h"

#include <cstdint>
#include <string>

// One tooltip window with exactly one tool: the whole client area of its owner.
class ToolTip {
public:
    ToolTip();
    ToolTip(const ToolTip&) = delete;
    ToolTip& operator=(const ToolTip&) = delete;
    virtual ~ToolTip() = default;

    virtual int setText(const std::string& text);
    virtual int create(HWND owner);
    virtual int addTool();
    virtual int updateToolRect();

protected:
    HWND handle = nullptr;
    DWORD style = TTS_ALWAYSTIP;
    TOOLINFOW tool{};
    WString tipText;

    static std::uint32_t toolCounter;

private:
    // The text as last handed to the tooltip; tool.lpszText points here, so a later
    // setText cannot leave the record pointing at freed memory.
    WString registeredText;
};
