#!/usr/bin/env bash
# Files per second of a directory walk with one thread and with several.
#
#   bench/threads_bench.sh [runtrail binary] [file count]
#
# Builds, in a temporary directory, a tree of copies of the real files in tests/data (every format
# version) spread over nested directories, reads it once so that it is in the page cache, then runs
#   runtrail -enumdir TREE -num_subdirs 4 FORM -quiet -out FILE -threads N
# for N = 1, 2, every processor (and the default, without -threads), five times each, and prints
# the median files per second and its ratio to -threads 1. Use a Release build.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../build/runtrail}
count=${2:-10000}
data=$here/../tests/data
runs=5

[[ -x $bin ]] || { echo "no runtrail binary at $bin (build with -DCMAKE_BUILD_TYPE=Release)" >&2; exit 1; }
cores=$(nproc)
work=$(mktemp -d "${TMPDIR:-/tmp}/runtrail-threads-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

source "$here/sample_tree.sh"
make_sample_tree "$data" "$count" "$work/tree"
cat "$work"/tree/*/*/* > /dev/null  # warm cache

# median_rate FORM THREADS...: the median files per second of $runs runs.
median_rate() {
    local form=$1 r start end
    shift
    local rates=()
    for ((r = 0; r < runs; r++)); do
        start=$(date +%s.%N)
        "$bin" -enumdir "$work/tree" -num_subdirs 4 $form -quiet -out "$work/out" "$@"
        end=$(date +%s.%N)
        rates+=("$(echo "$count / ($end - $start)" | bc -l)")
    done
    printf '%s\n' "${rates[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p"
}

echo "runtrail: $bin; $count files; $cores processors; median of $runs runs, warm cache"
for form in -csv "" -jsonl; do
    one=$(median_rate "$form" -threads 1)
    printf '%-7s -threads 1   %8.0f files/s\n' "${form:-text}" "$one"
    counts=(2)
    ((cores > 2)) && counts+=("$cores")
    for n in "${counts[@]}" default; do
        if [[ $n == default ]]; then rate=$(median_rate "$form"); else rate=$(median_rate "$form" -threads "$n"); fi
        printf '%-7s -threads %-3s %8.0f files/s  %.2fx\n' "${form:-text}" "$n" "$rate" "$(echo "$rate / $one" | bc -l)"
    done
done
