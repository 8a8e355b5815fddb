#!/usr/bin/env bash
# The launcher's choice of Qt platform: on a Wayland session with an X display at hand and no platform
# chosen by the user, through XWayland (xcb), where minimising to the tray works; natively without one;
# the user's own choice always stands. --minimized is handed on.
set -euo pipefail
launcher=$(realpath "$1")
dir=$(mktemp -d /tmp/hourlink-launcher-XXXXXX)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/bin" "$dir/data"
cp "$launcher" "$dir/bin/hourlink-launch"
# A stand-in for the program that says what it was given.
cat >"$dir/bin/hourlink" <<'SH'
#!/bin/sh
echo "platform=${QT_QPA_PLATFORM:-} args=$* folder=$(pwd)"
SH
chmod +x "$dir/bin/hourlink" "$dir/bin/hourlink-launch"

failures=0
check() {
    local expected=$1
    shift
    local got
    got=$(env -i HOME="$dir/home" XDG_DATA_HOME="$dir/data" PATH=/usr/bin:/bin "$@" "$dir/bin/hourlink-launch" --minimized)
    if [ "$got" != "$expected folder=$dir/data/hourlink" ]; then
        echo "FAIL: $* gave '$got', expected '$expected'" >&2
        failures=$((failures + 1))
    fi
}
check "platform=xcb args=--minimized" XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=wayland-0 DISPLAY=:1
check "platform=xcb args=--minimized" WAYLAND_DISPLAY=wayland-0 DISPLAY=:1
check "platform=xcb args=--minimized" XDG_SESSION_TYPE=wayland DISPLAY=:1
check "platform= args=--minimized" XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=wayland-0
check "platform=wayland args=--minimized" XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=wayland-0 DISPLAY=:1 QT_QPA_PLATFORM=wayland
check "platform=offscreen args=--minimized" XDG_SESSION_TYPE=x11 DISPLAY=:1 QT_QPA_PLATFORM=offscreen
check "platform= args=--minimized" XDG_SESSION_TYPE=x11 DISPLAY=:1
[ "$failures" -eq 0 ] || exit 1
echo ok
