#!/usr/bin/env bash
# Builds Tandrill.app for release on a Mac and packs it into a disk image:
# Release build; the app, its command-line tool and its network plug-in deployed together
# (macdeployqt copies Qt's frameworks and every other non-system library, libplist among them,
# into the bundle and points their install names at @rpath/@executable_path); the bundle checked
# (scripts/check-bundle.sh: nothing loaded from outside the bundle and the system, nothing that
# needs a macOS above 13.5); signed; then one DMG named by its architecture.
#
#   scripts/package-macos.sh                 # ad-hoc signature (runs on this Mac; Gatekeeper warns elsewhere)
#   TANDRILL_CODESIGN_IDENTITY="Developer ID Application: Name (TEAMID)" scripts/package-macos.sh
#
# Other settings: TANDRILL_PACKAGE_BUILD_DIR (default build-release), TANDRILL_ARCHITECTURES
# (default: this Mac's; "arm64;x86_64" for a universal app, which needs a universal Qt), and
# CMAKE_PREFIX_PATH for the Qt and libplist to use. Homebrew's builds run only on the macOS they
# were built for: the bundle check refuses them when that is newer than 13.5 (README).
set -euo pipefail
cd "$(dirname "$0")/.."

[[ "$(uname -s)" == "Darwin" ]] || { echo "package-macos.sh runs on macOS only" >&2; exit 1; }

build="${TANDRILL_PACKAGE_BUILD_DIR:-build-release}"
identity="${TANDRILL_CODESIGN_IDENTITY:--}"
architectures="${TANDRILL_ARCHITECTURES:-$(uname -m)}"

if [[ -z "${CMAKE_PREFIX_PATH:-}" ]] && command -v brew >/dev/null; then
    export CMAKE_PREFIX_PATH="$(brew --prefix qt)"
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTANDRILL_BUILD_TESTS=OFF \
    -DCMAKE_OSX_ARCHITECTURES="$architectures"
cmake --build "$build" --target tandrill tandrill-cli

app="$build/bin/Tandrill.app"
version="$(/usr/libexec/PlistBuddy -c 'Print :CFBundleShortVersionString' "$app/Contents/Info.plist")"
case "$architectures" in
*";"*) arch_name=universal ;;
*) arch_name="$architectures" ;;
esac

macdeployqt="$(command -v macdeployqt || true)"
if [[ -z "$macdeployqt" && -n "${CMAKE_PREFIX_PATH:-}" ]]; then
    macdeployqt="${CMAKE_PREFIX_PATH%%;*}/bin/macdeployqt"
fi
[[ -x "$macdeployqt" ]] || { echo "macdeployqt not found (put Qt's bin/ on PATH)" >&2; exit 1; }
# The command-line tool travels inside the bundle and uses the same frameworks and libplist. The
# updater's network module (Contents/PlugIns) is loaded on the first update check; it brings
# QtNetwork, which the executable itself does not link. macdeployqt deploys and fixes all three.
cp "$build/bin/tandrill-cli" "$app/Contents/MacOS/tandrill-cli"
"$macdeployqt" "$app" -always-overwrite -executable="$app/Contents/MacOS/tandrill-cli" \
    -executable="$app/Contents/PlugIns/libtandrill_network.so"

# Refused before anything is signed: a library from Homebrew or a build folder, or a part that
# needs a newer macOS than the app's 13.5.
scripts/check-bundle.sh "$app"

sign=(codesign --force --timestamp=none --sign "$identity")
if [[ "$identity" != "-" ]]; then
    sign=(codesign --force --timestamp --options runtime --sign "$identity")
fi
# Inside out: frameworks and plug-ins first, then the tool, then the bundle itself.
find "$app/Contents/Frameworks" "$app/Contents/PlugIns" -type f \( -name '*.dylib' -o -perm -u+x \) \
    -not -path '*/Headers/*' -print0 2>/dev/null | xargs -0 -n 1 "${sign[@]}" >/dev/null 2>&1 || true
find "$app/Contents/Frameworks" -maxdepth 1 -name '*.framework' -print0 | xargs -0 -n 1 "${sign[@]}"
"${sign[@]}" "$app/Contents/MacOS/tandrill-cli"
"${sign[@]}" "$app"
codesign --verify --deep --strict --verbose=2 "$app"

dmg="$build/Tandrill-$version-$arch_name.dmg"
staging="$(mktemp -d)"
trap 'rm -rf "$staging"' EXIT
cp -R "$app" "$staging/"
ln -s /Applications "$staging/Applications"
rm -f "$dmg"
hdiutil create -volname "Tandrill $version" -srcfolder "$staging" -fs HFS+ -format UDZO -ov "$dmg"
if [[ "$identity" != "-" ]]; then
    codesign --force --sign "$identity" "$dmg"
fi
hdiutil verify "$dmg"
echo "Built $dmg"
