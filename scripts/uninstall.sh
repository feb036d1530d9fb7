#!/bin/sh
# Removes the files listed in an install manifest, then the folders of ours that this
# leaves empty. Nothing else is touched.
set -eu
manifest=${1:-build/install_manifest.txt}
if [ ! -f "$manifest" ]; then
    echo "Nothing to uninstall: $manifest is missing (run make install first)." >&2
    exit 1
fi
while IFS= read -r file || [ -n "$file" ]; do
    [ -n "$file" ] || continue
    if [ -e "$file" ] || [ -L "$file" ]; then
        rm -f "$file"
        echo "removed $file"
    fi
done <"$manifest"
# Our own folders only, and only when empty.
while IFS= read -r file || [ -n "$file" ]; do
    case "$file" in
    */share/marrowtone/*)
        rmdir "$(dirname "$file")" 2>/dev/null || true
        rmdir "${file%%/share/marrowtone/*}/share/marrowtone" 2>/dev/null || true
        ;;
    esac
done <"$manifest"
