#!/bin/sh
# Runs the built ferrit-nwemu: demo, show, a change, and the refusals, checking exit codes and
# which stream each text goes to; then a run of the built ferrit-cli with every --keep-* flag
# from FS1 to FS2, checking the metadata that arrived.
#
# RUN_WITH names the program that runs the two (wine, for the Windows build); the programs then
# print Windows paths and end their lines with CR LF.
set -u
tool=$(realpath "$1")
cli=$(realpath "$2")
dir=$(mktemp -d "${TMPDIR:-/tmp}/ferrit-nwemu-test-XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
cfg="$dir/cfg.ini"
fail() { echo "FAIL: $*"; exit 1; }
run() { if [ -n "${RUN_WITH:-}" ]; then "$RUN_WITH" "$@"; else "$@"; fi; }
# A path as the programs print it.
native() { if [ -n "${RUN_WITH:-}" ]; then winepath -w "$1" 2>/dev/null; else echo "$1"; fi; }
nwemu() { run "$tool" --config="$cfg" "$@" | tr -d '\r'; }

run "$tool" --config="$cfg" demo "$dir/demo" >"$dir/out" 2>"$dir/err" || fail "demo: exit $?"
[ -s "$dir/err" ] && fail "demo wrote to stderr"
tr -d '\r' <"$dir/out" | grep -qxF "  From:                                        $(native "$dir/demo/FS1/DATA/PROJECTS")" ||
  fail "demo: no source path"
[ -f "$cfg" ] || fail "demo: no configuration"

nwemu show "$dir/demo/FS1/DATA/PROJECTS" >"$dir/out" || fail "show: exit $?"
grep -qx 'volume path: DATA:PROJECTS' "$dir/out" || fail "show: volume path"
grep -qx 'owner: MBROWN 0x01000012' "$dir/out" || fail "show: owner"
grep -qx 'limit: 10240 KB, used 20 KB' "$dir/out" || fail "show: limit"

nwemu grant "$dir/demo/FS3/DATA/TARGET" MBROWN rf || fail "grant: exit $?"
[ "$(nwemu show "$dir/demo/FS3/DATA/TARGET" | grep '^trustee:')" = \
  "trustee: MBROWN 0x00000302 [ R    F ]" ] || fail "grant not shown"

run "$tool" --config="$cfg" demo "$dir/demo" >"$dir/out" 2>"$dir/err"
[ $? -eq 1 ] || fail "second demo not refused"
grep -q -- "--force" "$dir/err" || fail "refusal does not mention --force"
run "$tool" --config="$cfg" frobnicate >/dev/null 2>&1
[ $? -eq 2 ] || fail "unknown command not a usage error"

# The demonstration's run to the other server of the tree, as the walk-through shows it: every
# trustee translated, masks and limits carried, the owners refused (JSMITH lacks Supervisor).
(cd "$dir/demo" && run "$cli" --netware-config="$cfg" --subdirs --create-dirs --keep-owner \
  --keep-dir-trustees --keep-file-trustees --keep-irm --keep-limits \
  FS1/DATA/PROJECTS FS2/DATA/TARGET >"$dir/out" 2>"$dir/err")
[ $? -eq 1 ] || fail "the run to FS2: exit $? (the refused owners make it 1)"
[ "$(grep -c 'not carried to FS2' "$dir/out")" -eq 4 ] || fail "the run to FS2: $(cat "$dir/out")"
show() { nwemu show "$dir/demo/FS2/DATA/TARGET/$1" | grep -v '^path:'; }
[ "$(show ALPHA)" = "server: FS2
tree: ACME_TREE
volume path: DATA:TARGET\\ALPHA
owner: JSMITH 0x0B000105 (login)
trustees: 2
trustee: JSMITH 0x0B000105 [ RWCEMFA]
trustee: MBROWN 0x0B000106 [ RWCEMF ]
irm: [ RWCE F ]
limit: 2048 KB, used 8 KB
login: JSMITH 0x0B000105
effective: [ RWCEMFA]" ] || fail "ALPHA on FS2: $(show ALPHA)"
show ALPHA/plan.txt | grep '^trustee:' >"$dir/plan"
temp=$(nwemu show "$dir/demo/FS2/DATA/TARGET/ALPHA/plan.txt" | grep -c '^trustee: TEMP 0x')
[ "$(head -1 "$dir/plan")" = "trustee: SALES 0x0C000201 [ RW   F ]" ] && [ "$temp" -eq 1 ] ||
  fail "plan.txt's trustees on FS2: $(cat "$dir/plan")"
show BETA/NOTES | grep -qx 'irm: \[ R    F \]' || fail "NOTES' mask on FS2"

# Building afresh removes the old volumes, but never what a link in them leads to: the link goes
# (or, under Wine, which shows a Unix link as what it leads to, the removal stops and says so).
mkdir "$dir/keep" && echo precious >"$dir/keep/file" && ln -s "$dir/keep" "$dir/demo/FS2/DATA/link" ||
  fail "cannot make the link"
run "$tool" --config="$cfg" demo "$dir/demo" --force >"$dir/out" 2>"$dir/err"
status=$?
[ "$(cat "$dir/keep/file" 2>&1)" = precious ] || fail "demo --force went through a link"
if [ $status -ne 0 ]; then
  [ -n "${RUN_WITH:-}" ] && grep -q "cannot remove the old demonstration" "$dir/err" ||
    fail "demo --force over a link: exit $status, $(cat "$dir/err")"
fi
echo "ok"
