#!/usr/bin/env bash
# Installs development tools from the npm registry once into ~/.cache/tandrill and prints the
# folder they are in; nothing is downloaded at build time, only by the checks that need them.
# Usage: scripts/cached-npm-tool.sh NAME PACKAGE@VERSION…   (NAME: the folder below the cache)
# Exit status 77 (a CTest skip) when npm is not there to install them.
set -euo pipefail
name="$1"
shift
cache="${TANDRILL_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tandrill}"
home="$cache/$name"
if [[ ! -d "$home/node_modules" ]]; then
    command -v npm >/dev/null || { echo "cached-npm-tool: npm is not installed, so $name cannot be" >&2; exit 77; }
    mkdir -p "$cache"
    staging="$(mktemp -d "$cache/$name-install.XXXXXX")"
    trap 'rm -rf "$staging"' EXIT
    echo "Installing $* (npm) into $home" >&2
    npm install --prefix "$staging" --no-save --no-audit --no-fund --ignore-scripts --loglevel=error "$@" >&2
    rm -rf "$home"
    mv "$staging" "$home"
    trap - EXIT
fi
echo "$home"
