#!/usr/bin/env bash
# Start-up figures of kbconfig-demo against a minimal Qt Widgets window with one label, started
# alternately under one X server: median time to the first mapped window and to its first
# drawing, resident memory 3 s later and CPU use over 10 idle seconds, each with its ratio to the
# minimal window.
#
#   bench/startup.sh [BUILD_DIR] [RUNS]      (defaults: build, 5)
#
# Uses $DISPLAY when set, else starts a private Xvfb. KB_STARTUP_DATA=FOLDER puts the files of
# FOLDER where the demo keeps its data before the first start (bench/startup_data.sh makes a
# large macro library and a keyboard with every profile full).
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
if [ -n "${KB_STARTUP_DATA:-}" ]; then
  cp "$KB_STARTUP_DATA"/* "$demo_dir/"
fi

for _ in $(seq 1 "$runs"); do
  measure minimal "$bin/minimal_window"
  measure demo "$demo_dir/kbconfig-demo"
done

python3 - "$work/minimal.txt" "$work/demo.txt" <<'PY'
import statistics, sys

def figures(path):
    rows = [dict(f.split("=") for f in line.split()) for line in open(path) if line.strip()]
    keys = ("map_ms", "map_cpu_ms", "paint_ms", "paint_cpu_ms", "rss_kb", "idle_cpu_pct")
    return {k: statistics.median(float(r[k]) for r in rows) for k in keys}, len(rows)

base, n = figures(sys.argv[1])
demo, _ = figures(sys.argv[2])
print(f"{n} alternating starts each, medians")
print(f"{'':28}{'minimal':>10}{'kbconfig-demo':>15}{'ratio':>8}   target")
def row(label, key, scale=1.0, digits=1, target=""):
    b, d = base[key] / scale, demo[key] / scale
    print(f"{label:28}{b:10.{digits}f}{d:15.{digits}f}{d / max(b, 1e-9):8.2f}   {target}")
row("window mapped (ms)", "map_ms", target="<= 1.3x")
row("  CPU time until then (ms)", "map_cpu_ms")
row("first frame drawn (ms)", "paint_ms", target="<= 1.3x")
row("  CPU time until then (ms)", "paint_cpu_ms")
row("memory at 3 s (MB)", "rss_kb", scale=1024, target="<= 1.3x")
print(f"{'idle CPU (%)':28}{base['idle_cpu_pct']:10.2f}{demo['idle_cpu_pct']:15.2f}{'':>8}   < 0.5 %")
print(f"load average: {open('/proc/loadavg').read().split()[0]}")
PY
