#!/bin/sh
# Usage: check_pages.sh PAGE PROGRAM [PAGE PROGRAM...]
# Each manual page renders through man(1) without a warning, and names every flag that its
# program's --help lists.
set -u
status=0
while [ $# -ge 2 ]; do
    page=$1 program=$2
    shift 2
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
        printf '%s renders with warnings:\n%s\n' "$page" "$warnings"
        status=1
    fi
    text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -E UTF-8 -l "$page" 2>/dev/null)
    for flag in $("$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        if ! printf '%s\n' "$text" | grep -q -- "$flag"; then
            echo "$page does not name $flag, which $program --help lists"
            status=1
        fi
    done
done
[ $status -eq 0 ] && echo "manual pages render cleanly and name every flag"
exit $status
