#!/usr/bin/env bash
# Installs what is needed, builds, and starts the configurator on the simulated keyboard.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$PWD"
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
cmake --build build -j "$(nproc 2>/dev/null || echo 2)"

if [ -x build/bin/kbconfig-demo ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: run this from a desktop session (or set DISPLAY)." >&2
    exit 1
  fi
  exec build/bin/kbconfig-demo
fi
# Until the window exists, show the simulated keyboard through the command-line tool.
exec build/bin/kbcfg --simulate slots
