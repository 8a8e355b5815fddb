#!/usr/bin/env bash
# The limit balloon on a desktop with a notification server and a StatusNotifierItem host, both the test's
# own on its session bus. Asked for once a second while the average is over the limit, the balloon stays
# one notification that is replaced in place, with the balloon's texts; the icon's tooltip keeps today's
# time. An expired notification comes back with the next request; one the user clicked or dismissed stays
# away while the requests go on, and comes back after a break of more than two seconds.
# The notification server is not running at first: the bus starts it on demand, as it does xfce4-notifyd
# or dunst, and the first balloon is what starts it.
source "$(dirname "$0")/lib.sh"
binary=$(realpath "$1")
e2e_require_root
e2e_workdir
e2e_start_x
notes="$E2E_DIR/notifications.jsonl"
export E2E_BUS_SERVICES="$E2E_DIR/services"
mkdir -p "$E2E_BUS_SERVICES"
cat >"$E2E_BUS_SERVICES/org.freedesktop.Notifications.service" <<EOF
[D-BUS Service]
Name=org.freedesktop.Notifications
Exec=/usr/bin/python3 $(realpath "$(dirname "$0")")/desktop_bus.py $notes
EOF
e2e_start_a11y
e2e_start_netns

# The tray host is there from the start; the notification server only on demand.
host() { "$E2E_PYTHON" "$E2E_LIB_DIR/sni_host.py" "$@"; }
host serve >"$E2E_DIR/host.log" 2>&1 &
E2E_PIDS+=($!)
e2e_poll 100 grep -q serving "$E2E_DIR/host.log" || e2e_fail "the test's tray host did not start"
item() { host items 2>/dev/null | head -n1; }
touch "$notes"

title='La media connessioni è superiore al limite AUP:'
yesterday=$(date -d 'yesterday 08:00' +%s)
e2e_write_log datatime.dat "$yesterday" $((yesterday + 36000))
e2e_start_program "$binary"
main=$(e2e_wait_main_window) || e2e_fail "no main window"

# Fields of the Notify calls as lines, oldest first: "id replaces t".
notifies() {
    "$E2E_PYTHON" -c '
import json, sys
for line in open(sys.argv[1]):
    r = json.loads(line)
    if r["call"] == "Notify":
        print(r["id"], r["replaces"], r["t"])' "$notes"
}
notify_count() { notifies | wc -l; }
last_id() { notifies | tail -n1 | cut -d' ' -f1; }
# Whether no Notify came during the given seconds.
quiet_for() {
    local before
    before=$(notify_count)
    sleep "$1"
    [ "$(notify_count)" -eq "$before" ]
}
# Waits for a Notify after the first COUNT ones that shows a new notification (replaces none).
new_since() { notifies | tail -n +$(($1 + 1)) | grep -q '^[0-9]* 0 '; }
new_notification_after() { e2e_poll 50 new_since "$1"; }
act() { gdbus call --session --dest org.freedesktop.Notifications --object-path /test --method "org.hourlink.TestDesktop.$1" "$2" >/dev/null; }

e2e_route_up
e2e_atspi text '^Recording\.\.\.$' 10 >/dev/null || e2e_fail "no recording started"
sleep 2
[ "$(notify_count)" -eq 0 ] || e2e_fail "a notification before the icon was in the tray"
grep -q '"ready"' "$notes" && e2e_fail "the notification server was started before any balloon"
e2e_log "no notification while the icon is not in the tray, and no server started"

xdotool windowminimize "$main"
e2e_poll 100 eval '[ -n "$(item)" ]' || e2e_fail "no item registered with the host"
e2e_poll 50 e2e_hidden "$main" || e2e_fail "the window did not go into the tray"
e2e_poll 100 grep -q '"ready"' "$notes" || e2e_fail "the first balloon did not start the notification server"
# Started by the bus, it is stopped by the test like everything else.
E2E_PIDS+=("$("$E2E_PYTHON" -c 'import json, sys; print(json.loads(open(sys.argv[1]).readline())["pid"])' "$notes")")
e2e_poll 50 eval '[ "$(notify_count)" -ge 1 ]' || e2e_fail "no notification after the minimise"
sleep 6
# Every request after the first replaced the first notification: one id, and each later call names it.
"$E2E_PYTHON" - "$notes" "$title" <<'PY' || e2e_fail "the requests did not keep one notification with the balloon's texts"
import json, re, sys
calls = [json.loads(l) for l in open(sys.argv[1]) if '"Notify"' in l]
first = calls[0]
print(f"{len(calls)} Notify calls over {calls[-1]['t'] - first['t']:.1f} s, ids {sorted({c['id'] for c in calls})}", file=sys.stderr)
assert len(calls) >= 5, "fewer than one request a second"
assert first["replaces"] == 0
assert all(c["id"] == first["id"] and c["replaces"] == first["id"] for c in calls[1:])
for c in calls:
    assert c["app"] == "Pellandra Hourlink 2.0", c["app"]
    assert c["summary"] == sys.argv[2], c["summary"]
    assert re.fullmatch(r"\d\d:\d\d:\d\d", c["body"]), c["body"]
    assert c["timeout"] == 10000 and c["hints"].get("urgency") == 1, c
    assert c["hints"].get("image-path") == "dialog-information" and c["actions"][0] == "default", c
PY
e2e_log "one notification, replaced once a second"

# The icon's tooltip, read from the item the host knows.
for _ in 1 2 3; do
    tip=$(host tooltip "$(item)") || e2e_fail "the item has no tooltip"
    e2e_log "tooltip: $tip"
    grep -Eq '^today time is [0-9]+:[0-9]{2}:[0-9]{2}$' <<<"$tip" ||
        e2e_fail "the tooltip does not show today's time while the balloon repeats"
    sleep 1
done

# Expired: the next request shows it anew.
id=$(last_id)
count=$(notify_count)
act Expire "$id"
new_notification_after "$count" || e2e_fail "an expired notification did not come back"
e2e_log "expired notification $id came back as $(last_id)"

# Clicked: stays away while the requests go on.
act Click "$(last_id)"
quiet_for 4 || e2e_fail "a clicked notification came back while the requests went on"
e2e_log "clicked notification stays away"
# A break of more than two seconds: the connection ends and a new one starts.
e2e_route_down
e2e_atspi text '^Remote Connection closed$' 10 >/dev/null || true
sleep 3
count=$(notify_count)
e2e_route_up
new_notification_after "$count" || e2e_fail "no notification after the break"
e2e_log "after a break the notification is back as $(last_id)"

# Dismissed: stays away as well.
act Dismiss "$(last_id)"
quiet_for 4 || e2e_fail "a dismissed notification came back while the requests went on"
e2e_log "dismissed notification stays away"

kill -0 "$E2E_PROGRAM_PID" || e2e_fail "the program ended by itself"
e2e_log "ok"
