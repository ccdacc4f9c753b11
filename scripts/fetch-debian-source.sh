#!/usr/bin/env bash
# Downloads a Debian source package (its .dsc, orig and debian tarballs, checked by apt against
# the signed index) into a folder, using deb-src entries made from the machine's own mirrors in a
# list that only this script's apt calls see; the machine's apt configuration stays untouched.
#   fetch-debian-source.sh PACKAGE[=VERSION] WORKDIR
# Prints the path of the orig tarball.
set -euo pipefail
package=$1
work=$2

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

apt_dir=$work/apt
rm -rf "$apt_dir"
mkdir -p "$apt_dir/parts" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" \
  "$apt_dir/source"
: >"$apt_dir/sources.list"
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
$SUDO apt-get -qq "${apt_private[@]}" update >&2
(cd "$apt_dir/source" && $SUDO apt-get -qq "${apt_private[@]}" source --download-only "$package" >&2)
name=${package%%=*}
ls "$apt_dir"/source/"${name}"_*.orig.tar.* | head -n 1
