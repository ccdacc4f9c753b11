#!/usr/bin/env bash
# Start-up figures of kbconfig-demo against a minimal Qt Widgets window with one label, started
# alternately under one X server: median time to the first mapped window, resident memory 3 s
# later and CPU use over 10 idle seconds, each with its ratio to the minimal window.
#
#   bench/startup.sh [BUILD_DIR] [RUNS]      (defaults: build, 5)
#
# Uses $DISPLAY when set, else starts a private Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}
bin="$build/bin"
for tool in map_timer minimal_window kbconfig-demo; do
  if [ ! -x "$bin/$tool" ]; then
    echo "missing $bin/$tool: build first (cmake --build $build)" >&2
    exit 2
  fi
done

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 300 340); do
    if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
      Xvfb ":${n}" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
      xvfb_pid=$!
      export DISPLAY=":${n}"
      for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
      break
    fi
  done
fi

# Each start gets fresh private folders, and the demo a fresh data folder, so no run sees another's
# single-instance claim or files.
measure() {
  local name=$1
  shift
  local run_dir
  run_dir=$(mktemp -d "$work/$name.XXXX")
  chmod 700 "$run_dir"
  env TMPDIR="$run_dir" XDG_RUNTIME_DIR="$run_dir" XDG_DATA_HOME="$run_dir/data" \
    HOME="$run_dir" QT_QPA_PLATFORM=xcb \
    "$bin/map_timer" -- "$@" 2>/dev/null | tail -n 1 >>"$work/$name.txt"
}

# kbconfig-demo keeps its files in its program folder when it may write there: run a copy of the
# program folder so the build tree stays as it is.
demo_dir="$work/demo"
mkdir -p "$demo_dir"
cp -r "$bin/kbconfig-demo" "$bin/config.xml" "$bin/keys.xml" "$bin/uires" "$demo_dir/"

for _ in $(seq 1 "$runs"); do
  measure minimal "$bin/minimal_window"
  measure demo "$demo_dir/kbconfig-demo"
done

python3 - "$work/minimal.txt" "$work/demo.txt" <<'PY'
import statistics, sys

def figures(path):
    rows = [dict(f.split("=") for f in line.split()) for line in open(path) if line.strip()]
    return {k: statistics.median(float(r[k]) for r in rows) for k in ("map_ms", "map_cpu_ms", "rss_kb", "idle_cpu_pct")}, len(rows)

base, n = figures(sys.argv[1])
demo, _ = figures(sys.argv[2])
print(f"{n} alternating starts each, medians")
print(f"{'':24}{'minimal':>12}{'kbconfig-demo':>16}{'ratio':>8}   target")
print(f"{'first window (ms)':24}{base['map_ms']:12.1f}{demo['map_ms']:16.1f}{demo['map_ms']/base['map_ms']:8.2f}   <= 1.5x")
print(f"{'  CPU time until then (ms)':24}{base['map_cpu_ms']:12.0f}{demo['map_cpu_ms']:16.0f}{demo['map_cpu_ms']/max(base['map_cpu_ms'],1):8.2f}")
print(f"{'memory at 3 s (MB)':24}{base['rss_kb']/1024:12.1f}{demo['rss_kb']/1024:16.1f}{demo['rss_kb']/base['rss_kb']:8.2f}   <= 1.3x")
print(f"{'idle CPU (%)':24}{base['idle_cpu_pct']:12.2f}{demo['idle_cpu_pct']:16.2f}{'':>8}   < 0.5 %")
PY
