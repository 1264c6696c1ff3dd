#!/usr/bin/env bash
# The manual page renders without a single groff warning.
set -euo pipefail
page=$1
if ! command -v groff >/dev/null 2>&1; then
    echo "SKIPPED: groff is not installed; the manual page was not checked"
    exit 77
fi
warnings=$(groff -man -ww -z "$page" 2>&1)
if [ -n "$warnings" ]; then
    echo "$warnings" >&2
    exit 1
fi
echo "manual page renders cleanly"
