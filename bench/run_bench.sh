#!/usr/bin/env bash
# Benchmarks of ferrit-cli against cp -a and rsync -a on the same work, with the targets each
# figure has to meet. Usage: bench/run_bench.sh BUILD_DIR
# Page caches cannot be dropped here, so every command runs once to warm up and the best of the
# next three runs counts. Untimed set-up (removing a target, sync) happens between runs.
set -euo pipefail
export LC_ALL=C

BUILD=${1:-build}
CLI=$(cd "$BUILD" && pwd)/ferrit-cli
if [[ ! -x $CLI ]]; then
    echo "run_bench.sh: $CLI not found; build it first (make build)" >&2
    exit 1
fi
for tool in cp rsync /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "run_bench.sh: $tool is required" >&2; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/ferrit-bench.XXXXXX")
cleanup() { chmod -R u+w "$WORK" 2>/dev/null || true; rm -rf "$WORK"; }
trap cleanup EXIT
trap 'exit 130' INT TERM

RUNS=${BENCH_RUNS:-3}
ALL_MET=1

# make_tree DIR DIRS FILES_PER_DIR BYTES: DIRS directories d000.. with FILES_PER_DIR files each.
# Written with shell built-ins only, so 100,000 files take seconds, not minutes.
make_tree() {
    local dir=$1 dirs=$2 files=$3 bytes=$4 d f sub name data
    data=$(head -c $(((bytes * 3 + 3) / 4)) /dev/urandom | base64 -w0)
    data=${data:0:bytes}
    mkdir -p "$dir"
    for ((d = 0; d < dirs; d++)); do
        printf -v sub '%s/d%04d' "$dir" "$d"
        mkdir "$sub"
        for ((f = 0; f < files; f++)); do
            printf -v name '%s/f%05d.dat' "$sub" "$f"
            printf '%s' "$data" >"$name"
        done
    done
}

# best_time SETUP CMD...: runs SETUP then CMD once to warm up, then RUNS more times; prints the
# shortest wall time of CMD in seconds. CMD's output is discarded; a failing CMD stops the bench.
best_time() {
    local setup=$1 best="" i t0 t1 rc
    shift
    for ((i = 0; i <= RUNS; i++)); do
        "$setup"
        t0=$EPOCHREALTIME
        rc=0
        "$@" >/dev/null 2>&1 || rc=$?
        t1=$EPOCHREALTIME
        if ((rc != 0)); then
            echo "run_bench.sh: '$*' failed with status $rc" >&2
            exit 1
        fi
        ((i == 0)) && continue
        best=$(awk -v a="$t0" -v b="$t1" -v best="$best" \
            'BEGIN { d = b - a; if (best == "" || d < best) best = d; printf "%.4f", best }')
    done
    echo "$best"
}

# peak_kib CMD...: peak resident memory of CMD in KiB.
peak_kib() {
    local out="$WORK/time.out"
    /usr/bin/time -f %M -o "$out" "$@" >/dev/null 2>&1 || {
        echo "run_bench.sh: '$*' failed" >&2
        exit 1
    }
    tail -n 1 "$out"
}

# verdict VALUE LIMIT: sets VERDICT to "met" when VALUE <= LIMIT, else to "NOT met" (and
# remembers that a target was missed). Not for use inside $(...), which would lose ALL_MET.
verdict() {
    if awk -v v="$1" -v l="$2" 'BEGIN { exit !(v <= l) }'; then
        VERDICT="met"
    else
        ALL_MET=0
        VERDICT="NOT met"
    fi
}

# ratio_line LABEL A B LIMIT: prints A/B against the limit.
ratio_line() {
    local label=$1 r
    r=$(awk -v a="$2" -v b="$3" 'BEGIN { printf "%.2f", a / b }')
    verdict "$r" "$4"
    printf '    %-28s %5s x  (target <= %s)  %s\n' "$label" "$r" "$4" "$VERDICT"
}

SRC10K=$WORK/src10k
DST=$WORK/dst
fresh_target() { rm -rf "$DST"; sync; }
no_setup() { sync; }

echo "ferrit-cli benchmark ($(nproc) CPUs, best of $RUNS runs after one warm-up)"
echo "Building the trees in $WORK ..."
make_tree "$SRC10K" 100 100 4096

