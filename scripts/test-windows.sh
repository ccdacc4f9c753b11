#!/usr/bin/env bash
# Cross-builds the Qt-free core, kbcfg.exe, the Windows platform library and their tests for
# 64-bit Windows with mingw-w64, then runs every test executable once under Wine in a private
# prefix. Everything lands in build-windows/.
#
# pugixml for mingw is built from Debian's own source package, fetched with a deb-src list that
# only this script's apt calls see; GoogleTest comes from Debian's /usr/src/googletest.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
deps=$out/deps
prefix=$deps/prefix
toolchain=$root/cmake/mingw-w64-posix.cmake
jobs=$(nproc 2>/dev/null || echo 2)
if [ "$jobs" -gt 2 ]; then jobs=2; fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# 1. Debian packages: the cross compiler, Wine and GoogleTest's sources.
packages=(mingw-w64 wine wine64 googletest cmake ninja-build xvfb xauth)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

mkdir -p "$deps"

# 2. pugixml from Debian's source package, with a source list private to this script.
if [ ! -f "$prefix/lib/cmake/pugixml/pugixml-config.cmake" ]; then
  apt_dir=$deps/apt
  rm -rf "$apt_dir"
  mkdir -p "$apt_dir/parts" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" \
    "$apt_dir/source"
  : >"$apt_dir/sources.list"
  # The machine's own Debian mirrors, as deb-src entries (both list formats).
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed 's/^Types:.*$/Types: deb-src/' "$f" >"$apt_dir/parts/$(basename "$f")"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n 's/^deb \(.*\)$/deb-src \1/p' "$f" >>"$apt_dir/sources.list"
  done
  apt_private=(-o "Dir::Etc::SourceList=$apt_dir/sources.list"
    -o "Dir::Etc::SourceParts=$apt_dir/parts"
    -o "Dir::State::Lists=$apt_dir/lists"
    -o "Dir::Cache=$apt_dir/cache"
    -o "APT::Sandbox::User=root")
  $SUDO apt-get -qq "${apt_private[@]}" update
  (cd "$apt_dir/source" && $SUDO apt-get -qq "${apt_private[@]}" source --download-only pugixml)
  tarball=$(ls "$apt_dir"/source/pugixml_*.orig.tar.* | head -n 1)
  rm -rf "$deps/pugixml-src"
  mkdir -p "$deps/pugixml-src"
  tar -xf "$tarball" -C "$deps/pugixml-src" --strip-components=1
  cmake -S "$deps/pugixml-src" -B "$deps/pugixml-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DPUGIXML_BUILD_TESTS=OFF >/dev/null
  cmake --build "$deps/pugixml-build" -j "$jobs" --target install >/dev/null
fi

# 3. GoogleTest and GoogleMock from Debian's sources.
if [ ! -f "$prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$deps/googletest-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -Dgtest_disable_pthreads=OFF \
    >/dev/null
  cmake --build "$deps/googletest-build" -j "$jobs" --target install >/dev/null
fi

# 4. The project.
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_PREFIX_PATH="$prefix" \
  -DKBCONFIG_CORE_ONLY=ON -DKBCONFIG_BUILD_BENCH=OFF "${launcher[@]}"
cmake --build "$out" -j "$jobs"

# 5. Wine: a private prefix, booted once, and a private X display for the window tests.
export WINEPREFIX=$out/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
tmp=$(mktemp -d)
export TMPDIR=$tmp
export XDG_RUNTIME_DIR=$tmp/runtime
mkdir -m 0700 "$XDG_RUNTIME_DIR"
xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
# KBCONFIG_DISPLAYS="first last" picks the range of display numbers to try.
read -r display_first display_last <<<"${KBCONFIG_DISPLAYS:-130 160}"
if [ -z "${KBCONFIG_WINE_DISPLAY:-}" ]; then
  for n in $(seq "$display_first" "$display_last"); do
    if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
      Xvfb ":${n}" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      xvfb_pid=$!
      KBCONFIG_WINE_DISPLAY=":${n}"
      sleep 1
      break
    fi
  done
fi
export DISPLAY=$KBCONFIG_WINE_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1 || true
  # A crashing test ends with its output instead of waiting in the debugger.
  wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
    >/dev/null 2>&1 || true
fi
wineserver -w || true

# Each test executable runs once, as one CTest entry.
ctest --test-dir "$out" --output-on-failure --timeout 600
