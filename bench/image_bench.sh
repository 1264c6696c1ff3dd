#!/usr/bin/env bash
# Rate of -image against -enumdir over the same prefetch files.
#
#   bench/image_bench.sh [runtrail binary] [file count]
#
# Makes, in a temporary directory, an NTFS volume (mkntfs, ntfs-3g) whose \Windows\Prefetch holds
# copies of every sample file of tests/data under distinct names (2,000 by default), and the same
# files in a plain directory. After one warming run of each, runs
#   runtrail -image VOLUME -csv -quiet            > /dev/null
#   runtrail -enumdir DIR -csv -quiet             > /dev/null
# in turn, seven pairs, and prints the median files/s of each and the median of the paired ratios.
# Needs root and FUSE (ntfs-3g mounts the volume to fill it). Use a Release build.
# Aim: the image run at no less than half the rate of the directory run.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../build/runtrail}
count=${2:-2000}
data=$here/../tests/data
pairs=7

[[ -x $bin ]] || { echo "no runtrail binary at $bin" >&2; exit 1; }
for tool in mkntfs ntfs-3g fusermount; do
    command -v $tool >/dev/null || { echo "needs $tool (Debian: ntfs-3g, fuse3)" >&2; exit 1; }
done
"$bin" -image /dev/null -quiet 2>&1 | grep -q "not offered" && { echo "$bin has no -image" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/runtrail-image-bench-XXXXXX")
cleanup() { mountpoint -q "$work/mnt" 2>/dev/null && fusermount -u "$work/mnt"; rm -rf "$work"; }
trap cleanup EXIT

mapfile -t samples < <(find "$data" -name '*.pf' -type f -not -path '*/Bad/*' -not -path '*/regressions/*' | sort)
mkdir -p "$work/dir" "$work/mnt"
for ((i = 0; i < count; i++)); do
    src=${samples[i % ${#samples[@]}]}
    cp "$src" "$work/dir/$(printf '%05d' "$i")-$(basename "$src")"
done
bytes=$(du -sb "$work/dir" | cut -f1)
truncate -s $((bytes * 2 + 64 * 1048576)) "$work/volume.img"
mkntfs -q -F -Q "$work/volume.img" >/dev/null 2>&1
ntfs-3g "$work/volume.img" "$work/mnt"
mkdir -p "$work/mnt/Windows/Prefetch"
cp "$work/dir/"* "$work/mnt/Windows/Prefetch/"
fusermount -u "$work/mnt"

seconds() { local s e; s=$(date +%s.%N); "$@" > /dev/null 2>&1 || true; e=$(date +%s.%N); echo "$e - $s" | bc -l; }
image_run() { "$bin" -image "$work/volume.img" -csv -quiet; }
dir_run() { "$bin" -enumdir "$work/dir" -csv -quiet; }
reported=$("$bin" -image "$work/volume.img" -jsonl -quiet | wc -l)
[[ $reported -eq $count ]] || { echo "the image run reported $reported of $count files" >&2; exit 1; }
image_run > /dev/null; dir_run > /dev/null  # warm the cache

image_rates=() dir_rates=() ratios=()
for ((p = 0; p < pairs; p++)); do
    ti=$(seconds image_run)
    td=$(seconds dir_run)
    image_rates+=("$(echo "$count / $ti" | bc -l)")
    dir_rates+=("$(echo "$count / $td" | bc -l)")
    ratios+=("$(echo "$td / $ti" | bc -l)")
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%.2f", v[int((NR + 1) / 2)] }'; }
echo "files: $count ($bytes bytes), $pairs paired runs, default threads, warm cache"
echo "-image:   $(median "${image_rates[@]}") files/s (median)"
echo "-enumdir: $(median "${dir_rates[@]}") files/s (median)"
echo "image/directory rate: $(median "${ratios[@]}") (median of paired ratios; aim >= 0.5)"
