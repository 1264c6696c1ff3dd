#!/usr/bin/env bash
# Makes the data for the -image against -enumdir benchmark: an NTFS volume image whose \Windows\Prefetch holds
# many real prefetch files, and the same files extracted into a directory.
#
#   bench/make_bench_image.sh OUTDIR [file count, default 2000]
#
# The files are copies of the real files in tests/data (every format version), named NAME-XXXXXXXX.pf with NAME
# the program name of the source and XXXXXXXX the copy's number in hex, so every name is distinct. Writes
#   OUTDIR/bench-ntfs.img                        the NTFS volume (no partition table)
#   OUTDIR/extracted/Windows/Prefetch/*.pf       the same files, copied back out of the volume
# then compare, warm cache, medians of several runs (Release build):
#   runtrail -image OUTDIR/bench-ntfs.img -csv -quiet -out /dev/null
#   runtrail -enumdir OUTDIR/extracted -num_subdirs 2 -csv -quiet -out /dev/null
# Needs root, /dev/fuse and the Debian package ntfs-3g (mkntfs, ntfs-3g).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=${1:?usage: make_bench_image.sh OUTDIR [file count]}
count=${2:-2000}
data=$here/../tests/data

for tool in mkntfs ntfs-3g fusermount; do
    command -v "$tool" >/dev/null || { echo "needs $tool (Debian package ntfs-3g)" >&2; exit 1; }
done
[[ -e /dev/fuse ]] || { echo "needs /dev/fuse to mount the volume with ntfs-3g" >&2; exit 1; }

mkdir -p "$out"
out=$(cd "$out" && pwd)
image=$out/bench-ntfs.img
extracted=$out/extracted/Windows/Prefetch
work=$(mktemp -d "${TMPDIR:-/tmp}/runtrail-bench-image-XXXXXX")
mnt=$work/mnt
mkdir -p "$work/files" "$mnt"
trap 'mountpoint -q "$mnt" && fusermount -u "$mnt"; rm -rf "$work"' EXIT

mapfile -t sources < <(find "$data" -name '*.pf' -type f -not -path '*/Bad/*' -not -path '*/images/*' | sort)
((${#sources[@]} > 0)) || { echo "no prefetch files under $data" >&2; exit 1; }

for ((i = 0; i < count; i++)); do
    source=${sources[i % ${#sources[@]}]}
    name=$(basename "$source" .pf)
    cp "$source" "$work/files/$(printf '%s-%08X.pf' "${name%-*}" "$i")"
done
# Room for the files, twice over for clusters and metadata, and 16 MiB for the file system itself.
bytes=$(du -sb "$work/files" | cut -f1)
mib=$((bytes * 2 / 1048576 + 16))

rm -f "$image"
truncate -s "${mib}M" "$image"
mkntfs -q -F -Q -c 4096 -L BENCH "$image" 2>/dev/null
ntfs-3g -o rw,noatime "$image" "$mnt"
mkdir -p "$mnt/Windows"
cp -r "$work/files" "$mnt/Windows/Prefetch"
fusermount -u "$mnt"
while mountpoint -q "$mnt"; do sleep 0.1; done

# Extracted from the volume, so both runs read the very same bytes.
rm -rf "$out/extracted"
mkdir -p "$extracted"
ntfs-3g -o ro "$image" "$mnt"
cp "$mnt"/Windows/Prefetch/*.pf "$extracted/"
fusermount -u "$mnt"
while mountpoint -q "$mnt"; do sleep 0.1; done

echo "$image: ${mib} MiB, $count prefetch files in /Windows/Prefetch; extracted to $extracted"
