#!/usr/bin/env bash
# A connection kept up past its first checkpoint, a minute after it started, survives a SIGKILL of the
# program: the log then holds it up to that checkpoint as an ordinary finished connection, and the next
# start lists it, its duration written as a duration on an English (12-hour) locale.
source "$(dirname "$0")/lib.sh"
binary=$(realpath "$1")
e2e_require_root
e2e_workdir
e2e_start_x
e2e_start_a11y
e2e_start_netns

# One earlier connection, so the start-up has a log and asks nothing.
old=$(date -d '3 days ago 09:00' +%s)
e2e_write_log datatime.dat "$old" $((old + 600))
e2e_start_program "$binary" LC_ALL=en_US.UTF-8
main=$(e2e_wait_main_window) || e2e_fail "no main window"

sleep 1.5
up=$(e2e_now_days)
e2e_route_up
# The first checkpoint comes one minute after the first tick that sees the connection.
sleep 50
[ "$(stat -c %s datatime.dat)" -eq 16 ] || e2e_fail "the running connection was written before its first minute"
sleep 15
killed=$(e2e_now_days)
kill -KILL "$E2E_PROGRAM_PID"
wait "$E2E_PROGRAM_PID" 2>/dev/null || true
e2e_route_down

size=$(stat -c %s datatime.dat)
[ "$size" -eq 32 ] || e2e_fail "log holds $size bytes after the kill, expected the old record and the checkpoint"
read -r start end < <(e2e_records datatime.dat | tail -n1)
e2e_log "route up $up, killed $killed; record $start .. $end"
awk -v s="$start" -v e="$end" -v u="$up" -v k="$killed" 'BEGIN {
    ds = (s - u) * 86400; len = (e - s) * 86400; before = (k - e) * 86400
    printf "start %.3f s after the route, %.3f s long, ends %.3f s before the kill\n", ds, len, before
    exit !(ds >= -0.5 && ds <= 2 && len >= 59.5 && len <= 62 && before >= 0) }' >&2 ||
    e2e_fail "the record is not the connection up to its first checkpoint"

# The next start finds an ordinary finished connection and lists it.
e2e_start_program "$binary" LC_ALL=en_US.UTF-8
main=$(e2e_wait_main_window) || e2e_fail "no main window at the next start"
[ "$(stat -c %s datatime.dat)" -eq 32 ] || e2e_fail "the next start changed the log"
e2e_click_in "$main" 612 139 # "elenco"
text=$(e2e_atspi text '^Start|^Inizio: ' 10) || e2e_fail "no list after the click on \"elenco\""
e2e_log "list: $(echo "$text" | paste -sd '|')"
duration=$(echo "$text" | sed -n 's/^Durata: //p' | tail -n1)
[[ "$duration" =~ ^0:01:0[0-2]$ ]] || e2e_fail "the connection's duration reads \"$duration\", expected 0:01:00 to 0:01:02"
kill -0 "$E2E_PROGRAM_PID" || e2e_fail "the program ended by itself"
e2e_log "ok"
