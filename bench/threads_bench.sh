#!/usr/bin/env bash
# Files per second of a directory walk with one thread and with several, in every output form.
#
#   bench/threads_bench.sh [runtrail binary] [file count] [pairs]
#
# Builds, in a temporary directory, a tree of copies of the real files in tests/data (every format
# version) spread over nested directories, reads it once so that it is in the page cache, then for
# each output form runs
#   runtrail -enumdir TREE -num_subdirs 4 FORM -quiet -out FILE -threads N
# with N = 1 and N = 2 (and every processor, when there are more than two) in turn, one run of each
# per round, the results file removed before each run. It prints the median files per second of
# each N and the median of the rounds' ratios to -threads 1: on a shared machine whose speed
# drifts, a ratio taken within one round is the steadier figure. Beside them, what the machine
# itself allows: two -threads 1 runs at once, as separate processes, against one alone (the
# throughput ratio, at most 2). Use a Release build.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../build/runtrail}
count=${2:-10000}
rounds=${3:-11}
data=$here/../tests/data

[[ -x $bin ]] || { echo "no runtrail binary at $bin (build with -DCMAKE_BUILD_TYPE=Release)" >&2; exit 1; }
cores=$(nproc)
work=$(mktemp -d "${TMPDIR:-/tmp}/runtrail-threads-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

source "$here/sample_tree.sh"
make_sample_tree "$data" "$count" "$work/tree"
cat "$work"/tree/*/*/* > /dev/null  # warm cache

# seconds FORM THREADS: the wall time of one run, in seconds.
seconds() {
    local start end
    rm -f "$work/out"
    start=$(date +%s%N)
    "$bin" -enumdir "$work/tree" -num_subdirs 4 $1 -quiet -out "$work/out" -threads "$2"
    end=$(date +%s%N)
    echo "($end - $start) / 1000000000" | bc -l
}

# pair_seconds FORM: the wall time of two -threads 1 runs started together.
pair_seconds() {
    local start end
    rm -f "$work/out" "$work/out2"
    start=$(date +%s%N)
    "$bin" -enumdir "$work/tree" -num_subdirs 4 $1 -quiet -out "$work/out" -threads 1 &
    "$bin" -enumdir "$work/tree" -num_subdirs 4 $1 -quiet -out "$work/out2" -threads 1
    wait
    end=$(date +%s%N)
    echo "($end - $start) / 1000000000" | bc -l
}

median() { sort -g | sed -n "$((($(wc -l < "$1") + 1) / 2))p"; }

counts=(2)
((cores > 2)) && counts+=("$cores")
echo "runtrail: $bin; $count files; $cores processors; $rounds rounds, warm cache"
printf '%-11s %8s' form "1 thread"
for n in "${counts[@]}"; do printf '  %8s %6s' "$n thr" ratio; done
printf '  %8s\n' "2 procs"

for form in -csv "" -csvl2t -bodyfile -jsonl -timesketch; do
    rm -f "$work"/t[0-9]* "$work"/r[0-9]* "$work/pair"
    for ((r = 0; r < rounds; r++)); do
        one=$(seconds "$form" 1)
        echo "$count / $one" | bc -l >> "$work/t1"
        for n in "${counts[@]}"; do
            many=$(seconds "$form" "$n")
            echo "$count / $many" | bc -l >> "$work/t$n"
            echo "$one / $many" | bc -l >> "$work/r$n"
        done
        echo "2 * $one / $(pair_seconds "$form")" | bc -l >> "$work/pair"
    done
    printf '%-11s %8.0f' "${form:-text}" "$(median "$work/t1" < "$work/t1")"
    for n in "${counts[@]}"; do
        printf '  %8.0f %5.2fx' "$(median "$work/t$n" < "$work/t$n")" "$(median "$work/r$n" < "$work/r$n")"
    done
    printf '  %7.2fx\n' "$(median "$work/pair" < "$work/pair")"
done
