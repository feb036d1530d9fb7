// System parameters: metrics of the screen and the frame, the system colours and their
// brushes.
#include "platform/gdi32/gdi32_private.h"
#include "platform/user32/user32_private.h"

#include <map>

namespace platform::detail {

namespace {

// A light classic scheme, the colours a freshly installed Windows would report.
const COLORREF kSysColors[] = {
    RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219),
    RGB(240, 240, 240), RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),
    RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(180, 180, 180), RGB(244, 247, 252),
    RGB(171, 171, 171), RGB(0, 120, 215),   RGB(255, 255, 255), RGB(240, 240, 240),
    RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(0, 0, 0),
    RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),
    RGB(255, 255, 225), RGB(0, 0, 0),       RGB(0, 102, 204),   RGB(185, 209, 234),
    RGB(215, 228, 242), RGB(0, 120, 215),   RGB(240, 240, 240),
};
constexpr int kSysColorCount = sizeof kSysColors / sizeof kSysColors[0];

std::map<int, HBRUSH>& sysBrushes() {
    static std::map<int, HBRUSH> brushes;
    return brushes;
}

} // namespace

} // namespace platform::detail

using namespace platform::detail;

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
        return kScreenWidth;
    case SM_CYSCREEN:
        return kScreenHeight;
    case SM_CYCAPTION:
        return kCaption;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return kDialogFrame;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return kThickFrame;
    case SM_CYMENU:
        return kMenuBar;
    case SM_CYSMCAPTION:
        return kSmallCaption;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return kEdge;
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CXSIZE:
    case SM_CYSIZE:
        return 18;
    case SM_CXMINTRACK:
        return 112;
    case SM_CYMINTRACK:
        return 27;
    case SM_CXMAXTRACK:
        return kScreenWidth + 2 * kThickFrame;
    case SM_CYMAXTRACK:
        return kScreenHeight + 2 * kThickFrame;
    default:
        return 0;
    }
}

DWORD WINAPI GetSysColor(int index) {
    return index >= 0 && index < kSysColorCount ? kSysColors[index] : 0;
}

HBRUSH WINAPI GetSysColorBrush(int index) {
    if (index < 0 || index >= kSysColorCount) return nullptr;
    HBRUSH& brush = sysBrushes()[index];
    if (!brush) brush = createSystemBrush(kSysColors[index]);
    return brush;
}
