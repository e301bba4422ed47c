#!/usr/bin/env bash
# Checks that an app bundle carries what it loads and runs on the oldest macOS it is built for.
# Lists every Mach-O file in the bundle (executables, libraries, frameworks, plug-ins, in every
# architecture) with its minimum macOS, and fails on
#   - a library loaded from outside the bundle and the system (/opt/homebrew, /usr/local, a build
#     folder): only @rpath, @executable_path, @loader_path, /usr/lib and /System/Library are found
#     on another Mac;
#   - a run-path search folder outside the bundle (an absolute LC_RPATH);
#   - a minimum macOS above the one the app targets.
# Runs with the bash 3.2 of macOS. Reads load commands with otool on a Mac, llvm-otool or llvm-objdump --macho elsewhere (Debian:
# the llvm package).
#
# Usage: scripts/check-bundle.sh [--min-macos VERSION] BUNDLE      (VERSION: 13.5)
set -euo pipefail

minimum=13.5
if [[ "${1:-}" == --min-macos ]]; then
    minimum="$2"
    shift 2
fi
[[ $# -eq 1 && -d "$1" ]] || { echo "usage: $0 [--min-macos VERSION] BUNDLE" >&2; exit 2; }
bundle="${1%/}"

if command -v otool >/dev/null; then
    load_commands=(otool -arch all -l)
elif command -v llvm-otool >/dev/null; then
    load_commands=(llvm-otool -arch all -l)
else
    objdump="$(command -v llvm-objdump || compgen -c llvm-objdump- | sort -V | tail -n 1 || true)"
    [[ -n "$objdump" ]] || { echo "check-bundle: neither otool nor llvm-objdump is installed" >&2; exit 2; }
    load_commands=("$objdump" --macho --private-headers --arch=all)
fi

is_macho() {
    case "$(od -An -tx1 -N4 "$1" 2>/dev/null | tr -d ' \n')" in
    cffaedfe | cefaedfe | feedfacf | feedface | cafebabe | bebafeca) return 0 ;;
    *) return 1 ;;
    esac
}

# The version a at most b, by their dotted numbers.
not_above() {
    [[ "$(printf '%s\n%s\n' "$1" "$2" | sort -t. -k1,1n -k2,2n -k3,3n | head -n 1)" == "$1" ]]
}

files=0
problems=0
while IFS= read -r -d '' file; do
    is_macho "$file" || continue
    files=$((files + 1))
    shown="${file#"$bundle"/}"
    # One line per finding: "load PATH", "rpath PATH", "minos VERSION".
    findings="$("${load_commands[@]}" "$file" | awk '
        /^ *cmd / { cmd = $2 }
        cmd ~ /^LC_(LOAD|LOAD_WEAK|REEXPORT|LAZY_LOAD|LOAD_UPWARD)_DYLIB$/ && $1 == "name" { print "load " $2 }
        cmd == "LC_RPATH" && $1 == "path" { print "rpath " $2 }
        cmd == "LC_BUILD_VERSION" && $1 == "minos" { print "minos " $2 }
        cmd == "LC_VERSION_MIN_MACOSX" && $1 == "version" { print "minos " $2 }')"
    reasons=()
    versions=()
    while read -r kind value; do
        case "$kind" in
        load)
            case "$value" in
            @rpath/* | @executable_path/* | @loader_path/* | /usr/lib/* | /System/Library/*) ;;
            *) reasons+=("loads $value, outside the bundle and the system") ;;
            esac
            ;;
        rpath)
            case "$value" in
            @executable_path/* | @executable_path | @loader_path/* | @loader_path | /usr/lib/*) ;;
            *) reasons+=("searches $value for libraries, outside the bundle") ;;
            esac
            ;;
        minos)
            versions+=("$value")
            not_above "$value" "$minimum" || reasons+=("needs macOS $value, newer than $minimum")
            ;;
        esac
    done <<<"$findings"
    if [[ ${#versions[@]} -eq 0 ]]; then
        reasons+=("states no minimum macOS")
    fi
    if [[ ${#reasons[@]} -eq 0 ]]; then
        echo "ok    $shown (macOS $(printf '%s\n' "${versions[@]}" | sort -u | paste -sd/ -))"
    else
        problems=$((problems + 1))
        for reason in "${reasons[@]}"; do
            echo "FAIL  $shown: $reason"
        done
    fi
done < <(find "$bundle" -type f -print0 | sort -z)

echo "check-bundle: $files Mach-O files, $problems with problems"
[[ $files -gt 0 ]] || { echo "check-bundle: no Mach-O file in $bundle" >&2; exit 1; }
[[ $problems -eq 0 ]]
