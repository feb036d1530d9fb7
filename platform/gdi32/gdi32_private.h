// gdi32's calls for the other DLLs of the platform layer; not for its users.
#pragma once

#include "platform/win32.h"

namespace platform::detail {

// A brush that lives as long as the process, as the system-colour brushes do: DeleteObject
// accepts it and leaves it in place.
HBRUSH createSystemBrush(COLORREF color);

} // namespace platform::detail
