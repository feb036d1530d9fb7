#!/bin/sh
# Installs the Debian packages listed in scripts/packages.txt that are missing.
# Quiet and quick when everything is already there, so every make target can call it.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
list="$here/packages.txt"

missing=""
need_i386=no
for pkg in $(grep -v '^#' "$list" | grep -v '^[[:space:]]*$'); do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        missing="$missing $pkg"
        case "$pkg" in *:i386) need_i386=yes ;; esac
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
echo "Installing missing packages:$missing"
if [ "$need_i386" = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror caught mid-sync fails one index now and then; the lists it did fetch (or had)
# still serve, and the install below says plainly if a package cannot be found.
$sudo apt-get update -qq || echo "Some package lists could not be refreshed; going on with those there are."
native=""
foreign=""
for pkg in $missing; do
    case "$pkg" in *:i386) foreign="$foreign $pkg" ;; *) native="$native $pkg" ;; esac
done
# shellcheck disable=SC2086
[ -z "$native" ] || $sudo apt-get install -y -qq --no-install-recommends $native
# 32-bit Wine only widens what the Windows suites run on (they fall back to the 64-bit
# build under wine64), so when the i386 lists do not match the native ones it is not fatal.
# shellcheck disable=SC2086
if [ -n "$foreign" ] && ! $sudo apt-get install -y -qq --no-install-recommends $foreign; then
    echo "Could not install$foreign: the Windows suites will run the 64-bit build under wine64."
fi
