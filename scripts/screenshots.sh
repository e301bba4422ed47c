#!/usr/bin/env bash
# Renders the first-run wizard (with its join step), the Dashboard, Log and Settings tabs, the pull
# confirmation, the backups and the tray menu, in German and English (the Dock views also in dark
# appearance), from a realistic sync folder, into docs/screenshots/. Under Xvfb when it is installed
# (scripts/deps.sh test), otherwise with Qt's offscreen platform.
#
# Usage: scripts/screenshots.sh [--build-dir DIR] [OUTDIR]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
out="$root/docs/screenshots"
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build-dir) build="$2"; shift 2 ;;
        -h|--help) sed -n '2,6p' "$0"; exit 0 ;;
        *) out="$1"; shift ;;
    esac
done

"$root/scripts/deps.sh" build
if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target tandrill_screenshots
tool="$build/bin/tandrill_screenshots"
mkdir -p "$out"

# Sanitizer builds report the leaks of the platform libraries at exit; they do not matter here.
export ASAN_OPTIONS="detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
if command -v xvfb-run >/dev/null; then
    xvfb-run -a -s "-screen 0 1920x1600x24" "$tool" "$out"
else
    QT_QPA_PLATFORM=offscreen "$tool" "$out"
fi
