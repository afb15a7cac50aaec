#!/usr/bin/env bash
# The window's speed: runs started through the window (under xvfb-run, by
# build/ui/ferrit-bench-window, which types the paths, ticks the options and clicks Start)
# against ferrit-cli on the same trees: 10,000 small files, and a real tree (the system's
# documentation directory, or BENCH_REAL_TREE), copied first so that it stands still.
# Usage: bench/window.sh BUILD_DIR   (BENCH_WINDOW_RUNS: the rounds, 21 when not given)
# The window's time runs from the click to the end of the run, without starting the program and
# its window. ferrit-cli's run alone is timed the same way, from the call of its front end to its
# return (by the driver, in a process of its own), just before and just after the window's in
# every round; the verdict is the median over the rounds of the window's time over the mean of
# those two. ferrit-cli as a whole process is timed in every round too and shown beside it. Each
# run writes a fresh target, made before the timing starts.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

echo "== The window: a run started with Start against ferrit-cli =="
command -v xvfb-run >/dev/null || skip "xvfb-run is not installed (make deps installs it)"
bench_init "${1:-build}" window
BUILD=${1:-build}
DRIVER=$BUILD/ui/ferrit-bench-window
# With fewer rounds the verdict moved by more than the margin to 1.1x from one repetition of
# the section to the next, on a machine shared with other work.
RUNS=${BENCH_WINDOW_RUNS:-21}

cmake --build "$BUILD" --target ferrit-bench-window >"$WORK/build.log" 2>&1 || {
    cat "$WORK/build.log" >&2
    echo "bench: the window's driver does not build" >&2
    exit "$BENCH_FAILED"
}
# The window saves its settings when it closes: into a configuration directory of its own.
export XDG_CONFIG_HOME=$WORK/config XDG_STATE_HOME=$WORK/state XDG_RUNTIME_DIR=$WORK/runtime
mkdir -p "$XDG_CONFIG_HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"

RATIO=1.1

w_cli() { "$CLI" --subdirs --create-dirs "$SRC" "$T"; }
# keep NAME "SECONDS CPU-SECONDS": the driver's figures of one run.
keep() {
    local secs cpu
    read -r secs cpu <<<"$2"
    SAMPLES[$1]+="$secs "
    CPUS[$1]+="$cpu "
}
# The driver measures the run itself; starting the X server and the window is not counted.
w_window() {
    local figures
    if ! figures=$(xvfb-run -a -s "-screen 0 1280x1024x24" "$DRIVER" "$SRC" "$T" \
        "Copy Subdirectories" "Create Directories on Target" 2>"$WORK/window.err"); then
        cat "$WORK/window.err" >&2
        echo "bench: the run through the window failed" >&2
        exit "$BENCH_FAILED"
    fi
    keep "$1" "$figures"
}
# ferrit-cli's front end, its run timed by the driver in the same way (no display needed).
w_cli_run() {
    rm -f "$WORK/cli.figures"
    if ! "$DRIVER" --cli-into "$WORK/cli.figures" --subdirs --create-dirs "$SRC" "$T" \
        >/dev/null 2>"$WORK/cli.err"; then
        cat "$WORK/cli.err" >&2
        echo "bench: ferrit-cli's run in the driver failed" >&2
        exit "$BENCH_FAILED"
    fi
    keep "$1" "$(cat "$WORK/cli.figures")"
}

