#!/usr/bin/env bash
# CI's packaging step: builds the Debian package (scripts/package.sh), checks
# it with lintian, installs it with apt-get, validates the installed desktop
# entry and metainfo, starts the installed launcher for a new user under Xvfb
# through the user-path driver, reads the installed factory document with
# orvalink-cli, and removes the package again.
#
#   scripts/package-check.sh [--from BUILD] [OUT]   (OUT defaults to build-package/)
#
# With --from BUILD the package is made from that build folder, already built
# and tested (scripts/package.sh --from), instead of compiling it again.
# It installs and removes the package on this machine: run it where that is
# wanted (CI, a scratch machine), as root or with sudo at hand.
set -euo pipefail
cd "$(dirname "$0")/.."
from=()
if [ "${1:-}" = "--from" ]; then from=(--from "$2"); shift 2; fi
out="${1:-build-package}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
started=$SECONDS
step() { echo "-- $* ($((SECONDS - started)) s)"; }

step "building the package (its log: $out/package-build.log)"
mkdir -p "$out"
if ! scripts/package.sh "${from[@]}" "$out" > "$out/package-build.log" 2>&1; then
  tail -n 60 "$out/package-build.log"
  echo "the package build failed"
  exit 1
fi
tail -n 3 "$out/package-build.log"
deb=$(realpath "$(ls "$out"/orvalink_*_*.deb)")
changes=$(ls "$out"/orvalink_*_*.changes)

step "lintian"
# Errors fail the step; warnings and notes are shown.
lintian --fail-on error --display-info --tag-display-limit 0 "$changes"

step "installing $deb"
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --reinstall "$deb"
removed=0
remove() {
  if [ "$removed" -eq 0 ]; then
    removed=1
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y orvalink >/dev/null || true
  fi
}
trap remove EXIT

step "the installed files"
app=org.orvalink.Orvalink
for f in /usr/bin/orvalink /usr/bin/orvalink-cli /usr/bin/orvalink-remote-sim \
         /usr/libexec/orvalink/orvalink /usr/share/orvalink/bk/default_.vmcf /usr/share/orvalink/model.dll \
         /usr/share/orvalink/dev_model.dll /usr/share/orvalink/type.ini /usr/share/orvalink/gird_RL_2.bmp \
         /usr/lib/udev/rules.d/70-orvalink.rules /usr/share/applications/$app.desktop \
         /usr/share/metainfo/$app.metainfo.xml /usr/share/icons/hicolor/scalable/apps/$app.svg \
         /usr/share/icons/hicolor/48x48/apps/$app.png /usr/share/man/man1/orvalink.1.gz \
         /usr/share/man/man1/orvalink-cli.1.gz /usr/share/man/man1/orvalink-remote-sim.1.gz \
         /usr/share/doc/orvalink/user-guide.md; do
  [ -e "$f" ] || { echo "the package did not install $f"; exit 1; }
done
grep -q 'TAG+="uaccess"' /usr/lib/udev/rules.d/70-orvalink.rules

step "desktop-file-validate"
desktop-file-validate /usr/share/applications/$app.desktop
step "appstreamcli validate"
appstreamcli validate --no-net /usr/share/metainfo/$app.metainfo.xml

step "the programs' --version, orvalink-cli info and render on the factory document"
version=$(dpkg-query -W -f='${Version}' orvalink)
for program in orvalink orvalink-cli orvalink-remote-sim; do
  line=$("$program" --version)
  [ "$line" = "$program $version" ] || { echo "$program --version says '$line', the package is $version"; exit 1; }
  "$program" --help >/dev/null
done
orvalink-cli info /usr/share/orvalink/bk/default_.vmcf
# render loads its drawing library from beside the installed program.
picture="$(mktemp -d)/tv.png"
orvalink-cli render /usr/share/orvalink/bk/default_.vmcf 1 "$picture"
[ -s "$picture" ] || { echo "orvalink-cli render wrote no picture"; exit 1; }

step "the installed launcher for a new user, under Xvfb"
PYTHONPATH="$(pwd)/tests/package" tests/user/run-session.sh /usr/share/orvalink "" /usr/bin/orvalink-cli test_installed

step "removing the package"
remove
for f in /usr/bin/orvalink /usr/libexec/orvalink /usr/share/orvalink; do
  [ ! -e "$f" ] || { echo "$f is still there after removal"; exit 1; }
done
step "package checks passed"
