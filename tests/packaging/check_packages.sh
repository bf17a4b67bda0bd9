#!/usr/bin/env bash
# Builds the Debian packages with cpack into a temporary folder and checks
# what they hold: programs, systemd units, settings file, man pages and
# documents in the package they belong to, the settings file kept as a
# conffile, and dependencies found for the programs' shared libraries.
#   check_packages.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 src=$2
work=$(mktemp -d /tmp/qorrfc-packaging-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack"
  exit 1
fi

one_deb() {
  local found=("$work"/out/"$1"_*.deb)
  [ ${#found[@]} -eq 1 ] && [ -f "${found[0]}" ] || { echo "FAIL: no single $1 package" >&2; return 1; }
  echo "${found[0]}"
}
server=$(one_deb qorrfc-server)
r3sim=$(one_deb qorrfc-r3sim)

# Paths as dpkg-deb -c prints them, one a line, without ./ and modes.
contents() { dpkg-deb -c "$1" | awk '{print $NF}' | sed 's|^\./|/|'; }
contents "$server" >"$work/server.list"
contents "$r3sim" >"$work/r3sim.list"

has() { grep -qxF "$2" "$work/$1.list" || fail "$1 package lacks $2"; }
lacks() { ! grep -qxF "$2" "$work/$1.list" || fail "$1 package holds $2"; }

for p in /usr/sbin/qorrfc_server /usr/bin/qorcli /usr/bin/rfcinfo \
         /lib/systemd/system/qorrfc_server.service /lib/systemd/system/qorrfc_server@.service \
         /etc/default/qorrfc_server \
         /usr/share/man/man8/qorrfc_server.8.gz /usr/share/man/man1/qorcli.1.gz \
         /usr/share/man/man1/rfcinfo.1.gz \
         /usr/share/doc/qorrfc-server/admin-guide.md /usr/share/doc/qorrfc-server/protocol.md; do
  has server "$p"
done
lacks server /usr/bin/r3sim
lacks server /usr/share/man/man1/r3sim.1.gz
has r3sim /usr/bin/r3sim
has r3sim /usr/share/man/man1/r3sim.1.gz
lacks r3sim /usr/sbin/qorrfc_server

[ "$(dpkg-deb -f "$server" Package)" = qorrfc-server ] || fail "server package name"
[ "$(dpkg-deb -f "$r3sim" Package)" = qorrfc-r3sim ] || fail "r3sim package name"
dpkg-deb -f "$server" Depends | grep -q 'libace' || fail "server package does not depend on ACE"
dpkg-deb -f "$r3sim" Depends | grep -q 'libsqlite3' || fail "r3sim package does not depend on SQLite"

# What is installed must be the repository's files, and each unit must
# start a program that the package installs.
dpkg-deb -x "$server" "$work/root"
for unit in qorrfc_server.service qorrfc_server@.service; do
  cmp -s "$src/packaging/$unit" "$work/root/lib/systemd/system/$unit" || fail "$unit differs"
  exe=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$src/packaging/$unit")
  [ -x "$work/root$exe" ] || fail "$unit starts $exe, which the package does not install"
done
cmp -s "$src/packaging/qorrfc_server.default" "$work/root/etc/default/qorrfc_server" \
  || fail "settings file differs"
zcat "$work/root/usr/share/man/man8/qorrfc_server.8.gz" | cmp -s - "$src/man/qorrfc_server.8" \
  || fail "packaged qorrfc_server.8 differs"

dpkg-deb -e "$server" "$work/control"
grep -qxF /etc/default/qorrfc_server "$work/control/conffiles" \
  || fail "settings file is not a conffile"
for script in postinst prerm postrm; do
  [ -x "$work/control/$script" ] || fail "$script missing or not executable"
done

[ "$failures" -eq 0 ] || exit 1
echo "packages ok: $(basename "$server") $(basename "$r3sim")"
