#!/usr/bin/env bash
# Compiles Tandrill's macOS side here, without a Mac or Apple's SDK: every portable source in src/
# (all but the linux/ folders) for arm64 and x86-64 macOS 13.5 with the project's warning flags
# as errors, against the installed Qt headers; and the Objective-C++ (.mm) with ARC and
# unguarded-availability errors against the stand-in framework declarations in tests/macos/.
# A Linux-only call in portable code (statx, inotify, …) fails to compile. Text checks come first:
# a Linux-only path (/proc, /sys, /etc, /run, /dev/shm) or a Linux-only Qt module (QtDBus, which
# would resolve through the Linux Qt's include folder) in portable code, and a stand-in framework
# declaration without the availability attribute Apple's headers give it (without one, an API
# newer than 13.5 would pass -Werror=unguarded-availability unnoticed).
#
# The compiler is Zig's clang, which ships the Darwin libc and libc++ headers: installed once
# from npm into ~/.cache/tandrill (scripts/zig-toolchain.sh).
# Exit status 77 (a CTest skip) only when the toolchain cannot be had here (no npm).
#
# Usage: scripts/mac-compile-check.sh [--qt-headers DIR] [--jobs N] [--text-checks-only] [SOURCE…]
# With sources (paths below the repository root) only those are compiled.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
qt_headers="${QT_HEADERS:-}"
jobs="${TANDRILL_CHECK_JOBS:-2}"
only=()
text_only=false
while [[ $# -gt 0 ]]; do
    case "$1" in
    --qt-headers) qt_headers="$2"; shift 2 ;;
    --jobs) jobs="$2"; shift 2 ;;
    --text-checks-only) text_only=true; shift ;;
    -*) echo "usage: $0 [--qt-headers DIR] [--jobs N] [--text-checks-only] [SOURCE…]" >&2; exit 2 ;;
    *) only+=("$1"); shift ;;
    esac
done

skip() {
    echo "mac-compile-check skipped: $*"
    exit 77
}

# --- Linux-only paths in portable code -------------------------------------------------------
portable_sources() {
    (cd "$root" && find src -type f \( -name '*.cpp' -o -name '*.mm' -o -name '*.h' \) -not -path '*/linux/*' | sort)
}
if stray="$(cd "$root" && portable_sources | xargs grep -nE '"/(proc|sys|etc|run|dev/shm)(/|")' || true)" &&
    [[ -n "$stray" ]]; then
    echo "Linux-only paths in portable code (move them under a linux/ folder):" >&2
    echo "$stray" >&2
    exit 1
fi
if stray="$(cd "$root" && portable_sources | xargs grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(QtDBus|QDBus)' ||
    true)" && [[ -n "$stray" ]]; then
    echo "Linux-only Qt modules in portable code (move the code under a linux/ folder):" >&2
    echo "$stray" >&2
    exit 1
fi

