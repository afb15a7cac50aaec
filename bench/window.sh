#!/usr/bin/env bash
# The window's speed: a run over 10,000 small files started through the window (under
# xvfb-run, by build/ui/ferrit-bench-window, which types the paths, ticks the options and clicks
# Start) against ferrit-cli on the same tree. Usage: bench/window.sh BUILD_DIR
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

SRC=$WORK/src
make_tree "$SRC" 100 100 4096
for ((round = 0; round <= RUNS; round++)); do
    mkdir -p "$WORK/cli.$round"
    ((round == 0)) || mkdir -p "$WORK/window.$round"
done

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
    SAMPLES[window]+="$secs "
}
# A window run takes long enough that only ferrit-cli gets a warm-up round (which also brings
# the source tree into the page cache for both).
echo "(10,000 files of 4 KiB in 100 directories; median of $RUNS runs)"
for ((round = 0; round <= RUNS; round++)); do
    T=$WORK/cli.$round
    time_run cli "$round" w_cli
    ((round == 0)) && continue
    T=$WORK/window.$round
    sync
    w_window
done
expect_files 10000 "$WORK"/cli.[0-9]* "$WORK"/window.[0-9]*
printf '    wall: window %.3f s (%s), ferrit-cli %.3f s (%s)\n' "$(median window)" \
    "$(spread window)" "$(median cli)" "$(spread cli)"
ratio_line "window / ferrit-cli" "$(median window)" "$(median cli)" 1.3
finish
