#!/usr/bin/env bash
# Builds the Debian package of Orvalink with Debian's own tools:
#
#   scripts/package.sh [--from BUILD] [OUT]   (OUT defaults to build-package/)
#
# The working tree's files (committed or not, without what .gitignore leaves
# out) are copied to OUT/orvalink-VERSION/, debian/changelog is written there
# with the version of the top CMakeLists.txt, and `dpkg-buildpackage -us -uc -b`
# builds it. The package, orvalink_VERSION_ARCH.deb, and its .changes and
# .buildinfo land in OUT. Compiles through ccache where the machine has it,
# with ORVALINK_PACKAGE_JOBS jobs (2 unless set). With --from BUILD it
# compiles nothing: it packages the build folder BUILD, already built (and
# tested) from this tree with the package's hardening (scripts/build.sh does),
# configuring it again for installing below /usr.
set -euo pipefail
cd "$(dirname "$0")/.."
from=""
if [ "${1:-}" = "--from" ]; then
  [ -n "${2:-}" ] && [ -f "$2/CMakeCache.txt" ] || { echo "package.sh: --from needs a configured build folder" >&2; exit 2; }
  from=$(cd "$2" && pwd)
  shift 2
fi
out="${1:-build-package}"

for tool in dpkg-buildpackage dh go-md2man rsvg-convert; do
  command -v "$tool" >/dev/null 2>&1 || { echo "package.sh needs $tool (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

version=$(sed -n 's/^project(Orvalink VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
if [ -z "$version" ]; then
  echo "package.sh: no project version in CMakeLists.txt" >&2
  exit 1
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)
src="$out/orvalink-$version"
rm -rf "$src" "$out"/orvalink_* "$out"/orvalink-dbgsym_*
mkdir -p "$src"

# The sources.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
    tar --null --no-recursion -T - -cf - | tar -C "$src" -xf -
  commit=" at $(git rev-parse --short HEAD)"
  when=$(git log -1 --format=%cD)
else
  tar --exclude='./build*' --exclude=./.git -cf - . | tar -C "$src" -xf -
  commit=""
  when=$(date -R)
fi

# The changelog: one entry for the version being built, dated like the last
# commit, so the same tree gives the same package.
maintainer=$(sed -n 's/^Maintainer: //p' debian/control)
cat > "$src/debian/changelog" <<EOF
orvalink ($version) unstable; urgency=medium

  * Orvalink $version, built from the repository$commit.

 -- $maintainer  $when
EOF

export DEB_BUILD_OPTIONS="parallel=${ORVALINK_PACKAGE_JOBS:-2}${DEB_BUILD_OPTIONS:+ $DEB_BUILD_OPTIONS}"
if [ -n "$from" ]; then
  export ORVALINK_BUILT_TREE="$from"
elif command -v ccache >/dev/null 2>&1; then
  # debhelper gives the build a HOME of its own: name the cache outright.
  CCACHE_DIR="${CCACHE_DIR:-$(ccache --get-config cache_dir)}"
  export ORVALINK_CCACHE=1 CCACHE_DIR CCACHE_BASEDIR="$src"
fi
(cd "$src" && dpkg-buildpackage -us -uc -b)

echo "Built:"
ls -1 "$out"/orvalink_"$version"_*.deb "$out"/orvalink_"$version"_*.changes
