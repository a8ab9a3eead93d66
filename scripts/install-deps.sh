#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Scorelane need.
# Installs only what is missing, so it is cheap to run again.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config libgtest-dev libbenchmark-dev
    qt6-base-dev libjpeg62-turbo-dev
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base
    gstreamer1.0-plugins-good gstreamer1.0-x gstreamer1.0-gl gstreamer1.0-tools
    libfreexl-dev libxlsxwriter-dev libminizip-dev libchm-dev fp-utils-3.2.2
    fonts-liberation
    # Qt's own dialogs in German
    qt6-translations-l10n
    xvfb xauth x11-xserver-utils clang-format
    # the TV window's test under a window manager: openbox, and xprop to ask it
    openbox x11-utils
    # independent readers of the workbooks we write
    python3-xlrd python3-openpyxl
    # pdftoppm, to look at the grid's printouts as pictures
    poppler-utils
    # scripts/check.sh: clang with its sanitizer and libFuzzer runtimes, llvm-symbolizer for traces
    clang-14 libclang-rt-14-dev llvm-14
    # scripts/soak.sh: keys and clicks into the running program
    xdotool
    # openpyxl, to remake the workbook fixtures and read back what we write
    python3-openpyxl
    # the Debian package and its checks: cpack's Depends, desktop entry, AppStream data,
    # lintian, the icons from their SVG
    dpkg-dev desktop-file-utils appstream lintian librsvg2-bin
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
