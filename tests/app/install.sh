#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the Linux desktop integration.
# Usage: install.sh BUILD_DIR
set -euo pipefail
prefix="$(mktemp -d "${TMPDIR:-/tmp}/tandrill-install-XXXXXX")"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$1" --prefix "$prefix" >/dev/null
for file in bin/tandrill share/applications/tandrill.desktop share/icons/hicolor/scalable/apps/tandrill.svg; do
    [[ -f "$prefix/$file" ]] || { echo "FAIL: $file was not installed"; exit 1; }
done
[[ -x "$prefix/bin/tandrill" ]] || { echo "FAIL: bin/tandrill is not executable"; exit 1; }
desktop-file-validate "$prefix/share/applications/tandrill.desktop"
grep -qx 'Exec=tandrill' "$prefix/share/applications/tandrill.desktop"
grep -qx 'Icon=tandrill' "$prefix/share/applications/tandrill.desktop"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/tandrill.svg"
echo "PASS"
