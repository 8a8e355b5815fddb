#!/usr/bin/env bash
# How long a second start takes to bring the first window back from the tray, seen from outside: from
# the moment the second start is launched to the moment the window is on the screen again, polled every
# few milliseconds. Prints each of RUNS figures and their median. Needs root (network namespace).
# Usage: bench/handover/handover.sh BINARY [RUNS]
source "$(dirname "$0")/../../tests/e2e/lib.sh"
binary=$(realpath "$1")
runs=${2:-10}
e2e_require_root
e2e_workdir
e2e_start_x
e2e_start_tray
e2e_start_netns
day=$(date -d '3 days ago 10:00' +%s)
e2e_write_log datatime.dat "$day" $((day + 3600))
e2e_start_program "$binary"
main=$(e2e_wait_main_window) || e2e_fail "no main window"
visible() { xdotool search --onlyvisible --name '^Pellandra Hourlink 2.0$' 2>/dev/null | grep -qx "$main"; }
figures=()
for _ in $(seq "$runs"); do
    xdotool windowminimize "$main"
    e2e_poll 100 eval '! visible && e2e_tray_icon >/dev/null' || e2e_fail "not in the tray"
    sleep 0.5
    start=$(date +%s%N)
    e2e_run_again &
    second=$!
    until visible; do :; done
    end=$(date +%s%N)
    wait "$second" || e2e_fail "the second start failed"
    figures+=($(((end - start) / 1000000)))
done
echo "ms from the second start to the window back: ${figures[*]}"
printf '%s\n' "${figures[@]}" | sort -n | awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print "median:", m, "ms" }'
