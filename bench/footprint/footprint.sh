#!/usr/bin/env bash
# Footprint of the real program against a bare Qt 6 window with a 1 s timer, side by side in a private
# X server: the time from start to the first paint, then RSS, PSS and CPU time over a minute idle, then
# over a minute of recording a connection (default route up in a network namespace) with a log of a
# million records, then two programs minimised into an XEmbed tray (trayer) side by side, both recording,
# one under the limit and one over it, which asks for the limit balloon every second, and last one program
# idle in the tray. The programs in the tray are held against a second bare program whose window is never
# shown but whose 1 s timer runs, as theirs does. Prints a table with the ratios and PASS/FAIL against the
# targets.
#
#   bench/footprint/footprint.sh [build-dir]
#
# FOOTPRINT_SECONDS (60), FOOTPRINT_RECORDS (1000000) and FOOTPRINT_STARTS (5, start-ups of each program
# whose median is taken) change the run; FOOTPRINT_PARTS ("start idle recording tray tray-idle") picks the parts. A
# missed target (a FAIL) makes the exit status 1, so `make bench` fails with it; FOOTPRINT_STRICT=0 only
# reports it. The recording and tray parts need root for the network namespace and are skipped without it;
# tray-idle runs without root in a network namespace of its own. FOOTPRINT_PERF=DIR records, with
# `perf record -g`, where the program's time goes during each measured minute (DIR/PART.data): for finding
# out, not for figures, as the sampling costs time of its own.
source "$(dirname "$0")/../../tests/e2e/lib.sh"

build=$(realpath "${1:-build}")
seconds=${FOOTPRINT_SECONDS:-60}
records=${FOOTPRINT_RECORDS:-1000000}
starts=${FOOTPRINT_STARTS:-5}
parts=" ${FOOTPRINT_PARTS:-start idle recording tray tray-idle} "
part() { [[ "$parts" == *" $1 "* ]]; }
settle=3
hourlink=$build/hourlink
bare=$build/bench/footprint/hourlink_bare_window
write_log=$build/bench/footprint/hourlink_write_log
first_paint=$build/bench/footprint/hourlink_first_paint
for f in "$hourlink" "$bare" "$write_log"; do
    [ -x "$f" ] || e2e_fail "$f is missing; build with -DHOURLINK_BENCH=ON"
done

