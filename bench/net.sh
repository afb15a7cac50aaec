#!/usr/bin/env bash
# Network volume: ferrit-cli against cp and rsync writing onto an sshfs (FUSE) mount of a
# directory served by an sshd on the loopback interface of a private network namespace.
# Usage: bench/net.sh BUILD_DIR
# Installs openssh-server, sshfs, strace and rsync when missing; skips with a message where FUSE,
# namespaces or the packages are not available. The host and client keys are made for the run;
# the daemon, the mount and every file are removed at the end, on failure and on Ctrl-C too.
# BENCH_NET_RUNS (default 5) sets the number of timed rounds after the warm-up.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/lib.sh"
BUILD=${1:-build}

if [[ ${FERRIT_BENCH_NETNS:-} != 1 ]]; then
    echo "== Network volume: sshfs over ssh on loopback =="
    [[ -c /dev/fuse ]] || skip "/dev/fuse is missing: FUSE is not available here"
    need_packages openssh-server sshfs strace rsync ||
        skip "openssh-server, sshfs, strace or rsync could not be installed"
    # A network namespace of our own, so the daemon is reachable from this run only, and a
    # mount namespace of our own, so the mount is seen by nobody else and goes with the run.
    # Without root, a user namespace makes both possible where the kernel allows it.
    ns=(unshare --net --mount --propagation private)
    [[ $(id -u) -eq 0 ]] || ns=(unshare --map-root-user --net --mount --propagation private)
    "${ns[@]}" true 2>/dev/null || skip "cannot make private network and mount namespaces (${ns[*]})"
    exec env FERRIT_BENCH_NETNS=1 "${ns[@]}" bash "$0" "$BUILD"
fi

# From here on inside the namespaces.
bench_init "$BUILD" net
RUNS=${BENCH_NET_RUNS:-5}
ip link set lo up 2>/dev/null || skip "cannot bring up the loopback interface of the namespace"

SSHD=$(command -v sshd || echo /usr/sbin/sshd)
SFTP=$WORK/ssh
mkdir -m 700 "$SFTP"
ssh-keygen -q -t ed25519 -N '' -C ferrit-bench-host -f "$SFTP/host_key"
ssh-keygen -q -t ed25519 -N '' -C ferrit-bench-client -f "$SFTP/client_key"
cp "$SFTP/client_key.pub" "$SFTP/authorized_keys"
PORT=2222
echo "[127.0.0.1]:$PORT $(cat "$SFTP/host_key.pub")" >"$SFTP/known_hosts"
cat >"$SFTP/sshd_config" <<EOF
Port $PORT
ListenAddress 127.0.0.1
HostKey $SFTP/host_key
PidFile $SFTP/sshd.pid
AuthorizedKeysFile $SFTP/authorized_keys
AllowUsers $(id -un)
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
Subsystem sftp internal-sftp
EOF
cat >"$SFTP/ssh_config" <<EOF
Host bench
  HostName 127.0.0.1
  Port $PORT
  User $(id -un)
  IdentityFile $SFTP/client_key
  IdentitiesOnly yes
  UserKnownHostsFile $SFTP/known_hosts
  StrictHostKeyChecking yes
  BatchMode yes
EOF
# sshd insists on its privilege separation directory.
if [[ ! -d /run/sshd ]]; then
    mkdir -p /run/sshd && chmod 755 /run/sshd
    on_cleanup "rmdir /run/sshd"
fi
"$SSHD" -D -e -f "$SFTP/sshd_config" 2>"$SFTP/sshd.log" &
SSHD_PID=$!
on_cleanup "kill $SSHD_PID; wait $SSHD_PID"
for ((i = 0; i < 50; i++)); do
    ssh -F "$SFTP/ssh_config" bench true 2>/dev/null && break
    kill -0 "$SSHD_PID" 2>/dev/null || { cat "$SFTP/sshd.log" >&2; skip "sshd did not start"; }
    sleep 0.1
done
((i < 50)) || { cat "$SFTP/sshd.log" >&2; skip "no ssh login to the loopback sshd"; }

# The source lies on the local disk; every target is made (empty) on the served side before
# the mount and before any timing, so that nothing is created or deleted outside the timed runs.
SRC=$WORK/src
SERVED=$WORK/served
MNT=$WORK/mnt
make_tree "$SRC" 10 100 4096
mkdir -p "$WORK/bigsrc"
make_big_file "$WORK/bigsrc/big.dat" 100
for ((round = 0; round <= RUNS; round++)); do
    for tool in ferrit cp rsync; do mkdir -p "$SERVED/a-$tool.$round"; done
    for tool in ferrit cp; do mkdir -p "$SERVED/c-$tool.$round"; done
