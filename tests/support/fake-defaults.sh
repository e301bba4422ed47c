#!/bin/sh
# macOS's `defaults export|import DOMAIN -` and the caching daemon behind it, for one home:
# fake-defaults.sh HOME export|import DOMAIN -. It serves its own copy, writes the file only at its
# next request, over whatever was put there behind its back. "DOMAIN.refuse" in its state folder
# refuses every import; "DOMAIN.merged" is kept instead of what was imported (a merge, a profile).
set -eu
home=$1
command=$2
domain=$3
file="$home/Library/Preferences/$domain.plist"
state="$home/.fake-preferences-daemon"
cache="$state/$domain.plist"
mkdir -p "$state" "$home/Library/Preferences"

if [ -f "$state/$domain.unwritten" ]; then
    cp "$cache" "$file.daemon" && mv "$file.daemon" "$file"
    rm -f "$state/$domain.unwritten"
fi
if [ ! -f "$cache" ] && [ -f "$file" ]; then
    cp "$file" "$cache"
fi

case "$command" in
export)
    [ -f "$cache" ] || { echo "Domain $domain does not exist" >&2; exit 1; }
    cat "$cache"
    ;;
import)
    cat > "$cache.new"
    [ -s "$cache.new" ] || { rm -f "$cache.new"; echo "Could not import empty data" >&2; exit 1; }
    if [ -f "$state/$domain.refuse" ]; then
        rm -f "$cache.new"
        echo "Could not write domain $domain; exiting" >&2
        exit 1
    fi
    [ -f "$state/$domain.merged" ] && cp "$state/$domain.merged" "$cache.new"
    mv "$cache.new" "$cache"
    : > "$state/$domain.unwritten"
    ;;
*)
    echo "unknown command $command" >&2
    exit 64
    ;;
esac
