#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test; builds the Debian package and
# tests it installed (scripts/test-package.sh); then builds the Qt-free core
# with AddressSanitizer and UndefinedBehaviorSanitizer and runs its tests again; then fuzzes
# every parser for a short time (scripts/fuzz.sh), and last cross-builds the Windows side and
# runs its tests under Wine (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

# Each phase's time, so a slow CI run shows where it went.
phase_start=$SECONDS
phase() {
  echo "== ${1}: $((SECONDS - phase_start)) s (total ${SECONDS} s)" >&2
  phase_start=$SECONDS
}

bash scripts/install-deps.sh
phase "packages"

jobs=$(nproc 2>/dev/null || echo 2)

# Paths under the clone are hashed relative to it, so a fresh clone anywhere reuses the compiler
# cache of earlier clones (the scripts called below inherit this).
export CCACHE_BASEDIR="$PWD"

launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
cmake --build build -j "$jobs"
phase "build"

# Real-window tests need an X server; start a private one when there is no display.
xvfb_pid=""
cleanup() { if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
      Xvfb ":${n}" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
      xvfb_pid=$!
      export DISPLAY=":${n}"
      for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
      break
    fi
  done
fi

ctest --test-dir build --output-on-failure -j "$jobs"
phase "tests"

# The Debian package, installed with apt, run and purged.
bash scripts/test-package.sh build
phase "package"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKBCONFIG_CORE_ONLY=ON \
  -DKBCONFIG_SANITIZE=ON -DKBCONFIG_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"
phase "sanitizers"

# Every parser of outside input under libFuzzer for a short, fixed time.
bash scripts/fuzz.sh
phase "fuzz"

bash scripts/test-windows.sh
phase "windows"
