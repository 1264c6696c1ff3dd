#!/usr/bin/env bash
# Peak memory (resident set, from GNU time) of runs over many costly files, and over a large tree
# of real ones.
#
#   bench/memory_bench.sh [runtrail binary] [real-tree file count] [all | tree]
#
# The costly file is tests/data/regressions/worst-case.mam: 34 KiB on disk, a 16 MiB image with
# 838,860 module names inside. Cases:
#   100 copies, -csv, -threads 8 and -threads 32
#   30 copies, the text report, -threads 8
#   a tree of copies of the real files in tests/data (40,000 by default, in directories of 250),
#   -csv, default threads
# Aim: each worst-case run at most 1 GiB, whatever the thread count. Use a Release build.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../build/runtrail}
count=${2:-40000}
cases=${3:-all}  # "tree": the real tree alone (to compare with a build that has no memory bound)
data=$here/../tests/data
worst=$data/regressions/worst-case.mam
files_per_dir=250

[[ -x $bin ]] || { echo "no runtrail binary at $bin (build with -DCMAKE_BUILD_TYPE=Release)" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "needs /usr/bin/time (GNU time)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/runtrail-memory-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/worst100" "$work/worst30"
for ((i = 0; i < 100; i++)); do cp "$worst" "$work/worst100/W$i.pf"; done
for ((i = 0; i < 30; i++)); do cp "$worst" "$work/worst30/W$i.pf"; done
# The tree: one directory of copies of every real file, copied whole as often as needed.
mapfile -t sources < <(find "$data" -name '*.pf' -type f -not -path '*/Bad/*' | sort)
mkdir -p "$work/one"
for ((i = 0; i < files_per_dir; i++)); do cp "${sources[i % ${#sources[@]}]}" "$work/one/$i.pf"; done
for ((d = 0; d * files_per_dir < count; d++)); do
    mkdir -p "$work/tree/a$((d / 8))"
    cp -r "$work/one" "$work/tree/a$((d / 8))/b$((d % 8))"
done

# peak LABEL ARGS...: one run, its peak resident set and wall time.
peak() {
    local label=$1
    shift
    /usr/bin/time -v "$bin" "$@" -quiet -out "$work/out" 2> "$work/time" || true
    printf '%-34s %8d KiB peak  %7s s\n' "$label" "$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time")" \
        "$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time")"
}

echo "runtrail: $bin; $(nproc) processors"
if [[ $cases == all ]]; then
    peak "100 worst, -csv, -threads 8" -enumdir "$work/worst100" -csv -threads 8
    peak "100 worst, -csv, -threads 32" -enumdir "$work/worst100" -csv -threads 32
    peak "30 worst, text, -threads 8" -enumdir "$work/worst30" -threads 8
fi
peak "$count real files, -csv" -enumdir "$work/tree" -num_subdirs 4 -csv
