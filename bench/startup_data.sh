#!/usr/bin/env bash
# Data folders for bench/startup.sh (KB_STARTUP_DATA=FOLDER): what the demo finds in its folder
# when it starts.
#
#   bench/startup_data.sh [BUILD_DIR] [OUT_DIR]      (defaults: build, build/startup-data)
#
#   OUT_DIR/library    macro.xml with 1,000 groups of 80 steps (4.4 MB)
#   OUT_DIR/profiles   the demo keyboard with all three profiles full (12 macro keys and 12
#                      remapped keys each) and what was sent to them, plus that macro.xml
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-$build/startup-data}
bin="$build/bin"
for tool in macro_file_bench kbcfg; do
  if [ ! -x "$bin/$tool" ]; then
    echo "missing $bin/$tool: build first (cmake --build $build)" >&2
    exit 2
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$out/library" "$out/profiles"
mkdir -p "$out/library" "$out/profiles"

# The library benchmark writes its 1,000-group file with the program's own writer.
TMPDIR="$work" "$bin/macro_file_bench" --benchmark_filter='BM_LibraryLoad/1000$' \
  --benchmark_min_time=0.001 >/dev/null 2>&1
cp "$work/kb_macro_bench/source1000.xml" "$out/library/macro.xml"
cp "$out/library/macro.xml" "$out/profiles/macro.xml"

state="$out/profiles/demo-keyboard.xml"
macro_keys=(F1 F2 F3 F4 F5 F6 F7 F8 F9 F10 F11 F12)
remapped=(1 2 3 4 5 6 7 8 9 0 Q W)
targets=(A B C D E F G H I J K L)
# Every assignment needs a free macro slot to be chosen: the remaps go first.
for profile in 1 2 3; do
  for i in "${!remapped[@]}"; do
    "$bin/kbcfg" --simulate="$state" assign "${remapped[$i]}" --profile "$profile" \
      --key "${targets[$i]}" >/dev/null
  done
  for i in "${!macro_keys[@]}"; do
    "$bin/kbcfg" --simulate="$state" assign "${macro_keys[$i]}" --profile "$profile" \
      --macro "Group $(( (profile - 1) * 12 + i ))" --library "$out/library/macro.xml" >/dev/null
  done
done
echo "$out/library and $out/profiles"
