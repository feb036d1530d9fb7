#include "controls/common_control.h"

#include <cstdio>

bool CommonControl::initialised = false;

CommonControl::CommonControl() {
    if (initialised) return;
    InitCommonControls();
    initialised = true;
}

CommonControlEx::CommonControlEx() : CommonControlEx(0) {}

CommonControlEx::CommonControlEx(DWORD icc) {
    init.dwSize = sizeof(INITCOMMONCONTROLSEX);
    init.dwICC = icc;
    InitCommonControlsEx(&init);
    std::fputs("exec InitCommonControlsEx()\n", stdout);
    std::fflush(stdout);
}
