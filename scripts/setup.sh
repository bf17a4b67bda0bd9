#!/usr/bin/env bash
# Installs the Debian packages the build needs (only those missing) and
# builds the project. Build folder and sanitizers come from the environment:
#   QORRFC_BUILD_DIR (default build), QORRFC_SANITIZE (e.g. address,undefined)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

packages=(cmake g++ make pkg-config libace-dev libxerces-c-dev libsqlite3-dev
          libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev dpkg-dev file groff-base man-db
          ccache)
bash scripts/install-packages.sh "${packages[@]}"

# The build folders (normal, sanitizers, SDK) share one compiler cache:
# paths below the source tree are cached relative to it.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$top}"
launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

build=${QORRFC_BUILD_DIR:-build}
cmake -S . -B "$build" "${launcher[@]}" -DQORRFC_SANITIZE="${QORRFC_SANITIZE:-}" \
  ${QORRFC_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j "${QORRFC_JOBS:-2}" ${QORRFC_TARGETS:+--target $QORRFC_TARGETS}
