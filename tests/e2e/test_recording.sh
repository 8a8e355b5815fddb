#!/usr/bin/env bash
# The real program in an empty folder: it reports the missing log, then records one connection made by
# bringing a default route up for about three seconds and down again.
source "$(dirname "$0")/lib.sh"
binary=$(realpath "$1")
e2e_require_root
e2e_workdir
e2e_start_x
e2e_start_netns
e2e_start_program "$binary"

# The missing log is reported before the main window appears; Return presses its "OK".
box=$(e2e_wait_window "Pellandra Hourlink 2.0") || e2e_fail "no message box"
read -r w h < <(e2e_window_size "$box")
[ "$w" -lt 600 ] || e2e_fail "expected the message box first, got a window of $w x $h"
xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key --window "$box" Return
for _ in $(seq 50); do
    main=$(xdotool search --onlyvisible --name "Pellandra Hourlink 2.0" 2>/dev/null | head -n1 || true)
    if [ -n "$main" ]; then
        read -r w h < <(e2e_window_size "$main")
        [ "$w" -eq 660 ] && [ "$h" -eq 332 ] && break
    fi
    sleep 0.1
done
[ "${w:-0}" -eq 660 ] && [ "${h:-0}" -eq 332 ] || e2e_fail "main window not shown at 660 x 332 (got ${w:-?} x ${h:-?})"
[ ! -e datatime.dat ] || e2e_fail "the log exists before any connection"

sleep 1.5
up=$(e2e_now_days)
e2e_route_up
sleep 3
down=$(e2e_now_days)
e2e_route_down
sleep 2.5

[ -f datatime.dat ] || e2e_fail "no log written after the connection ended"
size=$(stat -c %s datatime.dat)
[ "$size" -eq 16 ] || e2e_fail "log holds $size bytes, expected one record"
read -r start end < <(e2e_records datatime.dat)
e2e_log "route up $up, down $down; record $start .. $end"
awk -v a="$start" -v b="$up" -v c="$end" -v d="$down" 'BEGIN {
    ds = (a - b) * 86400; de = (c - d) * 86400
    if (ds < 0) ds = -ds; if (de < 0) de = -de
    printf "start off by %.3f s, end off by %.3f s\n", ds, de
    exit !(ds <= 2 && de <= 2) }' >&2 || e2e_fail "record not within 2 s of the route changes"

kill -0 "$E2E_PROGRAM_PID" || e2e_fail "the program ended by itself"
e2e_log "ok"
