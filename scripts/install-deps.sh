#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Hourlink need, and only those that
# are missing. Runs apt-get as root, through sudo for a desktop user.
set -euo pipefail

packages=(
    # build
    cmake make g++ pkg-config qt6-base-dev libgl-dev libxcb1-dev libgtest-dev libgmock-dev libbenchmark-dev
    # run
    libqt6widgets6 qt6-qpa-plugins fonts-liberation xdg-utils
    # end-to-end and fault tests: X server, window manager, tray host, screenshots, namespaces
    xvfb xauth x11-utils xdotool imagemagick openbox trayer iproute2 util-linux procps
    # fuzzing
    clang libclang-rt-14-dev
    # end-to-end tests that read widget texts: a session bus and the accessibility bus, read from python
    dbus at-spi2-core python3-gi gir1.2-atspi-2.0
    # end-to-end tests with a notification server and a tray watcher of their own: gdbus to act as the user
    libglib2.0-bin
    # end-to-end tests with a StatusNotifierItem host of their own, written in python
    python3-dbus
    # the Wayland check: a headless compositor with XWayland, and Qt's Wayland platform for a native start
    weston xwayland qt6-wayland
    # the Debian package: its dependencies computed from the binaries, its desktop entry and metadata checked
    dpkg-dev desktop-file-utils appstream
    # the report's manual page rendered and its libraries listed
    groff-base binutils
    # footprint benchmark: the first paint of a window, seen from outside through the DAMAGE extension
    libxcb-damage0-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null; then
    as_root=(sudo)
else
    echo "These Debian packages are missing and this user cannot install them: ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
