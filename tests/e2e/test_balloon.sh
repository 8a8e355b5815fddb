#!/usr/bin/env bash
# The limit balloon: with "AUP 1" and ten hours yesterday the seven-day average (10/7 h) is over the limit.
# While a connection runs, each tick asks for the balloon; it reaches the screen only once the icon is in
# the tray. Its title and text are read back through the accessibility bus, and a screenshot of it is kept.
source "$(dirname "$0")/lib.sh"
binary=$(realpath "$1")
e2e_require_root
e2e_workdir
e2e_start_x
e2e_start_tray
e2e_start_a11y
e2e_start_netns

title='La media connessioni è superiore al limite AUP:'
yesterday=$(date -d 'yesterday 08:00' +%s)
e2e_write_log datatime.dat "$yesterday" $((yesterday + 36000))
e2e_start_program "$binary"
main=$(e2e_wait_main_window) || e2e_fail "no main window"
e2e_atspi text '^AUP 1$' 10 >/dev/null || e2e_fail "the limit is not AUP 1"

# Qt draws the balloon itself, as an override-redirect popup beside the tray: "ID X Y W H" of one on screen.
balloon_window() {
    local id x y w h
    while read -r id x y w h; do
        [ "$id" = "$(printf '0x%x' "$main")" ] && continue
        xwininfo -id "$id" 2>/dev/null | grep -q 'Override Redirect State: yes' || continue
        xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' || continue
        echo "$id $x $y $w $h"
        return 0
    done < <(xwininfo -root -children | awk '/"hourlink"/ && match($0, / [0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+ /) {
        split(substr($0, RSTART + 1, RLENGTH - 2), g, /[x+]/)
        if (g[1] >= 100 && g[2] >= 30) print $1, g[3], g[4], g[1], g[2] }')
    return 1
}

# A connection while the window is shown: the balloon is asked for every second but has no icon to go to.
up=$(date +%s.%N)
e2e_route_up
e2e_atspi text '^Recording\.\.\.$' 10 >/dev/null || e2e_fail "no recording started"
e2e_atspi text "$title" 2.5 >/dev/null && e2e_fail "a balloon reached the screen before the first minimise"
balloon_window >/dev/null && e2e_fail "a popup appeared before the first minimise: $(balloon_window)"
e2e_log "no balloon while the icon is not in the tray"

xdotool windowminimize "$main"
e2e_poll 100 e2e_tray_icon >/dev/null || e2e_fail "no icon in the tray after the minimise"
lines=$(e2e_atspi window "^$title\$" 10) || e2e_fail "no balloon with the title \"$title\""
e2e_log "balloon texts: $(echo "$lines" | paste -sd '|')"
average=$(echo "$lines" | grep -E '^[0-9]{1,2}:[0-9]{2}:[0-9]{2}$' | head -n1) ||
    e2e_fail "the balloon shows no average"
elapsed=$(awk -v u="$up" -v n="$(date +%s.%N)" 'BEGIN { print n - u }')
# Ten hours and the running connection over seven days, shown to the second.
awk -v t="$average" -v e="$elapsed" 'BEGIN {
    split(t, p, ":"); s = p[1] * 3600 + p[2] * 60 + p[3]
    low = int(36000 / 7); high = (36000 + e) / 7 + 1
    printf "average %s = %d s, expected %d .. %.0f s\n", t, s, low, high
    exit !(s >= low && s <= high) }' >&2 || e2e_fail "the balloon's average is wrong"

for _ in $(seq 30); do
    if read -r id x y w h < <(balloon_window); then
        import -window root "$E2E_DIR/screen.png"
        # Taken while the popup was still up: its box is light, on the black desktop.
        mean=$(/usr/bin/convert "$E2E_DIR/screen.png" -crop "${w}x$h+$x+$y" +repage -format '%[fx:mean]' info:)
        awk -v m="$mean" 'BEGIN { exit !(m > 0.7) }' && balloon_window | grep -q "^$id " && break
    fi
    id=""
    sleep 0.1
done
[ -n "$id" ] || e2e_fail "no balloon popup on the screen"
read -r ix iy _ ih < <(e2e_tray_icon)
e2e_log "balloon popup $id: ${w}x$h at $x,$y; tray icon at $ix,$iy"
# It points at the icon: its right edge and its bottom are close to the icon's.
[ $((x + w)) -ge $((ix - 40)) ] && [ "$((y + h))" -ge $((iy - 40)) ] && [ "$((y + h))" -le $((iy + ih)) ] ||
    e2e_fail "the balloon is not beside the tray icon"
cp "$E2E_DIR/screen.png" "$E2E_OUT/$E2E_NAME.png"
echo "balloon screenshot: $E2E_OUT/$E2E_NAME.png"

kill -0 "$E2E_PROGRAM_PID" || e2e_fail "the program ended by itself"
e2e_log "ok"
