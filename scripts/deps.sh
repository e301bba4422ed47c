#!/usr/bin/env bash
# Installs what building and testing Tandrill needs, and nothing that is already there.
# Usage: scripts/deps.sh [build|test]
set -euo pipefail

purpose="${1:-build}"

debian_build=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools qt6-svg-dev
              libplist-dev libgl-dev libxkbcommon-dev qt6-qpa-plugins fonts-noto-color-emoji
              qt6-translations-l10n procps)
debian_test=(desktop-file-utils dbus dbus-x11 xvfb xauth unison libbenchmark-dev clang libclang-rt-dev
             python3 trayer dunst xdotool x11-utils syncthing llvm)

if [[ "$(uname -s)" == "Darwin" ]]; then
    command -v brew >/dev/null || { echo "Homebrew is needed: https://brew.sh" >&2; exit 1; }
    for formula in cmake ninja pkg-config qt libplist google-benchmark; do
        brew list --formula "$formula" >/dev/null 2>&1 || brew install "$formula"
    done
    exit 0
fi

if ! command -v dpkg-query >/dev/null; then
    echo "Only Debian/Ubuntu (apt) and macOS (Homebrew) are set up automatically." >&2
    exit 0
fi

wanted=("${debian_build[@]}")
[[ "$purpose" == "test" ]] && wanted+=("${debian_test[@]}")

missing=()
for package in "${wanted[@]}"; do
    status="$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)"
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ "$(id -u)" -ne 0 ]] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
