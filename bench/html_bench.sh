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
#     start of navigation until the page's script has finished (filter, sort and timeline ready,
#     read from the page's data-ready-ms); the processor time (user + system, every Chromium
#     process) of the whole headless run beside that of an empty page, which is start-up and
#     shut-down; and the wall time of both. On a busy machine the wall times say more about the
#     other load than about the page: the processor times are the steadier figure.
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

# open PAGE: prints "ready-ms cpu-seconds wall-seconds" for one headless load.
open_page() {
    local start end cpu ready
    start=$(date +%s.%N)
    cpu=$(/usr/bin/time -f '%U %S' -o "$work/cpu" "$browser" --headless --no-sandbox --disable-gpu \
        --disable-background-networking --disable-component-update --disable-sync --no-first-run \
        --user-data-dir="$work/profile$RANDOM" --dump-dom "file://$1" 2>/dev/null > "$work/dom"; awk '{print $1 + $2}' "$work/cpu")
    end=$(date +%s.%N)
    ready=$(grep -o 'data-ready-ms="[0-9]*"' "$work/dom" | grep -o '[0-9]*' || echo -)
    echo "$ready $cpu $(echo "$end - $start" | bc -l)"
}
median() { sort -g | sed -n "$(((runs + 1) / 2))p"; }

echo '<!DOCTYPE html><title>empty</title>' > "$work/empty.html"
ready=() cpu=() wall=() empty_cpu=() empty_wall=()
for ((r = 0; r < runs; r++)); do
    read -r ms c secs < <(open_page "$work/r.html")
    ready+=("$ms") cpu+=("$c") wall+=("$secs")
    read -r _ c secs < <(open_page "$work/empty.html")
    empty_cpu+=("$c") empty_wall+=("$secs")
done
m() { printf '%s\n' "$@" | median; }
echo "medians of $runs headless runs; load average now: $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'page ready (script done)   %s ms after navigation start\n' "$(m "${ready[@]}")"
printf 'processor time             page %.2f s   empty page %.2f s   difference %.2f s\n' "$(m "${cpu[@]}")" \
    "$(m "${empty_cpu[@]}")" "$(echo "$(m "${cpu[@]}") - $(m "${empty_cpu[@]}")" | bc -l)"
printf 'wall time                  page %.2f s   empty page %.2f s\n' "$(m "${wall[@]}")" "$(m "${empty_wall[@]}")"
