#!/usr/bin/env bash
# Installs what the 32-bit Windows build and its tests under Wine need, only what is missing:
# the mingw-w64 i686 compilers of the -posix thread model, 32-bit Wine, and googletest built for
# mingw from Debian's googletest sources into GTEST_PREFIX (first argument).
#
# The compilers are installed by their -posix names: installing the -win32 variant switches the
# plain i686-w64-mingw32-g++ alternative to a thread model without std::mutex.
set -euo pipefail
GTEST_PREFIX=${1:-build-windows/gtest}
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in g++-mingw-w64-i686-posix googletest cmake ninja-build; do
  installed "$p" || missing+=("$p")
done
if ! installed wine32:i386 || ! installed wine; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "Adding the i386 architecture (for 32-bit Wine)"
    $SUDO dpkg --add-architecture i386
  fi
  missing+=(wine wine32:i386)
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# googletest for mingw, from the sources Debian ships (built once per build directory).
if [ ! -f "$GTEST_PREFIX/lib/cmake/GTest/GTestConfig.cmake" ]; then
  here=$(cd "$(dirname "$0")/.." && pwd)
  work="$GTEST_PREFIX.build"
  echo "Building googletest for 32-bit Windows into $GTEST_PREFIX"
  cmake -S /usr/src/googletest -B "$work" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
    -DCMAKE_INSTALL_PREFIX="$(realpath -m "$GTEST_PREFIX")" \
    -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=ON >/dev/null
  cmake --build "$work" -j "$(nproc)" >/dev/null
  cmake --install "$work" >/dev/null
  rm -rf "$work"
fi
