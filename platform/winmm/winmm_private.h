// winmm's calls for the other parts of the platform layer; not for its users.
#pragma once

namespace platform::detail {

// Closes every wave output handle without notifications, and without touching the headers
// still queued, which may be gone: a test starts afresh.
void closeAllWaveOuts();

} // namespace platform::detail
