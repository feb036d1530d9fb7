#!/usr/bin/env bash
# Builds marrowtone-VERSION-win32.zip: the 32-bit Windows programs (statically linked, so
# they need nothing beside them), the examples and a short README.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARROWTONE_WINDOWS_ONLY=ON >/dev/null
cmake --build build-windows -j "$JOBS" --target marrowtone marrowtone-render
(cd build-windows && cpack -G ZIP >/dev/null)
ls build-windows/marrowtone-*-win32.zip
