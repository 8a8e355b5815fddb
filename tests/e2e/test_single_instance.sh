#!/usr/bin/env bash
# One program per log. A second start from the same folder while the first sits in the tray brings the
# first window back and ends with status 0, and a connection seen by both gives one record; with
# --minimized it leaves the first alone. A start after the first was killed with SIGKILL takes over at
# once. A start from another folder is a program of its own, and --minimized takes a first start straight
# into the tray.
source "$(dirname "$0")/lib.sh"
binary=$(realpath "$1")
e2e_require_root
e2e_workdir
e2e_start_x
e2e_start_tray
e2e_start_netns

# A log of one old connection, so that no first-start message comes up.
day=$(date -d '3 days ago 10:00' +%s)
e2e_write_log datatime.dat "$day" $((day + 3600))
e2e_start_program "$binary"
first=$E2E_PROGRAM_PID
main=$(e2e_wait_main_window) || e2e_fail "no main window"
in_tray() { e2e_hidden "$main" && e2e_tray_icon >/dev/null; }
back() { e2e_visible "$main" && [ "$(e2e_wm_state "$main")" = Normal ]; }

xdotool windowminimize "$main"
e2e_poll 100 in_tray || e2e_fail "the first window did not go into the tray"

# A connection that both programs would see if both ran.
e2e_route_up
sleep 1.5
start=$(date +%s.%N)
e2e_run_again && status=0 || status=$?
[ "$status" -eq 0 ] || e2e_fail "the second start ended with status $status: $(cat "$E2E_DIR/second.log")"
e2e_poll 100 back || e2e_fail "the first window did not come back (WM_STATE $(e2e_wm_state "$main"))"
e2e_log "second start ended with 0 after $(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.2f", e - s }') s; the first window is back"
[ "$(xdotool search --onlyvisible --name '^Pellandra Hourlink 2.0$' | wc -l)" -eq 1 ] ||
    e2e_fail "more than one window on the screen"

# An autostart while it runs: nothing comes forward.
xdotool windowminimize "$main"
e2e_poll 100 in_tray || e2e_fail "the window did not go back into the tray"
e2e_run_again --minimized && status=0 || status=$?
[ "$status" -eq 0 ] || e2e_fail "the minimised second start ended with status $status"
sleep 1
in_tray || e2e_fail "a minimised second start brought the window forward"

e2e_route_down
e2e_poll 50 eval '[ "$(stat -c %s datatime.dat)" -gt 16 ]' || e2e_fail "the connection was not recorded"
sleep 1.5
records=$(e2e_records datatime.dat | wc -l)
[ "$records" -eq 2 ] || e2e_fail "one connection gave $((records - 1)) records: $(e2e_records datatime.dat)"
e2e_log "one connection, one record"

# SIGKILL leaves the lock and the socket behind; the next start takes them over at once.
kill -KILL "$first"
wait "$first" 2>/dev/null || true
e2e_poll 50 eval '! e2e_visible "$main"' || e2e_fail "the killed program's window stays"
start=$(date +%s.%N)
e2e_start_program "$binary"
main=$(e2e_wait_main_window) || e2e_fail "no main window after a kill -9: $(cat "$E2E_DIR/program.log")"
took=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.2f", e - s }')
e2e_log "the start after kill -9 showed its window after $took s"
awk -v t="$took" 'BEGIN { exit !(t < 4) }' || e2e_fail "the start after kill -9 waited $took s"
e2e_run_again && status=0 || status=$?
[ "$status" -eq 0 ] || e2e_fail "the new program does not answer a second start: status $status"
kill -0 "$E2E_PROGRAM_PID" || e2e_fail "the program ended after the second start"

# Another folder: a program of its own, started into the tray.
mkdir other
e2e_write_log other/datatime.dat "$day" $((day + 3600))
cd other
E2E_PROGRAM_ARGS=(--minimized)
e2e_start_program "$binary"
other=$E2E_PROGRAM_PID
cd ..
icons() { xwininfo -id "$E2E_TRAY_PANEL" -children | grep -c '^ *0x.*[0-9]x[0-9]' || true; }
e2e_poll 100 eval '[ "$(icons)" -ge 2 ]' || e2e_fail "the minimised start put no second icon into the tray"
kill -0 "$other" || e2e_fail "the start from another folder ended: $(cat "$E2E_DIR/program.log")"
[ "$(xdotool search --onlyvisible --name '^Pellandra Hourlink 2.0$' | wc -l)" -eq 1 ] ||
    e2e_fail "the minimised start showed a window"

# Two starts at the same moment in a third folder: one keeps the log, the other hands over and ends.
mkdir twins
e2e_write_log twins/datatime.dat "$day" $((day + 3600))
cd twins
for twin in a b; do
    ip netns exec "$E2E_NETNS" env DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" \
        "$E2E_DIR/program/hourlink" >"$E2E_DIR/twin-$twin.log" 2>&1 &
    E2E_PIDS+=($!)
    eval "twin_$twin=$!"
done
cd ..
one_ended() { ! kill -0 "$twin_a" 2>/dev/null || ! kill -0 "$twin_b" 2>/dev/null; }
e2e_poll 100 one_ended || e2e_fail "neither of two simultaneous starts handed over"
sleep 1
if kill -0 "$twin_a" 2>/dev/null; then ended=$twin_b; else ended=$twin_a; fi
kill -0 "$twin_a" 2>/dev/null || kill -0 "$twin_b" 2>/dev/null || e2e_fail "both simultaneous starts ended"
wait "$ended" && status=0 || status=$?
[ "$status" -eq 0 ] || e2e_fail "the start that handed over ended with status $status"
[ "$(xdotool search --onlyvisible --name '^Pellandra Hourlink 2.0$' | wc -l)" -eq 2 ] ||
    e2e_fail "two simultaneous starts did not leave exactly one more window"

# A first start without a log shows its message before the window; a second start meanwhile is
# answered from inside the message's loop, ends, and the window comes once the message is closed.
known=$(xdotool search --onlyvisible --name '^Pellandra Hourlink 2.0$' | tr '\n' ' ')
mkdir boxed
cd boxed
E2E_PROGRAM_ARGS=()
e2e_start_program "$binary"
box=$(e2e_wait_other_window '^Pellandra Hourlink 2.0$' "$known") || e2e_fail "no first-start message"
e2e_run_again && status=0 || status=$?
cd ..
[ "$status" -eq 0 ] || e2e_fail "a second start during the message ended with $status: $(cat "$E2E_DIR/second.log")"
e2e_visible "$box" || e2e_fail "the message went away by itself"
xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key --window "$box" Return
e2e_poll 100 eval '! e2e_visible "$box" && [ "$(xdotool search --onlyvisible --name "^Pellandra Hourlink 2.0$" | wc -l)" -eq 3 ]' ||
    e2e_fail "no window after the message was closed"
e2e_log "ok"
