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
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing
