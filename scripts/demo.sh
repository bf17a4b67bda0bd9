#!/usr/bin/env bash
# Sets up, builds and runs the demo: a simulated R/3 system with its demo
# data, a first check that it is reachable, the server, a client logging on
# through it and extracting one carrier's flights as CSV; then stops both.
# QORRFC_DEMO_KEEP=1 keeps them running afterwards (Ctrl-C stops them).
#   QORRFC_DEMO_R3_PORT (default 3300), QORRFC_DEMO_PORT (default 6999)
#   QORRFC_BIN_DIR: use the programs built there (no set-up, no build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
if [ -n "${QORRFC_BIN_DIR:-}" ]; then
  bin=$QORRFC_BIN_DIR
else
  bash scripts/setup.sh
  bin=${QORRFC_BUILD_DIR:-build}/bin
fi
r3port=${QORRFC_DEMO_R3_PORT:-3300}
port=${QORRFC_DEMO_PORT:-6999}
work=$(mktemp -d /tmp/qorrfc-demo-XXXXXX)

r3pid=
srvpid=
cleanup() {
  [ -n "$srvpid" ] && kill "$srvpid" 2>/dev/null && wait "$srvpid" 2>/dev/null
  [ -n "$r3pid" ] && kill "$r3pid" 2>/dev/null && wait "$r3pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

. "$top/scripts/lib/wait_for_line.sh"
# Waits until the file holds the text, or stops the demo with the file when
# the process ends first or 30 seconds pass.
wait_or_give_up() { # file text pid
  wait_for_line "$@" && return 0
  cat "$1"
  echo "demo: gave up waiting for \"$2\"" >&2
  exit 1
}

# True when the server accepts a connection and greets it with its
# 130-byte handle record. The whole record is read before the connection
# closes, so the server sees an orderly end, not a client that broke off.
server_greets() {
  (exec 3<>"/dev/tcp/127.0.0.1/$port" && IFS= read -r -t 5 handle <&3 && [ ${#handle} -eq 129 ]) \
    2>/dev/null
}

echo "== starting r3sim (demo data: client 800, user DEMO, password welcome1)"
"$bin/r3sim" --port "$r3port" --db "$work/r3sim.db" --bookings 20000 >"$work/r3sim.out" 2>&1 &
r3pid=$!
wait_or_give_up "$work/r3sim.out" "r3sim ready on" "$r3pid"
cat "$work/r3sim.out"

echo "== rfcinfo: logging on to the simulated system"
"$bin/rfcinfo" "ashost=127.0.0.1 sysnr=00 gwserv=$r3port client=800 user=DEMO passwd=welcome1 lang=EN"

echo "== qorrfc_server on port $port"
"$bin/qorrfc_server" -d 1 -n demo -w "$work" -p "$port" -V QORBATCH 2>"$work/server.log" &
srvpid=$!
wait_or_give_up "$work/server.log" " starting" "$srvpid"
for _ in $(seq 1 300); do
  server_greets && break
  kill -0 "$srvpid" 2>/dev/null || { cat "$work/server.log"; exit 1; }
  sleep 0.1
done
cat "$work/server.log"
shown=$(wc -l <"$work/server.log")

# A destination names the system once; the password stays out of the
# command lines because the file is private.
export QORCLI_DESTINATIONS=$work/destinations
(umask 077 && cat >"$QORCLI_DESTINATIONS" <<END
[demo]
server = 127.0.0.1:$port
ashost = 127.0.0.1
sysnr = 00
gwserv = $r3port
client = 800
user = DEMO
password = welcome1
lang = EN
END
)
echo "== qorcli info: a client logs on through the server (destination demo in $QORCLI_DESTINATIONS)"
"$bin/qorcli" info --dest demo

echo "== qorcli select: flights of carrier QA (Quorra Air) as CSV, through the server"
"$bin/qorcli" select --dest demo \
  --table SFLIGHT --fields CARRID,CONNID,FLDATE,PRICE,CURRENCY,PLANETYPE,SEATSMAX,SEATSOCC \
  --where "CARRID EQ 'QA'" --quiet --output "$work/flights.csv"
head -n 12 "$work/flights.csv"
echo "   ... $(($(wc -l <"$work/flights.csv") - 1)) flights in all"

if [ "${QORRFC_DEMO_KEEP:-0}" = 1 ]; then
  echo "== the server keeps running on port $port (Ctrl-C stops it and r3sim); its log:"
  tail -n +$((shown + 1)) -f --pid="$srvpid" "$work/server.log" &
  shown=0
  wait "$srvpid"
fi
echo "== stopping the server and r3sim"
kill "$srvpid" && wait "$srvpid" || true
srvpid=
if [ "$shown" -gt 0 ]; then
  echo "== the server's log since then"
  tail -n +$((shown + 1)) "$work/server.log"
fi
