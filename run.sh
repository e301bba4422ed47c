#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts Tandrill.
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh build
[[ -f build/CMakeCache.txt ]] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build

if [[ -d build/bin/Tandrill.app ]]; then
    exec build/bin/Tandrill.app/Contents/MacOS/Tandrill "$@"
fi
if [[ -x build/bin/tandrill ]]; then
    # The session's Dock, kept running as launchd keeps a Mac's; it ends with Tandrill.
    if [[ -x build/bin/tandrill-dock ]] && ! pgrep -x -u "$(id -u)" Dock > /dev/null 2>&1; then
        build/bin/tandrill-dock --with-parent &
    fi
    exec build/bin/tandrill "$@"
fi
if [[ $# -eq 0 ]]; then
    exec build/bin/tandrill-cli --help
fi
exec build/bin/tandrill-cli "$@"
