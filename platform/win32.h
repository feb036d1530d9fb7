// The one header through which the program reaches the Windows services.
//
// On Windows it is the SDK. Everywhere else it declares our own implementation of the
// subset the program calls, with the SDK's names, types, record layouts and values, so the
// same source builds and behaves the same on both. The declarations sit in platform/include/,
// one header per SDK header, as the DLLs that implement them sit in platform/<dll>/.
#pragma once

#ifdef _WIN32

// windows.h comes first: the others build on its types.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>

#else

#include "platform/include/windef.h"

#include "platform/include/winbase.h"
#include "platform/include/wingdi.h"
#include "platform/include/winuser.h"

#include "platform/include/commctrl.h"
#include "platform/include/commdlg.h"
#include "platform/include/mmsystem.h"

#endif // _WIN32
