#!/bin/sh
# Runs the built ferrit-nwemu: demo, show, a change, and the refusals, checking exit codes and
# which stream each text goes to.
set -u
tool="$1"
dir=$(mktemp -d "${TMPDIR:-/tmp}/ferrit-nwemu-test-XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
cfg="$dir/cfg.ini"
fail() { echo "FAIL: $*"; exit 1; }

"$tool" --config="$cfg" demo "$dir/demo" >"$dir/out" 2>"$dir/err" || fail "demo: exit $?"
[ -s "$dir/err" ] && fail "demo wrote to stderr"
grep -q "^  From: *$dir/demo/FS1/DATA/PROJECTS\$" "$dir/out" || fail "demo: no source path"
[ -f "$cfg" ] || fail "demo: no configuration"

"$tool" --config="$cfg" show "$dir/demo/FS1/DATA/PROJECTS" >"$dir/out" || fail "show: exit $?"
grep -qx 'volume path: DATA:PROJECTS' "$dir/out" || fail "show: volume path"
grep -qx 'owner: MBROWN 0x01000012' "$dir/out" || fail "show: owner"
grep -qx 'limit: 10240 KB, used 20 KB' "$dir/out" || fail "show: limit"

"$tool" --config="$cfg" grant "$dir/demo/FS3/DATA/TARGET" MBROWN rf || fail "grant: exit $?"
[ "$("$tool" --config="$cfg" show "$dir/demo/FS3/DATA/TARGET" | grep '^trustee:')" = \
  "trustee: MBROWN 0x00000302 [ R    F ]" ] || fail "grant not shown"

"$tool" --config="$cfg" demo "$dir/demo" >"$dir/out" 2>"$dir/err"
[ $? -eq 1 ] || fail "second demo not refused"
grep -q -- "--force" "$dir/err" || fail "refusal does not mention --force"
"$tool" --config="$cfg" frobnicate >/dev/null 2>&1
[ $? -eq 2 ] || fail "unknown command not a usage error"
echo "ok"
