#pragma once

// Ends the program after one line on standard error naming what failed. Used where the
// framework's own bookkeeping is broken and carrying on would only corrupt more state.
[[noreturn]] void fatalInternalError(const char* what);
