#!/usr/bin/env bash
# scripts/dev.sh run    installs what is missing, builds Scorelane with what it needs at run time
#                       (help file, .xls reader, the files cpack packs) and starts it
# scripts/dev.sh test   installs what is missing, then in phases: the core and its unit tests,
#                       everything else with the benchmarks, every test, the formatting
#                       check, and scripts/check.sh when present; fails if any phase fails
# scripts/dev.sh check  runs scripts/check.sh alone
# scripts/dev.sh bench  builds the benchmarks in Release, runs them and prints every figure
#                       against its goal; fails if any misses it
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build"
jobs=$(nproc)

configure() {
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

phase() {
    echo
    echo "==== $*"
}

# A failed test phase does not stop the later ones; the script fails at its end.
failed=()
run_phase() {
    local name=$1
    shift
    if ! "$@"; then
        failed+=("$name")
    fi
}

all_tests() {
    xvfb-run -a -s "-screen 0 1920x1080x24" \
        ctest --test-dir "$build" --output-on-failure --timeout 180 -j "$jobs" 2>&1 | tee "$build/ctest-all.log"
}

format_check() {
    local files
    mapfile -t files < <(cd "$top" && find src tests benchmarks tools -name '*.cpp' -o -name '*.h' | sort)
    (cd "$top" && clang-format-14 --dry-run -Werror "${files[@]}") && echo "clang-format: all ${#files[@]} files formatted"
}

case "${1:-}" in
run)
    "$top/scripts/install-deps.sh" run
    # Without the tests, which need packages that running does not.
    configure -DSCORELANE_TESTS=OFF -DSCORELANE_BENCHMARKS=OFF
    # The program with all it needs at run time (help file, .xls reader) and what cpack packs.
    cmake --build "$build" -j "$jobs" --target Scorelane scorelane-xlsreader help_file packaging_files
    # The help file, Scorelane.chm, is looked up in the working folder; it is built beside the program.
    cd "$build/src"
    exec "$build/src/Scorelane"
    ;;
test)
    "$top/scripts/install-deps.sh" test
    export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
    chmod 700 "$XDG_RUNTIME_DIR"
    configure -DSCORELANE_WERROR=ON -DSCORELANE_TESTS=ON -DSCORELANE_BENCHMARKS=ON

    phase "Core and unit tests"
    cmake --build "$build" -j "$jobs" --target unit_tests
    run_phase "unit tests" ctest --test-dir "$build" -L unit --output-on-failure --timeout 180 -j "$jobs"

    phase "Everything else and the benchmarks"
    cmake --build "$build" -j "$jobs"
    cmake --build "$build" -j "$jobs" --target benchmarks

    # One X server for the tests that need X11; the others run offscreen.
    phase "All tests"
    run_phase "all tests" all_tests

    phase "Formatting"
    run_phase "clang-format" format_check

    if [ -x "$top/scripts/check.sh" ]; then
        phase "scripts/check.sh"
        run_phase "scripts/check.sh" "$top/scripts/check.sh"
        # Its output comes after ctest's: repeat the summary of every test at the end.
        phase "All tests: summary"
        sed -n '/% tests passed/,$p' "$build/ctest-all.log"
    fi

    if [ ${#failed[@]} -ne 0 ]; then
        echo "FAILED: ${failed[*]}" >&2
        exit 1
    fi
    ;;
bench)
    "$top/scripts/install-deps.sh"
    exec "$top/scripts/bench.sh"
    ;;
check)
    [ -x "$top/scripts/check.sh" ] || { echo "scripts/check.sh is missing" >&2; exit 2; }
    exec "$top/scripts/check.sh"
    ;;
*)
    echo "usage: $0 run|test|check|bench" >&2
    exit 2
    ;;
esac
