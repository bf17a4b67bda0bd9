#!/usr/bin/env bash
# The Windows build, checked on this Linux machine: installs what is missing
# (mingw-w64, wine, GoogleTest's source), cross-builds ACE and Xerces-C once
# into build-win/deps, cross-builds the server, our RFC library, rfcinfo and
# the Windows tests, and runs them under wine in a prefix of its own:
# the test programs against wine's registry and service manager, then the
# service's whole life (install, start, an extraction by qorcli through it
# from r3sim running natively, stop, removal) and the usage errors.
# The last line sums it up:
#   RESULT windows built=... tests_passed=N tests_failed=M service_lifecycle=ok|failed extraction_rows=R
# Exit status 0 only when everything passed.
#   QORRFC_WIN_BUILD_DIR (default build-win)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
win=${QORRFC_WIN_BUILD_DIR:-build-win}
mkdir -p "$win"
win=$(cd "$win" && pwd)
work=$win/check
rm -rf "$work"
mkdir -p "$work"

built=none
passed=0
failed=0
lifecycle=failed
rows=0
summary() {
  echo "RESULT windows built=$built tests_passed=$passed tests_failed=$failed" \
       "service_lifecycle=$lifecycle extraction_rows=$rows"
}

# --- packages --------------------------------------------------------------
packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 googletest cmake make perl)
bash scripts/install-packages.sh "${packages[@]}"

# --- builds ----------------------------------------------------------------
# The Linux programs the Windows ones are tested against (r3sim, qorcli, a
# native server for the reference extraction).
QORRFC_TARGETS="r3sim qorcli qorrfc_server" bash scripts/setup.sh
bin=$top/${QORRFC_BUILD_DIR:-build}/bin

export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$top}"
mapfile -t prefixes < <(bash scripts/windows/build-deps.sh "$win")
cmake -S . -B "$win/obj" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
  -DCMAKE_C_COMPILER_LAUNCHER=ccache \
  -DQORRFC_ACE_PREFIX="${prefixes[0]}" -DQORRFC_XERCES_PREFIX="${prefixes[1]}" >/dev/null
programs=(qorrfc_server rfcinfo windows_options_test windows_service_test)
if ! nice cmake --build "$win/obj" -j "${QORRFC_JOBS:-2}" --target "${programs[@]}"; then
  summary
  exit 1
fi
wbin=$win/obj/bin
built=$(IFS=,; echo "${programs[*]/%/.exe}")
for p in "${programs[@]}"; do
  file "$wbin/$p.exe" | grep -q 'PE32+ executable' || { echo "$p.exe is no Windows program"; built=none; }
done
# Statically linked: nothing beside the programs but the system's DLLs.
for p in "${programs[@]}"; do
  extra=$(x86_64-w64-mingw32-objdump -p "$wbin/$p.exe" | awk '/DLL Name:/ {print $3}' \
          | grep -viE '^(kernel32|advapi32|ws2_32|mswsock|iphlpapi|netapi32|user32|userenv|bcrypt|msvcrt|shell32|ole32)\.dll$' || true)
  [ -z "$extra" ] || { echo "$p.exe needs DLLs of its own: $extra"; built=none; }
done
[ "$built" != none ] || { summary; exit 1; }

# --- wine ------------------------------------------------------------------
# A prefix of our own, without a display: no desktop, no Mono or Gecko
# installers, no debug output but the event log's (see below).
export WINEPREFIX=$win/wine
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
r3pid=""
refpid=""
cleanup() {
  [ -n "$refpid" ] && kill "$refpid" 2>/dev/null && wait "$refpid" 2>/dev/null
  [ -n "$r3pid" ] && kill "$r3pid" 2>/dev/null && wait "$r3pid" 2>/dev/null
  # Ends every process of this prefix (the services with them), and only those.
  wineserver -k 2>/dev/null || true
}
trap 'cleanup; summary' EXIT
# A fresh prefix each run: no service or registry value of an earlier run
# can make this one pass or fail.
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot --init >"$work/wineboot.log" 2>&1
wineserver -w
# Wine's service manager and every service it starts inherit the
# environment and the standard error of the session's first process: with
# the event log's debug channel on there, what a service reports to the
# event log arrives in this file. The session is kept up between commands.
wineserver -p
WINEDEBUG=-all,+eventlog wine cmd /c exit 0 >"$work/eventlog.txt" 2>&1
evlog=$work/eventlog.txt

