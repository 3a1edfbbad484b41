#!/usr/bin/env bash
# Installs every Debian package Varnolet needs to build, test and run.
# Idempotent: packages already present are skipped; apt-get update runs only when
# something has to be installed.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
    libv4l-dev v4l-utils libudev-dev libusb-1.0-0-dev
    libturbojpeg0-dev
    libavcodec-dev libavformat-dev libavutil-dev libswscale-dev ffmpeg
    libplist-dev libseccomp-dev
    libxkbcommon-dev fonts-noto-cjk fonts-dejavu-core librsvg2-bin
    xvfb xauth
    qt6-translations-l10n desktop-file-utils ffmpeg
    debhelper dpkg-dev lintian appstream
    libimage-exiftool-perl
    qemu-system-x86 busybox-static cpio udev kmod
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all ${#packages[@]} packages present"
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
