#!/usr/bin/env bash
# Cross-builds the whole program for 64-bit Windows with mingw-w64 against Qt for Windows
# (scripts/qt-windows.sh), runs every test executable under Wine in a private prefix (the window
# tests on Qt's offscreen platform), drives the built program under Wine in a private X display
# as a user would, and makes and tries the NSIS installer. Everything lands in build-windows/;
# Qt, pugixml and GoogleTest for mingw are kept in the cache (KBCONFIG_CACHE_DIR, default
# /var/cache/kbconfig) and reused.
#
#   KBCONFIG_DISPLAYS="first last"  X display numbers to try for the private display
#   KBCONFIG_JOBS                   parallel build jobs (default: the number of cores, at most 2)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
toolchain=$root/cmake/mingw-w64-posix.cmake
cache=${KBCONFIG_CACHE_DIR:-/var/cache/kbconfig}
jobs=${KBCONFIG_JOBS:-$(nproc 2>/dev/null || echo 2)}
if [ -z "${KBCONFIG_JOBS:-}" ] && [ "$jobs" -gt 2 ]; then jobs=2; fi
export KBCONFIG_JOBS=$jobs
script_start=$(date +%s)
step_start=$script_start
step() {
  local now
  now=$(date +%s)
  echo "test-windows: [$((now - script_start)) s, last step $((now - step_start)) s] $*"
  step_start=$now
}

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# 1. Debian packages: the cross compiler, Wine, NSIS, GoogleTest's sources and what drives the
#    program in a window.
packages=(mingw-w64 wine wine64 nsis googletest cmake ninja-build xvfb xauth xdotool imagemagick
  x11-utils trayer python3 qt6-base-dev qt6-base-dev-tools libpugixml-dev)
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

# 2. Qt for Windows.
step "Qt for Windows"
qt_prefix=$(bash "$root/scripts/qt-windows.sh" | tail -n 1)

# 3. pugixml (Debian's source package) and GoogleTest (Debian's /usr/src/googletest) for mingw,
#    kept in the cache by the toolchain and the Debian versions they come from.
step "pugixml and GoogleTest for Windows"
deps_key=$({
  sed 's/#.*//; /^[[:space:]]*$/d' "$toolchain"
  dpkg-query -W -f='${Version}\n' googletest libpugixml-dev
} | sha256sum | cut -c1-16)
deps=$cache/mingw64-deps-$deps_key
prefix=$deps/prefix
mkdir -p "$cache"
exec 8>"$deps.lock"
flock 8
if [ ! -f "$deps/complete" ]; then
  rm -rf "$deps"
  mkdir -p "$deps"
  tarball=$(bash "$root/scripts/fetch-debian-source.sh" pugixml "$deps" | tail -n 1)
  mkdir -p "$deps/pugixml-src"
  tar -xf "$tarball" -C "$deps/pugixml-src" --strip-components=1
  cmake -S "$deps/pugixml-src" -B "$deps/pugixml-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DPUGIXML_BUILD_TESTS=OFF >/dev/null
  cmake --build "$deps/pugixml-build" -j "$jobs" --target install >/dev/null
  cmake -S /usr/src/googletest -B "$deps/googletest-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -Dgtest_disable_pthreads=OFF \
    >/dev/null
  cmake --build "$deps/googletest-build" -j "$jobs" --target install >/dev/null
  rm -rf "$deps/apt" "$deps/pugixml-src" "$deps/pugixml-build" "$deps/googletest-build"
  date -u +%FT%TZ >"$deps/complete"
fi
flock -u 8

# 4. The project, the program folder and the installer.
step "the program"
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_PREFIX_PATH="$qt_prefix;$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DKBCONFIG_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$out" -j "$jobs"
step "built"

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
read -r display_first display_last <<<"${KBCONFIG_DISPLAYS:-130 160}"
if [ -z "${KBCONFIG_WINE_DISPLAY:-}" ]; then
  for n in $(seq "$display_first" "$display_last"); do
    if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
      Xvfb ":${n}" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      xvfb_pid=$!
      KBCONFIG_WINE_DISPLAY=":${n}"
      for _ in $(seq 1 100); do xdpyinfo -display ":${n}" >/dev/null 2>&1 && break; sleep 0.1; done
      break
    fi
  done
fi
export DISPLAY=$KBCONFIG_WINE_DISPLAY
step "Wine prefix"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1 || true
  # A crashing program ends with its output instead of waiting in the debugger.
  wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
    >/dev/null 2>&1 || true
fi
wineserver -w || true

# 6. Every test executable once, as one CTest entry; the window tests on Qt's offscreen platform
#    with the build machine's fonts.
step "tests under Wine"
# Qt's offscreen platform on Windows reads fonts from one folder: the build machine's sans-serif
# and Chinese faces, as the Linux tests see them.
mkdir -p "$tmp/fonts"
for pattern in sans-serif 'sans-serif:bold' 'sans-serif:lang=zh-cn'; do
  font=$(fc-match -f '%{file}' "$pattern" 2>/dev/null || true)
  if [ -f "$font" ]; then ln -sf "$font" "$tmp/fonts/"; fi
done
export WINEQT_QPA_FONTDIR=$tmp/fonts
ctest --test-dir "$out" --output-on-failure --timeout 600
step "tests done"

# 7. The program as a user meets it: the program folder the install rule makes, driven in the
#    private display with xdotool (tests/e2e/wine_driver.py says what is checked).
step "the program under Wine, as a user"
unset WINEQT_QPA_FONTDIR
mkdir -p "$out/screenshots"
rm -rf "$tmp/program"
cmake --install "$out" --prefix "$tmp/program" >/dev/null
python3 "$root/tests/e2e/wine_driver.py" session "$tmp/program" "$out/screenshots"
step "the program under Wine done"

# 8. The installer: made by CPack, installed silently, the installed program shows its window;
#    the user's data stays through a silent uninstall and shows again after reinstalling.
step "installer"
(cd "$out" && cpack -G NSIS >/dev/null)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/CMakeCache.txt")
python3 "$root/tests/e2e/wine_driver.py" installer "$out/kbconfig-$version-win64.exe" \
  "$out/screenshots"
step "done"
