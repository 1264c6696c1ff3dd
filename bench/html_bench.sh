#!/usr/bin/env bash
# Size and opening time of the -html page over many files.
#
#   bench/html_bench.sh [runtrail binary] [file count]
#
# Builds, in a temporary directory, a tree of copies of the real files in tests/data (every format
# version), then
#   - writes the run once as -jsonl and once as -html and prints both sizes and their ratio (the
#     page should stay within twice the JSON Lines), with runtrail's peak memory for each;
#   - opens the page in headless Chromium five times and prints the medians of: the time from the
#     start of navigation until the page is usable, that is until both (a) the page's script has
#     finished (filter, sort, details and timeline zoom work) and the page is laid out as the
#     script left it, which the script marks in data-ready-ms, and (b) the first paint has happened
#     (the browser's first-contentful-paint, which the script copies into data-first-paint-ms when
#     it came before the ready mark; when it did not, only painting the laid-out page remains and
#     the ready mark is counted, and the line says in how many runs); the processor time (user +
#     system, every Chromium process) of the whole headless run beside that of an empty page,
#     which is start-up and shut-down; the same for a run that paints the page into a screenshot
#     instead of handing its whole document back (which, for a page of many megabytes, costs
#     Chromium more than opening it); and the wall time of both. On a busy machine the wall
#     times say more about the other load than about the page: the processor times are the
#     steadier figure.
# Use a Release build. Chromium must be installed (Debian package chromium).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../build/runtrail}
count=${2:-10000}
data=$here/../tests/data
runs=5

[[ -x $bin ]] || { echo "no runtrail binary at $bin (build with -DCMAKE_BUILD_TYPE=Release)" >&2; exit 1; }
browser=$(command -v chromium || command -v chromium-browser || true)
[[ -n $browser ]] || { echo "chromium is not installed" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/runtrail-html-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

source "$here/sample_tree.sh"
make_sample_tree "$data" "$count" "$work/tree"

peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
jsonl_kib=$(peak_kib "$bin" -enumdir "$work/tree" -num_subdirs 4 -jsonl -quiet -out "$work/r.jsonl")
html_kib=$(peak_kib "$bin" -enumdir "$work/tree" -num_subdirs 4 -html -quiet -out "$work/r.html")
jsonl=$(stat -c %s "$work/r.jsonl")
html=$(stat -c %s "$work/r.html")
echo "runtrail: $bin; $count files; $(nproc) processors"
printf 'size   -jsonl %10d bytes   -html %10d bytes   html/jsonl %.2f\n' "$jsonl" "$html" "$(echo "$html / $jsonl" | bc -l)"
printf 'peak memory of runtrail   -jsonl %d KiB   -html %d KiB\n' "$jsonl_kib" "$html_kib"

# headless ACTION PAGE: Chromium on the page, its processor time (seconds) in $work/cpu.
headless() {
    /usr/bin/time -f '%U %S' -o "$work/time" "$browser" --headless --no-sandbox --disable-gpu \
        --disable-background-networking --disable-component-update --disable-sync --no-first-run \
        --user-data-dir="$work/profile$RANDOM" "$1" "file://$2" 2>/dev/null
    awk '{print $1 + $2}' "$work/time" > "$work/cpu"
}
# open PAGE: prints "usable-ms painted-before cpu-seconds wall-seconds" for one headless load
# that dumps the document, then the processor time of one that paints it (a screenshot) instead.
open_page() {
    local start end cpu ready painted
    start=$(date +%s.%N)
    headless --dump-dom "$1" > "$work/dom"
    end=$(date +%s.%N)
    cpu=$(cat "$work/cpu")
    ready=$(grep -o 'data-ready-ms="[0-9]*"' "$work/dom" | grep -o '[0-9]*' || echo -)
    painted=$(grep -o 'data-first-paint-ms="[0-9]*"' "$work/dom" | grep -o '[0-9]*' || echo -)
    if [[ $painted == - || $ready == - ]]; then
        echo -n "$ready 0 $cpu $(echo "$end - $start" | bc -l)"
    else
        echo -n "$((ready > painted ? ready : painted)) 1 $cpu $(echo "$end - $start" | bc -l)"
    fi
    headless --screenshot="$work/shot.png" "$1" > /dev/null
    echo " $(cat "$work/cpu")"
}
median() { sort -g | sed -n "$(((runs + 1) / 2))p"; }

echo '<!DOCTYPE html><title>empty</title>' > "$work/empty.html"
ready=() painted_before=0 cpu=() wall=() shot_cpu=() empty_cpu=() empty_wall=() empty_shot_cpu=()
for ((r = 0; r < runs; r++)); do
    read -r ms p c secs shot < <(open_page "$work/r.html")
    ready+=("$ms") painted_before=$((painted_before + p)) cpu+=("$c") wall+=("$secs") shot_cpu+=("$shot")
    read -r _ _ c secs shot < <(open_page "$work/empty.html")
    empty_cpu+=("$c") empty_wall+=("$secs") empty_shot_cpu+=("$shot")
done
m() { printf '%s\n' "$@" | median; }
echo "medians of $runs headless runs; load average now: $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'page usable                %s ms after navigation start (first paint before the ready mark in %d of %d runs)\n' \
    "$(m "${ready[@]}")" "$painted_before" "$runs"
printf 'processor time             page %.2f s   empty page %.2f s   difference %.2f s\n' "$(m "${cpu[@]}")" \
    "$(m "${empty_cpu[@]}")" "$(echo "$(m "${cpu[@]}") - $(m "${empty_cpu[@]}")" | bc -l)"
printf '  painted, not dumped      page %.2f s   empty page %.2f s   difference %.2f s\n' "$(m "${shot_cpu[@]}")" \
    "$(m "${empty_shot_cpu[@]}")" "$(echo "$(m "${shot_cpu[@]}") - $(m "${empty_shot_cpu[@]}")" | bc -l)"
printf 'wall time                  page %.2f s   empty page %.2f s\n' "$(m "${wall[@]}")" "$(m "${empty_wall[@]}")"
