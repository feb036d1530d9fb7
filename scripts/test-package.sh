#!/usr/bin/env bash
# Checks what a user installs: the tree `make install` writes, the Debian package and the
# Windows archive. Run by `make test` after the native and Windows builds.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
WORK=$(mktemp -d /tmp/marrowtone-package.XXXXXX)
. scripts/wine-session.sh
cleanup() {
    local status=$?
    stop_wine_and_display "$WORK/wine"
    rm -rf "$WORK"
    exit "$status"
}
trap cleanup EXIT INT TERM

fail() { echo "test-package: FAILED: $*" >&2; exit 1; }
ok() { echo "test-package: ok: $*"; }

VERSION=$(build/marrowtone-render --version | awk '{print $2}')
[[ $VERSION =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "odd version '$VERSION'"
EXAMPLE=ode-to-joy.mml
build/marrowtone-render "examples/$EXAMPLE" - >"$WORK/native.raw"

# --- make install into a temporary prefix --------------------------------------------------
PREFIX=$WORK/prefix
cmake --install build --prefix "$PREFIX" >/dev/null
for f in bin/marrowtone bin/marrowtone-render share/applications/marrowtone.desktop \
    share/icons/hicolor/scalable/apps/marrowtone.svg share/icons/hicolor/48x48/apps/marrowtone.png \
    share/man/man1/marrowtone-render.1 "share/marrowtone/examples/$EXAMPLE"; do
    [[ -e $PREFIX/$f ]] || fail "make install did not write $f"
done
[[ $("$PREFIX/bin/marrowtone-render" --version) == "marrowtone-render $VERSION" ]] ||
    fail "installed marrowtone-render --version"
"$PREFIX/bin/marrowtone-render" "$PREFIX/share/marrowtone/examples/$EXAMPLE" - >"$WORK/installed.raw"
cmp -s "$WORK/native.raw" "$WORK/installed.raw" || fail "the installed tool renders differently"
desktop-file-validate "$PREFIX/share/applications/marrowtone.desktop" || fail "desktop entry"
MANPAGER=cat man -l "$PREFIX/share/man/man1/marrowtone-render.1" 2>/dev/null |
    grep -q 'render an MML score to a WAV file' || fail "the manual page does not render"
[[ $(file -b "$PREFIX/share/icons/hicolor/48x48/apps/marrowtone.png") == "PNG image data, 48 x 48"* ]] ||
    fail "the PNG icon is not 48 pixels"
# Installed, the player without a display points to the renderer by its command name.
status=0
env -u DISPLAY -u WAYLAND_DISPLAY "$PREFIX/bin/marrowtone" 2>"$WORK/no-display.err" </dev/null \
    >/dev/null || status=$?
[[ $status -eq 1 && $(wc -l <"$WORK/no-display.err") -eq 1 ]] ||
    fail "installed player without a display: status $status, $(cat "$WORK/no-display.err")"
grep -q 'use marrowtone-render$' "$WORK/no-display.err" ||
    fail "installed player names the renderer wrongly: $(cat "$WORK/no-display.err")"
scripts/uninstall.sh build/install_manifest.txt >/dev/null
left=$(find "$PREFIX" -type f | wc -l)
[[ $left -eq 0 ]] || fail "make uninstall left $left files: $(find "$PREFIX" -type f)"
ok "install into a prefix, run from there, uninstall"

# --- the Debian package ----------------------------------------------------------------------
(cd build && cpack -G DEB >/dev/null)
DEB=$(ls build/marrowtone_"$VERSION"_*.deb)
[[ $(basename "$DEB") == "marrowtone_${VERSION}_amd64.deb" ]] || fail "package name $(basename "$DEB")"
dpkg-deb -c "$DEB" >"$WORK/contents"
for f in ./usr/bin/marrowtone ./usr/bin/marrowtone-render ./usr/share/applications/marrowtone.desktop \
    ./usr/share/man/man1/marrowtone-render.1 ./usr/share/icons/hicolor/48x48/apps/marrowtone.png \
    "./usr/share/marrowtone/examples/$EXAMPLE"; do
    grep -q " $f\$" "$WORK/contents" || fail "the package lacks $f"
done
DEPENDS=$(dpkg-deb -f "$DEB" Depends)
for lib in libqt6widgets6 libpulse0 libqt6gui6 libqt6core6 libstdc++6 libc6 qt6-wayland; do
    grep -q "$lib" <<<"$DEPENDS" || fail "Depends lacks $lib: $DEPENDS"
done
# The sound talks to the server itself: no Qt Multimedia.
grep -q libqt6multimedia <<<"$DEPENDS" && fail "Depends still has Qt Multimedia: $DEPENDS"
[[ $(dpkg-deb -f "$DEB" Version) == "$VERSION" ]] || fail "package version"
ok "package $(basename "$DEB"), Depends: $DEPENDS"

# Installed and removed again by dpkg, in a root of its own.
R=$WORK/root
mkdir -p "$R/var/lib/dpkg/info" "$R/var/lib/dpkg/updates" "$R/var/lib/dpkg/triggers" "$R/var/log"
touch "$R/var/lib/dpkg/status" "$R/var/lib/dpkg/available"
dpkg --root="$R" --force-depends --force-not-root -i "$DEB" >"$WORK/dpkg.log" 2>&1 ||
    { cat "$WORK/dpkg.log"; fail "dpkg -i"; }
[[ -x $R/usr/bin/marrowtone-render ]] || fail "dpkg did not install the tool"
"$R/usr/bin/marrowtone-render" --version >/dev/null || fail "the packaged tool does not run"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY "$R/usr/bin/marrowtone" 2>"$WORK/no-display.err" </dev/null \
    >/dev/null || status=$?
[[ $status -eq 1 ]] && grep -q 'use marrowtone-render$' "$WORK/no-display.err" ||
    fail "packaged player without a display: status $status, $(cat "$WORK/no-display.err")"
dpkg --root="$R" --force-depends --force-not-root -r marrowtone >>"$WORK/dpkg.log" 2>&1 ||
    { cat "$WORK/dpkg.log"; fail "dpkg -r"; }
left=$({ find "$R/usr" -type f 2>/dev/null || true; } | wc -l)
[[ $left -eq 0 ]] || fail "dpkg -r left files: $(find "$R/usr" -type f)"
ok "dpkg installs and removes it, leaving nothing behind"

# --- the Windows archive ---------------------------------------------------------------------
ZIP=build-windows/marrowtone-$VERSION-win32.zip
[[ -f $ZIP ]] || fail "$ZIP is missing (make package-windows)"
mkdir -p "$WORK/zip"
(cd "$WORK/zip" && cmake -E tar xf "$ROOT/$ZIP")
TOP=$WORK/zip/marrowtone-$VERSION-win32
for f in marrowtone.exe marrowtone-render.exe README.txt "examples/$EXAMPLE"; do
    [[ -f $TOP/$f ]] || fail "the archive lacks $f"
done
for exe in marrowtone.exe marrowtone-render.exe; do
    [[ $(file -b "$TOP/$exe") == "PE32 executable"*"Intel 80386"* ]] || fail "$exe is not 32-bit x86"
    # Only system DLLs: the MinGW runtime is linked in.
    if objdump -p "$TOP/$exe" | grep -i 'DLL Name' | grep -qiE 'libstdc|libgcc|libwinpthread'; then
        fail "$exe needs MinGW runtime DLLs"
    fi
done
export WINEPREFIX=$WORK/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if can_run_32bit_wine; then
    RENDER=$TOP/marrowtone-render.exe
    WINE=wine
    what="the archive's marrowtone-render.exe"
else
    # 32-bit Wine cannot start here: the same sources built for 64-bit Windows
    # stand in, so the Windows code path is still checked against the native tool.
    cmake -S . -B build-windows64 -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARROWTONE_WINDOWS_ONLY=ON >/dev/null
    cmake --build build-windows64 --target marrowtone-render >/dev/null
    RENDER=$ROOT/build-windows64/marrowtone-render.exe
    WINE=/usr/lib/wine/wine64
    export WINELOADER=$WINE
    what="marrowtone-render.exe built for 64-bit Windows (32-bit Wine cannot start here)"
fi
timeout 300 "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
cp "$TOP/examples/$EXAMPLE" "$WORK/song.mml"
(cd "$WORK" && timeout 120 "$WINE" "$RENDER" song.mml song.wav </dev/null >/dev/null 2>&1) ||
    fail "$what failed under Wine"
tail -c +45 "$WORK/song.wav" >"$WORK/windows.raw"
cmp -s "$WORK/native.raw" "$WORK/windows.raw" || fail "$what renders differently from the native tool"
ok "$(basename "$ZIP"): 32-bit static programs, examples, README; $what renders the same bytes"

# --- the Windows setup program -----------------------------------------------------------------
SETUP=build-windows/marrowtone-$VERSION-setup.exe
[[ -f $SETUP ]] || fail "$SETUP is missing (make package-windows)"
[[ $(file -b "$SETUP") == "PE32 executable"* ]] || fail "the setup program is not a Windows program"
if [[ $WINE != wine ]]; then
    echo "test-package: skipped: the setup program is 32-bit and 32-bit Wine cannot start here"
    exit 0
fi
# The installed player shows its window on a display of our own.
start_private_display "$WORK" || fail "Xvfb did not start"
# The Wine session above started without a display: begin a new one that has it.
timeout 30 wineserver -k >/dev/null 2>&1 || true
timeout 30 wineserver -w >/dev/null 2>&1 || true

# Waits up to $2 seconds for the command $1 to succeed.
wait_until() {
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        eval "$1" && return 0
        sleep 0.1
    done
    return 1
}
unix_path() { "$WINE" winepath -u "$1" 2>/dev/null | tr -d '\r'; }

for mode in CurrentUser AllUsers; do
    (cd "$WORK" && timeout 120 "$WINE" "$ROOT/$SETUP" /S "/$mode" </dev/null >/dev/null 2>&1) ||
        fail "the setup program failed (/$mode)"
    if [[ $mode == CurrentUser ]]; then hive=HKCU; else hive=HKLM; fi
    key="$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Marrowtone"
    location=$("$WINE" reg query "$key" /v InstallLocation 2>/dev/null | tr -d '\r' |
        sed -n 's/.*REG_SZ[[:space:]]*//p')
    [[ -n $location ]] || fail "no uninstall entry in $hive (/$mode)"
    INSTALLED=$(unix_path "$location")
    for f in marrowtone.exe marrowtone-render.exe README.txt uninstall.exe "examples/$EXAMPLE"; do
        [[ -f $INSTALLED/$f ]] || fail "the setup program did not install $f (/$mode)"
    done
    if [[ $mode == CurrentUser ]]; then menu='%APPDATA%'; else menu='%ProgramData%'; fi
    menu=$(unix_path "$("$WINE" cmd /c echo "$menu" | tr -d '\r')\\Microsoft\\Windows\\Start Menu\\Programs")
    [[ -f $menu/Marrowtone.lnk ]] || fail "no Start-menu entry in $menu (/$mode)"

    # The installed player starts, shows its window and ends through WM_CLOSE with 0.
    (cd "$WORK" && exec "$WINE" "$INSTALLED/marrowtone.exe" </dev/null >"$WORK/player.out" 2>&1) &
    player=$!
    wait_until 'xdotool search --onlyvisible --name "^Marrowtone\$" >/dev/null 2>&1' 60 ||
        fail "the installed player showed no window (/$mode)"
    "$WINE" taskkill /im marrowtone.exe >/dev/null 2>&1 || fail "taskkill"
    wait "$player" || fail "the installed player ended with status $? (/$mode)"

    # The uninstaller runs from a copy of itself, so wait for what it removes to be gone.
    (cd "$WORK" && timeout 120 "$WINE" "$INSTALLED/uninstall.exe" /S "/$mode" </dev/null >/dev/null 2>&1) ||
        fail "the uninstaller failed (/$mode)"
    wait_until '[[ ! -e $INSTALLED && ! -e $menu/Marrowtone.lnk ]]' 60 ||
        fail "the uninstaller left $(find "$INSTALLED" "$menu/Marrowtone.lnk" 2>/dev/null | head -5) (/$mode)"
    wait_until '! "$WINE" reg query "$key" >/dev/null 2>&1' 30 ||
        fail "the uninstaller left the uninstall entry (/$mode)"
    ok "setup /$mode installs into $location with a Start-menu entry, the player starts, the uninstaller removes everything"
done
