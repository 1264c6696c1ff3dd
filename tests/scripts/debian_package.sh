#!/usr/bin/env bash
# The Debian package from a Release build folder: lintian finds no error in it, it installs, the
# installed program answers -h, its manual page is found, bash completes its options and their
# values, and purging it leaves nothing of it behind.
# It installs into this machine, so it needs root and dpkg, and runs from .ci/run, not ctest.
set -euo pipefail
build=$(realpath "$1")

if [ "$(id -u)" -ne 0 ] || ! command -v dpkg >/dev/null 2>&1; then
    echo "SKIPPED: the Debian package check needs root and dpkg"
    exit 77
fi
for tool in cpack dpkg-shlibdeps lintian man; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIPPED: $tool is not installed (bash .ci/install-test-tools installs it)"
        exit 77
    fi
done
if dpkg-query -W -f='${Status}' runtrail 2>/dev/null | grep -q 'ok installed'; then
    echo "SKIPPED: a runtrail package is already installed here; it is left alone"
    exit 77
fi

fail() {
    echo "debian_package: $*" >&2
    exit 1
}

(cd "$build" && cpack -G DEB > /dev/null)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$(ls "$build"/runtrail_"$version"_*.deb)
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package version is not $version"

lintian_out=$(lintian --fail-on error "$deb") || { echo "$lintian_out" >&2; fail "lintian reports errors"; }
[ -z "$lintian_out" ] || echo "$lintian_out"

work=$(mktemp -d)
trap 'dpkg --purge runtrail > /dev/null 2>&1 || true; rm -rf "$work"' EXIT
dpkg -i "$deb" > /dev/null
installed=$(dpkg -L runtrail)

/usr/bin/runtrail -h 2>&1 | grep -q '^Usage:$' || fail "the installed runtrail does not answer -h"
[ "$(man -w runtrail)" = /usr/share/man/man1/runtrail.1.gz ] || fail "man -w does not find the manual page"
for f in /usr/share/doc/runtrail/copyright /usr/share/doc/runtrail/changelog.gz /usr/share/doc/runtrail/README.md; do
    grep -qx "$f" <<< "$installed" || fail "$f is not in the package"
done

# Completion: the installed function called as bash calls it on Tab, in a folder with one file
# and one directory.
mkdir "$work/cases" && touch "$work/cases.csv"
completes() { # the words of the command line, the last being completed; prints the offers sorted
    (
        cd "$work"
        source /usr/share/bash-completion/completions/runtrail
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        _runtrail
        printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd' '
    )
}
expect() { # expected offers, then the command line
    local want=$1 got
    shift
    got=$(completes "$@")
    [ "$got" = "$want" ] || fail "completing '$*': got '$got', expected '$want'"
}
expect "-num_subdirs" runtrail -num_s
expect "-image" runtrail -IMA
expect "-h -hashcheck -help -hostname -html" runtrail -h
expect "cases cases.csv" runtrail -out ""
expect "cases cases.csv" runtrail -quiet cas
expect "cases" runtrail -enumdir ""
expect "cases cases.csv" runtrail -csv -image c
expect "dd-mm-yyyy dd/mm/yy dd/mm/yyyy" runtrail -dateformat d
expect "" runtrail -threads ""
expect "" runtrail -NUM_SUBDIRS 1
# bash splits "hh:mm:ss.x" at each ':', and replaces only the text after the last one.
expect "ss.xxx ss.xxxxxx ss.xxxxxxx" runtrail -timeformat hh : mm : ss.
# Every pattern offered is one runtrail accepts.
for pattern in $(completes runtrail -dateformat "") $(completes runtrail -timeformat ""); do
    option=-dateformat
    [[ $pattern == hh* ]] && option=-timeformat
    refused=$(/usr/bin/runtrail "$option" "$pattern" 2>&1 | grep '^invalid' || true)
    [ -z "$refused" ] || fail "$option $pattern is offered but refused"
done

dpkg --purge runtrail > /dev/null
! dpkg-query -W runtrail > /dev/null 2>&1 || fail "runtrail is still known to dpkg after the purge"
while IFS= read -r path; do
    # Directories such as /usr/bin belong to other packages too; runtrail's own must be gone.
    if [ -e "$path" ] && { [ ! -d "$path" ] || [[ $path == */runtrail ]]; }; then
        fail "$path is left after the purge"
    fi
done <<< "$installed"
echo "Debian package $(basename "$deb") installs, works, completes and purges cleanly"