done
mkdir -p "$SERVED/strace-ferrit" "$SERVED/strace-cp" "$SERVED/req-ferrit" "$SERVED/req-cp" \
    "$SERVED/renames-ferrit" "$SERVED/links" "$MNT"
sshfs -F "$SFTP/ssh_config" "bench:$SERVED" "$MNT" 2>"$WORK/sshfs.err" || {
    cat "$WORK/sshfs.err" >&2
    skip "sshfs could not mount (FUSE refused?)"
}
on_cleanup "umount '$MNT' || umount -l '$MNT'"
# remount: a new mount with empty caches (sshfs keeps names and attributes for 20 s).
remount() {
    umount "$MNT" && sshfs -F "$SFTP/ssh_config" "bench:$SERVED" "$MNT" || {
        echo "bench: the sshfs mount could not be made again" >&2
        exit "$BENCH_FAILED"
    }
}
echo "(sshfs $(sshfs --version 2>&1 | sed -n 's/^SSHFS version //p'), defaults; median of $RUNS runs after one warm-up, tools taking turns)"

# (a) 1,000 files of 4 KiB in 10 directories into an empty target on the mount.
a_ferrit() { "$CLI" --subdirs --create-dirs "$SRC" "$T"; }
a_cp() { cp -r --preserve=timestamps "$SRC/." "$T/"; }
a_rsync() { rsync -rt "$SRC/" "$T/"; }
take_turns a "$MNT" ferrit cp rsync
expect_files 1000 "$SERVED"/a-*
echo
echo "(a) 1,000 files of 4 KiB in 10 directories into an empty target on the mount"
printf '    wall:      ferrit-cli %.3f s (%s), cp -r %.3f s (%s), rsync -rt %.3f s (%s)\n' \
    "$(median a_ferrit)" "$(spread a_ferrit)" "$(median a_cp)" "$(spread a_cp)" \
    "$(median a_rsync)" "$(spread a_rsync)"
printf '    processor: ferrit-cli %.3f s, cp -r %.3f s, rsync -rt %.3f s (for reference)\n' \
    "$(cpu_median a_ferrit)" "$(cpu_median a_cp)" "$(cpu_median a_rsync)"
ratio_line "ferrit-cli / cp -r" "$(median a_ferrit)" "$(median a_cp)" 0.5
ratio_line "ferrit-cli / rsync -rt" "$(median a_ferrit)" "$(median a_rsync)" 0.25

# (a2) The same work with each worker count, for the choice of the default on a network volume.
a2_j1() { "$CLI" --subdirs --create-dirs --jobs=1 "$SRC" "$T"; }
a2_j4() { "$CLI" --subdirs --create-dirs --jobs=4 "$SRC" "$T"; }
a2_j16() { "$CLI" --subdirs --create-dirs --jobs=16 "$SRC" "$T"; }
take_turns a2 "$MNT" j1 j4 j16
expect_files 1000 "$SERVED"/a2-*
echo
echo "(a2) the same with --jobs=N (default without --jobs: $(
    "$CLI" --help 2>&1 | grep -o '[0-9]* on a network' | grep -o '[0-9]*' || echo '?'))"
printf '    wall:      1: %.3f s, 4: %.3f s, 16: %.3f s\n' "$(median a2_j1)" "$(median a2_j4)" \
    "$(median a2_j16)"

# (b) The same tree again, up to date: the last target rsync made (modification times kept, to
# the second, which is all SFTP carries). An up-to-date run comes long after the copy, so each
# starts on a new mount, without the attributes sshfs still holds from the run before.
T=$MNT/a-rsync.$RUNS
b_ferrit() { "$CLI" --subdirs --older "$SRC" "$T"; }
b_rsync() { rsync -rt "$SRC/" "$T/"; }
for ((round = 0; round <= RUNS; round++)); do
    remount
    time_run b_ferrit "$round" b_ferrit
    remount
    time_run b_rsync "$round" b_rsync
done
skipped=$("$CLI" --subdirs --older "$SRC" "$T" 2>/dev/null | grep -c ' skipped$' || true)
resent=$(rsync -rti "$SRC/" "$T/" | grep -c '^>f' || true)
echo
echo "(b) the same tree again, up to date, each run on a new mount (ferrit-cli skipped $skipped"
echo "    of 1000 files; rsync sent $resent)"
printf '    wall:      ferrit-cli %.3f s (%s), rsync -rt %.3f s (%s)\n' "$(median b_ferrit)" \
    "$(spread b_ferrit)" "$(median b_rsync)" "$(spread b_rsync)"
