#!/usr/bin/env bash
# Deep trees: ferrit-cli --subdirs --create-dirs over chains of 250, 500 and 2,000 directories
# with 1-character names and one small file at the bottom. The time per level shows whether the
# cost of a level grows with the depth. Usage: bench/deep.sh BUILD_DIR
# A run that takes longer than BENCH_DEEP_LIMIT seconds (default 150) is stopped and reported
# as a lower bound, so that the whole bench stays within its time.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

echo "== Deep trees: creating the counterpart directories of a chain of directories =="
command -v timeout >/dev/null || skip "timeout (coreutils) is not installed"
bench_init "${1:-build}" deep
LIMIT=${BENCH_DEEP_LIMIT:-150}
FAILED=0

# descend LEVELS [mkdir]: goes down LEVELS directories named a below the current directory,
# making them first when asked. Fifty levels per step: one cd per level is slow in bash at these
# depths, and one path for the whole chain would exceed PATH_MAX.
descend() {
    local left=$1 step chunk
    while ((left > 0)); do
        step=$((left < 50 ? left : 50))
        printf -v chunk 'a/%.0s' $(seq "$step")
        if [[ ${2:-} == mkdir ]]; then mkdir -p "$chunk" || return 1; fi
        cd "$chunk" || return 1
        left=$((left - step))
    done
}

# make_chain DIR LEVELS: DIR/a/a/.../a (LEVELS directories) holding the file f.
make_chain() {
    (mkdir -p "$1" && cd "$1" && descend "$2" mkdir && echo bottom >f)
}

# chain_end DIR LEVELS: prints the content of the file at the bottom (empty when it is missing).
chain_end() {
    (cd "$1" 2>/dev/null && descend "$2" 2>/dev/null && cat f 2>/dev/null) || true
}

echo "(one run per depth; a run is stopped after $LIMIT s)"
printf '    %6s  %10s  %12s  %9s  %s\n' levels "time s" "ms per level" "x 250's" result
base=""
for levels in 250 500 2000; do
    src=$WORK/s$levels
    dst=$WORK/t$levels
    make_chain "$src" "$levels"
    mkdir -p "$dst"
    sync
    rc=0
    start=$(date +%s.%N)
    timeout "$LIMIT" "$CLI" --subdirs --create-dirs "$src" "$dst" >/dev/null 2>"$WORK/err" || rc=$?
    end=$(date +%s.%N)
    secs=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
    per=$(awk -v s="$secs" -v n="$levels" 'BEGIN { printf "%.3f", s * 1000 / n }')
    if ((rc == 124)); then
        result="stopped after $LIMIT s: the figures are lower bounds"
        secs=">$secs" per=">$per"
    elif ((rc != 0)); then
        result="ferrit-cli failed with status $rc: $(grep -m1 -v '^\(File\|Status\|Total\):' "$WORK/err" || true)"
        FAILED=1
    elif [[ $(chain_end "$dst" "$levels") != bottom ]]; then
        result="exit status 0, but the file at the bottom was not copied"
        FAILED=1
    else
        result="copied"
    fi
    base=${base:-${per#>}}
    rel=$(awk -v p="${per#>}" -v b="$base" 'BEGIN { printf "%.1f", (b > 0 ? p / b : 0) }')
    [[ $per == '>'* ]] && rel=">$rel"
    printf '    %6s  %10s  %12s  %9s  %s\n' "$levels" "$secs" "$per" "$rel" "$result"
done
echo "    (\"x 250's\" is the time per level over that of 250 levels: 1.0 where the cost of a"
echo "    level does not grow with the depth)"
((FAILED)) && exit "$BENCH_FAILED"
exit "$BENCH_SHOWN"
