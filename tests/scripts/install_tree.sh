#!/usr/bin/env bash
# cmake --install puts the program under bin/, the compressed manual page under share/man/man1/,
# the bash completion under share/bash-completion/completions/ and the README, copyright and
# changelog under share/doc/runtrail/.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null
test -x "$prefix/bin/runtrail" || { echo "no bin/runtrail" >&2; exit 1; }
for f in share/man/man1/runtrail.1.gz share/bash-completion/completions/runtrail \
         share/doc/runtrail/README.md share/doc/runtrail/copyright share/doc/runtrail/changelog.gz; do
    test -f "$prefix/$f" || { echo "no $f" >&2; exit 1; }
done
gzip -t "$prefix/share/man/man1/runtrail.1.gz" "$prefix/share/doc/runtrail/changelog.gz"
bash -n "$prefix/share/bash-completion/completions/runtrail"
"$prefix/bin/runtrail" -h 2>&1 | grep -q '^Usage:$' || { echo "installed runtrail does not answer -h" >&2; exit 1; }
echo "install tree complete"
