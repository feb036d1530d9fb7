#!/usr/bin/env bash
# Builds, in build-windows/, marrowtone-VERSION-win32.zip (the 32-bit Windows programs,
# statically linked so they need nothing beside them, the examples and a short README) and
# marrowtone-VERSION-setup.exe, a setup program with the same content.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARROWTONE_WINDOWS_ONLY=ON >/dev/null
cmake --build build-windows -j "$JOBS" --target marrowtone marrowtone-render
(cd build-windows && cpack -G ZIP >/dev/null)
ls "$PWD"/build-windows/marrowtone-*-win32.zip

# The setup program packs the tree that installing the build writes.
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
NSIS=build-windows/nsis
rm -rf "$NSIS"
mkdir -p "$NSIS"
cmake --install build-windows --prefix "$NSIS/stage" --strip >/dev/null
cp data/icons/marrowtone.ico "$NSIS/marrowtone.ico"
(
    cd "$NSIS/stage"
    find . -type d ! -name . | sort | sed 's|^\./||; s|/|\\|g' >../dirs
    find . -type f | sort | sed 's|^\./||; s|/|\\|g' >../files
)
{
    while read -r f; do
        case $f in
        *\\*) printf 'SetOutPath "$INSTDIR\\%s"\n' "${f%\\*}" ;;
        *) printf 'SetOutPath "$INSTDIR"\n' ;;
        esac
        printf 'File "%s/%s"\n' "$ROOT/$NSIS/stage" "${f//\\//}"
    done <"$NSIS/files"
} >"$NSIS/install.nsh"
{
    while read -r f; do printf 'Delete "$INSTDIR\\%s"\n' "$f"; done <"$NSIS/files"
    # Deepest folders first, and only if nothing else was put in them.
    sort -r "$NSIS/dirs" | while read -r d; do printf 'RMDir "$INSTDIR\\%s"\n' "$d"; done
} >"$NSIS/remove.nsh"
makensis -V2 -DVERSION="$VERSION" -DSTAGE="$ROOT/$NSIS/stage" -DFILES="$ROOT/$NSIS/install.nsh" \
    -DREMOVE="$ROOT/$NSIS/remove.nsh" -DOUTFILE="$ROOT/build-windows/marrowtone-$VERSION-setup.exe" \
    data/windows/installer.nsi
ls "$PWD/build-windows/marrowtone-$VERSION-setup.exe"
