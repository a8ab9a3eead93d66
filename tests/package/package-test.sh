#!/usr/bin/env bash
# Builds the Debian package from a built tree, unpacks it and checks what an installation
# would get: the Depends, the files, the desktop entry, the AppStream data, a stripped
# program that starts to its main window, and lintian's verdict when lintian is there.
#   package-test.sh BUILD_DIR
set -euo pipefail

# The unpacked program needs an X server: one of its own unless one is given.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$@"
fi

build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
program=
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/out/scorelane_*.deb)
echo "package: $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for need in libqt6widgets6 libqt6printsupport6 libjpeg62-turbo qt6-qpa-plugins gstreamer1.0-plugins-base \
    gstreamer1.0-plugins-good gstreamer1.0-gl gstreamer1.0-x fonts-liberation qt6-translations-l10n \
    libqt6websockets6 libqrencode4; do
    grep -Eq "(^|, )$need( |,|$)" <<<"$depends" || fail "Depends lacks $need"
done
[ "$(dpkg-deb -f "$deb" Recommends)" = qt6-wayland ] || fail "Recommends is not qt6-wayland"
[ "$(dpkg-deb -f "$deb" Maintainer)" = "Quellmark Software <scorelane@example.org>" ] || fail "Maintainer"

root=$scratch/root
dpkg -x "$deb" "$root"
for file in usr/bin/Scorelane usr/share/applications/scorelane.desktop \
    usr/share/metainfo/org.example.Scorelane.metainfo.xml usr/share/icons/hicolor/scalable/apps/scorelane.svg \
    usr/share/icons/hicolor/48x48/apps/scorelane.png usr/share/icons/hicolor/256x256/apps/scorelane.png \
    usr/share/man/man1/scorelane.1.gz usr/share/doc/scorelane/copyright usr/share/doc/scorelane/changelog.Debian.gz \
    usr/share/doc/scorelane/examples/Starterliste.txt usr/share/doc/scorelane/examples/Protokoll.txt \
    usr/share/doc/scorelane/examples/TV-Logo.jpg usr/share/scorelane/Scorelane.chm \
    usr/libexec/scorelane/scorelane-xlsreader usr/libexec/scorelane/libscorelane-video.so \
    usr/libexec/scorelane/libscorelane-live.so; do
    [ -f "$root/$file" ] || fail "missing $file"
done
[ "$(readlink "$root/usr/bin/scorelane")" = Scorelane ] || fail "usr/bin/scorelane is no link to Scorelane"
[ "$(readlink "$root/usr/share/man/man1/Scorelane.1.gz")" = scorelane.1.gz ] || fail "no manual page for Scorelane"
if readelf -S "$root/usr/bin/Scorelane" | grep -Eq '\.symtab|\.debug_info'; then
    fail "usr/bin/Scorelane is not stripped"
fi

desktop-file-validate "$root/usr/share/applications/scorelane.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.Scorelane.metainfo.xml" \
    || fail "appstreamcli validate"

# The unpacked program up to its main window, with throwaway settings.
export XDG_RUNTIME_DIR=$scratch/runtime XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
QT_QPA_PLATFORM=xcb "$root/usr/bin/scorelane" >"$scratch/program.log" 2>&1 &
program=$!
if timeout 30 xdotool search --sync --onlyvisible --name '^Scorelane 1\.6$' >/dev/null; then
    echo "main window up"
    # The video module follows the first paint, from the package's own library folder.
    for _ in $(seq 50); do
        grep -q "$root/usr/libexec/scorelane/libscorelane-video.so" "/proc/$program/maps" && break
        sleep 0.1
    done
    grep -q "$root/usr/libexec/scorelane/libscorelane-video.so" "/proc/$program/maps" \
        || { cat "$scratch/program.log" >&2; fail "the unpacked program did not load its video module"; }
    # The live results are off: their module is not loaded.
    if grep -q "libscorelane-live" "/proc/$program/maps"; then
        fail "the unpacked program loaded the live module with the live results off"
    fi
else
    cat "$scratch/program.log" >&2
    fail "the unpacked program showed no main window"
fi

if command -v lintian >/dev/null; then
    lintian -I "$deb" | tee "$scratch/lintian.log" || true
    grep -q '^E: ' "$scratch/lintian.log" && fail "lintian reports errors"
    # Built with dpkg-buildflags' hardening=+all: no hardening-no-* notes.
    grep -q 'hardening-no-' "$scratch/lintian.log" && fail "lintian reports missing hardening"
else
    echo "lintian is not installed: skipped"
fi

[ "$failures" -eq 0 ] || exit 1
echo "package checks passed"
