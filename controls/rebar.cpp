#include "controls/rebar.h"

#include "controls/common_control.h"
#include "controls/tool_bar_ex.h"

namespace {

// The rebar's classes must exist before the window object below is even set up.
const std::string& withBarClasses(const std::string& title) {
    CommonControlEx(ICC_BAR_CLASSES | ICC_COOL_CLASSES);
    return title;
}

} // namespace

Rebar::Rebar(const std::string& title) : WindowObject(withBarClasses(title)) {
    setClassName("ReBarWindow32");
    setExStyle(WS_EX_TOOLWINDOW);
    setStyle(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER | WS_DLGFRAME |
             RBS_BANDBORDERS | RBS_VARHEIGHT | CCS_NODIVIDER | CCS_NOPARENTALIGN);
    bandTemplate.cbSize = REBARBANDINFOW_V6_SIZE;
    bandTemplate.fMask =
        RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_BACKGROUND;
    bandTemplate.fStyle = 0;
    bandTemplate.hwndChild = nullptr;
    bandTemplate.cxMinChild = 64;
    bandTemplate.cyMinChild = 25;
    bandTemplate.cx = 64;
    bandTemplate.hbmBack = nullptr;
}

int Rebar::setBandInfo(REBARBANDINFOW band) {
    bandTemplate = band;
    bandTemplate.cbSize = REBARBANDINFOW_V6_SIZE;
    return 0;
}

int Rebar::appendBand(HWND child) {
    REBARBANDINFOW band = bandTemplate;
    band.hwndChild = child;
    SendMessageW(getHandle(), RB_INSERTBANDW, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(&band));
    return 0;
}

int Rebar::insertBand(ToolBarEx* control) {
    return appendBand(control ? control->getHandle() : nullptr);
}

int Rebar::insertBand(WindowObject* control) {
    return appendBand(control ? control->getHandle() : nullptr);
}
