#!/usr/bin/env bash
# Under a real Wayland compositor (weston, headless, with XWayland) the launcher starts the program through
# XWayland when an X display is at hand, and natively on Wayland when there is none. Only the start is
# checked: weston's X window manager ignores an iconify request from outside, and its headless seat has no
# pointer for a click on the frame, so a minimise cannot be driven here.
source "$(dirname "$0")/lib.sh"
binary=$(realpath "$1")
launcher=$(realpath "$2")
command -v weston >/dev/null && command -v Xwayland >/dev/null || { echo "no weston or Xwayland; skipped" >&2; exit $SKIP; }
[ -e /usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqwayland-generic.so ] ||
    { echo "no Qt Wayland plugin (qt6-wayland); skipped" >&2; exit $SKIP; }
e2e_workdir
export XDG_RUNTIME_DIR="$E2E_DIR/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS

weston --backend=headless-backend.so --xwayland --socket=hourlink-wl --idle-time=0 >"$E2E_DIR/weston.log" 2>&1 &
E2E_PIDS+=($!)
e2e_poll 100 grep -q 'xserver listening on display' "$E2E_DIR/weston.log" || e2e_fail "weston did not start with XWayland"
xdisplay=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$E2E_DIR/weston.log" | head -n1)

# An installed layout: the launcher with the program beside it, each start in a data folder of its own.
mkdir -p bin
cp "$binary" bin/hourlink
cp "$launcher" bin/hourlink-launch
chmod +x bin/hourlink-launch

start() {
    local data=$1
    shift
    mkdir -p "$E2E_DIR/$data/hourlink"
    e2e_write_log "$E2E_DIR/$data/hourlink/datatime.dat" "$(date -d '2 days ago 10:00' +%s)" "$(date -d '2 days ago 11:00' +%s)"
    env XDG_DATA_HOME="$E2E_DIR/$data" XDG_CONFIG_HOME="$E2E_DIR/$data-config" XDG_SESSION_TYPE=wayland \
        WAYLAND_DISPLAY=hourlink-wl "$@" sh -c "exec '$E2E_DIR/bin/hourlink-launch'" >"$E2E_DIR/$data.log" 2>&1 &
    E2E_PIDS+=($!)
    STARTED=$!
}
uses() { grep -q "$2" "/proc/$1/maps" 2>/dev/null; }

# With XWayland at hand: the X platform, and the main window mapped by weston's X window manager.
start xwayland DISPLAY="$xdisplay"
e2e_poll 150 uses "$STARTED" libqxcb || e2e_fail "the program did not start on X ($(cat "$E2E_DIR/xwayland.log"))"
window_mapped() {
    local id
    for id in $(DISPLAY=$xdisplay xdotool search --onlyvisible --name '^Pellandra Hourlink 2.0$' 2>/dev/null); do
        [ "$(DISPLAY=$xdisplay e2e_window_size "$id")" = "660 332" ] && return 0
    done
    return 1
}
e2e_poll 150 window_mapped || e2e_fail "no main window on XWayland"
tr '\0' '\n' <"/proc/$STARTED/environ" | grep -qx QT_QPA_PLATFORM=xcb || e2e_fail "the launcher did not choose xcb"
e2e_log "through XWayland: xcb platform, main window mapped on $xdisplay"

# Without an X display: natively on Wayland, connected to weston.
start native
e2e_poll 150 uses "$STARTED" qwayland || e2e_fail "the program did not start on Wayland ($(cat "$E2E_DIR/native.log"))"
sleep 2
kill -0 "$STARTED" || e2e_fail "the native program ended ($(cat "$E2E_DIR/native.log"))"
uses "$STARTED" libqxcb && e2e_fail "the native program loaded the X platform"
e2e_log "natively: Wayland platform, running"
e2e_log "ok"
