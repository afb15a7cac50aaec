#!/usr/bin/env bash
# Local figures: ferrit-cli against cp -a and rsync -a on the same work on one file system, with
# the targets each figure has to meet, and what its progress costs where no one watches it. Usage: bench/local.sh BUILD_DIR
# The trees go to a fresh ext4 file system on a loop device (as root), else under /tmp; set
# TMPDIR to run on another file system (TMPDIR=/dev/shm measures the programs without the disk).
# Page caches cannot be dropped here, so every command runs once to warm up and the best of the
# next three runs counts. Between runs the untimed set-up syncs (and removes a 1 GiB copy).
set -euo pipefail
source "$(dirname "$0")/lib.sh"

echo "== Local file system: ferrit-cli against cp -a and rsync -a =="
for tool in cp rsync /usr/bin/time; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (make deps installs it)"
done
bench_init "${1:-build}" local

RUNS=${BENCH_RUNS:-3}
SRC10K=$WORK/src10k
OUT=$WORK/out
mkdir -p "$OUT"

echo "($(nproc) CPUs, best of $RUNS runs after one warm-up; trees on $WORK_FS)"
make_tree "$SRC10K" 100 100 4096

# Targets are never removed during the timing: every run writes a fresh directory. On ext4
# without a journal, creating files soon after many were deleted is slow (the inode allocator
# skips recently freed inodes), which would charge one tool for the clean-up of another.
# The tools take turns in every round, so a disturbance on the machine hits them alike.

# (a) 10,000 files of 4 KiB in 100 directories into an empty target.
a_ferrit() { "$CLI" --subdirs --create-dirs "$SRC10K" "$T"; }
a_cp() { cp -a "$SRC10K" "$T"; }
a_rsync() { rsync -a "$SRC10K/" "$T/"; }
take_turns a "$OUT" ferrit cp rsync
expect_files 10000 "$OUT"/a-*
echo
echo "(a) 10,000 files of 4 KiB in 100 directories into an empty target"
printf '    wall:      ferrit-cli %.3f s, cp -a %.3f s, rsync -a %.3f s\n' "$(best a_ferrit)" \
    "$(best a_cp)" "$(best a_rsync)"
printf '    processor: ferrit-cli %.3f s, cp -a %.3f s, rsync -a %.3f s (for reference)\n' \
    "$(cpu_best a_ferrit)" "$(cpu_best a_cp)" "$(cpu_best a_rsync)"
ratio_line "ferrit-cli / cp -a" "$(best a_ferrit)" "$(best a_cp)" 0.6
ratio_line "ferrit-cli / rsync -a" "$(best a_ferrit)" "$(best a_rsync)" 0.4
# ext4 without a journal creates files slowly for about five minutes after many deletions (its
# inode allocator skips recently freed inodes; an earlier bench's clean-up is enough), and a busy
# machine slows creation too. Every tool then pays the same extra time per file, which presses
# the ratios of (a) towards 1; cp -a's time per file shows when that happened.
cp_us=$(awk -v t="$(best a_cp)" 'BEGIN { printf "%.0f", t / 10000 * 1e6 }')
if ((cp_us > 60)); then
    echo "    note: cp -a took $cp_us us per file: file creation was slow on this file system"
    echo "          during (a), so its ratios say little; run again after a few quiet minutes"
fi

# (a2) The same work with each worker count, for the choice of the default on a local disk.
a2_j1() { "$CLI" --subdirs --create-dirs --jobs=1 "$SRC10K" "$T"; }
a2_j2() { "$CLI" --subdirs --create-dirs --jobs=2 "$SRC10K" "$T"; }
a2_j4() { "$CLI" --subdirs --create-dirs --jobs=4 "$SRC10K" "$T"; }
a2_j16() { "$CLI" --subdirs --create-dirs --jobs=16 "$SRC10K" "$T"; }
a2_cp() { cp -a "$SRC10K" "$T"; }
take_turns a2 "$OUT" j1 j2 j4 j16 cp
echo
echo "(a2) the same with --jobs=N (default without --jobs: $(
    "$CLI" --help 2>&1 | grep -o 'default [0-9]* on a local disk' | grep -o '[0-9]*' || echo '?'))"
printf '    wall:      1: %.3f s, 2: %.3f s, 4: %.3f s, 16: %.3f s, cp -a %.3f s\n' \
    "$(best a2_j1)" "$(best a2_j2)" "$(best a2_j4)" "$(best a2_j16)" "$(best a2_cp)"

# System calls per file (strace -c, one worker so that every call is counted once): a fresh
# copy and an up-to-date skip, against cp -a and rsync -a.
if command -v strace >/dev/null; then
    per_file_calls() {
        local out=$WORK/strace.$$
        strace -f -c -o "$out" "$@" >/dev/null 2>&1 || true
        awk '$NF ~ /^[a-z_0-9]+$/ && $4 ~ /^[0-9]+$/ && $NF != "total" { n += $4 }
             END { printf "%.1f", n / 10000 }' "$out"
        rm -f "$out"
    }
    fresh=$(per_file_calls "$CLI" --subdirs --create-dirs --jobs=1 "$SRC10K" "$OUT/s-ferrit")
    fresh_cp=$(per_file_calls cp -a "$SRC10K" "$OUT/s-cp")
    skip=$(per_file_calls "$CLI" --subdirs --older --jobs=1 "$SRC10K" "$OUT/s-ferrit")
    skip_rsync=$(per_file_calls rsync -a "$SRC10K/" "$OUT/s-cp/")
    echo
    echo "(s) system calls per file (strace -c)"
    echo "    fresh copy:  ferrit-cli $fresh, cp -a $fresh_cp"
    echo "    up to date:  ferrit-cli $skip, rsync -a $skip_rsync (rsync's processes together)"
