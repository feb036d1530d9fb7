#include "framework/fatal.h"

#include <cstdio>
#include <cstdlib>

void fatalInternalError(const char* what) {
    std::fprintf(stderr, "Fatal internal error: %s\n", what);
    std::fflush(stderr);
    std::abort();
}
