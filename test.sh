#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UBSan, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh test
if [[ ! -f build/CMakeCache.txt ]] || ! grep -q '^TANDRILL_SANITIZE:BOOL=ON' build/CMakeCache.txt; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTANDRILL_SANITIZE=ON
fi
cmake --build build
cd build
# On a Mac only the tests that use no system service of their own ("portable"): the others end
# Dock processes and apply Dock preferences through the system, which there is the user's own.
labels=()
[[ "$(uname -s)" == "Darwin" ]] && labels=(-L portable)
# getconf, not nproc: macOS has no nproc.
ctest --output-on-failure --timeout 300 -j "$(getconf _NPROCESSORS_ONLN)" ${labels[@]+"${labels[@]}"} "$@"
