#!/usr/bin/env bash
# Builds the Debian package from an existing build (default build/), installs it with apt as a
# user would, checks the installed programs (kbcfg, and kbconfig-demo's window under a private
# Xvfb), the installed udev rule against the emulated keyboard, then purges the package and
# checks that nothing of it is left but the user's data. Installs for real: meant for a
# disposable machine such as CI's. Usage: scripts/test-package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(realpath "${1:-build}")
shots=$build/tests/e2e/screenshots
mkdir -p "$shots"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

fail() { echo "test-package: $*" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
demo_pid=""
cleanup() {
  if [ -n "$demo_pid" ]; then kill "$demo_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  # Never leave the package behind, whatever failed.
  if dpkg-query -W -f='${Status}' kbconfig 2>/dev/null | grep -q "installed"; then
    $SUDO apt-get purge -y -qq kbconfig >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# 1. The package, and lintian's verdict on it: no errors.
rm -f "$build"/kbconfig_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/kbconfig_*_*.deb)
echo "test-package: built $(basename "$deb")"
if command -v lintian >/dev/null 2>&1; then
  lintian_out=$(lintian "$deb" 2>/dev/null || true)
  if [ -n "$lintian_out" ]; then echo "$lintian_out" | sed 's/^/lintian: /'; fi
  if echo "$lintian_out" | grep -q '^E:'; then fail "lintian reports errors"; fi
fi

# 2. Installed with apt, which pulls in what the package depends on.
$SUDO apt-get install -y -qq "$deb" >/dev/null
for program in kbconfig kbconfig-demo kbcfg; do
  [ -L "/usr/bin/$program" ] || fail "/usr/bin/$program is not a link"
  [ -x "$(readlink -f "/usr/bin/$program")" ] || fail "/usr/bin/$program leads to no program"
done
[ -f /usr/lib/udev/rules.d/70-kbconfig.rules ] || fail "the udev rule is not installed"
[ -f /usr/share/applications/kbconfig.desktop ] || fail "the desktop entry is not installed"
/usr/bin/kbcfg --help | grep -q "^usage: kbcfg" || fail "kbcfg --help says no usage"

# 3. The installed demo shows its window on a private display, with a private home, run as an
# ordinary user would (as root the program folder would be writable and hold the data).
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime TMPDIR=$work/tmp
mkdir -p "$HOME" "$TMPDIR"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chmod 0755 "$work"
  chown -R nobody:nogroup "$HOME" "$TMPDIR" "$XDG_RUNTIME_DIR"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --reset-env)
fi
display=""
for n in $(seq 300 330); do
  if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
    Xvfb ":$n" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    display=":$n"
    break
  fi
done
[ -n "$display" ] || fail "no free display number for Xvfb"
export DISPLAY=$display
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
"${as_user[@]}" env HOME="$HOME" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" TMPDIR="$TMPDIR" \
  DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb /usr/bin/kbconfig-demo >"$work/demo.out" \
  2>"$work/demo.err" &
demo_pid=$!
window=""
for _ in $(seq 1 300); do
  window=$(xdotool search --onlyvisible --pid "$demo_pid" 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 "$demo_pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$window" ] || { cat "$work/demo.err" >&2; fail "the installed kbconfig-demo showed no window"; }
# The start-up exchange with the simulated keyboard follows the first frame.
for _ in $(seq 1 300); do grep -q "^send 07 fc" "$work/demo.err" && break; sleep 0.1; done
grep -q "^send 07 fc" "$work/demo.err" || fail "the installed demo never talked to its keyboard"
sleep 0.5
import -window root "$shots/package_demo.png"
echo "test-package: window shown, screenshot $shots/package_demo.png"
kill "$demo_pid"
wait "$demo_pid" 2>/dev/null || true
demo_pid=""
[ -d "$HOME/.local/share/kbconfig" ] || fail "the demo kept nothing in the user's data folder"

# 4. The installed rule, evaluated as udev would against the emulated keyboard's sysfs.
if [ -x "$build/bin/kbemu" ]; then
  set +e
  python3 "$root/tests/kbemu/udev_rule_under_kbemu.py" "$build" /usr/lib/udev/rules.d/70-kbconfig.rules
  verdict=$?
  set -e
  case $verdict in
    0) echo "test-package: the installed udev rule grants exactly the keyboard's interface" ;;
    77) echo "test-package: kbemu cannot run here; the installed rule was not evaluated" ;;
    *) fail "the installed udev rule does not grant exactly the keyboard's interface" ;;
  esac
fi

# 5. Purged: nothing of the package stays; the user's data does.
files=$(dpkg-query -L kbconfig | grep -v '^/\.$' | sort -r)
$SUDO apt-get purge -y -qq kbconfig >/dev/null
if dpkg-query -W -f='${Status}' kbconfig 2>/dev/null | grep -q "installed"; then
  fail "kbconfig is still installed after purge"
fi
left=""
while IFS= read -r path; do
  [ -n "$path" ] || continue
  if [ -e "$path" ] || [ -L "$path" ]; then
    # Shared folders (/usr/bin, /usr/share/...) stay; anything of the package's own must go.
    if [ ! -d "$path" ] || [[ "$path" == *kbconfig* ]]; then left+="$path"$'\n'; fi
  fi
done <<<"$files"
[ -z "$left" ] || fail "left after purge: $left"
[ -d "$HOME/.local/share/kbconfig" ] || fail "the purge removed the user's data"
echo "test-package: installed, ran and purged cleanly"