# (a) 10,000 files of 4 KiB in 100 directories into an empty target.
t_ferrit=$(best_time fresh_target "$CLI" --subdirs --create-dirs "$SRC10K" "$DST")
t_cp=$(best_time fresh_target cp -a "$SRC10K" "$DST")
t_rsync=$(best_time fresh_target rsync -a "$SRC10K/" "$DST/")
echo
echo "(a) 10,000 files of 4 KiB in 100 directories into an empty target"
printf '    ferrit-cli %.3f s, cp -a %.3f s, rsync -a %.3f s\n' "$t_ferrit" "$t_cp" "$t_rsync"
ratio_line "ferrit-cli / cp -a" "$t_ferrit" "$t_cp" 1.0
ratio_line "ferrit-cli / rsync -a" "$t_ferrit" "$t_rsync" 0.7

# (b) The same again with everything up to date: every file skipped. The target made by the
# last rsync -a keeps every modification time, so both tools find nothing to do.
t_ferrit=$(best_time no_setup "$CLI" --subdirs --older "$SRC10K" "$DST")
t_rsync=$(best_time no_setup rsync -a "$SRC10K/" "$DST/")
skipped=$("$CLI" --subdirs --older "$SRC10K" "$DST" 2>/dev/null | grep -c ' skipped$' || true)
echo
echo "(b) the same tree again, everything up to date ($skipped of 10000 files skipped)"
printf '    ferrit-cli %.3f s, rsync -a %.3f s\n' "$t_ferrit" "$t_rsync"
ratio_line "ferrit-cli / rsync -a" "$t_ferrit" "$t_rsync" 1.0
if [[ $skipped != 10000 ]]; then
    echo "    NOT met: ferrit-cli did not skip every file"
    ALL_MET=0
fi

# (c) One 1 GiB file of real (not sparse) data.
BIGSRC=$WORK/bigsrc
mkdir -p "$BIGSRC"
head -c $((64 << 20)) /dev/urandom >"$WORK/chunk"
for ((i = 0; i < 16; i++)); do cat "$WORK/chunk"; done >"$BIGSRC/big.dat"
rm -f "$WORK/chunk"
big_target() { rm -rf "$DST"; mkdir -p "$DST"; sync; }
# A single copy is short and its timing noisy, so it gets more runs.
RUNS=$((RUNS + 2))
t_ferrit=$(best_time big_target "$CLI" "$BIGSRC" "$DST")
t_cp=$(best_time big_target cp "$BIGSRC/big.dat" "$DST/big.dat")
RUNS=$((RUNS - 2))
echo
echo "(c) one file of 1 GiB (best of $((RUNS + 2)))"
printf '    ferrit-cli %.3f s, cp %.3f s\n' "$t_ferrit" "$t_cp"
ratio_line "ferrit-cli / cp" "$t_ferrit" "$t_cp" 1.05
rm -rf "$BIGSRC" "$DST"

# (d) Peak memory on 10,000 and 100,000 files (the same shape: 100 files per directory).
SRC100K=$WORK/src100k
make_tree "$SRC100K" 1000 100 64
fresh_target
m10k=$(peak_kib "$CLI" --subdirs --create-dirs "$SRC10K" "$DST")
fresh_target
m100k=$(peak_kib "$CLI" --subdirs --create-dirs "$SRC100K" "$DST")
fresh_target
cp -a "$SRC100K" "$DST"
m100k_skip=$(peak_kib "$CLI" --subdirs --older "$SRC100K" "$DST")
mib() { awk -v k="$1" 'BEGIN { printf "%.2f", k / 1024 }'; }
growth=$(awk -v a="$m100k" -v b="$m10k" 'BEGIN { printf "%.2f", (a - b) / 1024 }')
echo
echo "(d) peak memory of ferrit-cli"
printf '    10,000 files:  %s MiB\n' "$(mib "$m10k")"
verdict "$(mib "$m100k")" 20
printf '    100,000 files: %s MiB  (target <= 20 MiB)  %s\n' "$(mib "$m100k")" "$VERDICT"
verdict "$growth" 2
printf '    growth:        %s MiB  (target <= 2 MiB)   %s\n' "$growth" "$VERDICT"
printf '    100,000 files, all up to date: %s MiB\n' "$(mib "$m100k_skip")"

echo
if ((ALL_MET)); then
    echo "All targets met."
else
    echo "Some targets NOT met."
fi
