#!/usr/bin/env bash
# The macOS compile check's text checks each refuse a copy of the sources with their fault planted.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# plant NAME EXPECTED COMMAND…: a fresh copy, the command run in it, then the check.
plant() {
    local name="$1" expected="$2" copy="$work/$1" output status=0
    shift 2
    mkdir -p "$copy/tests/macos"
    cp -R "$root/scripts" "$root/src" "$copy/"
    cp -R "$root/tests/macos/sdk" "$copy/tests/macos/"
    (cd "$copy" && "$@")
    output="$(bash "$copy/scripts/mac-compile-check.sh" --text-checks-only 2>&1)" || status=$?
    if [[ $status -eq 0 || "$output" != *"$expected"* ]]; then
        echo "FAIL $name: expected \"$expected\", got ($status): $output"
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

failures=0
plant qtdbus "Linux-only Qt modules" sed -i '1i #include <QDBusConnection>' src/platform/AppBundle.cpp
plant machine-id "Linux-only paths" sed -i '$a static const char *kId = "/etc/machine-id";' src/platform/AppBundle.cpp
plant availability "without their availability attribute" \
    sed -i 's/^API_AVAILABLE(macos(10.14)) @interface UNUserNotificationCenter/@interface UNUserNotificationCenter/' \
    tests/macos/sdk/UserNotifications/UserNotifications.h
plant availability-function "without their availability attribute" \
    sed -i 's/ API_AVAILABLE(macos(10.0));/;/' tests/macos/sdk/CoreFoundation/CoreFoundation.h
[[ $failures -eq 0 ]]
