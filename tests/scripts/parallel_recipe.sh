#!/usr/bin/env bash
# The README's "Many files" recipe, run over the shipped samples: names split over all cores with
# GNU parallel and the CSV parts merged into one table with one header. The merged table must
# equal a single-process run row for row. Exit 77 (skipped) when parallel cannot be had.
set -euo pipefail
runtrail=$1
data=$2
if ! command -v parallel >/dev/null 2>&1; then
    echo "SKIPPED: GNU parallel is not installed (Debian package 'parallel'); the recipe was not checked"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

find "$data" -name '*.pf' -type f | LC_ALL=C sort > "$work/names.txt"
csv_part() { sed -n '/^prefetch file name,/,$p'; }

# Reading a file may update its access time once; a first run settles them so that both
# runs below see the same file times.
"$runtrail" -pipe -csv -quiet < "$work/names.txt" > /dev/null || true

# The recipe (small groups here, so that the samples are split over several jobs).
parallel --will-cite --pipe --keep-order -N 7 -j "$(nproc)" "$runtrail -pipe -csv -quiet" < "$work/names.txt" \
  | awk '/^prefetch file name,/ { if (seen++) next } /^runtrail [0-9.]+ - Windows Prefetch file reader$|^"cmdline: / { next } { print }' \
  > "$work/merged.csv" || true

"$runtrail" -pipe -csv -quiet < "$work/names.txt" | csv_part > "$work/single.csv" || true

rows=$(($(wc -l < "$work/single.csv") - 1))
headers=$(grep -c '^prefetch file name,' "$work/merged.csv" || true)
if [ "$rows" -lt 50 ] || [ "$headers" -ne 1 ]; then
    echo "FAILED: $rows rows in the single run, $headers header lines in the merged table" >&2
    exit 1
fi
if ! diff -u "$work/single.csv" "$work/merged.csv" >&2; then
    echo "FAILED: the merged table differs from the single-process run" >&2
    exit 1
fi
echo "parallel recipe: $rows rows, merged table equals the single-process run"