fi
# Untimed: the copies of (a2) and (s) go, or the 100,000 files of (d) find no inodes left.
rm -rf "$OUT"/a2-* "$OUT"/s-*

# (b) The same again with everything up to date: every file skipped. A target made by rsync -a
# keeps every modification time, so both tools find nothing to do.
T=$OUT/a-rsync.$RUNS
b_ferrit() { "$CLI" --subdirs --older "$SRC10K" "$T"; }
b_rsync() { rsync -a "$SRC10K/" "$T/"; }
for ((round = 0; round <= RUNS; round++)); do
    time_run b_ferrit "$round" b_ferrit
    time_run b_rsync "$round" b_rsync
done
skipped=$("$CLI" --subdirs --older "$SRC10K" "$T" 2>/dev/null | grep -c ' skipped$' || true)
echo
echo "(b) the same tree again, everything up to date ($skipped of 10000 files skipped)"
printf '    wall:      ferrit-cli %.3f s, rsync -a %.3f s\n' "$(best b_ferrit)" "$(best b_rsync)"
printf '    processor: ferrit-cli %.3f s, rsync -a %.3f s (for reference)\n' \
    "$(cpu_best b_ferrit)" "$(cpu_best b_rsync)"
ratio_line "ferrit-cli / rsync -a" "$(best b_ferrit)" "$(best b_rsync)" 0.7
if [[ $skipped != 10000 ]]; then
    echo "    NOT met: ferrit-cli did not skip every file"
    ALL_MET=0
fi

# (c) One 1 GiB file of real (not sparse) data. A single copy is short and its timing noisy, so
# it gets two more rounds; each copy is removed (untimed) once measured.
BIGSRC=$WORK/bigsrc
mkdir -p "$BIGSRC"
make_big_file "$BIGSRC/big.dat" 1024
c_ferrit() { "$CLI" "$BIGSRC" "$T"; }
c_cp() { cp "$BIGSRC/big.dat" "$T/big.dat"; }
for ((round = 0; round <= RUNS + 2; round++)); do
    for tool in ferrit cp; do
        T=$OUT/c-$tool.$round
        mkdir -p "$T"
        time_run "c_$tool" "$round" "c_$tool"
        rm -rf "$T"
    done
done
echo
echo "(c) one file of 1 GiB (best of $((RUNS + 2)))"
printf '    wall:      ferrit-cli %.3f s, cp %.3f s\n' "$(best c_ferrit)" "$(best c_cp)"
printf '    processor: ferrit-cli %.3f s, cp %.3f s (for reference)\n' "$(cpu_best c_ferrit)" \
    "$(cpu_best c_cp)"
ratio_line "ferrit-cli / cp" "$(best c_ferrit)" "$(best c_cp)" 1.0
rm -rf "$BIGSRC"

# (d) Peak memory on 10,000 and 100,000 files (the same shape: 100 files per directory).
SRC100K=$WORK/src100k
make_tree "$SRC100K" 1000 100 64
m10k=$(peak_kib "$CLI" --subdirs --create-dirs "$SRC10K" "$OUT/d-10k")
m100k=$(peak_kib "$CLI" --subdirs --create-dirs "$SRC100K" "$OUT/d-100k")
m100k_skip=$(peak_kib "$CLI" --subdirs --older "$SRC100K" "$OUT/d-100k")
mib() { awk -v k="$1" 'BEGIN { printf "%.2f", k / 1024 }'; }
growth=$(awk -v a="$m100k" -v b="$m10k" 'BEGIN { printf "%.2f", (a - b) / 1024 }')
echo
echo "(d) peak memory of ferrit-cli"
printf '    10,000 files:  %s MiB\n' "$(mib "$m10k")"
verdict "$(mib "$m100k")" 20
printf '    100,000 files: %s MiB  (target <= 20 MiB)  %s\n' "$(mib "$m100k")" "$VERDICT"
verdict "$growth" 2
printf '    growth:        %s MiB  (target <= 2 MiB, flat)  %s\n' "$growth" "$VERDICT"
printf '    100,000 files, all up to date: %s MiB\n' "$(mib "$m100k_skip")"

# (e) What the progress costs where no one watches it: ferrit-cli over the 100,000 files with
# stderr a pipe, as it chooses by itself and with --no-progress, and the per-change lines of
# earlier versions (--progress=lines) for reference. The target is the copy (d) made, so every
# file is compared and skipped: no file is created, whose time would drown the difference.
T=$OUT/d-100k
e_default() { "$CLI" --subdirs --older "$SRC100K" "$T" 2>&1 >/dev/null | cat >/dev/null; }
e_none() { "$CLI" --subdirs --older --no-progress "$SRC100K" "$T" 2>&1 >/dev/null | cat >/dev/null; }
e_lines() {
    "$CLI" --subdirs --older --progress=lines "$SRC100K" "$T" 2>&1 >/dev/null | cat >/dev/null
}
for ((round = 0; round <= RUNS; round++)); do
    for variant in default none lines; do
        time_run "e_$variant" "$round" "e_$variant"
    done
done
echo
echo "(e) the progress with stderr a pipe: 100,000 files, all up to date"
printf '    wall:      default %.3f s, --no-progress %.3f s, --progress=lines %.3f s\n' \
    "$(best e_default)" "$(best e_none)" "$(best e_lines)"
printf '    processor: default %.3f s, --no-progress %.3f s, --progress=lines %.3f s\n' \
    "$(cpu_best e_default)" "$(cpu_best e_none)" "$(cpu_best e_lines)"
ratio_line "default / --no-progress" "$(best e_default)" "$(best e_none)" 1.05

finish
