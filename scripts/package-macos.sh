#!/usr/bin/env bash
# Builds Tandrill.app for release on a Mac and packs it into a disk image:
# Release build, Qt's frameworks copied into the bundle (macdeployqt), signed, then a DMG.
#
#   scripts/package-macos.sh                 # ad-hoc signature (runs on this Mac; Gatekeeper warns elsewhere)
#   TANDRILL_CODESIGN_IDENTITY="Developer ID Application: Name (TEAMID)" scripts/package-macos.sh
#
# Other settings: TANDRILL_PACKAGE_BUILD_DIR (default build-release), TANDRILL_ARCHITECTURES
# (default: this Mac's; "arm64;x86_64" for a universal app, which needs a universal Qt), and
# CMAKE_PREFIX_PATH for the Qt to use. Homebrew's Qt runs only on the macOS it was built for;
# an app for macOS 13.5 needs a Qt that targets 13.5 (README).
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

macdeployqt="$(command -v macdeployqt || true)"
if [[ -z "$macdeployqt" && -n "${CMAKE_PREFIX_PATH:-}" ]]; then
    macdeployqt="${CMAKE_PREFIX_PATH%%;*}/bin/macdeployqt"
fi
[[ -x "$macdeployqt" ]] || { echo "macdeployqt not found (put Qt's bin/ on PATH)" >&2; exit 1; }
# The updater's network module (Contents/PlugIns) is loaded on the first update check; it brings
# QtNetwork, which the executable itself does not link, so macdeployqt is pointed at it.
"$macdeployqt" "$app" -always-overwrite -executable="$app/Contents/PlugIns/libtandrill_network.so"

# The command-line tool travels inside the bundle and uses the same frameworks.
cp "$build/bin/tandrill-cli" "$app/Contents/MacOS/tandrill-cli"
install_name_tool -add_rpath "@executable_path/../Frameworks" "$app/Contents/MacOS/tandrill-cli" 2>/dev/null || true

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

dmg="$build/Tandrill-$version.dmg"
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
