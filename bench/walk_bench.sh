#!/usr/bin/env bash
# Throughput and peak memory of a directory walk over many prefetch files.
#
#   bench/walk_bench.sh [runtrail binary] [file count]
#
# Builds, in a temporary directory, a tree of copies of the sample files in tests/data (every
# format version; a third of the files Windows 10), spread over nested directories, and times
#   runtrail -enumdir TREE -num_subdirs 4 [-csv | -csvl2t | -bodyfile]   > /dev/null
# on one core, best of three runs. Also a tree of Windows 10 files alone, and a tree twice as big,
# to show that peak memory does not grow with the number of files. Use a Release build.
# Aims: -csv on the mixed tree above 40,000 files/s, on Windows 10 alone above 7,000 files/s.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../build-release/runtrail}
count=${2:-10000}
data=$here/../tests/data
runs=3
files_per_dir=250

[[ -x $bin ]] || { echo "no runtrail binary at $bin (build with -DCMAKE_BUILD_TYPE=Release)" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "needs /usr/bin/time (GNU time)" >&2; exit 1; }
pin=()
command -v taskset >/dev/null && pin=(taskset -c 0)

work=$(mktemp -d "${TMPDIR:-/tmp}/runtrail-walk-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

mapfile -t win10 < <(find "$data/Win10" -name '*.pf' -type f | sort)
mapfile -t others < <(find "$data" -name '*.pf' -type f -not -path '*/Win10/*' -not -path '*/Bad/*' | sort)

# build_tree DIR COUNT KIND: KIND "mixed" (every third file Windows 10) or "win10".
# One leaf of files_per_dir files is made file by file, then copied whole into DIR/aNN/bNN/
# (eight leaves per aNN), so the walk goes two levels down; the last leaf may be partial.
build_tree() {
    local dir=$1 n=$2 kind=$3 i src leaf block=$work/block-$3
    if [[ ! -d $block ]]; then
        mkdir -p "$block"
        for ((i = 0; i < files_per_dir; i++)); do
            if [[ $kind == win10 ]] || ((i % 3 == 0)); then
                src=${win10[i % ${#win10[@]}]}
            else
                src=${others[i % ${#others[@]}]}
            fi
            cp "$src" "$block/$i-$(basename "$src")"
        done
    fi
    for ((i = 0; i < n; i += files_per_dir)); do
        leaf=$dir/a$((i / (files_per_dir * 8)))/b$((i / files_per_dir % 8))
        mkdir -p "$(dirname "$leaf")"
        if ((n - i >= files_per_dir)); then
            cp -r "$block" "$leaf"
        else
            mkdir -p "$leaf"
            find "$block" -type f | sort | head -n $((n - i)) | xargs cp -t "$leaf"
        fi
    done
}

# measure TREE LABEL FORM...: prints files/s, MB/s and peak RSS of the best of $runs runs.
measure() {
    local tree=$1 label=$2
    shift 2
    local files bytes best_s="" best_rss="" r start end s rss
    files=$(find "$tree" -type f | wc -l)
    bytes=$(du -sb --apparent-size "$tree" | cut -f1)
    for ((r = 0; r < runs; r++)); do
        start=$(date +%s.%N)
        "${pin[@]}" /usr/bin/time -v -o "$work/time.txt" "$bin" -enumdir "$tree" -num_subdirs 4 -quiet "$@" >/dev/null 2>"$work/stderr.txt" || true
        end=$(date +%s.%N)
        s=$(echo "$end - $start" | bc -l)
        rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
        if [[ -z $best_s ]] || (($(echo "$s < $best_s" | bc -l))); then best_s=$s; fi
        if [[ -z $best_rss ]] || ((rss > best_rss)); then best_rss=$rss; fi
    done
    printf '%-26s %-10s %7d files %9.0f files/s %8.1f MB/s %8d KiB peak RSS\n' "$label" "${*:-text}" "$files" \
        "$(echo "$files / $best_s" | bc -l)" "$(echo "$bytes / 1000000 / $best_s" | bc -l)" "$best_rss"
}

echo "building trees of $count files in $work ..." >&2
build_tree "$work/mixed" "$count" mixed
build_tree "$work/win10" "$count" win10
build_tree "$work/mixed2" "$((count * 2))" mixed
rm -rf "$work"/block-*
sync

echo "runtrail: $bin"
for form in "" -csv -csvl2t -bodyfile; do
    measure "$work/mixed" "mixed ($count)" $form
done
for form in "" -csv -csvl2t -bodyfile; do
    measure "$work/win10" "Windows 10 only ($count)" $form
done
measure "$work/mixed2" "mixed ($((count * 2)))" -csv
