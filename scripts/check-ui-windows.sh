#!/usr/bin/env bash
# Compiles the window's sources with the 32-bit Windows compiler against Debian's Qt headers,
# syntax only: no Qt for Windows is at hand to link them, but what the compiler of a Windows
# kit would refuse (POSIX calls, Linux headers, the A/W macros of <windows.h>) shows here. The
# window's tests are left out: they stand on the test helpers of testing/, which are not ported.
set -euo pipefail
build=$(realpath -m "${1:-build-windows}")
here=$(cd "$(dirname "$0")/.." && pwd)
qt=/usr/include/x86_64-linux-gnu/qt6
uic=/usr/lib/qt6/libexec/uic
generated="$build/ui-check"
mkdir -p "$generated"
"$uic" "$here/ui/tform_ferrit.ui" -o "$generated/ui_tform_ferrit.h"
# -Wno-attributes: the Linux build's Qt headers declare their exports in a way mingw notes.
flags=(-std=c++17 -fsyntax-only -Wall -Wextra -Wno-attributes -D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00
       -DQT_CORE_LIB -DQT_GUI_LIB -DQT_WIDGETS_LIB -DQT_TESTLIB_LIB
       -DFERRIT_DOC_DIR=\"doc\" -DFERRIT_SOURCE_DIR=\"src\"
       -I"$here" -I"$here/ui" -I"$generated"
       -I"$qt" -I"$qt/QtCore" -I"$qt/QtGui" -I"$qt/QtWidgets" -I"$qt/QtTest")
status=0
count=0
for source in "$here"/ui/*.cpp; do
  case "$source" in *_test.cpp | */ui_test_main.cpp) continue ;; esac
  count=$((count + 1))
  # The notes about Qt's own export declarations are left out; everything about our sources shows.
  if ! output=$(i686-w64-mingw32-g++-posix "${flags[@]}" "$source" 2>&1); then
    echo "$output" >&2
    echo "check-ui-windows: $(basename "$source") does not compile for Windows" >&2
    status=1
  elif grep -q "^$here/.*warning" <<<"$output"; then
    grep -A3 "^$here/.*warning" <<<"$output" >&2
  fi
done
[ $status -eq 0 ] && echo "check-ui-windows: $count ui sources compile for Windows (syntax only)"
exit $status
