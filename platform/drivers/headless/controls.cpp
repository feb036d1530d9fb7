// The test controls that reach past the drivers into the window system and the DLLs: the
// reset of everything, and reading windows back.
#include "platform/comctl32/comctl32_private.h"
#include "platform/comdlg32/comdlg32_private.h"
#include "platform/drivers/headless/headless.h"
#include "platform/drivers/headless/headless_drivers.h"
#include "platform/gdi32/gdi32_private.h"
#include "platform/user32/user32_private.h"
#include "platform/winmm/winmm_private.h"

namespace platform {

void resetForTests() {
    detail::resetWindows();
    detail::resetMenus();
    detail::resetMessages();
    detail::resetGdi();
    detail::resetCursorIcons();
    detail::resetSysParams();
    detail::resetControls();
    detail::resetDialogs();
    headless::resetFileChooser();
    // The wave output is the other service that outlives windows; it starts afresh too.
    headless::resetAudio();
    headless::resetDisplayDriver();
}

namespace headless {

void resetAudio() {
    detail::closeAllWaveOuts();
    resetAudioDriver();
}

RECT windowRect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

RECT clientRect(HWND hwnd) {
    RECT r{};
    GetClientRect(hwnd, &r);
    return r;
}

bool visible(HWND hwnd) {
    return IsWindowVisible(hwnd) != FALSE;
}

std::vector<HWND> topLevelWindows() {
    std::vector<HWND> out;
    for (HWND h : detail::allWindows())
        if (IsWindow(h) && !(GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD)) out.push_back(h);
    return out;
}

} // namespace headless
} // namespace platform
