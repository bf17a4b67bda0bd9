#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
build=${QORRFC_BUILD_DIR:-build}
ctest --test-dir "$build" --output-on-failure -j "${QORRFC_JOBS:-2}" ${QORRFC_CTEST_ARGS:-}
