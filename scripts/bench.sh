#!/usr/bin/env bash
# Builds the benchmarks in Release (build-bench/), runs each once (each figure is the median
# of its repetitions) and prints one table of every figure against its goal; exits non-zero
# when any figure misses its goal.
# The machine should be quiet: other load shows in the figures.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build-bench"
out="$build/bench-output"

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target benchmarks

rm -rf "$out"
mkdir -p "$out"
export SCORELANE_BENCH_TABLE="$out/table.tsv"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
: >"$SCORELANE_BENCH_TABLE"

status=0
for bench in "$build"/benchmarks/bench_*; do
    [ -f "$bench" ] && [ -x "$bench" ] || continue
    name=$(basename "$bench")
    echo "running $name (output in $out/$name.log)"
    # The video benchmark needs a real X server; the others pick offscreen themselves.
    if ! xvfb-run -a -s "-screen 0 1920x1080x24" "$bench" >"$out/$name.log" 2>&1; then
        echo "$name failed: see $out/$name.log" >&2
        status=1
    fi
done

echo
awk -F'\t' '
    BEGIN { printf "%-40s %12s %12s %7s %7s  %-5s %s\n", "benchmark", "measured", "baseline", "ratio", "goal", "unit", "" }
    {
        ratio = ($4 == "") ? "" : sprintf("%.2f", $4)
        printf "%-40s %12.3f %12s %7s %7s  %-5s %s\n", $1, $2, ($3 == "") ? "" : sprintf("%.3f", $3), ratio, ($5 == "") ? "-" : $5, $6, $7
        if ($7 == "ABOVE GOAL") missed++
    }
    END { exit missed ? 1 : 0 }
' "$SCORELANE_BENCH_TABLE" || status=1
exit $status
