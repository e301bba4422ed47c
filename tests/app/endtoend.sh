#!/usr/bin/env bash
# The whole app on Xvfb with trayer as the tray host and dunst for notifications, on a private bus
# that activates nothing: the tray menu's push item pushes and is announced, its quit item quits.
# Usage: endtoend.sh path/to/tandrill
set -euo pipefail

app="$(realpath "$1")"
for tool in Xvfb trayer dunst dbus-run-session dbus-send xdotool xwininfo; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/deps.sh test installs it)"; exit 1; }
done

if [[ "${TANDRILL_E2E_WORK:-}" == "" ]]; then
    work="$(mktemp -d "${TMPDIR:-/tmp}/tandrill-e2e-XXXXXX")"
    trap 'rm -rf "$work"' EXIT
    cat >"$work/bus.conf" <<EOF
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=$work</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
    TANDRILL_E2E_WORK="$work" dbus-run-session --config-file="$work/bus.conf" -- bash "$0" "$app"
    exit $?
fi

work="$TANDRILL_E2E_WORK"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    for log in app dunst trayer; do
        echo "--- $log.log"
        cat "$work/$log.log" 2>/dev/null || true
    done
    exit 1
}

# wait_for SECONDS COMMAND...: runs COMMAND until it succeeds or the time is up.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}

dunst_call() {
    dbus-send --session --print-reply --dest=org.freedesktop.Notifications /org/freedesktop/Notifications "$@"
}

export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
export XDG_STATE_HOME="$HOME/.local/state" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME/Library/Preferences" "$XDG_CONFIG_HOME/Tandrill" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# -noreset: else the server restarts when the probe below leaves, refusing the next client a moment.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for 20 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"
# Nothing acts before the display takes clients and the tray host shows its panel: seconds when busy.
wait_for 20 xwininfo -root || fail "the display $DISPLAY takes no clients"

trayer --edge top --align right --widthtype request --height 32 --transparent false >"$work/trayer.log" 2>&1 &
pids+=($!)
wait_for 20 xdotool search --onlyvisible --class trayer || fail "trayer did not show its panel"

dunst >"$work/dunst.log" 2>&1 &
pids+=($!)
wait_for 10 dunst_call org.freedesktop.Notifications.GetServerInformation || fail "dunst took no notification service"

# A set-up Mac: its Dock file and the sync folder, chosen earlier.
folder="$work/iCloud/Tandrill"
mkdir -p "$folder"
printf '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict><key>persistent-apps</key><array/>%s</dict></plist>\n' \
    '<key>tilesize</key><integer>48</integer>' >"$HOME/Library/Preferences/com.apple.dock.plist"
cat >"$XDG_CONFIG_HOME/Tandrill/Tandrill.conf" <<EOF
[General]
TandrillFolderPath=$folder
TandrillOnboardingComplete=true
TandrillLanguage=de
EOF

QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="tandrill.app.debug=true" "$app" >"$work/app.log" 2>&1 &
app_pid=$!
pids+=("$app_pid")

# The tray item: Qt's icon window, deep in trayer's panel (the app's top-level windows sit at the root).
find_tray_icon() {
    tray_icon="$(xwininfo -root -tree | grep -E '^ {9,}0x[0-9a-f]+ "Tandrill": \("tandrill" "Tandrill"\)' |
        awk '{ print $1; exit }')"
    [[ -n "$tray_icon" ]]
}
wait_for 20 find_tray_icon || fail "the tray item did not appear in trayer"

visible_app_windows() {
    xdotool search --onlyvisible --classname tandrill 2>/dev/null | wc -l
}
# The app logged the menu's opening and the menu's window is on screen.
menu_opened() {
    (($(grep -c "tray menu opened" "$work/app.log" || true) > $1)) && (($(visible_app_windows) > $2))
}
open_menu() {
    local before windows
    before="$(grep -c "tray menu opened" "$work/app.log" || true)"
    windows="$(visible_app_windows)"
    # Right after a menu closed, X may still hold the pointer for it: click again then.
    for _ in 1 2 3 4 5; do
        xdotool mousemove --window "$tray_icon" 8 8 click 3
        wait_for 2 menu_opened "$before" "$windows" && return 0
    done
    return 1
}

open_menu || fail "the tray menu did not open"
# The first enabled row is the push item.
xdotool key Down Return

wait_for 20 cmp -s "$folder/com.apple.dock.plist" "$HOME/Library/Preferences/com.apple.dock.plist" ||
    fail "the push item did not push the Dock file into the folder"

# dunst lists a notification with its body once it was closed.
notified() {
    dunst_call org.dunstproject.cmd0.NotificationCloseAll >/dev/null
    dunst_call org.dunstproject.cmd0.NotificationListHistory | grep -A1 '"body"' |
        grep -q 'Dock nach iCloud hochgeladen ✅'
}
wait_for 20 notified || fail "dunst did not show \"Dock nach iCloud hochgeladen ✅\" as the notification's text"

# Quit from the tray menu: the last row.
open_menu || fail "the tray menu did not open a second time"
xdotool key Up Return
app_ended() { ! kill -0 "$app_pid" 2>/dev/null; }
wait_for 10 app_ended || fail "the quit item did not end the app"
wait "$app_pid" || fail "the app ended with status $?"
echo "PASS"
