#!/bin/sh
# A preview (--dry-run) of each run on the NetWare demonstration against the real run of the same
# run on a second, identical demonstration: the same status lines, messages and exit status, and
# the preview's servers unchanged. RUN_WITH names the program that runs the two (wine, for the
# Windows build).
set -u
nwemu=$(realpath "$1")
cli=$(realpath "$2")
dir=$(mktemp -d "${TMPDIR:-/tmp}/ferrit-preview-test-XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
run() { if [ -n "${RUN_WITH:-}" ]; then "$RUN_WITH" "$@"; else "$@"; fi; }
keep="--subdirs --create-dirs --keep-owner --keep-dir-trustees --keep-file-trustees --keep-irm --keep-limits"

# Everything the servers hold: names, sizes, contents' sums and each entry's metadata. Where the
# metadata lies in a side file beside each volume (the Windows build), the file's sum covers it.
state() {
    (cd "$1" && find FS1 FS2 FS3 | sort | while read -r p; do
        echo "$p $(cksum <"$p" 2>/dev/null)"
        [ -n "${RUN_WITH:-}" ] || "$nwemu" --config="$1.ini" show "$p" 2>&1 | grep -v "^path:"
    done)
}

# target, extra flags, preparation (run in the demonstration, with $cfg its description)
run_case() {
    target="$1" flags="$2" prep="$3"
    for side in preview real; do
        rm -rf "$dir/$side"
        run "$nwemu" --config="$dir/$side.ini" demo "$dir/$side" --force >/dev/null || fail "demo"
        (cd "$dir/$side" && cfg="$dir/$side.ini" && eval "$prep") || fail "preparation: $prep"
    done
    before=$(state "$dir/preview")
    (cd "$dir/preview" && run "$cli" --netware-config="$dir/preview.ini" --dry-run $keep $flags \
        FS1/DATA/PROJECTS "$target" >"$dir/p.out" 2>"$dir/p.err")
    pe=$?
    (cd "$dir/real" && run "$cli" --netware-config="$dir/real.ini" $keep $flags \
        FS1/DATA/PROJECTS "$target" >"$dir/r.out" 2>"$dir/r.err")
    re=$?
    what="$target $flags ${prep:+($prep)}"
    [ "$pe" -eq "$re" ] || fail "$what: preview exit $pe, real exit $re"
    cmp -s "$dir/p.out" "$dir/r.out" || fail "$what: status lines differ:
$(diff "$dir/p.out" "$dir/r.out")"
    # The closing line's time is the only thing that may differ.
    untimed='s/ in [0-9.]+ (s|min [0-9]+ s|h [0-9]+ min), / in T, /; s/^Aborted after [^:]*:/Aborted after T:/'
    grep -v 'dry run: nothing was changed' "$dir/p.err" | sed -E "$untimed" >"$dir/p.err2"
    sed -E "$untimed" "$dir/r.err" >"$dir/r.err2"
    cmp -s "$dir/p.err2" "$dir/r.err2" || fail "$what: messages differ:
$(diff "$dir/p.err2" "$dir/r.err2")"
    [ "$(state "$dir/preview")" = "$before" ] || fail "$what: the preview changed the servers"
}

premask='mkdir -p FS3/DATA/TARGET/BETA && run "$nwemu" --config="$cfg" irm FS3/DATA/TARGET/BETA RWCEF'
stale='mkdir -p FS2/DATA/TARGET/ALPHA && echo old >FS2/DATA/TARGET/ALPHA/plan.txt &&
       run "$nwemu" --config="$cfg" owner FS2/DATA/TARGET/ALPHA/plan.txt ADMIN &&
       run "$nwemu" --config="$cfg" limit FS2/DATA/TARGET/ALPHA 4096'
run_case FS1/DATA/COPY "" ""
run_case FS1/DATA/COPY "--move" ""
run_case FS2/DATA/TARGET "" ""
run_case FS2/DATA/TARGET "--always" "$stale"
run_case FS2/DATA/TARGET/NEW/DEEP "" ""
run_case FS3/DATA/TARGET "" "$premask"
run_case FS3/DATA/TARGET "--move --always" ""
run_case FS2/DATA/LOCKED "" ""
run_case FS2/DATA/ARCHIVE/PROJECTS "" 'run "$nwemu" --config="$cfg" grant FS2/DATA JSMITH all'
run_case FS3/DATA/PROJECTS "--move" ""
echo "ok"
