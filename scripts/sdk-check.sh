#!/usr/bin/env bash
# Builds the server exactly as a user with the vendor's RFC SDK would
# (-DQORRFC_RFC_SDK=DIR) and tests it end to end. Our own library stands in
# for the vendor's, packed as an SDK folder (include/saprfc.h,
# include/sapitab.h, lib/librfccm.so) that exports only the classic API, so
# a server file that compiles and links here needs nothing the SDK lacks.
#   QORRFC_BUILD_DIR (default build): the normal build, which packs the SDK
#   QORRFC_SDK_BUILD_DIR (default build-sdk): the SDK build of the server
# Exit 0 only if every step passes.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
build=${QORRFC_BUILD_DIR:-build}
sdkbuild=${QORRFC_SDK_BUILD_DIR:-build-sdk}
jobs=${QORRFC_JOBS:-2}

step() { echo "== sdk-check: $*"; }
fail() { echo "sdk-check: FAILED: $*" >&2; exit 1; }

step "packing our library as an SDK folder"
QORRFC_TARGETS=rfc_sdk bash scripts/setup.sh
sdk=$(cd "$build/rfcsdk" && pwd)
for f in include/saprfc.h include/sapitab.h lib/librfccm.so; do
  [ -f "$sdk/$f" ] || fail "$sdk/$f was not made"
done
# The packed library offers the classic API and nothing of the partner side.
if nm -D --defined-only "$sdk/lib/librfccm.so" | awk '{print $3}' | grep -v '^\(Rfc\|It\)' | grep -q .; then
  fail "librfccm.so exports more than the classic API"
fi
nm -D --defined-only "$sdk/lib/librfccm.so" | grep -q ' RfcOpenEx$' || fail "librfccm.so lacks RfcOpenEx"
nm -D --defined-only "$sdk/lib/librfccm.so" | grep -q ' Rfcp' && fail "librfccm.so exports the partner side"

step "a folder without the library is refused with one clear error"
bad=$(mktemp -d)
trap 'rm -rf "$bad"' EXIT
mkdir -p "$bad/include" && cp "$sdk"/include/*.h "$bad/include/"
if cmake -S . -B "$bad/build" -DQORRFC_RFC_SDK="$bad" -DBUILD_TESTING=OFF >"$bad/out" 2>&1; then
  fail "configuring against a folder without lib/librfccm.so succeeded"
fi
# CMake folds long messages; compare with the line breaks taken out.
tr -s ' \n' '  ' <"$bad/out" | grep -q "is not an RFC SDK folder: missing lib/librfccm.so" \
  || { cat "$bad/out"; fail "no clear error for a folder without the library"; }

step "building the server against $sdk in $sdkbuild"
QORRFC_BUILD_DIR="$sdkbuild" \
  QORRFC_CMAKE_ARGS="-DQORRFC_RFC_SDK=$sdk -DCMAKE_EXPORT_COMPILE_COMMANDS=ON ${QORRFC_CMAKE_ARGS:-}" \
  bash scripts/setup.sh

step "checking what the server was built and linked with"
server="$sdkbuild/bin/qorrfc_server"
readelf -d "$server" | grep -q 'NEEDED.*\[librfccm\.so\]' || fail "the server does not link librfccm.so"
if nm --defined-only "$server" | grep -qE ' [TtDdBb] (Rfc|It)[A-Z]'; then
  fail "the server carries RFC library code of its own"
fi
# No server source may see our library's folder; only the SDK's headers.
# (The server's targets are the ones made in the build's server/ folder.)
python3 - "$sdkbuild" "$top" "$sdk" <<'PY' || fail "a server source was compiled with our library's include folder"
import json, os, sys
build, top, sdk = (os.path.realpath(a) for a in sys.argv[1:])
commands = json.load(open(f"{build}/compile_commands.json"))
server = [c for c in commands if os.path.realpath(c["directory"]) == f"{build}/server"]
bad = [c["file"] for c in server if f"{top}/rfclib" in c["command"] or sdk not in c["command"]]
if not server or bad:
    print("\n".join(bad) or "no server sources found", file=sys.stderr)
    sys.exit(1)
PY

step "the server's tests and the end-to-end suite against the SDK build"
ctest --test-dir "$sdkbuild" --output-on-failure -j "$jobs" \
  -L '^(e2e|core|rfc|xml|compat|shell)$' ${QORRFC_CTEST_ARGS:-}

echo "sdk-check: passed"
