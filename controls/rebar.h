#pragma once

#include "framework/window_object.h"

class ToolBarEx;

// The platform's rebar control as a child window object; every band is a copy of
// bandTemplate holding one control's window.
class Rebar : public WindowObject {
public:
    explicit Rebar(const std::string& title);

    virtual int setBandInfo(REBARBANDINFOW band);
    virtual int insertBand(ToolBarEx* control);
    virtual int insertBand(WindowObject* control);

protected:
    int appendBand(HWND child);

    REBARBANDINFOW bandTemplate{};
};
