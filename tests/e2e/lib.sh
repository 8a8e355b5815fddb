# Shared pieces of the end-to-end tests: a private X server with a window manager (and a tray host on
# request), a network namespace whose default route the test switches, and clean-up of everything
# started, by PID. Source it from a test script; every test runs in a fresh temporary folder.
set -euo pipefail

SKIP=77
E2E_PIDS=()
E2E_NETNS=""
E2E_DIR=""

# Pictures a test keeps (and the screen at a failure) go to the folder the test was started from.
E2E_OUT=${E2E_OUT:-$PWD}
E2E_NAME=$(basename "$0" .sh)

e2e_log() { echo "[$(date +%T.%N | cut -c1-12)] $*" >&2; }
e2e_fail() {
    e2e_log "FAIL: $*"
    if [ -n "${E2E_X:-}" ] && import -window root "$E2E_OUT/$E2E_NAME-failure.png" 2>/dev/null; then
        e2e_log "screen at the failure: $E2E_OUT/$E2E_NAME-failure.png"
    fi
    local log
    for log in "${E2E_DIR:-/nonexistent}"/*.log; do
        [ -s "$log" ] && { echo "--- $(basename "$log"):"; tail -n 15 "$log"; } >&2
    done
    exit 1
}

e2e_cleanup() {
    local pid
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${E2E_PIDS[$i]}
        kill -TERM "$pid" 2>/dev/null || true
    done
    for pid in "${E2E_PIDS[@]}"; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null || true
    done
    [ -n "$E2E_NETNS" ] && ip netns del "$E2E_NETNS" 2>/dev/null || true
    [ -n "$E2E_DIR" ] && [ -z "${E2E_KEEP:-}" ] && rm -rf "$E2E_DIR"
    return 0
}
trap e2e_cleanup EXIT

e2e_require_root() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "needs root for network namespaces; skipped" >&2
        exit $SKIP
    fi
}

# A fresh working folder for the program under test.
e2e_workdir() {
    E2E_DIR=$(mktemp -d /tmp/hourlink-e2e-XXXXXX)
    cd "$E2E_DIR"
}

# Starts Xvfb on a free display and openbox on it; sets DISPLAY and XDG_RUNTIME_DIR.
e2e_start_x() {
    local fdfile="$E2E_DIR/display"
    # -noreset: a server whose last client leaves resets itself and refuses whoever connects meanwhile,
    # such as openbox starting while xprop polls (63 of 600 such connections refused without it, 0 with it).
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$fdfile" >"$E2E_DIR/xvfb.log" 2>&1 &
    E2E_PIDS+=($!)
    for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
    [ -s "$fdfile" ] || e2e_fail "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$fdfile")"
    E2E_X=$DISPLAY
    export XDG_RUNTIME_DIR="$E2E_DIR/runtime"
    # The program sees only the buses the test starts, never the desktop's of whoever runs the tests.
    unset DBUS_SESSION_BUS_ADDRESS
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    openbox >"$E2E_DIR/openbox.log" 2>&1 &
    local wm=$!
    E2E_PIDS+=("$wm")
    # Generous, for a busy machine; an openbox that could not connect ends at once and says why in its log.
    for _ in $(seq 300); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        kill -0 "$wm" 2>/dev/null || e2e_fail "openbox ended at its start"
        sleep 0.05
    done
    e2e_fail "openbox did not start"
}

# Starts trayer and waits until the notification area has an owner.
e2e_start_tray() {
    trayer --edge bottom --align right --widthtype pixel --width 200 --height 26 >"$E2E_DIR/trayer.log" 2>&1 &
    E2E_PIDS+=($!)
    E2E_TRAY_PID=$!
    for _ in $(seq 200); do
        xprop -root 2>/dev/null >/dev/null
        # The panel that docks the icons is trayer's window named "panel".
        for E2E_TRAY_PANEL in $(xdotool search --class '^trayer$' 2>/dev/null || true); do
            if [ "$(xdotool getwindowname "$E2E_TRAY_PANEL" 2>/dev/null)" = panel ]; then
                sleep 0.3
                return 0
            fi
        done
        sleep 0.05
    done
    e2e_fail "trayer did not start"
}

# A network namespace with a veth pair, both ends up, no default route yet.
e2e_start_netns() {
    E2E_NETNS="hourlink-e2e-$$"
    ip netns add "$E2E_NETNS"
    ip -n "$E2E_NETNS" link add v0 type veth peer name v1
    ip -n "$E2E_NETNS" link set v0 addrgenmode none
    ip -n "$E2E_NETNS" link set v1 addrgenmode none
    ip -n "$E2E_NETNS" link set v0 up
    ip -n "$E2E_NETNS" link set v1 up
}
e2e_route_up() { ip -n "$E2E_NETNS" route add default dev v0; }
e2e_route_down() { ip -n "$E2E_NETNS" route del default dev v0; }

# Starts the program inside the namespace, in the working folder. Extra environment as arguments.
# It runs as a copy in the working folder: its settings file lives beside the executable, and the
# build's own must neither steer a test nor be written by one.
# Arguments for the program go into the array E2E_PROGRAM_ARGS. A copy already made is used again, so
# that a second start runs the very same program as the first.
E2E_PROGRAM_ARGS=()
e2e_start_program() {
    local binary="$E2E_DIR/program/hourlink"
    mkdir -p "$E2E_DIR/program"
    cmp -s "$1" "$binary" || cp "$1" "$binary"
    shift
    local a11y=()
    [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] &&
        a11y=(DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1)
    ip netns exec "$E2E_NETNS" env DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "${a11y[@]}" "$@" "$binary" "${E2E_PROGRAM_ARGS[@]}" \
        >"$E2E_DIR/program.log" 2>&1 &
    E2E_PROGRAM_PID=$!
    E2E_PIDS+=($E2E_PROGRAM_PID)
}

# Runs the copy of the program made by e2e_start_program in the foreground, as a second start from the
# same folder does, with the given arguments; its output goes to second.log, its status is returned.
e2e_run_again() {
    ip netns exec "$E2E_NETNS" env DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" \
        timeout 30 "$E2E_DIR/program/hourlink" "$@" >"$E2E_DIR/second.log" 2>&1
}

# Waits for a visible window whose title matches, prints its id.
e2e_wait_window() {
    local title=$1 timeout=${2:-100} ids
    for _ in $(seq "$timeout"); do
        ids=$(xdotool search --onlyvisible --name "$title" 2>/dev/null || true)
        if [ -n "$ids" ]; then
            echo "$ids"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# The geometry of a window as "W H".
e2e_window_size() {
    xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w, h}'
}

# Local time as days since 1899-12-30, the way the program stores it.
e2e_now_days() {
    local secs offset
    secs=$(date +%s.%N)
    offset=$(date +%z)
    awk -v s="$secs" -v o="$offset" 'BEGIN {
        sign = substr(o, 1, 1) == "-" ? -1 : 1
        off = sign * (substr(o, 2, 2) * 3600 + substr(o, 4, 2) * 60)
        printf "%.9f\n", (s + off) / 86400 + 25569 }'
}

# The records of a log as lines "start end" (days).
e2e_records() {
    od -A n -v -t f8 -w16 "$1" | awk '{ printf "%.9f %.9f\n", $1, $2 }'
}

# ---------------------------------------------------------------------------------------------------------
# Waiting, windows, the tray, pixels, logs and widget texts

E2E_LIB_DIR=$(dirname "${BASH_SOURCE[0]}")

# Runs a command every 0.1 s until it succeeds, at most TENTHS times.
e2e_poll() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# Waits for the 660 x 332 main window (a message box carries the same title), prints its id.
e2e_wait_main_window() {
    local id w h
    for _ in $(seq "${1:-100}"); do
        for id in $(xdotool search --onlyvisible --name '^Pellandra Hourlink 2.0$' 2>/dev/null || true); do
            read -r w h < <(e2e_window_size "$id")
            if [ "$w" -eq 660 ] && [ "$h" -eq 332 ]; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}

# Waits for a window other than the given ones whose title matches, prints its id.
e2e_wait_other_window() {
    local title=$1 known=" ${2:-} " id
    for _ in $(seq "${3:-100}"); do
        for id in $(xdotool search --onlyvisible --name "$title" 2>/dev/null || true); do
            [[ "$known" == *" $id "* ]] || { echo "$id"; return 0; }
        done
        sleep 0.1
    done
    return 1
}

e2e_visible() { xdotool search --onlyvisible --name '.' 2>/dev/null | grep -qx "$1"; }
e2e_hidden() { ! e2e_visible "$1"; }

# The window manager's view: "Normal", "Iconic", or "none" for a window it no longer manages.
e2e_wm_state() {
    xprop -id "$1" WM_STATE 2>/dev/null | awk '/window state:/ {print $3; found=1} END {if (!found) print "none"}'
}

# Whether the window has an entry in the window manager's client list, which taskbars show.
e2e_in_client_list() {
    xprop -root _NET_CLIENT_LIST | tr -c '0-9a-fx' '\n' | grep -qix "$(printf '0x%x' "$1")"
}

# Prints "X Y W H" (screen position and size) of the icon docked in the tray, if there is one.
e2e_tray_icon() {
    xwininfo -id "$E2E_TRAY_PANEL" -children 2>/dev/null | awk '
        $1 ~ /^0x/ && match($0, /[0-9]+x[0-9]+[+-][0-9]+[+-][0-9]+ +[+-][0-9]+[+-][0-9]+/) {
            split(substr($0, RSTART, RLENGTH), f, /[x+ ]+/)
            if (f[1] >= 16 && f[1] <= 32 && f[2] >= 16 && f[2] <= 32) { print f[5], f[6], f[1], f[2]; found = 1; exit }
        }
        END { exit !found }'
}

# A left click at a screen position, or at a position inside a window's client area.
e2e_click_at() { xdotool mousemove "$1" "$2" sleep 0.1 click 1; }
e2e_click_in() { xdotool mousemove --window "$1" "$2" "$3" sleep 0.1 click 1; }

# A screenshot of one window's client area.
e2e_shot() { import -window "$1" "$2"; }

# The colour of one pixel of a picture as "R G B".
e2e_pixel() {
    /usr/bin/convert "$1" -format "%[fx:int(255*p{$2,$3}.r+0.5)] %[fx:int(255*p{$2,$3}.g+0.5)] %[fx:int(255*p{$2,$3}.b+0.5)]\n" info:
}

# Writes a log of the given connections, each as start and end in seconds since 1970, stored as local
# days since 1899-12-30.
e2e_write_log() {
    local file=$1
    shift
    python3 - "$file" "$@" <<'PY'
import struct, sys, time
def days(secs):
    return (secs + time.localtime(secs).tm_gmtoff) / 86400 + 25569
with open(sys.argv[1], "wb") as log:
    for secs in zip(sys.argv[2::2], sys.argv[3::2]):
        log.write(struct.pack("<dd", *(days(int(s)) for s in secs)))
PY
}

# A session bus on a path socket (abstract sockets do not cross network namespaces) and the
# accessibility bus on it, so that the widgets' texts can be read from outside.
e2e_start_a11y() {
    local addrfile="$E2E_DIR/bus.address" launcher bus
    E2E_PYTHON=""
    for py in python3 /usr/bin/python3; do
        if "$py" -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null; then
            E2E_PYTHON=$py
            break
        fi
    done
    [ -n "$E2E_PYTHON" ] || e2e_fail "no python3 with gi and Atspi (python3-gi, gir1.2-atspi-2.0)"
    # E2E_BUS_SERVICES: a folder of services that the bus starts on demand, beside the system's own.
    local config=(--session)
    if [ -n "${E2E_BUS_SERVICES:-}" ]; then
        cat >"$E2E_DIR/session.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <include>/usr/share/dbus-1/session.conf</include>
  <servicedir>$E2E_BUS_SERVICES</servicedir>
</busconfig>
CONF
        config=(--config-file="$E2E_DIR/session.conf")
    fi
    dbus-daemon "${config[@]}" --address="unix:path=$XDG_RUNTIME_DIR/bus" --nofork --nopidfile --print-address=1 \
        >"$addrfile" 2>"$E2E_DIR/dbus.log" &
    E2E_PIDS+=($!)
    e2e_poll 100 test -s "$addrfile" || e2e_fail "the session bus did not start"
    export DBUS_SESSION_BUS_ADDRESS
    DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$addrfile")
    /usr/libexec/at-spi-bus-launcher --launch-immediately --a11y=1 >"$E2E_DIR/at-spi.log" 2>&1 &
    launcher=$!
    E2E_PIDS+=("$launcher")
    e2e_poll 100 eval 'xprop -root AT_SPI_BUS 2>/dev/null | grep -q unix:' || e2e_fail "the accessibility bus did not start"
    # The launcher's own bus daemon, stopped before the launcher.
    for bus in $(pgrep -P "$launcher" || true); do E2E_PIDS+=("$bus"); done
}

e2e_atspi() { "$E2E_PYTHON" "$E2E_LIB_DIR/atspi.py" "$@"; }
