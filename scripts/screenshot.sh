#!/usr/bin/env bash
# Takes the README's picture of the main window: the program in a private X server with openbox, on a
# week of sample connections, without a connection of its own (in a network namespace when run as root).
# Usage: scripts/screenshot.sh BINARY OUTPUT.png
source "$(dirname "$0")/../tests/e2e/lib.sh"
binary=$(realpath "$1")
output=$(realpath -m "$2")
e2e_workdir
e2e_start_x
# A week of evening connections of varying length, ending before today.
args=()
for days in 6 5 4 3 2 1; do
    start=$(date -d "$days days ago 20:00" +%s)
    args+=("$start" $((start + 1800 + days * 1500)))
done
e2e_write_log datatime.dat "${args[@]}"
if [ "$(id -u)" -eq 0 ]; then
    e2e_start_netns
    e2e_start_program "$binary"
else
    mkdir -p program && cp "$binary" program/hourlink
    ./program/hourlink >program.log 2>&1 &
    E2E_PIDS+=($!)
fi
main=$(e2e_wait_main_window) || e2e_fail "no main window"
sleep 1
mkdir -p "$(dirname "$output")"
e2e_shot "$main" "$output"
e2e_log "window picture: $output"
