// What a display driver reads back from the common controls to show them: the texts of a
// status bar and of the tool a tooltip shows.
#pragma once

#ifndef _WIN32

#include "platform/win32.h"

#include <string>

namespace platform::comctl {

// The text a status bar shows in a part; SB_SIMPLEID asks for the simple-mode text.
// Accepts the status bar itself or a window that has one among its children.
std::string statusText(HWND statusBarOrParent, int part = SB_SIMPLEID);
// The text of the tool a tooltip currently shows, empty when it shows none.
std::string tooltipShownText(HWND tooltip);

} // namespace platform::comctl

#endif // _WIN32
