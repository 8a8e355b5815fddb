#!/usr/bin/env bash
# A StatusNotifierItem host of the test's own on the session bus, started only after the program: a window
# left minimised for want of a tray goes into it when it comes; the item carries the icon and the hint,
# Activate brings the window back; the host replaced while the icon is in the tray gets the icon again;
# the icon's menu writes and removes the start-at-login entry and closes through the close question; with
# the host gone for good the window comes back minimised; an XEmbed tray that replaces the host gets the icon.
# With no notification server on the bus, the limit balloon is a window of the program's own.
source "$(dirname "$0")/lib.sh"
binary=$(realpath "$1")
e2e_require_root
e2e_workdir
e2e_start_x
e2e_start_netns
e2e_start_a11y

host() { "$E2E_PYTHON" "$E2E_LIB_DIR/sni_host.py" "$@"; }
E2E_HOST_PID=""
start_host() {
    "$E2E_PYTHON" "$E2E_LIB_DIR/sni_host.py" serve >"$E2E_DIR/host$1.log" 2>&1 &
    E2E_HOST_PID=$!
    E2E_PIDS+=($E2E_HOST_PID)
    e2e_poll 100 grep -q serving "$E2E_DIR/host$1.log" || e2e_fail "the tray host did not start"
}
stop_host() {
    kill -TERM "$E2E_HOST_PID"
    e2e_poll 50 eval '! kill -0 "$E2E_HOST_PID" 2>/dev/null' || e2e_fail "the tray host did not end"
}
item() { host items 2>/dev/null | head -n1; }
has_item() { [ -n "$(item)" ]; }
tooltip_is() { [ "$(host tooltip "$(item)" 2>/dev/null)" = "$1" ]; }
tooltip_today() { host tooltip "$(item)" 2>/dev/null | grep -Eq '^today time is [0-9]+:[0-9]{2}:[0-9]{2}$'; }
iconic() { [ "$(e2e_wm_state "$main")" = Iconic ]; }
in_tray() { e2e_hidden "$main" && ! e2e_in_client_list "$main" && has_item; }

# Ten hours yesterday: the seven-day average is over the limit of one hour a day, so while recording the
# balloon is asked for every second, and the hint must still read today's time.
day=$(date -d 'yesterday 08:00' +%s)
e2e_write_log datatime.dat "$day" $((day + 36000))
export XDG_CONFIG_HOME="$E2E_DIR/config"
e2e_start_program "$binary" XDG_CONFIG_HOME="$XDG_CONFIG_HOME"
main=$(e2e_wait_main_window) || e2e_fail "no main window"

# No host yet: an ordinary minimise.
xdotool windowminimize "$main"
e2e_poll 100 iconic || e2e_fail "minimised window is $(e2e_wm_state "$main"), not Iconic"
sleep 1.5
iconic && e2e_in_client_list "$main" || e2e_fail "without a host the minimised window became $(e2e_wm_state "$main")"

# The host comes: the window goes into it at once, with the picture and the hint.
start_host 1
e2e_poll 30 in_tray || e2e_fail "the minimised window did not go into the host that came (item: $(item), WM_STATE $(e2e_wm_state "$main"))"
e2e_log "a host that came after the program took the minimised window: $(item)"
host pixmaps "$(item)" | grep -qx '32x32:4096' || e2e_fail "icon pictures: $(host pixmaps "$(item)")"
tooltip_is "Hour link" || e2e_fail "tooltip: $(host tooltip "$(item)")"

# Recording over the limit: the hint follows the connection every second, whatever the balloon does.
e2e_route_up
e2e_poll 50 tooltip_today || e2e_fail "tooltip while recording: $(host tooltip "$(item)")"
first=$(host tooltip "$(item)")
sleep 2.2
tooltip_today && [ "$(host tooltip "$(item)")" != "$first" ] || e2e_fail "tooltip stood still or changed to: $(host tooltip "$(item)")"
e2e_log "tooltip while recording over the limit: $first, then $(host tooltip "$(item)")"
# No notification server on this bus: the balloon is a window of our own, for an item on a D-Bus host too.
e2e_atspi window '^La media connessioni è superiore al limite AUP:$' 10 >/dev/null ||
    e2e_fail "no balloon window for the item on a D-Bus host without a notification server"
e2e_log "the limit balloon is a window of our own"

