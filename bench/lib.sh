# Helpers shared by the bench sections (sourced, not run): the work directory and its clean-up,
# tree making, timing with every sample kept, best and median, verdicts against targets, peak
# memory, and installing a missing tool the way scripts/setup-deps.sh does.
# A section script ends with one of these statuses, which bench/run_bench.sh reports:
BENCH_MET=0      # every target met
BENCH_FAILED=1   # a command failed: the figures are not to be trusted
BENCH_MISSED=10  # figures printed, some target not met
BENCH_SHOWN=11   # figures printed; the section has no targets
BENCH_SKIPPED=77 # a tool or a kernel feature is missing; nothing measured

export LC_ALL=C
ALL_MET=1

# bench_init BUILD_DIR NAME: sets CLI and WORK, the directory that holds the section's trees,
# and arranges that the clean-up steps run on every exit, Ctrl-C included.
# WORK is a directory under $TMPDIR when TMPDIR is set. Otherwise, as root, it is a fresh ext4
# file system on a loop device (an image file under /tmp): the same file system for every run,
# no inodes freed by an earlier run, and removal in an instant; this machine's root file system
# is mounted with discard, where removing the trees of a run would take longer than the run.
# Without root it is a directory under /tmp.
bench_init() {
    local build=${1:-build}
    CLI=$(cd "$build" 2>/dev/null && pwd)/ferrit-cli
    if [[ ! -x $CLI ]]; then
        echo "bench: $CLI not found; build it first (make build)" >&2
        exit "$BENCH_FAILED"
    fi
    CLEANUPS=()
    trap bench_cleanup EXIT
    trap 'exit 130' INT TERM HUP
    trap 'exit 141' PIPE
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/ferrit-bench-$2.XXXXXX")
    on_cleanup "chmod -R u+w '$WORK'; rm -rf '$WORK'"
    WORK_FS="a directory under ${TMPDIR:-/tmp}"
    if [[ -z ${TMPDIR:-} && $(id -u) -eq 0 ]] && command -v mkfs.ext4 >/dev/null; then
        on_cleanup "rm -f '$WORK.img'"
        if truncate -s "${BENCH_FS_SIZE:-8G}" "$WORK.img" &&
            mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 "$WORK.img" &&
            mount -o loop "$WORK.img" "$WORK" 2>/dev/null; then
            on_cleanup "umount '$WORK' || umount -l '$WORK'"
            WORK_FS="a fresh ext4 on a loop device"
        fi
    fi
}

# on_cleanup CMD: CMD runs at exit; the steps run in reverse order of registration.
on_cleanup() {
    CLEANUPS+=("$1")
}

bench_cleanup() {
    local i
    for ((i = ${#CLEANUPS[@]} - 1; i >= 0; i--)); do
        eval "${CLEANUPS[i]}" >/dev/null 2>&1 || true
    done
}

# finish: ends the section with the status its verdicts earned.
finish() {
    echo
    if ((ALL_MET)); then
        echo "All targets of this section met."
        exit "$BENCH_MET"
    fi
    echo "Some targets of this section NOT met."
    exit "$BENCH_MISSED"
}

# skip MESSAGE: ends the section without figures.
skip() {
    echo "SKIPPED: $*"
    exit "$BENCH_SKIPPED"
}

# need_packages PACKAGE...: installs the missing Debian packages with apt (sudo when not root).
# Fails (status 1, with a message) when they cannot be installed.
need_packages() {
    local missing=() p sudo=""
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    ((${#missing[@]} == 0)) && return 0
    if [[ $(id -u) -ne 0 ]]; then
        command -v sudo >/dev/null || {
            echo "bench: cannot install ${missing[*]}: not root and no sudo" >&2
            return 1
        }
        sudo=sudo
    fi
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq >/dev/null 2>&1 || true
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null || {
        echo "bench: apt-get could not install ${missing[*]}" >&2
        return 1
    }
}

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

# make_big_file PATH MIB: a file of MIB MiB of random (incompressible, not sparse) data.
make_big_file() {
    local chunk=$WORK/chunk.$$ i
    head -c $((16 << 20)) /dev/urandom >"$chunk"
    for ((i = 0; i < $2 / 16; i++)); do cat "$chunk"; done >"$1"
    rm -f "$chunk"
}

# count_files DIR: the number of regular files below DIR.
count_files() {
    find "$1" -type f | wc -l
}

# time_run NAME ROUND FN: syncs (untimed), runs FN and adds its wall time to SAMPLES[NAME] and
# its processor time (user + system) to CPUS[NAME]. Round 0 is the warm-up and is not kept.
# FN's output is discarded; a failing FN stops the section.
declare -A SAMPLES CPUS
time_run() {
    local name=$1 round=$2 fn=$3 rc=0 real user sys
    sync
    local TIMEFORMAT='%3R %3U %3S'
    { time "$fn" >/dev/null 2>&1 || rc=$?; } 2>"$WORK/time.run"
    if ((rc != 0)); then
        echo "bench: $name failed with status $rc; run it by hand to see why" >&2
        exit "$BENCH_FAILED"
    fi
    ((round == 0)) && return 0
    read -r real user sys <"$WORK/time.run"
    SAMPLES[$name]+="$real "
    CPUS[$name]+="$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f", u + s }') "
}

# take_turns PREFIX DIR TOOL...: RUNS + 1 rounds (round 0 the warm-up), in each of which every
# TOOL in turn runs the function PREFIX_TOOL with T set to its fresh target DIR/PREFIX-TOOL.ROUND.
take_turns() {
    local prefix=$1 dir=$2 tool
    for ((round = 0; round <= RUNS; round++)); do
        for tool in "${@:3}"; do
            T=$dir/$prefix-$tool.$round
            time_run "${prefix}_$tool" "$round" "${prefix}_$tool"
        done
    done
}

# expect_files COUNT DIR...: every DIR holds COUNT files, else the section fails: a figure of a
# run that did not do the whole work is worth nothing.
expect_files() {
    local want=$1 dir n
    for dir in "${@:2}"; do
        n=$(count_files "$dir")
        if ((n != want)); then
            echo "bench: $dir holds $n files after the run, not $want" >&2
            exit "$BENCH_FAILED"
        fi
    done
}

# best NAME / median NAME / cpu_best NAME / cpu_median NAME: of the kept samples, in seconds.
pick() {
    tr ' ' '\n' <<<"$2" | grep . | sort -g | awk -v how="$1" '
        { v[NR] = $1 }
        END {
            if (how == "best") r = v[1]
            else if (NR % 2) r = v[(NR + 1) / 2]
            else r = (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf "%.3f", r
        }'
}
best() { pick best "${SAMPLES[$1]}"; }
median() { pick median "${SAMPLES[$1]}"; }
cpu_best() { pick best "${CPUS[$1]}"; }
cpu_median() { pick median "${CPUS[$1]}"; }

# spread NAME: "min-max" of the kept samples, to show how steady a median is.
spread() {
    tr ' ' '\n' <<<"${SAMPLES[$1]}" | grep . | sort -g |
        awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.3f-%.3f", lo, hi }'
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
    printf '    %-32s %6s x  (target <= %sx)  %s\n' "$label" "$r" "$4" "$VERDICT"
}

# peak_kib CMD...: peak resident memory of CMD in KiB.
peak_kib() {
    local out="$WORK/time.out"
    /usr/bin/time -f %M -o "$out" "$@" >/dev/null 2>&1 || {
        echo "bench: '$*' failed" >&2
        exit "$BENCH_FAILED"
    }
    tail -n 1 "$out"
}
