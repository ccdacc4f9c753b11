#!/usr/bin/env bash
# Qt for 64-bit Windows (mingw-w64, posix threads), built once from Debian's qt6-base source
# package with the recipe pinned below, and kept in a cache outside the clone keyed by the Qt
# version and a hash of the recipe, so later runs on the same machine reuse it.
#
# Prints the Qt prefix (the folder holding bin/, lib/, plugins/) on its last line of output.
#
#   KBCONFIG_CACHE_DIR      where built dependencies are kept (default /var/cache/kbconfig)
#   KBCONFIG_QT_PREBUILT    an archive of a prefix built with exactly this recipe; used instead of
#                           building when its sha256 and the recipe match (default: the one in
#                           ../shared/deps beside the clone, when present)
#   KBCONFIG_QT_FROM_SOURCE=1  build from source even when the archive would do
#   KBCONFIG_JOBS           parallel build jobs (default: the number of cores, at most 2)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
toolchain=$root/cmake/mingw-w64-posix.cmake

# ---- The recipe: the one place that says how Qt for Windows is built. ----
qt_version=6.4.2
qt_source_package=qt6-base
# Only what the program uses: Core, Gui, Widgets, Test, the windows, offscreen and minimal platform
# plugins and the Windows styles, as shared libraries. FreeType stays on (the offscreen plugin
# needs it); the tarball has no wintab, so tablet events are off.
qt_configure_options=(
  -DQT_HOST_PATH=/usr
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_network=OFF
  -DFEATURE_sql=OFF
  -DFEATURE_dbus=OFF
  -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF
  -DINPUT_opengl=no
  -DFEATURE_vulkan=OFF
  -DFEATURE_direct2d=OFF
  -DFEATURE_tabletevent=OFF
  -DFEATURE_jpeg=OFF
  -DFEATURE_gif=OFF
)
# One source change: with Direct2D off, the windows platform plugin's DirectWrite 3 font database
# must be guarded by Direct2D too, or qwindows.dll fails to link.
qt_patch_file=src/plugins/platforms/windows/qwindowsintegration.cpp
qt_patch_from='#if QT_CONFIG(directwrite3)'
qt_patch_to='#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)'
qt_patch_count=2

# The prebuilt archive of exactly this recipe (see ../shared/deps/README.md).
qt_prebuilt_sha256=822dd944180f360aadf59b61abc7f8ebf3e5bd12b2356696917792439edfb18d
qt_prebuilt_recipe_hash=13251f4763c51d964c5c6bd2ece9180c45dafc694e6664924dcb3917005201de
# ---- end of the recipe ----

recipe_text() {
  echo "qt $qt_version from the $qt_source_package orig tarball"
  echo "toolchain $(sed 's/#.*//; /^[[:space:]]*$/d' "$toolchain" | sha256sum | cut -c1-64)"
  echo "patch $qt_patch_file: '$qt_patch_from' -> '$qt_patch_to' x$qt_patch_count"
  printf 'option %s\n' "${qt_configure_options[@]}"
}
recipe_hash=$(recipe_text | sha256sum | cut -c1-64)
if [ "${1:-}" = "--recipe-hash" ]; then
  echo "$recipe_hash"
  exit 0
fi

jobs=${KBCONFIG_JOBS:-$(nproc 2>/dev/null || echo 2)}
if [ -z "${KBCONFIG_JOBS:-}" ] && [ "$jobs" -gt 2 ]; then jobs=2; fi
cache=${KBCONFIG_CACHE_DIR:-/var/cache/kbconfig}
dir=$cache/qt6-base-$qt_version-mingw64-posix-${recipe_hash:0:16}
prefix=$dir/prefix
stamp=$dir/complete

mkdir -p "$cache"
# One builder at a time per recipe; a second run waits and then finds the prefix ready.
exec 9>"$dir.lock"
flock 9

if [ -f "$stamp" ]; then
  echo "$prefix"
  exit 0
fi
rm -rf "$dir"
mkdir -p "$dir"
recipe_text >"$dir/recipe.txt"

archive=${KBCONFIG_QT_PREBUILT:-$root/../shared/deps/qt6-base-$qt_version-mingw64-posix.tar.xz}
if [ "${KBCONFIG_QT_FROM_SOURCE:-0}" != 1 ] && [ "$recipe_hash" = "$qt_prebuilt_recipe_hash" ] &&
  [ -f "$archive" ] &&
  [ "$(sha256sum "$archive" | cut -c1-64)" = "$qt_prebuilt_sha256" ]; then
  echo "qt-windows: unpacking $archive (built with this recipe)" >&2
  tar -xJf "$archive" -C "$dir"
else
  echo "qt-windows: building Qt $qt_version for Windows from source into $dir" >&2
  start=$(date +%s)
  work=$dir/work
  mkdir -p "$work"
  tarball=$(bash "$root/scripts/fetch-debian-source.sh" "$qt_source_package" "$work" | tail -n 1)
  case "$(basename "$tarball")" in
  "${qt_source_package}_${qt_version}"[+.]*) ;;
  *)
    echo "qt-windows: Debian's $qt_source_package is $(basename "$tarball"), not $qt_version" >&2
    exit 1
    ;;
  esac
  mkdir -p "$work/src"
  tar -xf "$tarball" -C "$work/src" --strip-components=1
  sed -i "s/^${qt_patch_from}\$/${qt_patch_to}/" "$work/src/$qt_patch_file"
  changed=$(grep -c "^${qt_patch_to//\\/}\$" "$work/src/$qt_patch_file" || true)
  if [ "$changed" != "$qt_patch_count" ]; then
    echo "qt-windows: the source change applied $changed times, expected $qt_patch_count" >&2
    exit 1
  fi
  cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${qt_configure_options[@]}" >"$dir/configure.log"
  cmake --build "$work/build" -j "$jobs" >"$dir/build.log"
  cmake --install "$work/build" >"$dir/install.log"
  rm -rf "$work"
  echo "qt-windows: built in $(($(date +%s) - start)) s" >&2
  echo "$(($(date +%s) - start))" >"$dir/build-seconds"
fi
test -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake"
date -u +%FT%TZ >"$stamp"
echo "$prefix"