host activate "$(item)"
e2e_poll 50 e2e_visible "$main" || e2e_fail "Activate did not bring the window back"
[ "$(e2e_wm_state "$main")" = Normal ] || e2e_fail "restored window is $(e2e_wm_state "$main")"
has_item || e2e_fail "the item left the host at the restore"

xdotool windowminimize "$main"
e2e_poll 50 in_tray || e2e_fail "a second minimise did not hide the window in the tray"

# A panel restart: the host goes and another takes its place within the grace time.
stop_host
start_host 2
e2e_poll 50 has_item || e2e_fail "the icon did not come back to the new host"
e2e_poll 30 tooltip_today || e2e_fail "the icon came back with the tooltip $(host tooltip "$(item)")"
host pixmaps "$(item)" | grep -qx '32x32:4096' || e2e_fail "icon came back with pictures: $(host pixmaps "$(item)")"
sleep 3.5
in_tray || e2e_fail "the window left the tray although a host came back (WM_STATE $(e2e_wm_state "$main"))"
e2e_log "a replaced host got the icon back, picture and hint; the window stayed in the tray"

# The menu the host draws: Restore, a Start at login tick that follows the entry, Close.
entry="$XDG_CONFIG_HOME/autostart/hourlink.desktop"
menu=$(host menu "$(item)")
[ "$menu" = "$(printf '1 Restore -\n2 Start at login off\n3 Close -')" ] || e2e_fail "menu: $menu"
host click "$(item)" "Start at login"
e2e_poll 30 test -s "$entry" || e2e_fail "Start at login wrote no entry"
grep -qx "Exec=\"$E2E_DIR/program/hourlink\" --minimized" "$entry" || e2e_fail "entry: $(cat "$entry")"
grep -qx "TryExec=$E2E_DIR/program/hourlink" "$entry" || e2e_fail "entry: $(cat "$entry")"
grep -qx "Path=$E2E_DIR" "$entry" || e2e_fail "entry: $(cat "$entry")"
[ "$(host menu "$(item)" | sed -n 2p)" = "2 Start at login on" ] || e2e_fail "menu after the entry: $(host menu "$(item)")"
host click "$(item)" "Start at login"
e2e_poll 30 test ! -e "$entry" || e2e_fail "Start at login did not remove the entry"
[ "$(host menu "$(item)" | sed -n 2p)" = "2 Start at login off" ] || e2e_fail "menu without the entry: $(host menu "$(item)")"
in_tray || e2e_fail "the menu brought the window out of the tray"
e2e_log "Start at login wrote and removed $entry"

# The host goes for good: after the grace time the window is back, minimised, on the taskbar.
stop_host
sleep 1.5
e2e_hidden "$main" || e2e_fail "the window came back before the grace time"
e2e_poll 50 iconic || e2e_fail "with the host gone the window is $(e2e_wm_state "$main"), not Iconic"
e2e_in_client_list "$main" || e2e_fail "the window back from a gone tray has no taskbar entry"
e2e_log "with the host gone for good the window came back minimised"

# A host again: the minimised window goes into it.
start_host 3
e2e_poll 30 in_tray || e2e_fail "the window did not go into the host that came back"

# Close from the menu asks first while recording; "No" keeps the program and the window in the tray.
host click "$(item)" "Close"
question() { xdotool search --onlyvisible --name '^Warning$' 2>/dev/null | head -n1; }
e2e_poll 50 eval '[ -n "$(question)" ]' || e2e_fail "Close asked nothing while recording"
warning=$(question)
# "No" is the cancel button of the question.
xdotool windowactivate "$warning" 2>/dev/null || true
sleep 0.3
xdotool key Escape
e2e_poll 50 eval '[ -z "$(question)" ]' || e2e_fail "the question did not go"
sleep 0.5
kill -0 "$E2E_PROGRAM_PID" || e2e_fail "the program ended although the answer was no"
in_tray || e2e_fail "the window left the tray after the question"
e2e_log "Close from the menu asked first"

# The D-Bus host goes and an XEmbed tray takes its place: the icon docks there, the window stays hidden.
stop_host
e2e_start_tray
e2e_poll 50 eval 'e2e_tray_icon >/dev/null' || e2e_fail "the icon did not come to the XEmbed tray"
sleep 3.5
e2e_hidden "$main" && ! e2e_in_client_list "$main" || e2e_fail "the window left the tray when the XEmbed tray took over"
e2e_log "an XEmbed tray that replaced the D-Bus host got the icon"
e2e_log "ok"
