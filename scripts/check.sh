#!/usr/bin/env bash
# scripts/check.sh                          builds every test and the fuzz targets with clang,
#                                           AddressSanitizer and UndefinedBehaviorSanitizer in
#                                           build-check/, runs the tests, then each fuzz target
#                                           for 20 seconds, then a one-minute soak of the
#                                           real program; non-zero on any finding
# scripts/check.sh fuzz <target> <seconds>  runs one fuzz target (fuzz_textfile, fuzz_jpeg, fuzz_chm,
#                                           fuzz_xlsx, fuzz_xls, fuzz_settings) that long on a copy of its seeds
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build-check"
suppressions="$top/tests/sanitizer-suppressions"
targets=(fuzz_textfile fuzz_jpeg fuzz_settings fuzz_chm fuzz_xlsx fuzz_xls)
"$top/scripts/install-deps.sh" test

sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$suppressions/ubsan.supp"
export LSAN_OPTIONS="suppressions=$suppressions/lsan.supp:print_suppressions=0"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"

configure() {
    local launcher=()
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$top}"
    fi
    CC=clang-14 CXX=clang++-14 cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS="$sanitize" -DSCORELANE_FUZZ=ON \
        -DSCORELANE_BENCHMARKS=OFF -DSCORELANE_HARDENING=OFF "${launcher[@]}" >/dev/null
}

# fuzz <target> <seconds> [quiet]: runs on a copy of the seeds, so that the committed
# corpus only grows by hand; a finding is kept in build-check/fuzz-findings/.
fuzz() {
    local target=$1 seconds=$2 quiet=${3:-}
    local seeds="$top/tests/data/fuzz/${target#fuzz_}"
    [ -d "$seeds" ] || { echo "unknown fuzz target: $target" >&2; return 2; }
    local work findings="$build/fuzz-findings"
    work=$(mktemp -d)
    mkdir -p "$findings"
    cp -r "$seeds/." "$work/"
    local command=("$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=3072
        -print_final_stats=1 -artifact_prefix="$findings/$target-" "$work")
    local status=0
    if [ -n "$quiet" ]; then
        "${command[@]}" >"$build/$target.log" 2>&1 || status=$?
        grep -E '^(Done|stat::number_of_executed_units|stat::average_exec_per_sec)|#[0-9]+[[:space:]]+DONE' \
            "$build/$target.log" || true
        [ $status -eq 0 ] || tail -n 60 "$build/$target.log"
    else
        "${command[@]}" || status=$?
    fi
    rm -rf "$work"
    if [ $status -ne 0 ]; then
        echo "$target: finding, input kept in $findings/" >&2
    fi
    return $status
}

case "${1:-}" in
fuzz)
    [ $# -eq 3 ] || { echo "usage: $0 fuzz <target> <seconds>" >&2; exit 2; }
    configure
    cmake --build "$build" -j "$(nproc)" --target "$2"
    fuzz "$2" "$3"
    ;;
"")
    start=$SECONDS
    configure
    cmake --build "$build" -j "$(nproc)"
    echo "check: built in $((SECONDS - start)) s"
    failed=0
    # One X server for the tests that need X11, as in the normal test run. The package is
    # tested in the normal build: this one is built without Debian's hardening.
    (cd "$build" && xvfb-run -a -s "-screen 0 1920x1080x24" \
        ctest -LE package --output-on-failure --timeout 300 -j "$(nproc)") || failed=1
    echo "check: tests done after $((SECONDS - start)) s"
    for target in "${targets[@]}"; do
        fuzz "$target" 20 quiet || failed=1
    done
    # A minute of random keys into the real program under a window manager.
    "$top/scripts/soak.sh" 60 || failed=1
    echo "check: done after $((SECONDS - start)) s"
    exit $failed
    ;;
*)
    echo "usage: $0 [fuzz <target> <seconds>]" >&2
    exit 2
    ;;
esac
