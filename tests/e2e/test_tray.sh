#!/usr/bin/env bash
# Minimising sends the main window into the tray: the window and its taskbar entry go, an icon comes into
# the tray host's panel, and a left click on the icon brings the window back in the view it was left in,
# once with the chart and once with the list. The right button opens the icon's menu.
source "$(dirname "$0")/lib.sh"
binary=$(realpath "$1")
e2e_require_root
e2e_workdir
e2e_start_x
e2e_start_tray
e2e_start_netns

# One hour three days ago: a bar in one column, the other columns show the empty back wall.
day=$(date -d '3 days ago 10:00' +%s)
e2e_write_log datatime.dat "$day" $((day + 3600))
e2e_start_program "$binary" XDG_CONFIG_HOME="$E2E_DIR/config"
main=$(e2e_wait_main_window) || e2e_fail "no main window"
e2e_tray_icon >/dev/null && e2e_fail "an icon is in the tray before the first minimise"

# Chart1 and Memo1 share the client rectangle (8,8) 553 x 297. Near its bottom right the chart's background
# gradient is aqua, and in the column of an empty day its back wall is grey; the list is plain white at all of them.
view_of() {
    local shot="$E2E_DIR/view.png" r g b grey=0 white=0 y
    e2e_shot "$main" "$shot" || return 0
    for y in 180 185 190; do
        read -r r g b < <(e2e_pixel "$shot" 149 "$y")
        [ "$r $g $b" = "255 255 255" ] && white=$((white + 1))
        awk -v r="$r" -v g="$g" -v b="$b" 'BEGIN { exit !(r > 90 && r < 170 && (r - g) ^ 2 < 100 && (g - b) ^ 2 < 100) }' &&
            grey=$((grey + 1))
    done
    read -r r g b < <(e2e_pixel "$shot" 520 290)
    if [ "$r $g $b" = "255 255 255" ] && [ "$white" -eq 3 ]; then
        echo list
    elif [ "$r" -lt 200 ] && [ "$g" -gt 200 ] && [ "$b" -gt 200 ] && [ "$grey" -ge 2 ]; then
        echo chart
    else
        echo "neither (gradient $r $g $b, $grey grey and $white white wall pixels)"
    fi
}
expect_view() {
    local view
    for _ in $(seq 50); do
        view=$(view_of)
        [ "$view" = "$1" ] && return 0
        sleep 0.1
    done
    e2e_fail "expected the $1 view, saw $view"
}

in_tray() { e2e_hidden "$main" && ! e2e_in_client_list "$main" && e2e_tray_icon >/dev/null; }
to_tray_and_back() {
    xdotool windowminimize "$main"
    e2e_poll 100 in_tray || e2e_fail "minimised window not in the tray (visible: $(e2e_visible "$main" && echo yes || echo no), WM_STATE $(e2e_wm_state "$main"), icon: $(e2e_tray_icon || echo none))"
    local x y w h
    read -r x y w h < <(e2e_tray_icon)
    e2e_log "in the tray: window hidden and off the client list, icon ${w}x$h at $x,$y"
    [ "$w" -ge 22 ] && [ "$w" -le 26 ] && [ "$h" -ge 22 ] && [ "$h" -le 26 ] || e2e_fail "tray icon of $w x $h"
    sleep 0.3
    e2e_click_at $((x + w / 2)) $((y + h / 2))
    e2e_poll 100 e2e_visible "$main" || e2e_fail "a click on the tray icon did not bring the window back"
    e2e_poll 30 e2e_in_client_list "$main" || e2e_fail "the restored window has no taskbar entry"
    [ "$(e2e_wm_state "$main")" = Normal ] || e2e_fail "restored window is $(e2e_wm_state "$main")"
    e2e_tray_icon >/dev/null || e2e_fail "the icon left the tray at the restore"
}

expect_view chart
to_tray_and_back
expect_view chart
e2e_log "back from the tray in the chart view"

e2e_click_in "$main" 612 139 # "elenco"
expect_view list
to_tray_and_back
expect_view list
e2e_log "back from the tray in the list view"

# The right button opens the icon's menu at the cursor: Restore, Start at login, Close. Its middle line
# writes the start-at-login entry, and chosen again removes it.
entry="$E2E_DIR/config/autostart/hourlink.desktop"
menu_window() {
    local id size
    for id in $(xdotool search --onlyvisible --class '^hourlink$' 2>/dev/null); do
        [ "$id" = "$main" ] && continue
        size=$(e2e_window_size "$id")
        [ "${size#* }" -ge 40 ] && { echo "$id"; return 0; }
    done
    return 1
}
choose_middle_line() {
    local x y w h menu mx my mw mh
    read -r x y w h < <(e2e_tray_icon)
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) sleep 0.2 click 3
    menu=$(e2e_poll 50 menu_window && menu_window) || e2e_fail "the right button opened no menu"
    eval "$(xwininfo -id "$menu" | awk '/Absolute upper-left X/ {print "mx=" $NF} /Absolute upper-left Y/ {print "my=" $NF}
        /Width:/ {print "mw=" $NF} /Height:/ {print "mh=" $NF}')"
    e2e_click_at $((mx + mw / 2)) $((my + mh / 2))
    e2e_poll 50 eval '! menu_window >/dev/null' || e2e_fail "the menu stayed open"
}
xdotool windowminimize "$main"
e2e_poll 100 in_tray || e2e_fail "minimised window not in the tray"
choose_middle_line
e2e_poll 30 test -s "$entry" || e2e_fail "Start at login wrote no entry"
grep -qx "Exec=\"$E2E_DIR/program/hourlink\" --minimized" "$entry" || e2e_fail "entry: $(cat "$entry")"
choose_middle_line
e2e_poll 30 test ! -e "$entry" || e2e_fail "Start at login chosen again left the entry"
in_tray || e2e_fail "the menu brought the window out of the tray"
e2e_log "the icon's menu wrote and removed the start-at-login entry"

kill -0 "$E2E_PROGRAM_PID" || e2e_fail "the program ended by itself"
e2e_log "ok"
