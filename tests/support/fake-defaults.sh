#!/bin/sh
# Stands in for macOS's `defaults export|import DOMAIN -` and the preferences daemon behind it,
# for one home: fake-defaults.sh HOME export|import DOMAIN -
# Like the daemon it keeps its own copy of the settings and serves that, writes the file only
# later (at its next request), and then writes its copy over whatever was put in the file
# behind its back.
# A test can make it refuse every import (a file "DOMAIN.refuse" in its state folder) or keep
# something else than what was imported ("DOMAIN.merged": the result of a merge, or of a profile
# that locks keys, as the test worked it out).
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
