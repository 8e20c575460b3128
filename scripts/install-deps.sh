#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the benchmarks need.
# Idempotent: only missing packages are installed, so a second run costs about a second.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang clang-format libclang-rt-14-dev pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev qt6-base-dev-tools libqt6dbus6 libcanberra-dev libcanberra0
    iproute2 nftables util-linux procps python3 binutils python3-dbusmock dbus strace
    xvfb xauth trayer openbox xdotool x11-utils imagemagick fonts-noto-cjk libxcb1-dev libxcb-xfixes0-dev
    dunst at-spi2-core python3-pyatspi
    qt6-wayland weston xfce4-session dbus-daemon
    dpkg-dev lintian desktop-file-utils appstream groff-base gzip man-db
)
# qt6-wayland, libcanberra0 and fonts-noto-cjk are also what the palaverly package recommends:
# the package test installs it with apt-get and may not download them.

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    sudo=sudo
else
    sudo=
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
