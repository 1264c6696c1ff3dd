#!/usr/bin/env bash
# cmake --install puts the program under bin/ and the manual page under share/man/man1/.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null
test -x "$prefix/bin/runtrail" || { echo "no bin/runtrail" >&2; exit 1; }
test -f "$prefix/share/man/man1/runtrail.1" || { echo "no share/man/man1/runtrail.1" >&2; exit 1; }
"$prefix/bin/runtrail" -h 2>&1 | grep -q '^Usage:$' || { echo "installed runtrail does not answer -h" >&2; exit 1; }
echo "install tree complete"
