#!/usr/bin/env bash
# The list view: "elenco" puts the list in the chart's place, built from the log at each click: the
# connections that ended in the last 144 hours, four lines each. One that ended an hour ago is listed with
# its start, end and duration; one that ended a week ago is not. The program runs with the Italian
# locale, so the date and time texts are known.
source "$(dirname "$0")/lib.sh"
binary=$(realpath "$1")
e2e_require_root
e2e_workdir
e2e_start_x
e2e_start_a11y
e2e_start_netns

now=$(date +%s)
start=$((now - 7200)) end=$((now - 3600)) old=$(date -d '8 days ago 10:00' +%s)
e2e_write_log datatime.dat "$old" $((old + 3600)) "$start" "$end"
e2e_start_program "$binary" LC_ALL=it_IT.UTF-8
main=$(e2e_wait_main_window) || e2e_fail "no main window"

# Chart1 and Memo1 share the client rectangle (8,8) 553 x 297: near its bottom right the chart's
# background gradient is aqua, the list is white.
corner() {
    e2e_shot "$main" "$E2E_DIR/view.png" && e2e_pixel "$E2E_DIR/view.png" 520 290
}
aqua() { read -r r g b < <(corner) && [ "$r" -lt 200 ] && [ "$g" -gt 200 ] && [ "$b" -gt 200 ]; }
white() { [ "$(corner)" = "255 255 255" ]; }
e2e_poll 50 aqua || e2e_fail "the chart is not shown at start ($(corner))"

stamp() { date -d "@$1" '+%d/%m/%y %H:%M:%S'; }
entry() {
    printf 'Inizio: %s\nFine  : %s\nDurata: %s\n%s\n' "$(stamp "$1")" "$(stamp "$2")" "$3" \
        -----------------------------------
}

e2e_click_in "$main" 612 139 # "elenco"
text=$(e2e_atspi text '^Inizio: ' 10) || e2e_fail "no list after the click on \"elenco\": $(e2e_atspi dump | grep -m1 $'\ttext\t\t\t[^A]')"
e2e_log "list: $(echo "$text" | paste -sd '|')"
[ "$text" = "$(entry "$start" "$end" 01:00:00)" ] ||
    e2e_fail "expected the one connection that ended an hour ago, got: $text"
e2e_poll 50 white || e2e_fail "the chart is still drawn where the list is ($(corner))"

# Another connection in the log shows at the next click, after the first.
later=$((now - 1800))
e2e_write_log datatime.dat "$old" $((old + 3600)) "$start" "$end" "$later" $((later + 754))
e2e_click_in "$main" 612 139
text=$(e2e_atspi text '(?s)^Inizio: .*Inizio: ' 10) || e2e_fail "a second click on \"elenco\" did not rebuild the list"
[ "$text" = "$(entry "$start" "$end" 01:00:00; entry "$later" $((later + 754)) 00:12:34)" ] ||
    e2e_fail "unexpected list after the second click: $text"
e2e_log "second click lists both connections"

kill -0 "$E2E_PROGRAM_PID" || e2e_fail "the program ended by itself"
e2e_log "ok"
