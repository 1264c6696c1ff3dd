#!/usr/bin/env bash
# Files per second of a directory walk with one thread and with several, in every output form.
#
#   bench/threads_bench.sh [runtrail binary] [file count] [rounds]
#
# Builds, in a temporary directory, a tree of copies of the real files in tests/data (every format
# version) spread over nested directories, reads it once so that it is in the page cache, then for
# each output form runs
#   runtrail -enumdir TREE -num_subdirs 4 FORM -quiet -out FILE -threads N
# in rounds, the results file removed before each run. A round runs -threads 1 held to each of
# the first two processors the process may use (taskset), -threads 2 on those two, -threads N on
# every processor when there are more than two, and two -threads 1 processes at once, one on each
# of the two: what the machine itself allows.
#
# The processors of a virtual machine need not be equally fast: on a shared host one may run a
# third slower than the other for minutes at a time, so that a run of -threads 1 is fast or slow
# depending on where the scheduler puts it. The figures therefore name each processor's speed,
# and a ratio is taken against one processor of their mean speed (the mean of the two files-per-
# second figures): two threads that keep both busy reach 2.00x however far apart they are. Each
# ratio is the median of the rounds' own ratios; on a machine whose speed drifts, a ratio taken
# within one round is the steadier figure. Use a Release build.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../build/runtrail}
count=${2:-10000}
rounds=${3:-11}
data=$here/../tests/data

[[ -x $bin ]] || { echo "no runtrail binary at $bin (build with -DCMAKE_BUILD_TYPE=Release)" >&2; exit 1; }
command -v taskset > /dev/null || { echo "taskset (util-linux) is needed to hold a run to one processor" >&2; exit 1; }

# The processors this process may use, as a list of numbers.
allowed=()
IFS=, read -ra ranges <<< "$(awk '/^Cpus_allowed_list/ { print $2 }' /proc/self/status)"
for range in "${ranges[@]}"; do
    for ((c = ${range%-*}; c <= ${range#*-}; c++)); do allowed+=("$c"); done
done
((${#allowed[@]} >= 2)) || { echo "two processors are needed, this process may use ${#allowed[@]}" >&2; exit 1; }
first=${allowed[0]} second=${allowed[1]}
cores=${#allowed[@]}

work=$(mktemp -d "${TMPDIR:-/tmp}/runtrail-threads-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

source "$here/sample_tree.sh"
make_sample_tree "$data" "$count" "$work/tree"
cat "$work"/tree/*/*/* > /dev/null  # warm cache

# seconds PROCESSORS FORM THREADS: the wall time of one run held to PROCESSORS, in seconds.
seconds() {
    local start end
    rm -f "$work/out"
    start=$(date +%s%N)
    taskset -c "$1" "$bin" -enumdir "$work/tree" -num_subdirs 4 $2 -quiet -out "$work/out" -threads "$3"
    end=$(date +%s%N)
    echo "($end - $start) / 1000000000" | bc -l
}

# pair_seconds FORM: the wall time of two -threads 1 runs started together, one on each processor.
pair_seconds() {
    local start end
    rm -f "$work/out" "$work/out2"
    start=$(date +%s%N)
    taskset -c "$first" "$bin" -enumdir "$work/tree" -num_subdirs 4 $1 -quiet -out "$work/out" -threads 1 &
    taskset -c "$second" "$bin" -enumdir "$work/tree" -num_subdirs 4 $1 -quiet -out "$work/out2" -threads 1
    wait
    end=$(date +%s%N)
    echo "($end - $start) / 1000000000" | bc -l
}

median() { sort -g "$1" | sed -n "$((($(wc -l < "$1") + 1) / 2))p"; }

all_cores=$(IFS=,; echo "${allowed[*]}")
counts=(2)
((cores > 2)) && counts+=("$cores")
echo "runtrail: $bin; $count files; processors $first and $second of $cores; $rounds rounds, warm cache"
echo "files per second; ratios against one processor of the two's mean speed"
printf '%-11s %8s %8s' form "cpu $first" "cpu $second"
for n in "${counts[@]}"; do printf '  %8s %6s' "$n thr" ratio; done
printf '  %8s\n' "2 procs"

for form in -csv "" -csvl2t -bodyfile -jsonl -timesketch; do
    rm -f "$work"/[a-z][0-9]* "$work/pair"
    for ((r = 0; r < rounds; r++)); do
        one=$(echo "$count / $(seconds "$first" "$form" 1)" | bc -l)
        other=$(echo "$count / $(seconds "$second" "$form" 1)" | bc -l)
        echo "$one" >> "$work/a1"
        echo "$other" >> "$work/b1"
        mean=$(echo "($one + $other) / 2" | bc -l)
        for n in "${counts[@]}"; do
            on="$first,$second"
            ((n > 2)) && on=$all_cores
            many=$(echo "$count / $(seconds "$on" "$form" "$n")" | bc -l)
            echo "$many" >> "$work/t$n"
            echo "$many / $mean" | bc -l >> "$work/r$n"
        done
        echo "2 * $count / $(pair_seconds "$form") / $mean" | bc -l >> "$work/pair"
    done
    printf '%-11s %8.0f %8.0f' "${form:-text}" "$(median "$work/a1")" "$(median "$work/b1")"
    for n in "${counts[@]}"; do
        printf '  %8.0f %5.2fx' "$(median "$work/t$n")" "$(median "$work/r$n")"
    done
    printf '  %7.2fx\n' "$(median "$work/pair")"
done
