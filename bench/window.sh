#!/usr/bin/env bash
# The window's speed: runs started through the window (under xvfb-run, by
# build/ui/ferrit-bench-window, which types the paths, ticks the options and clicks Start)
# against ferrit-cli on the same trees: 10,000 small files, and a real tree (the system's
# documentation directory, or BENCH_REAL_TREE), copied first so that it stands still.
# Usage: bench/window.sh BUILD_DIR
# The window's time runs from the click to the end of the run; ferrit-cli's is the whole
# process. Each run writes a fresh target, made before the timing starts.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

echo "== The window: a run started with Start against ferrit-cli =="
command -v xvfb-run >/dev/null || skip "xvfb-run is not installed (make deps installs it)"
bench_init "${1:-build}" window
BUILD=${1:-build}
DRIVER=$BUILD/ui/ferrit-bench-window
RUNS=${BENCH_WINDOW_RUNS:-3}

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
# The driver measures the run itself; starting the X server and the window is not counted.
w_window() {
    local secs
    if ! secs=$(xvfb-run -a -s "-screen 0 1280x1024x24" "$DRIVER" "$SRC" "$T" \
        "Copy Subdirectories" "Create Directories on Target" 2>"$WORK/window.err"); then
        cat "$WORK/window.err" >&2
        echo "bench: the run through the window failed" >&2
        exit "$BENCH_FAILED"
    fi
    SAMPLES[$1]+="$secs "
}

# compare NAME FILES: RUNS rounds of ferrit-cli and the window in turn over $SRC, each into a
# fresh target under $WORK/NAME; every target must hold FILES files. A window run takes long
# enough that only ferrit-cli gets a warm-up round (which also brings the source tree into the
# page cache for both).
compare() {
    local name=$1 files=$2 round
    for ((round = 0; round <= RUNS; round++)); do
        mkdir -p "$WORK/$name/cli.$round"
        ((round == 0)) || mkdir -p "$WORK/$name/window.$round"
    done
    for ((round = 0; round <= RUNS; round++)); do
        T=$WORK/$name/cli.$round
        time_run "${name}_cli" "$round" w_cli
        ((round == 0)) && continue
        T=$WORK/$name/window.$round
        sync
        w_window "${name}_window"
    done
    expect_files "$files" "$WORK/$name"/cli.[0-9]* "$WORK/$name"/window.[0-9]*
    printf '    wall: window %.3f s (%s), ferrit-cli %.3f s (%s)\n' "$(median "${name}_window")" \
        "$(spread "${name}_window")" "$(median "${name}_cli")" "$(spread "${name}_cli")"
    ratio_line "window / ferrit-cli" "$(median "${name}_window")" "$(median "${name}_cli")" "$RATIO"
}

SRC=$WORK/small-source
make_tree "$SRC" 100 100 4096
echo "(10,000 files of 4 KiB in 100 directories; median of $RUNS runs)"
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
        "directories, $(du -sh "$SRC" | cut -f1); median of $RUNS runs)"
    compare real "$(count_files "$SRC")"
fi
finish
