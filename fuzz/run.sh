#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan+UBSan) and runs each one for
# a while on a copy of its corpus (with fuzz/<target>.dict as dictionary
# where there is one); new inputs that crash are left in
# build-fuzz/crashes/<target>/, and the status is 1 when any target failed.
#   fuzz/run.sh [seconds per target, default 60] [target ...]
# QORRFC_CMAKE_ARGS is passed to the configuration (e.g. a compiler
# launcher); QORRFC_FUZZ_MERGE=1 merges what each run found into
# fuzz/corpus/<target>/ (only inputs that add coverage).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/*.cmake; do targets+=("$(basename "$f" .cmake)"); done
fi
build_targets=()
for t in "${targets[@]}"; do build_targets+=("${t}_fuzzer"); done
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DQORRFC_FUZZ=ON \
  -DQORRFC_SANITIZE=address,undefined -DBUILD_TESTING=OFF ${QORRFC_CMAKE_ARGS:-} >/dev/null
cmake --build build-fuzz -j "${QORRFC_JOBS:-2}" --target "${build_targets[@]}"
status=0
for t in "${targets[@]}"; do
  work=build-fuzz/corpus-work/$t
  crashes=build-fuzz/crashes/$t
  mkdir -p "$work" "$crashes"
  cp -n fuzz/corpus/"$t"/* "$work"/ 2>/dev/null || true
  dict=()
  [ -f fuzz/"$t".dict ] && dict=(-dict=fuzz/"$t".dict)
  echo "== $t for ${seconds}s"
  if ! "build-fuzz/bin/${t}_fuzzer" "${dict[@]}" -max_total_time="$seconds" \
       -print_final_stats=1 -artifact_prefix="$crashes/" "$work"; then
    status=1
  fi
  if [ "${QORRFC_FUZZ_MERGE:-0}" = 1 ]; then
    "build-fuzz/bin/${t}_fuzzer" "${dict[@]}" -merge=1 fuzz/corpus/"$t" "$work" 2>/dev/null
  fi
done
exit $status
