#!/usr/bin/env bash
# Runs every benchmark binary in BUILD_DIR/bench, then every comparison script
# bench/*.sh (other than this one) with BUILD_DIR as its argument.
# Each binary's results are also kept as JSON in BUILD_DIR/bench/results/<name>.json,
# where comparison scripts may read them instead of running the binary again.
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
build_dir=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
bench_dir="$build_dir/bench"
results="$bench_dir/results"

if [[ ! -d "$bench_dir" ]]; then
    echo "no benchmarks built in $bench_dir (is Google Benchmark installed?)" >&2
    exit 1
fi
mkdir -p "$results"

status=0
for binary in "$bench_dir"/*; do
    [[ -f "$binary" && -x "$binary" ]] || continue
    name=$(basename "$binary")
    echo "=== $name"
    if ! "$binary" --benchmark_out="$results/$name.json" --benchmark_out_format=json; then
        echo "$name failed" >&2
        status=1
    fi
done

for script in "$here"/*.sh; do
    [[ "$(basename "$script")" == "run-all.sh" ]] && continue
    echo "=== $(basename "$script")"
    if ! bash "$script" "$build_dir"; then
        echo "$(basename "$script") failed" >&2
        status=1
    fi
done
exit $status
