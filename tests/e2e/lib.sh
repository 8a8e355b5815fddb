# Shared pieces of the end-to-end tests: a private X server with a window manager (and a tray host on
# request), a network namespace whose default route the test switches, and clean-up of everything
# started, by PID. Source it from a test script; every test runs in a fresh temporary folder.
set -euo pipefail

SKIP=77
E2E_PIDS=()
E2E_NETNS=""
E2E_DIR=""

e2e_log() { echo "[$(date +%T.%N | cut -c1-12)] $*" >&2; }
e2e_fail() { e2e_log "FAIL: $*"; exit 1; }

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
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fdfile" >"$E2E_DIR/xvfb.log" 2>&1 &
    E2E_PIDS+=($!)
    for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
    [ -s "$fdfile" ] || e2e_fail "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$fdfile")"
    export XDG_RUNTIME_DIR="$E2E_DIR/runtime"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    openbox >"$E2E_DIR/openbox.log" 2>&1 &
    E2E_PIDS+=($!)
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.05
    done
    e2e_fail "openbox did not start"
}

# Starts trayer and waits until the notification area has an owner.
e2e_start_tray() {
    trayer --edge bottom --align right --widthtype pixel --width 200 --height 26 >"$E2E_DIR/trayer.log" 2>&1 &
    E2E_PIDS+=($!)
    E2E_TRAY_PID=$!
    for _ in $(seq 100); do
        xprop -root 2>/dev/null >/dev/null
        if xdotool search --classname trayer >/dev/null 2>&1; then
            sleep 0.3
            return 0
        fi
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
e2e_start_program() {
    local binary=$1
    shift
    ip netns exec "$E2E_NETNS" env DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$@" "$binary" \
        >"$E2E_DIR/program.log" 2>&1 &
    E2E_PROGRAM_PID=$!
    E2E_PIDS+=($E2E_PROGRAM_PID)
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
