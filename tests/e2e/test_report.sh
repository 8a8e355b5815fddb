#!/usr/bin/env bash
# hourlink-report beside the real program: while the program runs, today's time includes the running
# connection and follows it second by second, and the query never brings the minimised window back; a
# killed program leaves the log's figures alone, said so; a socket that takes the question and never
# answers costs no more than the report's answer timeout.
# Usage: test_report.sh HOURLINK HOURLINK_REPORT
source "$(dirname "$0")/lib.sh"
binary=$(realpath "$1")
report=$(realpath "$2")
e2e_require_root
e2e_workdir
e2e_start_x
e2e_start_tray
e2e_start_netns

# One old connection of an hour, so that no first-start message comes up.
day=$(date -d '2 days ago 10:00' +%s)
e2e_write_log datatime.dat "$day" $((day + 3600))
e2e_start_program "$binary"
main=$(e2e_wait_main_window) || e2e_fail "no main window"
xdotool windowminimize "$main"
in_tray() { e2e_hidden "$main" && e2e_tray_icon >/dev/null; }
e2e_poll 100 in_tray || e2e_fail "the window did not go into the tray"

# The report runs outside the program's network namespace: the socket is a path in XDG_RUNTIME_DIR.
run_report() { XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$report" --dir "$E2E_DIR" --ini "$E2E_DIR/program/hour_link.ini" "$@"; }
json_field() { python3 -c 'import json, sys; print(json.load(sys.stdin)[sys.argv[1]])' "$1"; }

idle=$(run_report --today --json) || e2e_fail "the report failed while the program idles"
[ "$(json_field live <<<"$idle")" = True ] || e2e_fail "no live answer from the running program: $idle"
[ "$(json_field recording <<<"$idle")" = False ] || e2e_fail "recording before any connection: $idle"
[ "$(json_field connected_seconds <<<"$idle")" = 0.0 ] || e2e_fail "time today before any connection: $idle"

e2e_route_up
up=$(date +%s.%N)
sleep 2.5
first=$(run_report --today --json) || e2e_fail "the report failed during a connection"
sleep 1.2
second=$(run_report --today --json)
[ "$(json_field recording <<<"$first")" = True ] || e2e_fail "the running connection is not reported: $first"
a=$(json_field connected_seconds <<<"$first")
b=$(json_field connected_seconds <<<"$second")
now=$(date +%s.%N)
e2e_log "today's time during the connection: $a s, then $b s"
awk -v a="$a" -v b="$b" -v up="$up" -v now="$now" 'BEGIN {
    d = b - a; run = now - up
    exit !(d >= 1.0 && d <= 1.6 && b <= run + 0.2 && b >= run - 2.5) }' ||
    e2e_fail "today's time does not follow the connection (${a}s then ${b}s, route up for $(awk -v u="$up" -v n="$now" 'BEGIN{print n-u}') s)"
line=$(run_report --today 2>/dev/null)
[[ "$line" =~ ^[0-9]{1,2}:[0-9]{2}:[0-9]{2}$ ]] || e2e_fail "the status-bar line is '$line'"
table=$(run_report) || e2e_fail "the table view failed"
grep -q '^The program is running: recording since' <<<"$table" || e2e_fail "the table does not say it is live: $table"
sleep 0.5
in_tray || e2e_fail "a query brought the window back"

# Killed while the connection runs: the log alone, and the report says so.
kill -KILL "$E2E_PROGRAM_PID"
wait "$E2E_PROGRAM_PID" 2>/dev/null || true
alone=$(run_report --today --json 2>"$E2E_DIR/report.err") || e2e_fail "the report failed without a program"
[ "$(json_field live <<<"$alone")" = False ] || e2e_fail "live figures from a killed program: $alone"
run_report --today >/dev/null 2>"$E2E_DIR/report.err"
grep -q 'not running' "$E2E_DIR/report.err" || e2e_fail "the log-only figures are not marked: $(cat "$E2E_DIR/report.err")"

# A program that takes the question and never answers: the log's figures after the answer timeout.
socket=$(ls "$XDG_RUNTIME_DIR"/hourlink-*.socket 2>/dev/null | head -n1)
[ -n "$socket" ] || e2e_fail "no socket left by the killed program in $XDG_RUNTIME_DIR"
rm -f "$socket"
python3 -c '
import socket, sys, time
s = socket.socket(socket.AF_UNIX)
s.bind(sys.argv[1]); s.listen(4)
open(sys.argv[2], "w").close()
held = []
while True:
    c, _ = s.accept(); held.append(c)
' "$socket" "$E2E_DIR/silent.ready" &
E2E_PIDS+=($!)
e2e_poll 50 test -e "$E2E_DIR/silent.ready" || e2e_fail "the silent listener did not start"
start=$(date +%s.%N)
silent=$(run_report --today --json) || e2e_fail "the report failed on a silent socket"
took=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.3f", e - s }')
e2e_log "a silent socket: the report ended after $took s"
[ "$(json_field live <<<"$silent")" = False ] || e2e_fail "live figures from a silent socket: $silent"
awk -v t="$took" 'BEGIN { exit !(t < 1.0) }' || e2e_fail "the report waited $took s for a silent socket"
e2e_log "ok"
