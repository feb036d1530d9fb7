// comdlg32's calls for the other parts of the platform layer; not for its users.
#pragma once

namespace platform::detail {

// Clearing everything between tests.
void resetDialogs();

} // namespace platform::detail
