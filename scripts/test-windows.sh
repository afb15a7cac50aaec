#!/usr/bin/env bash
# Runs the Windows build's tests under 32-bit Wine, in a private prefix inside the build
# directory. The prefix is started before ctest (a first start takes seconds, and Wine's service
# processes would otherwise keep ctest's output pipe open) and its server ended afterwards, also
# when a test fails.
set -euo pipefail
build=$(realpath "${1:-build-windows}")
jobs=${2:-$(nproc)}
export WINEPREFIX="$build/wine" WINEARCH=win32 WINEDEBUG=-all
# No Mono or Gecko download prompts in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
fi
wine cmd /c exit </dev/null >/dev/null 2>&1
cd "$build"
ctest --output-on-failure -j "$jobs"