# --- availability of the stand-in declarations -----------------------------------------------
# Classes, functions, constants and NS_ENUM/NS_OPTIONS types carry API_AVAILABLE (or
# API_UNAVAILABLE) as in Apple's headers; members inherit their class's. Plain typedefs and the
# old Apple Event codes carry none there either.
unannotated="$(cd "$root" && find tests/macos/sdk -name '*.h' | sort | xargs awk '
    FNR == 1 { inclass = 0; statement = "" }
    { sub(/[[:space:]]*\/\/.*/, "") }
    /^[[:space:]]*(\/\/|#|$)/ || /^extern "C"/ || /^}[[:space:]]*$/ { next }
    /@interface|@protocol/ {
        if ($0 !~ /API_(UN)?AVAILABLE/) print FILENAME ":" FNR ": " $0
        inclass = 1
        next
    }
    /@end/ { inclass = 0; next }
    inclass { next }
    { statement = statement " " $0; if (!start) start = FNR }
    /;[[:space:]]*$/ {
        annotated = statement ~ /API_(UN)?AVAILABLE/
        declared = statement ~ /NS_(ENUM|OPTIONS)\(/ || statement ~ /^[[:space:]]*extern[[:space:]]/ ||
                   (statement ~ /\(/ && statement !~ /^[[:space:]]*(typedef|enum)[[:space:]]/)
        if (declared && !annotated) print FILENAME ":" start ": " statement
        statement = ""; start = 0
    }')"
if [[ -n "$unannotated" ]]; then
    echo "Stand-in declarations without their availability attribute (tests/macos/README.md):" >&2
    echo "$unannotated" >&2
    exit 1
fi
[[ "$text_only" == false ]] || { echo "mac-compile-check: text checks passed"; exit 0; }

# --- the toolchain ---------------------------------------------------------------------------
zig_status=0
zig="$(bash "$root/scripts/zig-toolchain.sh")" || zig_status=$?
[[ $zig_status -eq 0 ]] || { [[ $zig_status -eq 77 ]] && skip "no Zig toolchain here"; exit 1; }
zig_lib="$(dirname "$zig")/lib"

if [[ -z "$qt_headers" ]]; then
    for qmake in qmake6 qmake; do
        if command -v "$qmake" >/dev/null; then
            qt_headers="$("$qmake" -query QT_INSTALL_HEADERS)"
            break
        fi
    done
fi
[[ -f "$qt_headers/QtCore/qglobal.h" ]] || { echo "Qt headers not found (give --qt-headers DIR)" >&2; exit 1; }

# --- flags: the project's own ----------------------------------------------------------------
read -r -a warnings <<<"$(sed -n '/^set(TANDRILL_WARNING_FLAGS/,/)/p' "$root/cmake/Warnings.cmake" |
    sed -e 's/set(TANDRILL_WARNING_FLAGS//' -e 's/)//' | tr -s '[:space:]' ' ')"
read -r -a qt_defines <<<"$(sed -n '/^add_compile_definitions(/,/)/p' "$root/CMakeLists.txt" |
    grep -oE '\bQT_[A-Z_]+\b' | sed 's/^/-D/' | tr '\n' ' ')"
[[ ${#warnings[@]} -gt 5 && ${#qt_defines[@]} -gt 2 ]] || { echo "could not read the project's flags" >&2; exit 1; }

common=(-nostdinc -nostdinc++ -std=c++20 -Werror -Werror=unguarded-availability
    "${warnings[@]}" "${qt_defines[@]}" -DTANDRILL_VERSION='"0.0.0"' -DTANDRILL_APPCAST_URL='""'
    -DTANDRILL_NETWORK_MODULE='"../PlugIns/libtandrill_network.so"'
    -D_LIBCPP_DISABLE_VISIBILITY_ANNOTATIONS -D_LIBCXXABI_DISABLE_VISIBILITY_ANNOTATIONS
    -D_LIBCPP_HAS_NO_VENDOR_AVAILABILITY_ANNOTATIONS -D_LIBCPP_ABI_VERSION=1 -D_LIBCPP_ABI_NAMESPACE=__1
    -isystem "$zig_lib/libcxx/include" -isystem "$zig_lib/libcxxabi/include" -isystem "$zig_lib/include")
# Project headers as the CMake targets export them: src/ and each library's own folder.
for dir in "$root"/src "$root"/src/*/; do
    [[ "$dir" == */linux/ ]] || common+=(-I "${dir%/}")
done
common+=(-isystem "$qt_headers")
for module in QtCore QtGui QtWidgets QtSvg QtNetwork; do
    common+=(-isystem "$qt_headers/$module")
done
# The stand-in framework declarations, after everything real.
common+=(-isystem "$root/tests/macos/sdk")

work="$(mktemp -d)"
# libplist's header is plain C and the same on every system: the installed one, alone in a folder
# of its own so that no other Linux header comes along.
plist_include="$(pkg-config --variable=includedir libplist-2.0 2>/dev/null || echo /usr/include)"
if [[ -f "$plist_include/plist/plist.h" ]]; then
    mkdir -p "$work/libplist"
    ln -s "$plist_include/plist" "$work/libplist/plist"
    common+=(-isystem "$work/libplist")
fi
trap 'rm -rf "$work"' EXIT
export zig zig_lib root work
export common_flags="$(printf '%q ' "${common[@]}")"
# compile_one ARCH FILE: FILE is a source, or "prefix" for the precompiled Qt headers of ARCH.
compile_one() {
    local arch="$1" file="$2" triple libc_arch language=() output
    case "$arch" in
    arm64) triple=arm64-apple-macosx13.5; libc_arch=aarch64-macos.13-none ;;
    x86_64) triple=x86_64-apple-macosx13.5; libc_arch=x86_64-macos.13-none ;;
    esac
    eval "local flags=($common_flags)"
    flags+=(-isystem "$zig_lib/libc/include/$libc_arch" -isystem "$zig_lib/libc/include/any-macos.13-any"
        -isystem "$zig_lib/libc/include/any-macos-any")
    if [[ "$file" == prefix ]]; then
        language=(-x c++-header "$work/prefix.h" -o "$work/$arch.pch")
    elif [[ "$file" == *.mm ]]; then
        language=(-fsyntax-only -x objective-c++ -fobjc-arc "$root/$file")
    else
        language=(-fsyntax-only -include-pch "$work/$arch.pch" -x c++ "$root/$file")
    fi
    if ! output="$("$zig" clang -target "$triple" "${flags[@]}" "${language[@]}" 2>&1)"; then
        printf '=== %s (%s)\n%s\n' "$file" "$arch" "$output"
        return 1
    fi
}
export -f compile_one

mapfile -t sources < <(portable_sources | grep -E '\.(cpp|mm)$')
[[ ${#only[@]} -eq 0 ]] || sources=("${only[@]}")
# The Qt headers the sources include, parsed once per architecture instead of once per file.
(cd "$root" && portable_sources | xargs grep -hoE '^#include <Q[A-Za-z]+>' | sort -u) >"$work/prefix.h"
echo "Compiling ${#sources[@]} portable and Objective-C++ sources for arm64 and x86_64 macOS 13.5 ($jobs at a time)"
printf 'arm64 prefix\nx86_64 prefix\n' | xargs -P "$jobs" -L 1 bash -c 'compile_one "$0" "$1"' || exit 1
status=0
for file in "${sources[@]}"; do
    printf 'arm64 %s\nx86_64 %s\n' "$file" "$file"
done | xargs -P "$jobs" -L 1 bash -c 'compile_one "$0" "$1"' || status=1
if [[ $status -ne 0 ]]; then
    echo "mac-compile-check: FAILED" >&2
    exit 1
fi
echo "mac-compile-check: all sources compile for macOS"
