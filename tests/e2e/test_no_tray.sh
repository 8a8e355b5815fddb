#!/usr/bin/env bash
# With no tray host on the screen, minimising is an ordinary minimise: the window stays managed as an
# iconic window with its taskbar entry, no icon is docked anywhere, and activating it brings it back.
# A tray that comes up later takes a window that sits minimised; when that tray ends, the window comes back
# minimised after the grace time, and goes into the next tray that comes.
source "$(dirname "$0")/lib.sh"
binary=$(realpath "$1")
e2e_require_root
e2e_workdir
e2e_start_x
e2e_start_netns

day=$(date -d '2 days ago 10:00' +%s)
e2e_write_log datatime.dat "$day" $((day + 3600))
e2e_start_program "$binary"
main=$(e2e_wait_main_window) || e2e_fail "no main window"

iconic() { [ "$(e2e_wm_state "$main")" = Iconic ]; }
xdotool windowminimize "$main"
e2e_poll 100 iconic || e2e_fail "minimised window is $(e2e_wm_state "$main"), not Iconic"
# The program hears of the minimise a moment later and, with no tray to go to, must leave the window as it is.
sleep 1.5
[ "$(e2e_wm_state "$main")" = Iconic ] || e2e_fail "the window became $(e2e_wm_state "$main") after the minimise"
e2e_in_client_list "$main" || e2e_fail "the minimised window lost its taskbar entry"
e2e_hidden "$main" || e2e_fail "the minimised window is still on the screen"
e2e_log "minimised without a tray host: WM_STATE Iconic, still on the client list"

xdotool windowactivate "$main"
e2e_poll 100 e2e_visible "$main" || e2e_fail "windowactivate did not bring the window back"
[ "$(e2e_wm_state "$main")" = Normal ] || e2e_fail "restored window is $(e2e_wm_state "$main")"
read -r w h < <(e2e_window_size "$main")
[ "$w" -eq 660 ] && [ "$h" -eq 332 ] || e2e_fail "restored window is $w x $h"

kill -0 "$E2E_PROGRAM_PID" || e2e_fail "the program ended by itself"

# Started with --minimized and no tray to go to: an ordinary minimised window with its taskbar entry.
mkdir other
e2e_write_log other/datatime.dat "$day" $((day + 3600))
cd other
E2E_PROGRAM_ARGS=(--minimized)
e2e_start_program "$binary"
cd ..
minimized_window() {
    local id
    for id in $(xdotool search --name '^Pellandra Hourlink 2.0$' 2>/dev/null); do
        [ "$id" != "$main" ] && [ "$(e2e_wm_state "$id")" = Iconic ] && e2e_in_client_list "$id" && return 0
    done
    return 1
}
e2e_poll 100 minimized_window || e2e_fail "a start with --minimized gave no minimised window"
[ "$(xdotool search --onlyvisible --name '^Pellandra Hourlink 2.0$' | wc -l)" -eq 1 ] ||
    e2e_fail "a start with --minimized showed its window"
kill -0 "$E2E_PROGRAM_PID" || e2e_fail "the minimised program ended by itself"

# A tray comes up late, as a panel after an autostart: the window that sits minimised goes into it.
second=""
for id in $(xdotool search --name '^Pellandra Hourlink 2.0$' 2>/dev/null); do
    [ "$id" != "$main" ] && [ "$(e2e_wm_state "$id")" = Iconic ] && second=$id
done
[ -n "$second" ] || e2e_fail "the minimised window is gone"
e2e_start_tray
in_tray() { [ "$(e2e_wm_state "$second")" != Iconic ] && ! e2e_in_client_list "$second" && e2e_tray_icon >/dev/null; }
e2e_poll 50 in_tray || e2e_fail "the minimised window did not go into the tray that came (WM_STATE $(e2e_wm_state "$second"), icon: $(e2e_tray_icon || echo none))"
e2e_visible "$main" || e2e_fail "the window that was not minimised went away"
e2e_log "a tray that came late took the minimised window"

# The panel ends: nothing asks the X server about trays any more, so only the tray's own end can tell.
kill "$E2E_TRAY_PID"
wait "$E2E_TRAY_PID" 2>/dev/null || true
sleep 1.5
e2e_hidden "$second" || e2e_fail "the window came back before the grace time"
back() { [ "$(e2e_wm_state "$second")" = Iconic ] && e2e_in_client_list "$second"; }
e2e_poll 50 back || e2e_fail "with the tray gone the window is $(e2e_wm_state "$second"), not Iconic on the taskbar"
e2e_log "with the tray gone the window came back minimised"
e2e_start_tray
e2e_poll 50 in_tray || e2e_fail "the window did not go into the tray that came back (WM_STATE $(e2e_wm_state "$second"))"
e2e_log "a tray that came back took it again"
e2e_log "ok"