# The window's time over ferrit-cli's, round by round: the runs of one round follow each other
# within seconds, so other work on the machine weighs on both alike, where the medians of the
# two series may come from its busy and its quiet minutes. ferrit-cli's run goes before and after
# the window's in every round, and the window is set against the mean of the two, which also
# takes out a load that grows or falls during the round.
declare -A RATIOS
# last NAME [N]: the mean of the last N (1) samples of NAME.
last() {
    local samples=(${SAMPLES[$1]})
    tr ' ' '\n' <<<"${samples[*]: -${2:-1}}" | awk '{ s += $1 } END { printf "%.4f", s / NR }'
}
# pair RATIO WINDOW CLI [N]: the window's last time over the mean of ferrit-cli's last N.
pair() {
    RATIOS[$1]+="$(awk -v a="$(last "$2")" -v b="$(last "$3" "${4:-1}")" \
        'BEGIN { printf "%.4f", a / b }') "
}
# quartiles NAME: "first-third" quartile of the round-by-round ratios.
quartiles() {
    tr ' ' '\n' <<<"${RATIOS[$1]}" | grep . | sort -g | awk '{ v[NR] = $1 }
        END { printf "%.2f-%.2f", v[int((NR + 3) / 4)], v[int((3 * NR + 3) / 4)] }'
}
# ratio_of NAME LABEL [LIMIT]: the median of the round-by-round ratios, against LIMIT if given.
ratio_of() {
    local r
    r=$(pick median "${RATIOS[$1]}")
    r=$(awk -v r="$r" 'BEGIN { printf "%.2f", r }')
    if (($# > 2)); then
        verdict "$r" "$3"
        printf '    %-36s %5s x  (middle half %s; target <= %sx)  %s\n' "$2" "$r" "$(quartiles "$1")" \
            "$3" "$VERDICT"
    else
        printf '    %-36s %5s x  (middle half %s; shown)\n' "$2" "$r" "$(quartiles "$1")"
    fi
}

# counted DIR FILES: the target of a run must hold FILES files (a figure of a run that did not do
# the whole work is worth nothing); it is then removed, untimed, so that the many rounds need no
# more room than one.
counted() {
    expect_files "$2" "$1"
    rm -rf "$1"
}

# compare NAME FILES: RUNS rounds over $SRC, in each of which ferrit-cli as a process, ferrit-cli's
# run in the driver, the window's run and ferrit-cli's run again take their turn, each into a
# fresh target under $WORK/NAME that must then hold FILES files. Only ferrit-cli gets a warm-up
# round (which also brings the source tree into the page cache for all of them).
compare() {
    local name=$1 files=$2 round
    for ((round = 0; round <= RUNS; round++)); do
        mkdir -p "$WORK/$name/cli.$round"
        ((round == 0)) ||
            mkdir -p "$WORK/$name/run.$round" "$WORK/$name/window.$round" "$WORK/$name/again.$round"
    done
    for ((round = 0; round <= RUNS; round++)); do
        T=$WORK/$name/cli.$round
        time_run "${name}_cli" "$round" w_cli
        counted "$T" "$files"
        ((round == 0)) && continue
        T=$WORK/$name/run.$round
        sync
        w_cli_run "${name}_run"
        counted "$T" "$files"
        T=$WORK/$name/window.$round
        sync
        w_window "${name}_window"
        counted "$T" "$files"
        T=$WORK/$name/again.$round
        sync
        w_cli_run "${name}_run"
        counted "$T" "$files"
        pair "${name}_runs" "${name}_window" "${name}_run" 2
        pair "${name}_process" "${name}_window" "${name}_cli"
    done
    printf '    run:  window %.3f s (%s), ferrit-cli %.3f s (%s)\n' "$(median "${name}_window")" \
        "$(spread "${name}_window")" "$(median "${name}_run")" "$(spread "${name}_run")"
    printf '          processor: window %.3f s, ferrit-cli %.3f s (all threads, medians)\n' \
        "$(cpu_median "${name}_window")" "$(cpu_median "${name}_run")"
    printf '    ferrit-cli as a whole process: %.3f s (%s), processor %.3f s\n' \
        "$(median "${name}_cli")" "$(spread "${name}_cli")" "$(cpu_median "${name}_cli")"
    ratio_of "${name}_runs" "window / ferrit-cli (the runs)" "$RATIO"
    ratio_of "${name}_process" "window / ferrit-cli (whole process)"
}

SRC=$WORK/small-source
make_tree "$SRC" 100 100 4096
echo "(10,000 files of 4 KiB in 100 directories; medians of $RUNS rounds)"
compare small 10000

REAL=${BENCH_REAL_TREE:-/usr/share/doc}
echo
SRC=$WORK/real-source
# What cannot be read of it (another user's private files) is left out of the copy.
cp -a "$REAL" "$SRC" 2>/dev/null || true
if [[ ! -d $SRC ]] || (($(count_files "$SRC") < 1000)); then
    echo "(no real tree: $REAL is missing or holds fewer than 1,000 readable files)"
else
    echo "(a real tree: $REAL, $(count_files "$SRC") files in $(find "$SRC" -type d | wc -l)" \
        "directories, $(du -sh "$SRC" | cut -f1); medians of $RUNS rounds)"
    compare real "$(count_files "$SRC")"
fi
finish
