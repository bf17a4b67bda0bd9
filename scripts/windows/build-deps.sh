#!/usr/bin/env bash
# Cross-builds ACE (its library only) and Xerces-C for x86_64-w64-mingw32
# from Debian's own source packages into a prefix under the build folder:
#   <build>/deps/ace-<version>/      include/ace/..., lib/libACE.a
#   <build>/deps/xerces-c-<version>/ include/xercesc/..., lib/libxerces-c.a
# A prefix that is complete (its stamp file exists) is kept: a second run
# only rebuilds when Debian's source version changes.
# Usage: build-deps.sh <build folder>   (prints the two prefixes, one a line)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(mkdir -p "$1" && cd "$1" && pwd)
deps=$build/deps
jobs=${QORRFC_JOBS:-2}
triplet=x86_64-w64-mingw32
mkdir -p "$deps/src"

sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd=sudo

# apt-get source needs a deb-src entry for the archive and release that apt
# already uses for Debian itself.
ensure_deb_src() {
  if apt-get source --print-uris libace-dev >/dev/null 2>&1; then return; fi
  local suite
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  echo "adding a deb-src entry for Debian $suite" >&2
  $sudo_cmd tee /etc/apt/sources.list.d/qorrfc-src.sources >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $suite
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  $sudo_cmd apt-get update -qq
}

# The Debian source version apt offers (e.g. 7.0.8+dfsg-2).
source_version() {
  apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/ {print $2; exit}'
}

# Fetches and unpacks the source of binary package $1 into $2 (once).
unpack_source() {
  local pkg=$1 dir=$2
  [ -d "$dir" ] && return
  (cd "$deps/src" && apt-get source --download-only "$pkg" >/dev/null 2>&1)
  local orig
  orig=$(ls "$deps/src"/"$3"_"$4".orig.tar.* | head -1)
  mkdir -p "$dir.tmp"
  tar -xf "$orig" -C "$dir.tmp" --strip-components=1
  mv "$dir.tmp" "$dir"
}

build_xerces() {
  local version=$1 prefix=$2
  local upstream=${version%-*}
  local src=$deps/src/xerces-c-$upstream obj=$deps/src/xerces-c-$upstream-build
  unpack_source xerces-c "$src" xerces-c "$upstream"
  rm -rf "$obj"
  # Static library; Winsock for the network accessor, the Windows
  # transcoder and messages compiled in: nothing to ship beside the .exe.
  nice cmake -S "$src" -B "$obj" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -Dnetwork-accessor=winsock -Dtranscoder=windows \
    -Dmessage-loader=inmemory >/dev/null
  nice cmake --build "$obj" --target xerces-c -j "$jobs" >"$deps/xerces-build.log" 2>&1 \
    || { tail -30 "$deps/xerces-build.log" >&2; exit 1; }
  # Only the library's own folder: the source package has no HTML docs, so
  # the top-level install would fail.
  cmake --install "$obj/src" >/dev/null
  rm -rf "$obj"
}

build_ace() {
  local version=$1 prefix=$2
  local upstream=${version%-*}
  local src=$deps/src/ace-$upstream
  unpack_source libace-dev "$src" ace "$upstream"
  # The source package carries no makefiles: generate them with MPC.
  (cd "$src/ace" && ACE_ROOT=$src MPC_ROOT=$src/MPC \
     perl ../bin/mwc.pl -type gnuace -features "ssl=0,qos=0" ace.mwc >/dev/null)
  echo '#include "ace/config-win32.h"' >"$src/ace/config.h"
  cat >"$src/include/makeinclude/platform_macros.GNU" <<'MAC'
static_libs_only=1
debug=0
optimize=1
inline=1
ssl=0
qos=0
include $(ACE_ROOT)/include/makeinclude/platform_mingw32.GNU
MAC
  ACE_ROOT=$src nice make -C "$src/ace" -f GNUmakefile.ACE -j "$jobs" \
    CC=$triplet-gcc-posix CXX=$triplet-g++-posix DLLTOOL=$triplet-dlltool \
    RC=$triplet-windres AR=$triplet-ar >"$deps/ace-build.log" 2>&1 \
    || { tail -30 "$deps/ace-build.log" >&2; exit 1; }
  mkdir -p "$prefix/include/ace" "$prefix/lib"
  # Headers, inline files and templates, with the folder structure kept.
  (cd "$src" && find ace -type f \( -name '*.h' -o -name '*.inl' -o -name '*.cpp' \) \
     -not -path '*/.shobj/*' -not -path '*/.obj/*' -print0 \
     | tar --null -T - -cf - | tar -xf - -C "$prefix/include")
  cp "$src/ace/libACE.a" "$prefix/lib/"
}

ensure_deb_src
ace_version=$(source_version libace-dev)
xerces_version=$(source_version xerces-c)
[ -n "$ace_version" ] && [ -n "$xerces_version" ] || {
  echo "build-deps: no source version of ace or xerces-c from apt" >&2; exit 1; }

ace_prefix=$deps/ace-$ace_version
xerces_prefix=$deps/xerces-c-$xerces_version
if [ ! -f "$xerces_prefix/.complete" ]; then
  echo "cross-building Xerces-C $xerces_version" >&2
  rm -rf "$xerces_prefix"
  build_xerces "$xerces_version" "$xerces_prefix"
  touch "$xerces_prefix/.complete"
fi
if [ ! -f "$ace_prefix/.complete" ]; then
  echo "cross-building ACE $ace_version (takes a while)" >&2
  rm -rf "$ace_prefix"
  build_ace "$ace_version" "$ace_prefix"
  touch "$ace_prefix/.complete"
fi
echo "$ace_prefix"
echo "$xerces_prefix"
