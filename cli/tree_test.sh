#!/bin/sh
# The built ferrit-cli over a tree with nested directories, a read-only file and names beyond
# ASCII: the status lines it prints and the tree it leaves, the same on every system; then a
# second run that finds everything level.
#
# RUN_WITH names the program that runs it (wine, for the Windows build): its lines then end in
# CR LF and the directories it adds are joined with '\', which are read as LF and '/'.
set -u
cli=$(realpath "$1")
dir=$(mktemp -d "${TMPDIR:-/tmp}/ferrit-cli-tree-XXXXXX") || exit 1
trap 'chmod -R u+w "$dir"; rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
run() { if [ -n "${RUN_WITH:-}" ]; then "$RUN_WITH" "$@"; else "$@"; fi; }

mkdir -p "$dir/src/Ärger/tief/tiefer" "$dir/src/b" || exit 1
printf eins >"$dir/src/x.txt"
printf zwei >"$dir/src/Ärger/ü.txt"
printf drei >"$dir/src/Ärger/tief/tiefer/日本.txt"
printf vier >"$dir/src/b/nur-lesen.txt"
chmod 444 "$dir/src/b/nur-lesen.txt"

# The status lines of a run, and its exit status last.
lines() {
  (cd "$dir" && run "$cli" --subdirs --create-dirs src dst 2>"$dir/err")
  echo "exit $?"
}
expected() {
  printf '%s\n' "   x.txt $1" "src/b" "   nur-lesen.txt $1" "src/Ärger" "   ü.txt $1" \
    "src/Ärger/tief" "src/Ärger/tief/tiefer" "   日本.txt $1" "exit 0"
}
# Every file of a tree: its path, its contents, and whether its owner may write it.
files() {
  (cd "$1" && find . -type f | LC_ALL=C sort | while read -r f; do
    printf '%s %s %s\n' "$f" "$(cat "$f")" "$(stat -c %A "$f" | cut -c3)"
  done)
}

got=$(lines | tr -d '\r' | tr '\\' '/')
[ "$got" = "$(expected copied)" ] || fail "first run:
$got
$(cat "$dir/err")"
[ "$(files "$dir/dst")" = "$(files "$dir/src")" ] || fail "the copy differs:
$(files "$dir/dst")"
[ "$(files "$dir/dst" | grep nur-lesen)" = "./b/nur-lesen.txt vier -" ] ||
  fail "the read-only file lost its mark"
got=$(lines | tr -d '\r' | tr '\\' '/')
[ "$got" = "$(expected skipped)" ] || fail "second run:
$got"
echo "ok"
