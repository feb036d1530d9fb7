// The library itself: registering the controls' classes, the creation helpers, and what
// the controls share.
#include "platform/comctl32/comctl32_private.h"
#include "platform/user32/user32_private.h"

namespace platform::detail {

namespace {

bool classesRegistered = false;

void registerControl(LPCWSTR name, WNDPROC proc, HCURSOR cursor) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_GLOBALCLASS | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = sizeof(void*);
    wc.hCursor = cursor;
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

} // namespace

void queryNotifyFormat(HWND hwnd) {
    if (HWND parent = GetParent(hwnd))
        SendMessageW(parent, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(hwnd), NF_QUERY);
}

int frameHeight(HWND hwnd) {
    constexpr LONG kProbe = 10000;
    RECT r{0, 0, kProbe, kProbe};
    SendMessageW(hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&r));
    return std::max<LONG>(0, kProbe - height(r));
}

void registerCommonControlClasses() {
    if (classesRegistered) return;
    classesRegistered = true;
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    registerControl(STATUSCLASSNAMEW, statusProc, arrow);
    registerControl(TOOLBARCLASSNAMEW, toolbarProc, arrow);
    registerControl(REBARCLASSNAMEW, rebarProc, arrow);
    registerControl(TOOLTIPS_CLASSW, tooltipProc, arrow);
}

} // namespace platform::detail

using namespace platform::detail;

void WINAPI InitCommonControls(void) {
    registerCommonControlClasses();
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc) {
    if (!icc || icc->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
    registerCommonControlClasses();
    return TRUE;
}

HWND WINAPI CreateStatusWindowW(LONG style, LPCWSTR text, HWND parent, UINT id) {
    registerCommonControlClasses();
    return CreateWindowExW(0, STATUSCLASSNAMEW, text, static_cast<DWORD>(style), -100, -100, 10, 10,
                           parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr,
                           nullptr);
}

HWND WINAPI CreateToolbarEx(HWND parent, DWORD style, UINT id, int bitmapCount,
                            HINSTANCE bitmapInstance, UINT_PTR bitmapId, LPCTBBUTTON buttons,
                            int buttonCount, int dxButton, int dyButton, int dxBitmap, int dyBitmap,
                            UINT structSize) {
    registerCommonControlClasses();
    if (buttonCount < 0 || (buttonCount > 0 && !buttons)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HWND hwnd =
        CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, style | WS_CHILD, 0, 0, 100, 30, parent,
                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
    if (!hwnd) return nullptr;
    SendMessageW(hwnd, TB_BUTTONSTRUCTSIZE, structSize, 0);
    if (dxBitmap > 0 && dyBitmap > 0)
        SendMessageW(hwnd, TB_SETBITMAPSIZE, 0, MAKELPARAM(dxBitmap, dyBitmap));
    if (dxButton > 0 && dyButton > 0)
        SendMessageW(hwnd, TB_SETBUTTONSIZE, 0, MAKELPARAM(dxButton, dyButton));
    if (bitmapCount > 0) {
        TBADDBITMAP add{bitmapInstance, bitmapId};
        SendMessageW(hwnd, TB_ADDBITMAP, static_cast<WPARAM>(bitmapCount),
                     reinterpret_cast<LPARAM>(&add));
    }
    if (buttonCount > 0)
        SendMessageW(hwnd, TB_ADDBUTTONSW, static_cast<WPARAM>(buttonCount),
                     reinterpret_cast<LPARAM>(buttons));
    SendMessageW(hwnd, TB_AUTOSIZE, 0, 0);
    return hwnd;
}
