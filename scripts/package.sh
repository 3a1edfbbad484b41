#!/usr/bin/env bash
# Builds the Debian package of both programs, build/package/varnolet_<version>_<arch>.deb,
# from the Release build tree build/test (configured and brought up to date here; in CI
# scripts/test.sh has built it already, so only the install and the packing run).
# debian/rules takes what `cmake --install` lays out under /usr; dpkg-shlibdeps derives
# the dependencies from the libraries the programs link.
#   VARNOLET_BUILD_DIR    the build tree (default build/test)
#   VARNOLET_PACKAGE_DIR  where the .deb goes (default build/package)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

export VARNOLET_BUILD_DIR="${VARNOLET_BUILD_DIR:-build/test}"
export VARNOLET_PACKAGE_DIR="${VARNOLET_PACKAGE_DIR:-build/package}"
if [ ! -f "$VARNOLET_BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S . -B "$VARNOLET_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$VARNOLET_BUILD_DIR/CMakeCache.txt")
if [ "$build_type" != "Release" ]; then
    echo "package.sh: $VARNOLET_BUILD_DIR is a '$build_type' build; the package needs a Release one" >&2
    exit 1
fi
cmake --build "$VARNOLET_BUILD_DIR" -j "$(nproc)"

version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
deb="$VARNOLET_PACKAGE_DIR/varnolet_${version}_${arch}.deb"
rm -f "$deb"
# debian/rules leaves its work files under debian/; they go again afterwards.
trap 'debian/rules clean >/dev/null' EXIT
debian/rules clean >/dev/null
debian/rules binary
echo "package.sh: built $deb"