e2e_workdir
e2e_start_x
as_root=0
if [ "$(id -u)" -eq 0 ]; then
    as_root=1
    e2e_start_netns
    inside=(ip netns exec "$E2E_NETNS" env DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR")
elif unshare -r -n true 2>/dev/null; then
    # A network namespace of our own without a default route: the program sees no connection.
    inside=(unshare -r -n env DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR")
else
    e2e_log "no network namespace available: the program sees this machine's connection while 'idle'"
    inside=(env DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR")
fi
mkdir -p bare-run hidden-run idle-run recording-run under-run over-run tray-idle-run
: >idle-run/datatime.dat # an empty log: no "File not found" box at start

# CPU time of all threads of a process in ms, from the scheduler's own nanosecond count.
cpu_ms() {
    cat /proc/"$1"/task/*/sched 2>/dev/null | awk '/se.sum_exec_runtime/ { s += $3 } END { printf "%.3f\n", s }'
}
# utime + stime of /proc/PID/stat, in ms; only as fine as the clock tick.
tick_ms() {
    local hz
    hz=$(getconf CLK_TCK)
    sed 's/.*) //' /proc/"$1"/stat | awk -v hz="$hz" '{ printf "%.0f\n", ($12 + $13) * 1000 / hz }'
}
# "RSS PSS" in MB.
memory_mb() {
    awk '/^Rss:/ { r = $2 } /^Pss:/ { p = $2 } END { printf "%.1f %.1f\n", r / 1024, p / 1024 }' \
        /proc/"$1"/smaps_rollup
}

# Starts a program in a folder and waits for its first paint; sets STARTED_PID and PAINT_MS.
launch() {
    local folder=$1 name=$2 out
    shift 2
    if [ -x "$first_paint" ]; then
        out=$(cd "$folder" && "$first_paint" 30 "$E2E_DIR/$name.log" -- "${inside[@]}" "$@") ||
            e2e_fail "$name did not paint within 30 s: $out"
        STARTED_PID=$(awk '/^pid/ { print $2 }' <<<"$out")
        PAINT_MS=$(awk '/^painted/ { print $2 }' <<<"$out")
    else
        # Without the DAMAGE watcher: the moment the window is mapped, seen by polling.
        local t0
        t0=$(date +%s%N)
        (cd "$folder" && exec "${inside[@]}" "$@" >>"$E2E_DIR/$name.log" 2>&1) &
        STARTED_PID=$!
        until xdotool search --onlyvisible --pid "$STARTED_PID" >/dev/null 2>&1; do sleep 0.002; done
        PAINT_MS=$(awk -v a="$t0" -v b="$(date +%s%N)" 'BEGIN { printf "%.1f\n", (b - a) / 1e6 }')
    fi
    E2E_PIDS+=("$STARTED_PID")
}

# Starts the bare program with its window never shown; there is no paint to wait for. Sets HIDDEN_PID.
launch_hidden() {
    (cd hidden-run && exec "${inside[@]}" "$bare" --hidden >>"$E2E_DIR/hidden.log" 2>&1) &
    HIDDEN_PID=$!
    E2E_PIDS+=("$HIDDEN_PID")
    # The namespace and env commands exec the program, so the pid is the program's once it has started.
    for _ in $(seq 100); do
        [ "$(cat /proc/"$HIDDEN_PID"/comm 2>/dev/null)" = hourlink_bare_w ] && return 0
        sleep 0.05
    done
    e2e_fail "the hidden bare program did not start"
}

stop() {
    kill -TERM "$1" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
    kill -KILL "$1" 2>/dev/null || true
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Under FOOTPRINT_PERF, samples the process PROFILE names during the next measure_pair into DIR/NAME.data.
profile() { PROFILE_PID=$1 PROFILE_NAME=$2; }
PROFILE_PID=
perf_pid=
# Measures two running programs (and a third and fourth one, C and D, when given) over the same interval;
# sets CPU_*, TICK_* and MEM_* for A and B, and CPU_C and CPU_D.
measure_pair() {
    local a=$1 b=$2 c=${3:-} d=${4:-} a0 b0 c0=0 d0=0 ta0 tb0
    sleep "$settle"
    if [ -n "${FOOTPRINT_PERF:-}" ] && [ -n "$PROFILE_PID" ]; then
        mkdir -p "$FOOTPRINT_PERF"
        perf record -q -F "${FOOTPRINT_PERF_HZ:-20000}" -g -p "$PROFILE_PID" -o "$FOOTPRINT_PERF/$PROFILE_NAME.data" -- sleep "$seconds" \
            >/dev/null 2>&1 &
        perf_pid=$!
        E2E_PIDS+=("$perf_pid")
        PROFILE_PID=
    fi
    a0=$(cpu_ms "$a") b0=$(cpu_ms "$b") ta0=$(tick_ms "$a") tb0=$(tick_ms "$b")
    [ -n "$c" ] && c0=$(cpu_ms "$c")
    [ -n "$d" ] && d0=$(cpu_ms "$d")
    sleep "$seconds"
    [ -n "$c" ] && CPU_C=$(awk -v x="$(cpu_ms "$c")" -v y="$c0" 'BEGIN { printf "%.1f", x - y }')
    [ -n "$d" ] && CPU_D=$(awk -v x="$(cpu_ms "$d")" -v y="$d0" 'BEGIN { printf "%.1f", x - y }')
    CPU_A=$(awk -v x="$(cpu_ms "$a")" -v y="$a0" 'BEGIN { printf "%.1f", x - y }')
    CPU_B=$(awk -v x="$(cpu_ms "$b")" -v y="$b0" 'BEGIN { printf "%.1f", x - y }')
    TICK_A=$(($(tick_ms "$a") - ta0)) TICK_B=$(($(tick_ms "$b") - tb0))
    MEM_A=$(memory_mb "$a") MEM_B=$(memory_mb "$b")
    if [ -n "$perf_pid" ]; then
        wait "$perf_pid" || true
        perf_pid=
    fi
}

rows=()
failed=0
# row LABEL BARE HOURLINK KIND LIMIT: KIND "ratio" compares HOURLINK <= LIMIT x BARE, "plus" HOURLINK <= BARE + LIMIT.
row() {
    local label=$1 base=$2 value=$3 kind=$4 limit=${5:-} verdict="" relation="" target=""
    if [ "$kind" = ratio ]; then
        relation=$(awk -v a="$value" -v b="$base" 'BEGIN { if (b > 0) printf "%.2fx", a / b; else print "-" }')
        target="<= ${limit}x"
        verdict=$(awk -v a="$value" -v b="$base" -v l="$limit" 'BEGIN { print (a <= l * b) ? "PASS" : "FAIL" }')
    elif [ "$kind" = plus ]; then
        relation=$(awk -v a="$value" -v b="$base" 'BEGIN { printf "%+.1f MB", a - b }')
        target="<= +$limit MB"
        verdict=$(awk -v a="$value" -v b="$base" -v l="$limit" 'BEGIN { print (a <= b + l) ? "PASS" : "FAIL" }')
    else
        relation=$(awk -v a="$value" -v b="$base" 'BEGIN { if (b > 0) printf "%.2fx", a / b; else print "-" }')
    fi
    [ "$verdict" = FAIL ] && failed=1
    rows+=("$(printf '%-40s %12s %12s %10s %12s  %s' "$label" "$base" "$value" "$relation" "$target" "$verdict")")
}

# 1. Start-up: alternately, each program from its start to the first paint of its window.
bare_paint=() idle_paint=()
part start || starts=1
for _ in $(seq "$starts"); do
    launch bare-run bare "$bare"
    bare_paint+=("$PAINT_MS")
    stop "$STARTED_PID"
    launch idle-run hourlink "$hourlink"
    idle_paint+=("$PAINT_MS")
    stop "$STARTED_PID"
done
bare_paint_ms=$(printf '%s\n' "${bare_paint[@]}" | median)
idle_paint_ms=$(printf '%s\n' "${idle_paint[@]}" | median)
e2e_log "first paint, bare: ${bare_paint[*]} ms; hourlink: ${idle_paint[*]} ms"

# 2. Idle, side by side.
launch bare-run bare "$bare"
bare_pid=$STARTED_PID
launch idle-run hourlink "$hourlink"
hourlink_pid=$STARTED_PID
part start && row "first paint, median of $starts (ms)" "$bare_paint_ms" "$idle_paint_ms" ratio 2
if part idle; then
    e2e_log "idle for $seconds s"
    measure_pair "$bare_pid" "$hourlink_pid"
    read -r bare_rss bare_pss <<<"$MEM_A"
    read -r idle_rss idle_pss <<<"$MEM_B"
    row "idle CPU over $seconds s (ms)" "$CPU_A" "$CPU_B" ratio 1.5
    row "idle CPU, utime+stime ticks (ms)" "$TICK_A" "$TICK_B" info
    row "idle RSS (MB)" "$bare_rss" "$idle_rss" plus 15
    row "idle PSS (MB)" "$bare_pss" "$idle_pss" info
fi
stop "$hourlink_pid"

# 3. Recording a connection with a log of a million records, the bare window still beside it.
if [ "$as_root" -eq 1 ] && part recording; then
    "$write_log" recording-run/datatime.dat "$records"
    size_before=$(stat -c %s recording-run/datatime.dat)
    e2e_route_up
    launch recording-run hourlink "$hourlink"
    hourlink_pid=$STARTED_PID
    e2e_log "recording for $seconds s with $records records"
    profile "$hourlink_pid" recording
    measure_pair "$bare_pid" "$hourlink_pid"
    read -r bare_rss bare_pss <<<"$MEM_A"
    read -r rec_rss rec_pss <<<"$MEM_B"
    e2e_route_down
    sleep 2.5
    size_after=$(stat -c %s recording-run/datatime.dat)
    [ "$size_after" -eq $((size_before + 16)) ] ||
        e2e_log "warning: the log grew by $((size_after - size_before)) bytes, not by the one record of the connection"
    row "first paint with $records records (ms)" "$bare_paint_ms" "$PAINT_MS" info
    # The program's window is shown with its chart, which follows the connection every second.
    row "recording CPU, chart in view (ms)" "$CPU_A" "$CPU_B" ratio 1.5
    row "recording CPU, utime+stime ticks (ms)" "$TICK_A" "$TICK_B" info
    row "recording RSS (MB)" "$bare_rss" "$rec_rss" info
    row "recording PSS (MB)" "$bare_pss" "$rec_pss" info
    stop "$hourlink_pid"
elif part recording; then
    e2e_log "not root: the recording half is skipped"
fi

# 4. In the tray: two programs recording the same connection, minimised into an XEmbed tray with no
# notification server, one under the limit and one over it (ten hours yesterday with "AUP 1"), whose
# balloon is asked for every second. Measured side by side, with the bare window as the floor.
# The main window of a program, by its process.
main_window_of() {
    local id w h
    for _ in $(seq 100); do
        for id in $(xdotool search --onlyvisible --pid "$1" --name '^Pellandra Hourlink 2.0$' 2>/dev/null || true); do
            read -r w h < <(e2e_window_size "$id")
            [ "$w" -eq 660 ] && [ "$h" -eq 332 ] && { echo "$id"; return 0; }
        done
        sleep 0.1
    done
    return 1
}
# Minimises the main window of a program into the tray and waits until it has gone there.
to_tray() {
    local window
    window=$(main_window_of "$1") || e2e_fail "no main window of $1"
    xdotool windowminimize "$window"
    e2e_poll 100 e2e_hidden "$window" || e2e_fail "the window of $1 did not go into the tray"
}
# A copy whose settings file sets the highest limit, so that no balloon is shown whatever the log holds.
mkdir -p quiet-program
cp "$hourlink" quiet-program/hourlink
printf '[SETTINGS]\nTime limit=AUP 18\n' >quiet-program/hour_link.ini
tray_up=0
if { [ "$as_root" -eq 1 ] && part tray; } || part tray-idle; then
    e2e_start_tray
    tray_up=1
    launch_hidden
    hidden_pid=$HIDDEN_PID
fi
if [ "$as_root" -eq 1 ] && part tray; then
    : >under-run/datatime.dat
    yesterday=$(date -d 'yesterday 08:00' +%s)
    e2e_write_log over-run/datatime.dat "$yesterday" $((yesterday + 36000))
    ip -n "$E2E_NETNS" route show default | grep -q . || e2e_route_up
    # A copy, so that no settings file beside the build's program steers the limit or the alert.
    mkdir -p tray-program
    cp "$hourlink" tray-program/hourlink
    launch under-run under "$E2E_DIR/quiet-program/hourlink"
    under_pid=$STARTED_PID
    launch over-run over "$E2E_DIR/tray-program/hourlink"
    over_pid=$STARTED_PID
    to_tray "$under_pid"
    to_tray "$over_pid"
    e2e_log "in the tray, recording for $seconds s, under and over the limit"
    profile "$under_pid" tray
    measure_pair "$under_pid" "$over_pid" "$bare_pid" "$hidden_pid"
    row "tray recording CPU over $seconds s (ms)" "$CPU_C" "$CPU_A" info
    row "tray, balloon every second: CPU (ms)" "$CPU_C" "$CPU_B" info
    rows+=("$(printf '%-40s %12s %12s' "" "hidden bare" "hourlink")")
    row "tray recording CPU, no balloon (ms)" "$CPU_D" "$CPU_A" ratio 2
    rows+=("$(printf '%-40s %12s %12s' "" "under limit" "over limit")")
    row "tray: over against under the limit (ms)" "$CPU_A" "$CPU_B" ratio 1.5
    row "tray: over against under, ticks (ms)" "$TICK_A" "$TICK_B" info
    row "tray RSS under / over (MB)" "${MEM_A% *}" "${MEM_B% *}" info
    stop "$over_pid"
    stop "$under_pid"
    e2e_route_down
elif part tray; then
    e2e_log "not root: the tray recording half is skipped"
fi

# 5. Idle in the tray, with no connection, beside the hidden bare program.
if part tray-idle; then
    if [ "$as_root" -eq 1 ] && ip -n "$E2E_NETNS" route show default | grep -q .; then e2e_route_down; fi
    : >tray-idle-run/datatime.dat
    launch tray-idle-run tray-idle "$E2E_DIR/quiet-program/hourlink"
    tray_idle_pid=$STARTED_PID
    to_tray "$tray_idle_pid"
    e2e_log "idle in the tray for $seconds s"
    profile "$tray_idle_pid" tray-idle
    measure_pair "$hidden_pid" "$tray_idle_pid"
    rows+=("$(printf '%-40s %12s %12s' "" "hidden bare" "hourlink")")
    row "tray idle CPU over $seconds s (ms)" "$CPU_A" "$CPU_B" ratio 2
    row "tray idle CPU, utime+stime ticks (ms)" "$TICK_A" "$TICK_B" info
    row "tray idle RSS (MB)" "${MEM_A% *}" "${MEM_B% *}" info
    stop "$tray_idle_pid"
fi
[ "$tray_up" -eq 1 ] && stop "$hidden_pid"

echo
echo "Footprint: $(nproc) x $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-40s %12s %12s %10s %12s  %s\n' "" "bare window" "hourlink" "relation" "target" "result"
printf '%s\n' "${rows[@]}"
if [ "$failed" -ne 0 ]; then
    echo "a footprint target was missed" >&2
    [ "${FOOTPRINT_STRICT:-1}" = 0 ] || exit 1
fi
exit 0