# --- the test programs -----------------------------------------------------
# Each program's own count of passed and failed tests; a program that
# ends without a count (a crash) is one failure.
run_tests() { # program
  local out=$work/$1.out
  local rc=0
  (cd "$work" && command wine "$wbin/$1.exe" --gtest_color=no) >"$out" 2>&1 || rc=$?
  local p f
  p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$out" | tail -1)
  f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\{0,1\}, listed below:.*/\1/p' "$out" | tail -1)
  if [ -z "$p" ] && [ -z "$f" ]; then f=1; fi
  passed=$((passed + ${p:-0}))
  failed=$((failed + ${f:-0}))
  echo "== $1.exe under wine: ${p:-0} passed, ${f:-0} failed (exit $rc)"
  if [ "${f:-0}" != 0 ] || [ "$rc" != 0 ]; then
    cat "$out"
    [ "${f:-0}" != 0 ] || failed=$((failed + 1))
  fi
}
run_tests windows_options_test
run_tests windows_service_test

# --- the service's life ----------------------------------------------------
problems=()
problem() { problems+=("$1"); echo "   FAILED: $1"; }

# A loopback port nobody listens on, below the range the system hands out
# to outgoing connections: a port that such a connection still holds (in
# TIME-WAIT) cannot be bound.
free_port() {
  local p low
  low=$(cut -f1 /proc/sys/net/ipv4/ip_local_port_range)
  while :; do
    p=$((10000 + RANDOM % (low - 10000)))
    (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null || { echo "$p"; return; }
  done
}
# True when the server greets a connection with its 130-byte handle record.
greets() { # port
  (exec 3<>"/dev/tcp/127.0.0.1/$1" && IFS= read -r -t 5 handle <&3 && [ ${#handle} -eq 129 ]) \
    2>/dev/null
}
wait_greets() { # port seconds
  for _ in $(seq 1 $(($2 * 10))); do greets "$1" && return 0; sleep 0.1; done
  return 1
}
wait_closed() { # port seconds
  for _ in $(seq 1 $(($2 * 10))); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}
. "$top/scripts/lib/wait_for_line.sh"
# A value of the registry under HKEY_LOCAL_MACHINE, "" when it is missing.
reg_value() { # key value
  wine reg query "HKLM\\$1" /v "$2" 2>/dev/null | tr -d '\r' \
    | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
# The state the service manager reports (RUNNING, STOPPED, ...).
svc_state() { # name
  wine sc query "$1" 2>/dev/null | tr -d '\r' | sed -n 's/^ *STATE *: *[0-9]* *\([A-Z_]*\).*/\1/p'
}
services='SYSTEM\CurrentControlSet\Services'
server="$wbin/qorrfc_server.exe"

echo "== r3sim (Linux) as the R/3 system"
"$bin/r3sim" --port 0 --db "$work/r3sim.db" --bookings 2000 >"$work/r3sim.out" 2>&1 &
r3pid=$!
wait_for_line "$work/r3sim.out" "r3sim ready on" "$r3pid" || { cat "$work/r3sim.out"; exit 1; }
r3port=$(sed -n 's/^r3sim ready on .*:\([0-9]*\)$/\1/p' "$work/r3sim.out")

echo "== rfcinfo.exe logs on to r3sim"
if wine "$wbin/rfcinfo.exe" \
     "ashost=127.0.0.1 sysnr=00 gwserv=$r3port client=800 user=DEMO passwd=welcome1 lang=EN" \
     >"$work/rfcinfo.out" 2>&1 && grep -aq "RFCSYSID" "$work/rfcinfo.out"; then
  tr -d '\r' <"$work/rfcinfo.out" | head -3 | sed 's/^/   /'
else
  cat "$work/rfcinfo.out"
  problem "rfcinfo.exe could not log on"
fi

port=$(free_port)
echo "== install (-i) on port $port"
wine "$server" -i -p "$port" || problem "-i failed"
[ "$(reg_value "$services\\qorrfcv9" Start)" = 0x3 ] || problem "-i: not on demand start"
stored=$(reg_value "$services\\qorrfcv9\\Parameters" AppParameter)
echo "   AppParameter: $stored"
[ "$stored" = "-p $port" ] || problem "AppParameter is <$stored>"

echo "== start through the service manager (-s)"
started=$SECONDS
wine "$server" -s || problem "-s failed"
wait_greets "$port" 30 || problem "the service does not serve on port $port"
echo "   serving after $((SECONDS - started)) s; state $(svc_state qorrfcv9)"
[ "$(svc_state qorrfcv9)" = RUNNING ] || problem "not RUNNING"

echo "== qorcli select (Linux) through the service, and through a Linux server"
(umask 077 && echo welcome1 >"$work/password")
refport=$(free_port)
"$bin/qorrfc_server" -d 1 -n ref -w "$work" -p "$refport" 2>"$work/ref.log" &
refpid=$!
wait_greets "$refport" 30 || { cat "$work/ref.log"; problem "the Linux server did not start"; }
extract() { # port output
  QORCLI_DESTINATIONS=/dev/null "$bin/qorcli" select --server "127.0.0.1:$1" \
    --ashost 127.0.0.1 --sysnr 00 --gwserv "$r3port" --client 800 --user DEMO \
    --password-file "$work/password" --lang EN \
    --table SFLIGHT --fields CARRID,CONNID,FLDATE,PRICE,CURRENCY,PLANETYPE,SEATSMAX,SEATSOCC \
    --quiet --output "$2"
}
extract "$port" "$work/service.csv" || problem "extraction through the service failed"
extract "$refport" "$work/reference.csv" || problem "reference extraction failed"
kill "$refpid" && wait "$refpid" 2>/dev/null || true
refpid=""
if [ -s "$work/service.csv" ] && cmp -s "$work/service.csv" "$work/reference.csv"; then
  rows=$(($(wc -l <"$work/service.csv") - 1))
  echo "   $rows rows, the same as through the Linux server"
  [ "$rows" -gt 0 ] || problem "no rows"
else
  problem "the rows differ from the Linux server's"
  diff "$work/service.csv" "$work/reference.csv" | head -5 || true
fi

echo "== stop through the service manager (-k)"
stopping=$SECONDS
wine "$server" -k || problem "-k failed"
wait_closed "$port" 10 || problem "port $port still open 10 s after -k"
for _ in $(seq 1 100); do [ "$(svc_state qorrfcv9)" = STOPPED ] && break; sleep 0.1; done
echo "   stopped after $((SECONDS - stopping)) s; state $(svc_state qorrfcv9)"
[ "$(svc_state qorrfcv9)" = STOPPED ] || problem "not STOPPED after -k"

echo "== the service's log lines (wine's event log channel)"
grep -a "qorrfc_service 4.1 2005-08-12" "$evlog" | sed 's/^/   /' || true
grep -aq "qorrfc_service 4.1 2005-08-12 starting" "$evlog" || problem "no starting line logged"
grep -aq "qorrfc_service 4.1 2005-08-12 stopping" "$evlog" || problem "no stopping line logged"

echo "== remove (-r)"
wine "$server" -r || problem "-r failed"
[ -z "$(reg_value "$services\\qorrfcv9" Start)" ] || problem "still installed after -r"

echo "== -i 2 -n myname,My display"
wine "$server" -i 2 -n "myname,My display" -p "$port" || problem "-i 2 -n failed"
[ "$(reg_value "$services\\myname" Start)" = 0x2 ] || problem "myname: not automatic"
[ "$(reg_value "$services\\myname" DisplayName)" = "My display" ] || problem "myname: display name"
[ "$(reg_value "$services\\myname\\Parameters" AppParameter)" = "-p $port" ] \
  || problem "myname: AppParameter"
wine "$server" -r -n myname || problem "-r -n myname failed"

echo "== usage errors"
for words in "-i 0" "-s -k"; do
  rc=0
  # shellcheck disable=SC2086
  wine "$server" $words >"$work/usage.out" 2>&1 || rc=$?
  [ "$rc" = 1 ] && grep -q "Usage: " "$work/usage.out" || problem "$words: exit $rc"
done

if [ ${#problems[@]} -eq 0 ]; then lifecycle=ok; fi
[ "$lifecycle" = ok ] && [ "$failed" = 0 ] && [ "$passed" -gt 0 ] && [ "$rows" -gt 0 ]
