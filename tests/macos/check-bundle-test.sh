#!/usr/bin/env bash
# scripts/check-bundle.sh on real Mach-O files: an app loading its own framework by @rpath passes; a
# tool loading Homebrew's libplist and a plug-in built for macOS 14 fail, and nothing else.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
zig="$(bash "$root/scripts/zig-toolchain.sh")" || exit $? # 77: skipped
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

printf 'int shared_value(void) { return 7; }\n' >lib.c
printf 'int shared_value(void);\nint main(void) { return shared_value(); }\n' >uses-lib.c
printf 'int plugin_value(void) { return 1; }\n' >plugin.c
app="$work/Tandrill.app/Contents"
mkdir -p "$app/MacOS" "$app/Frameworks" "$app/PlugIns"
"$zig" cc -target aarch64-macos.13.5 -shared -o "$app/Frameworks/libQtStandIn.dylib" lib.c \
    -Wl,-install_name,@rpath/libQtStandIn.dylib
"$zig" cc -target aarch64-macos.13.5 -o "$app/MacOS/Tandrill" uses-lib.c "$app/Frameworks/libQtStandIn.dylib" \
    -Wl,-rpath,@executable_path/../Frameworks
"$zig" cc -target aarch64-macos.13.5 -shared -o libplist-2.0.4.dylib lib.c \
    -Wl,-install_name,/opt/homebrew/opt/libplist/lib/libplist-2.0.4.dylib
"$zig" cc -target aarch64-macos.13.5 -o "$app/MacOS/tandrill-cli" uses-lib.c libplist-2.0.4.dylib
"$zig" cc -target x86_64-macos.14.0 -shared -o "$app/PlugIns/libtandrill_network.dylib" plugin.c
printf '<plist/>\n' >"$app/Info.plist"

output="$(bash "$root/scripts/check-bundle.sh" "$work/Tandrill.app")" && status=0 || status=$?
echo "$output"
failures="$(grep '^FAIL' <<<"$output" | sort)"
expected="FAIL  Contents/MacOS/tandrill-cli: loads /opt/homebrew/opt/libplist/lib/libplist-2.0.4.dylib, outside the bundle and the system
FAIL  Contents/PlugIns/libtandrill_network.dylib: needs macOS 14.0, newer than 13.5"
if [[ $status -ne 1 || "$failures" != "$expected" ]] || ! grep -q '^check-bundle: 4 Mach-O files, 2 with problems' <<<"$output"; then
    echo "check-bundle-test: expected exactly these failures:" >&2
    echo "$expected" >&2
    exit 1
fi
echo "check-bundle-test: the two planted faults and nothing else"
