#!/usr/bin/env bash
# `make bench`: ferrit-cli and the window against cp and rsync, each figure beside its target.
# Usage: bench/run_bench.sh BUILD_DIR [SECTION...]   sections: local deep window net (default all)
# Each section is a script of its own (bench/SECTION.sh) and can be run alone. A section whose
# tools or kernel features are missing is skipped with a message; the exit status is 1 only when
# a command of a section failed (a missed target is a figure, not a failure).
set -uo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/lib.sh"
BUILD=${1:-build}
shift || true
SECTIONS=("$@")
((${#SECTIONS[@]})) || SECTIONS=(local deep window net)

trap 'echo; echo "bench: interrupted"; exit 130' INT TERM
declare -A RESULT
failed=0
started=$SECONDS
for section in "${SECTIONS[@]}"; do
    if [[ ! -f $HERE/$section.sh ]]; then
        echo "run_bench.sh: no section '$section' (local, deep, window, net)" >&2
        exit 2
    fi
    t0=$SECONDS
    # Other work on the machine slows the tools alike, yet it spreads the figures.
    load=$(cut -d' ' -f1 /proc/loadavg 2>/dev/null || echo '?')
    bash "$HERE/$section.sh" "$BUILD"
    rc=$?
    case $rc in
    "$BENCH_MET") RESULT[$section]="all targets met" ;;
    "$BENCH_MISSED") RESULT[$section]="some targets NOT met" ;;
    "$BENCH_SHOWN") RESULT[$section]="figures printed (no targets)" ;;
    "$BENCH_SKIPPED") RESULT[$section]="skipped" ;;
    130) exit 130 ;;
    *)
        RESULT[$section]="FAILED (status $rc)"
        failed=1
        ;;
    esac
    RESULT[$section]+=" ($((SECONDS - t0)) s, load average $load at the start)"
    echo
done

echo "== Summary ($((SECONDS - started)) s) =="
for section in "${SECTIONS[@]}"; do
    printf '    %-8s %s\n' "$section" "${RESULT[$section]}"
done
exit "$failed"
