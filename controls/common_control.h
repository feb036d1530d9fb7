#pragma once

#include "platform/win32.h"

// Constructing one registers the common-control classes with InitCommonControls, once
// per process: later constructions do nothing.
class CommonControl {
public:
    CommonControl();

protected:
    static bool initialised;
};

// Constructing one registers the named groups of control classes, every time, and says
// so on standard output.
class CommonControlEx {
public:
    CommonControlEx();
    explicit CommonControlEx(DWORD icc);

protected:
    INITCOMMONCONTROLSEX init{};
};