ratio_line "ferrit-cli / rsync -rt" "$(median b_ferrit)" "$(median b_rsync)" 0.2
if [[ $skipped != 1000 ]]; then
    echo "    NOT met: ferrit-cli did not skip every file"
    ALL_MET=0
fi

# (c) One file of 100 MiB onto the mount.
c_ferrit() { "$CLI" "$WORK/bigsrc" "$T"; }
c_cp() { cp "$WORK/bigsrc/big.dat" "$T/big.dat"; }
take_turns c "$MNT" ferrit cp
for tool in ferrit cp; do
    cmp -s "$WORK/bigsrc/big.dat" "$SERVED/c-$tool.$RUNS/big.dat" || {
        echo "bench: the 100 MiB copy of $tool differs from its source" >&2
        exit "$BENCH_FAILED"
    }
done
echo
echo "(c) one file of 100 MiB onto the mount"
printf '    wall:      ferrit-cli %.3f s (%s), cp %.3f s (%s)\n' "$(median c_ferrit)" \
    "$(spread c_ferrit)" "$(median c_cp)" "$(spread c_cp)"
ratio_line "ferrit-cli / cp" "$(median c_ferrit)" "$(median c_cp)" 1.1

# (c2) Untimed: a tree with links onto the mount. Setting a link's own times there would set
# those of what it points to (sshfs asks the server by name, which follows the link), so every
# file must keep its source's time, and a dangling link must be copied too.
LINKS=$WORK/linksrc
mkdir -p "$LINKS/sub"
echo data >"$LINKS/f"
touch -d '2001-01-01 00:00:00' "$LINKS/f"
ln -s f "$LINKS/l"
ln -s ../f "$LINKS/sub/up"
ln -s missing "$LINKS/dangling"
"$CLI" --subdirs --create-dirs "$LINKS" "$MNT/links" >/dev/null 2>&1 || {
    echo "bench: the copy of a tree with links onto the mount failed" >&2
    exit "$BENCH_FAILED"
}
if [[ $(stat -c %Y "$SERVED/links/f") != $(stat -c %Y "$LINKS/f") || ! -L $SERVED/links/l ||
    ! -L $SERVED/links/sub/up || ! -L $SERVED/links/dangling ]]; then
    echo "bench: the copy of links changed the time of a file or left a link out" >&2
    exit "$BENCH_FAILED"
fi
echo
echo "(c2) a tree with links: every file kept its source's time, every link was copied"

# (d) File-system calls per copied file in the fresh copy of (a): strace -f -c counting the
# calls strace classes as %file (by name) and %desc (by descriptor), over the 1,000 files.
# fs_calls NAME CMD...: runs CMD under strace and prints the calls per file and the five most
# frequent calls per file, with the share of them that failed.
fs_calls() {
    local out=$WORK/strace.$1
    strace -f -c -o "$out" -e trace=%file,%desc "${@:2}" >/dev/null 2>&1 || {
        echo "bench: '${*:2}' failed under strace" >&2
        exit "$BENCH_FAILED"
    }
    awk '$NF == "total" { printf "%6.1f   most:", $4 / 1000 }' "$out"
    awk '$1 ~ /^[0-9.]+$/ && $NF != "total" { print $4, (NF == 6 ? $5 : 0), $NF }' "$out" |
        sort -rn | head -5 | awk '{
            printf "%s %s %.1f", (NR > 1 ? "," : ""), $3, $1 / 1000
            if ($2 >= 50) printf " (%.1f failed)", $2 / 1000
        }'
}
echo
echo "(d) file-system calls per copied file in (a) (strace -f -c -e trace=%file,%desc)"
f_calls=$(fs_calls ferrit "$CLI" --subdirs --create-dirs "$SRC" "$MNT/strace-ferrit")
c_calls=$(fs_calls cp cp -r --preserve=timestamps "$SRC/." "$MNT/strace-cp/")
echo "    ferrit-cli: $f_calls"
echo "    cp -r:      $c_calls"

