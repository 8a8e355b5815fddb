#!/usr/bin/env bash
# The Debian package as a user meets it: its name, contents and control fields, a desktop entry and
# AppStream data that their validators accept, icons drawn at their sizes, and the unpacked program,
# started through its launcher by an unprivileged user, storing a limit in that user's own home.
# Usage: test_package.sh BUILD_FOLDER (after `make package`).
source "$(dirname "$0")/../e2e/lib.sh"
build=$(realpath "$1")
e2e_require_root

arch=$(dpkg --print-architecture)
version=$(sed -n 's/^project(Hourlink VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
deb="$build/hourlink_${version}_${arch}.deb"
[ -f "$deb" ] || e2e_fail "no $deb; run make package first"
e2e_log "$(basename "$deb"): $(stat -c %s "$deb") bytes"

e2e_workdir
chmod 755 "$E2E_DIR"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >contents
for path in /usr/bin/hourlink /usr/bin/hourlink-launch /usr/share/applications/it.pellandra.Hourlink.desktop \
    /usr/share/metainfo/it.pellandra.Hourlink.metainfo.xml /usr/share/doc/hourlink/Readme.txt \
    /usr/share/doc/hourlink/copyright /usr/share/hourlink/Readme.txt /usr/bin/hourlink-report \
    /usr/share/man/man1/hourlink-report.1.gz; do
    grep -qx "$path" contents || e2e_fail "$path is not in the package"
done
for size in 32 48 64 128 256; do
    grep -qx "/usr/share/icons/hicolor/${size}x$size/apps/it.pellandra.Hourlink.png" contents ||
        e2e_fail "no $size px icon"
done

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = hourlink ] || e2e_fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || e2e_fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || e2e_fail "Architecture: $(field Architecture)"
depends=$(field Depends)
e2e_log "Depends: $depends"
for dep in libqt6widgets6 libqt6network6 libc6 qt6-qpa-plugins fonts-liberation xdg-utils; do
    [[ ", $depends," == *", $dep"[\ ,]* ]] || e2e_fail "Depends lacks $dep"
done
[ -n "$(field Maintainer)" ] && [ -n "$(field Description)" ] || e2e_fail "no Maintainer or Description"

mkdir root
dpkg-deb -x "$deb" root
desktop-file-validate root/usr/share/applications/it.pellandra.Hourlink.desktop || e2e_fail "desktop entry refused"
appstreamcli validate --no-net root/usr/share/metainfo/it.pellandra.Hourlink.metainfo.xml ||
    e2e_fail "AppStream metadata refused"
# The report's manual page renders without a warning and names every option.
manual=$(zcat root/usr/share/man/man1/hourlink-report.1.gz | groff -man -Tascii -P-cbou -ww 2>"$E2E_DIR/man.err") ||
    e2e_fail "the manual page does not render"
[ ! -s "$E2E_DIR/man.err" ] || e2e_fail "the manual page renders with warnings: $(cat "$E2E_DIR/man.err")"
for option in --today --list --since --json --csv --dir --ini --alert --limit; do
    grep -q -- "$option" <<<"$manual" || e2e_fail "the manual page does not name $option"
done
# No widgets in the report: it must not pull in the widget library.
if objdump -p root/usr/bin/hourlink-report | grep -q 'NEEDED.*libQt6Widgets'; then
    e2e_fail "hourlink-report links Qt Widgets"
fi
grep -qx 'Icon=it.pellandra.Hourlink' root/usr/share/applications/it.pellandra.Hourlink.desktop ||
    e2e_fail "the desktop entry names no icon of the package"
for size in 32 48 64 128 256; do
    icon="root/usr/share/icons/hicolor/${size}x$size/apps/it.pellandra.Hourlink.png"
    [ "$(identify -format '%w %h' "$icon")" = "$size $size" ] || e2e_fail "the $size px icon is $(identify -format '%wx%h' "$icon")"
done
# Drawn at 64 px, not the 32 px picture made larger: stretching gives blocks of 2 x 2 equal pixels.
stretched=$(/usr/bin/convert root/usr/share/icons/hicolor/32x32/apps/it.pellandra.Hourlink.png -filter point \
    -resize 64x64 png:- | /usr/bin/compare -metric AE - root/usr/share/icons/hicolor/64x64/apps/it.pellandra.Hourlink.png null: 2>&1 || true)
[ "${stretched%% *}" -gt 100 ] 2>/dev/null || e2e_fail "the 64 px icon is the 32 px one stretched ($stretched pixels differ)"

# An unprivileged user with a home of their own starts the unpacked launcher. The unpacked tree is
# root's, so the settings file cannot stay beside the program and goes into the user's configuration.
user=65534
home="$E2E_DIR/home"
mkdir -p "$home/.local/share/hourlink" "$home/runtime"
day=$(date -d '2 days ago 10:00' +%s)
e2e_write_log "$home/.local/share/hourlink/datatime.dat" "$day" $((day + 3600))
chown -R "$user:$user" "$home"
chmod 700 "$home/runtime"
e2e_start_x
export XDG_RUNTIME_DIR="$home/runtime"
setpriv --reuid="$user" --regid="$user" --clear-groups --reset-env \
    env HOME="$home" DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$home/runtime" PATH=/usr/bin:/bin \
    root/usr/bin/hourlink-launch >"$E2E_DIR/program.log" 2>&1 &
E2E_PIDS+=($!)
main=$(e2e_wait_main_window) || e2e_fail "no main window for the unprivileged user"
[ -f "$home/.local/share/hourlink/Readme.txt" ] || e2e_fail "the launcher did not copy the read-me"
# The down arrow in the limit list chooses the next entry, which is stored at once.
e2e_click_in "$main" 600 42
xdotool key --window "$main" Down
ini="$home/.config/hourlink/hour_link.ini"
e2e_poll 50 test -f "$ini" || e2e_fail "no settings file in the user's home: $(cat "$E2E_DIR/program.log")"
grep -q '^Time limit=AUP 2' "$ini" || e2e_fail "the settings file holds: $(cat "$ini")"
[ "$(stat -c %u "$ini")" = "$user" ] || e2e_fail "the settings file is not the user's"
[ ! -e root/usr/bin/hour_link.ini ] || e2e_fail "a settings file beside the unpacked program"
# The unpacked report, run by the same user without options for folder or settings, finds the program's
# log through the launcher's folder and asks the running program, whose limit is the one just chosen.
as_user() {
    setpriv --reuid="$user" --regid="$user" --clear-groups --reset-env \
        env HOME="$home" XDG_RUNTIME_DIR="$home/runtime" PATH=/usr/bin:/bin "$@"
}
answer=$(as_user root/usr/bin/hourlink-report --json) || e2e_fail "the unpacked report failed: $answer"
python3 -c '
import json, sys
r = json.loads(sys.argv[1])
assert r["live"] is True, "not live"
assert r["limit"]["text"] == "AUP 2", r["limit"]
assert r["days"][0]["connected_seconds"] == 3600.0, r["days"]
' "$answer" || e2e_fail "the unpacked report answered $answer"
e2e_log "ok: the limit went to $ini"
