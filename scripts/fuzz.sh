#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang into build-fuzz (only those and what they
# link), then runs each from its seed corpus for a short fixed time. Fails when a target finds
# anything: a crash, a hang, a leak or undefined behaviour. The input that did it is kept in
# build-fuzz/findings/ and can be replayed with `build-fuzz/bin/<target> <file>`.
#
#   KB_FUZZ_SECONDS   time per target (default 20)
#   KB_FUZZ_JOBS      targets run at the same time (default: the number of cores)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${KB_FUZZ_SECONDS:-20}
jobs=${KB_FUZZ_JOBS:-$(nproc 2>/dev/null || echo 2)}
build=build-fuzz

clang_cxx=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$clang_cxx" ]; then
  echo "fuzz: clang++ not found (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$clang_cxx" "${launcher[@]}" \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" \
  -DKBCONFIG_FUZZ=ON -DKBCONFIG_BUILD_TESTS=OFF -DKBCONFIG_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_targets -j "$jobs"

rm -rf "$build/work" "$build/findings" "$build/logs"
mkdir -p "$build/work" "$build/findings" "$build/logs"

# Widgets need a platform; no display is needed or used. Runtime and temporary files stay in a
# folder of this run.
private=$(mktemp -d)
trap 'rm -rf "$private"' EXIT
chmod 700 "$private"
export XDG_RUNTIME_DIR=$private TMPDIR=$private
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/fuzz/lsan.supp:print_suppressions=0

run_one() {
  local target=$1 seconds=$2 build=$3
  local seeds=tests/fuzz/corpus/$target work=$build/work/$target
  mkdir -p "$work"
  # keymap.xml holds whole profiles of macros: its inputs may be larger than a layout's.
  local max_len=8192
  case $target in fuzz_keymap*) max_len=131072 ;; esac
  # New inputs go to the work folder; the seeds in the repository stay as they are.
  if "$build/bin/$target" "$work" "$seeds" -dict=tests/fuzz/xml.dict \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
      -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
      >"$build/logs/$target.log" 2>&1; then
    echo "fuzz: $target ok ($(grep -o 'stat::number_of_executed_units: *[0-9]*' \
      "$build/logs/$target.log" | grep -o '[0-9]*$') runs)"
  else
    echo "fuzz: $target FOUND A PROBLEM; its log ends:" >&2
    tail -n 40 "$build/logs/$target.log" >&2
    return 1
  fi
}
export -f run_one

targets=$(cd tests/fuzz/corpus && ls -d fuzz_* )
if ! printf '%s\n' $targets |
    xargs -P "$jobs" -I{} bash -c 'run_one "$1" "$2" "$3"' _ {} "$seconds" "$build"; then
  echo "fuzz: findings kept in $build/findings/" >&2
  exit 1
fi
