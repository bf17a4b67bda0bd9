#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan+UBSan) and runs each one for
# a while on a copy of its corpus; new inputs that crash are left in
# build-fuzz/crashes/<target>/.
#   fuzz/run.sh [seconds per target, default 60] [target ...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
seconds=${1:-60}
shift || true
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DQORRFC_FUZZ=ON \
  -DQORRFC_SANITIZE=address,undefined -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz -j "${QORRFC_JOBS:-2}"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in build-fuzz/bin/*_fuzzer; do targets+=("$(basename "$f" _fuzzer)"); done
fi
status=0
for t in "${targets[@]}"; do
  work=build-fuzz/corpus-work/$t
  crashes=build-fuzz/crashes/$t
  mkdir -p "$work" "$crashes"
  cp -n fuzz/corpus/"$t"/* "$work"/ 2>/dev/null || true
  echo "== $t for ${seconds}s"
  if ! "build-fuzz/bin/${t}_fuzzer" -max_total_time="$seconds" \
       -artifact_prefix="$crashes/" "$work"; then
    status=1
  fi
done
exit $status
