#!/usr/bin/env bash
# Installs the Debian 12 packages a task needs, skipping those already there.
# Usage: scripts/setup-debian.sh run|test
set -euo pipefail

build=(build-essential cmake pkg-config libgtk-3-dev libwebkit2gtk-4.1-dev libsoup-3.0-dev
    nlohmann-json3-dev liburiparser-dev libunistring-dev uuid-dev libabsl-dev libx11-dev libxss-dev
    libsystemd-dev libgtk-layer-shell-dev wayland-protocols libwayland-bin gettext)
# Showing the program where there is no display of one's own.
display=(xvfb openbox dbus-x11 x11-utils imagemagick)
test=(googletest libgtest-dev clang libclang-rt-14-dev xdotool wmctrl xcompmgr x11-xserver-utils
    python3 python3-dbusmock python3-gi python3-xlib desktop-file-utils appstream openssl
    at-spi2-core gir1.2-atspi-2.0 lintian
    xserver-xorg-core xserver-xorg-video-dummy systemd sway grim swayidle locales)

case "${1:-}" in
run) wanted=("${build[@]}" "${display[@]}") ;;
test) wanted=("${build[@]}" "${display[@]}" "${test[@]}") ;;
*) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    # With recommended packages: WebKitGTK's media support (GStreamer plugins)
    # comes in as recommendations, and the camera and microphone tests need it.
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

# The end-to-end tests run the program in German too.
if [ "$1" = test ] && ! locale -a 2>/dev/null | grep -qx 'de_DE.utf8'; then
    echo "Generating the locale de_DE.UTF-8"
    "${sudo[@]}" localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
fi
