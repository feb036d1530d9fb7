// The records handed to the platform must have the layout the 32-bit x86 Windows API
// expects; a mismatch here would corrupt memory at run time, so it stops the build.
#include "platform/win32.h"

#include <cstddef>

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(WNDCLASSEXW) == 48);
static_assert(sizeof(MENUITEMINFOW) == 48);
// The SDK's ..._SIZE macros are not constant expressions; these are their definitions.
static_assert(offsetof(REBARBANDINFOW, cxHeader) + sizeof(UINT) == 80); // REBARBANDINFOW_V6_SIZE
static_assert(offsetof(TOOLINFOW, lpszText) + sizeof(LPWSTR) == 40);    // TTTOOLINFOW_V1_SIZE
static_assert(sizeof(TBBUTTON) == 20);
static_assert(sizeof(WAVEHDR) == 32);
static_assert(offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR) ==
              76); // OPENFILENAME_SIZE_VERSION_400W
static_assert(sizeof(INITCOMMONCONTROLSEX) == 8);
#endif