# (d2) ferrit-cli puts its copies in place one after another in walk order, each by a rename:
# on sshfs two round trips (the look-up of the new name, then the rename), which no copy made
# side by side can shorten. Their summed time (strace -w: as the caller waits) against the whole
# run, both under strace, which slows every call it sees.
renames=$WORK/strace.renames
started=$(date +%s.%N)
strace -f -c -w -o "$renames" -e trace=rename,renameat,renameat2 \
    "$CLI" --subdirs --create-dirs "$SRC" "$MNT/renames-ferrit" >/dev/null 2>&1 || {
    echo "bench: ferrit-cli failed under strace" >&2
    exit "$BENCH_FAILED"
}
ended=$(date +%s.%N)
echo
echo "(d2) the renames of (a): one per new directory, put in place whole (strace -f -c -w)"
awk -v s="$started" -v e="$ended" '$NF == "total" {
        printf "    ferrit-cli: %d renames, %.3f s of a %.3f s run (%.0f%%), %.2f ms each\n",
            $4, $2, e - s, 100 * $2 / (e - s), 1000 * $2 / $4
    }' "$renames"

# (e) Requests that reach the server per copied file, counted in sshfs's own log of every SFTP
# request (-o sshfs_debug, on a mount of its own with empty caches): for the fresh copy of (a)
# and for the up-to-date run of (b). What the kernel or sshfs answers from its caches never
# reaches the server; each request that does costs the ssh pipeline on both sides.
# server_requests NAME CMD...: runs CMD on a debug mount and prints the requests per file and the
# five most frequent kinds per file, with the share of the look-ups that found nothing.
server_requests() {
    local log=$WORK/sftp.$1 i
    umount "$MNT"
    sshfs -f -o sshfs_debug -F "$SFTP/ssh_config" "bench:$SERVED" "$MNT" 2>"$log" &
    local pid=$!
    for ((i = 0; i < 100; i++)); do
        mountpoint -q "$MNT" && break
        sleep 0.05
    done
    mountpoint -q "$MNT" || {
        echo "bench: the sshfs debug mount could not be made" >&2
        exit "$BENCH_FAILED"
    }
    "${@:2}" >/dev/null 2>&1 || {
        echo "bench: '${*:2}' failed on the debug mount" >&2
        exit "$BENCH_FAILED"
    }
    umount "$MNT"
    wait "$pid" || true
    sshfs -F "$SFTP/ssh_config" "bench:$SERVED" "$MNT" || {
        echo "bench: the sshfs mount could not be made again" >&2
        exit "$BENCH_FAILED"
    }
    # A request is "[id] KIND"; its reply "  [id] REPLY ...": a look-up answered STATUS found
    # nothing.
    local total missed
    total=$(grep -cE '^\[[0-9]+\] [A-Z_]+$' "$log" || true)
    missed=$(awk '$1 ~ /^\[[0-9]+\]$/ && NF == 2 { kind[$1] = $2 }
                  $1 ~ /^\[[0-9]+\]$/ && $2 == "STATUS" && kind[$1] == "LSTAT" { n++ }
                  END { print n + 0 }' "$log")
    awk -v t="$total" 'BEGIN { printf "%6.2f   most:", t / 1000 }'
    grep -E '^\[[0-9]+\] [A-Z_]+$' "$log" | awk '{ print $2 }' | sort | uniq -c | sort -rn |
        head -5 | awk '{ printf "%s %s %.2f", (NR > 1 ? "," : ""), $2, $1 / 1000 }'
    awk -v m="$missed" 'BEGIN { if (m > 0) printf " (LSTAT found nothing: %.2f)", m / 1000 }'
}
echo
server_requests fresh-ferrit "$CLI" --subdirs --create-dirs "$SRC" "$MNT/req-ferrit" \
    >"$WORK/req.fresh-ferrit"
server_requests fresh-cp cp -r --preserve=timestamps "$SRC/." "$MNT/req-cp/" >"$WORK/req.fresh-cp"
server_requests b-ferrit "$CLI" --subdirs --older "$SRC" "$MNT/a-rsync.$RUNS" >"$WORK/req.b-ferrit"
server_requests b-rsync rsync -rt "$SRC/" "$MNT/a-rsync.$RUNS/" >"$WORK/req.b-rsync"
echo "(e) requests reaching the server per copied file (sshfs -o sshfs_debug)"
echo "    fresh copy of (a), ferrit-cli: $(cat "$WORK/req.fresh-ferrit")"
echo "    fresh copy of (a), cp -r:      $(cat "$WORK/req.fresh-cp")"
echo "    up to date (b), ferrit-cli:    $(cat "$WORK/req.b-ferrit")"
echo "    up to date (b), rsync -rt:     $(cat "$WORK/req.b-rsync")"

finish
