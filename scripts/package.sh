#!/usr/bin/env bash
# Builds the Debian package with CPack and checks it with lintian:
# build-package/quarven-wave-dump_VERSION_ARCH.deb. Installs what it needs
# first, like the other scripts.
#
#   scripts/package.sh          PACKAGE_BUILD_DIR picks another build folder
#
# Fails when the launcher entry or the AppStream metainfo does not validate,
# or when lintian reports an error. The .deb's path is the last line printed.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh package

build_dir=${PACKAGE_BUILD_DIR:-build-package}

desktop-file-validate packaging/quarven-wave-dump.desktop
appstreamcli validate --no-net packaging/*.metainfo.xml

# Debian's hardening and optimisation flags; the man pages' date from the
# last commit, so that a rebuild of the same source gives the same files.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DBUILD_TESTING=OFF -DQWD_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$CXXFLAGS $CPPFLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS" -DCMAKE_MODULE_LINKER_FLAGS="$LDFLAGS"
cmake --build "$build_dir" -j "$(nproc)"
rm -f "$build_dir"/quarven-wave-dump_*.deb
(cd "$build_dir" && cpack -G DEB)

deb=$(ls "$build_dir"/quarven-wave-dump_*.deb)
lintian_root=()
[ "$(id -u)" -ne 0 ] || lintian_root=(--allow-root)
lintian "${lintian_root[@]}" --fail-on error --display-info "$deb"
echo "$deb"
