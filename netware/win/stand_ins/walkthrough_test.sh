#!/bin/sh
# The NetWare walk-through through the program's binding to the client libraries: ferrit-cli.exe
# with the stand-in libraries served by the emulated servers beside it (a test fixture), against
# the same walk-through with the emulated client inside the program, as the Linux build runs it.
# From FS1 to the same server (the server copy), to the other tree server (names translated), to
# the bindery server (leaf names) and to a directory without Access Control, with every
# --keep-* flag: the same status lines, exit statuses, files and metadata afterwards. Then the
# libraries without a description (the client cannot start: the start-up failure, a plain copy)
# and the program without the libraries (a plain copy, the NetWare flags named as not in force).
#
# Arguments: ferrit-nwemu, ferrit-cli, the folder of the served stand-ins. RUN_WITH names the
# program that runs Windows programs (wine).
set -u
# Wine reads the arguments and picks the code pages by the locale: UTF-8 arguments, a western
# OEM code page.
export LC_ALL=C.UTF-8
tool=$(realpath "$1")
cli=$(realpath "$2")
standins=$(realpath "$3")
dir=$(mktemp -d "${TMPDIR:-/tmp}/ferrit-stand-ins-test-XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
run() { if [ -n "${RUN_WITH:-}" ]; then "$RUN_WITH" "$@"; else "$@"; fi; }
native() { if [ -n "${RUN_WITH:-}" ]; then winepath -w "$1" 2>/dev/null; else echo "$1"; fi; }
flags="--subdirs --create-dirs --keep-owner --keep-dir-trustees --keep-file-trustees --keep-irm
  --keep-limits"
targets="FS1/DATA/COPY FS2/DATA/TARGET FS3/DATA/TARGET FS2/DATA/LOCKED"

# A workstation: the program with the client libraries beside it, where it looks for them.
mkdir "$dir/ws" && cp "$cli" "$standins"/calwin32.dll "$standins"/clxwin32.dll \
  "$standins"/netwin32.dll "$standins"/nwerr32.dll "$dir/ws/" || fail "no workstation"
wscli="$dir/ws/$(basename "$cli")"

# walk NAME COMMAND...: a fresh demonstration in $dir/NAME, the command run from there to each
# target; the outputs (the run's duration taken out) in NAME.out, the files in NAME.files and
# every entry's metadata (without the entries' identities, which differ between the two
# demonstrations) in NAME.meta.
walk() {
  name=$1
  shift
  run "$tool" --config="$dir/$name.ini" demo "$dir/$name" >/dev/null 2>&1 || fail "$name: demo"
  # A name beyond ASCII, with a trustee of its own: it crosses into the libraries as OEM text.
  printf 'Grüße' >"$dir/$name/FS1/DATA/PROJECTS/ALPHA/Grüße.txt" &&
    run "$tool" --config="$dir/$name.ini" grant "$dir/$name/FS1/DATA/PROJECTS/ALPHA/Grüße.txt" \
      MBROWN rf >/dev/null || fail "$name: no trustee on Grüße.txt"
  for target in $targets; do
    echo "== $target"
    # shellcheck disable=SC2086
    (cd "$dir/$name" && "$@" $flags FS1/DATA/PROJECTS "$target" 2>&1)
    echo "exit $?"
  done | tr -d '\r' | sed -E 's/ in [0-9.]+ (s|min)/ in -/' >"$dir/$name.out"
  (cd "$dir/$name" && find . -type f ! -name '*.nwemu' | sort | xargs md5sum) >"$dir/$name.files"
  for side in "$dir/$name"/FS*/DATA.nwemu; do
    echo "== ${side#"$dir/$name/"}"
    cut -f1,3- "$side" | sort
  done >"$dir/$name.meta"
}

walk emulated run "$cli" --netware-config="$(native "$dir/emulated.ini")"
FERRIT_STAND_IN_NETWARE=$(native "$dir/native.ini")
export FERRIT_STAND_IN_NETWARE
walk native run "$wscli"

for what in out files meta; do
  cmp -s "$dir/emulated.$what" "$dir/native.$what" ||
    fail "the stand-ins' $what differ: $(diff "$dir/emulated.$what" "$dir/native.$what")"
done
# What both gave is what the walk-through shows (tools/nwemu/demo_test.sh checks the emulated
# client's metadata in full on both systems): the owners refused on the other tree server (JSMITH
# lacks Supervisor), the mask and the trustees carried there, the locked directory given the
# files alone.
[ "$(grep -c 'not carried to FS2/DATA:TARGET' "$dir/native.out")" -eq 4 ] ||
  fail "the run to FS2: $(cat "$dir/native.out")"
grep -qx 'Finished: 6 copied, 0 skipped, 4 failed (4 directories) in -, 152 bytes copied' \
  "$dir/native.out" || fail "no closing line: $(cat "$dir/native.out")"
show() {
  run "$tool" --config="$dir/native.ini" show "$dir/native/FS2/DATA/TARGET/$1" | tr -d '\r' |
    grep -v '^path:'
}
show ALPHA | grep -qx 'trustee: MBROWN 0x0B000106 \[ RWCEMF \]' || fail "ALPHA on FS2: $(show ALPHA)"
show BETA/NOTES | grep -qx 'irm: \[ R    F \]' || fail "NOTES' mask on FS2"
show ALPHA/Grüße.txt | grep -qx 'trustee: MBROWN 0x0B000106 \[ R    F \]' ||
  fail "Grüße.txt's trustee on FS2: $(show ALPHA/Grüße.txt)"
[ -f "$dir/native/FS1/DATA/COPY/ALPHA/plan.txt" ] && [ -f "$dir/native/FS2/DATA/LOCKED/readme.txt" ] ||
  fail "files not copied"

# The libraries without a description: the client cannot start, start-up says so, the NetWare
# flags are not in force and the files are copied plainly.
unset FERRIT_STAND_IN_NETWARE
mkdir "$dir/plain" || fail "cannot make plain"
(cd "$dir/native" && run "$wscli" --subdirs --keep-owner FS1/DATA/PROJECTS "$(native "$dir/plain")" \
  >"$dir/out" 2>"$dir/err")
status=$?
tr -d '\r' <"$dir/err" >"$dir/err.txt"
grep -q '^calwin32 stand-in: FERRIT_STAND_IN_NETWARE names no description file' "$dir/err.txt" &&
  grep -q 'Could not initialize NetWare Client. InitNetWare returned error 0xFFFF' "$dir/err.txt" &&
  grep -q 'option "Keep Owner" is not in force' "$dir/err.txt" ||
  fail "start-up without a description: $(cat "$dir/err.txt")"
[ -f "$dir/plain/ALPHA/plan.txt" ] || fail "no plain copy after the failed start-up"
[ $status -eq 1 ] || fail "the failed start-up is not in the exit status ($status)"

# Without the libraries: a workstation without NetWare; the start-up failure said as the window
# says it, and a plain copy that succeeds.
mkdir "$dir/bare" || fail "cannot make bare"
(cd "$dir/native" && run "$cli" --subdirs --keep-owner FS1/DATA/PROJECTS "$(native "$dir/bare")" \
  >"$dir/out" 2>"$dir/err")
status=$?
tr -d '\r' <"$dir/err" >"$dir/err.txt"
[ $status -eq 0 ] && [ -f "$dir/bare/ALPHA/plan.txt" ] &&
  grep -q 'Could not initialize NetWare Client. InitNetWare returned error 0xFFFF' "$dir/err.txt" &&
  grep -q 'option "Keep Owner" is not in force' "$dir/err.txt" ||
  fail "without the libraries: exit $status, $(cat "$dir/err.txt")"
echo "ok"
