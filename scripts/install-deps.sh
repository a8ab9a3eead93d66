#!/usr/bin/env bash
# scripts/install-deps.sh run    installs the Debian packages that building, running and
#                                packaging Scorelane need
# scripts/install-deps.sh [test] installs those and everything the tests, the checks and the
#                                developer tools need
# Installs only what is missing, so it is cheap to run again.
set -euo pipefail

# Building, running and packaging (scripts/dev.sh run, then cpack).
run_packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev libjpeg62-turbo-dev
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base
    gstreamer1.0-plugins-good gstreamer1.0-x gstreamer1.0-gl
    libfreexl-dev libxlsxwriter-dev libminizip-dev libchm-dev fp-utils-3.2.2
    fonts-liberation libfontconfig-dev zlib1g-dev
    # Qt's own dialogs in German
    qt6-translations-l10n
    # the live results: Qt's WebSockets and network, QR codes
    qt6-websockets-dev libqrencode-dev
    # cpack's Depends (dpkg-shlibdeps) and the hardening flags (dpkg-buildflags)
    dpkg-dev
)

# Tests, checks and developer tools (scripts/dev.sh test and check).
test_packages=(
    libgtest-dev libbenchmark-dev gstreamer1.0-tools
    xvfb xauth x11-xserver-utils clang-format
    # the TV window's test under a window manager: openbox, and xprop to ask it
    openbox x11-utils
    # independent readers of the workbooks we write; openpyxl also remakes the fixtures
    python3-xlrd python3-openpyxl
    # pdftotext and pdftoppm, to read and look at the printouts
    poppler-utils
    # scripts/check.sh: clang with its sanitizer and libFuzzer runtimes, llvm-symbolizer for traces
    clang-14 libclang-rt-14-dev llvm-14
    # scripts/soak.sh: keys and clicks into the running program
    xdotool
    # the Debian package's checks: desktop entry, AppStream data, lintian; the icons from their SVG
    desktop-file-utils appstream lintian librsvg2-bin
)

# The live results' browser test: headless Chromium driven by Selenium. Without the
# recommended packages (a desktop's worth of them).
browser_packages=(chromium chromium-driver python3-selenium)

case "${1:-test}" in
run) packages=("${run_packages[@]}") browsers=() ;;
test) packages=("${run_packages[@]}" "${test_packages[@]}") browsers=("${browser_packages[@]}") ;;
*)
    echo "usage: $0 [run|test]" >&2
    exit 2
    ;;
esac

missingOf() {
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            echo "$package"
        fi
    done
}
mapfile -t missing < <(missingOf "${packages[@]}")
mapfile -t missingBrowser < <(missingOf "${browsers[@]}")
[ ${#missing[@]} -eq 0 ] && [ ${#missingBrowser[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]} ${missingBrowser[*]}"
"${sudo[@]}" apt-get update -qq
if [ ${#missing[@]} -ne 0 ]; then
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
fi
if [ ${#missingBrowser[@]} -ne 0 ]; then
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missingBrowser[@]}"
fi
