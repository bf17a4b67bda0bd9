#!/usr/bin/env bash
# Sets up, builds and runs the demo: a simulated R/3 system with its demo
# data, a first check that it is reachable, the server, a client logging on
# through it and extracting one carrier's flights as CSV; then stops both.
# QORRFC_DEMO_KEEP=1 keeps them running afterwards (Ctrl-C stops them).
#   QORRFC_DEMO_R3_PORT (default 3300), QORRFC_DEMO_PORT (default 6999)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
bin=${QORRFC_BUILD_DIR:-build}/bin
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

echo "== starting r3sim (demo data: client 800, user DEMO, password welcome1)"
"$bin/r3sim" --port "$r3port" --db "$work/r3sim.db" --bookings 20000 >"$work/r3sim.out" 2>&1 &
r3pid=$!
for _ in $(seq 1 300); do
  grep -q "r3sim ready on" "$work/r3sim.out" && break
  kill -0 "$r3pid" 2>/dev/null || { cat "$work/r3sim.out"; exit 1; }
  sleep 0.1
done
cat "$work/r3sim.out"

echo "== rfcinfo: logging on to the simulated system"
"$bin/rfcinfo" "ashost=127.0.0.1 sysnr=00 gwserv=$r3port client=800 user=DEMO passwd=welcome1 lang=EN"

echo "== qorrfc_server on port $port"
"$bin/qorrfc_server" -d 1 -n demo -w "$work" -p "$port" -V QORBATCH &
srvpid=$!
for _ in $(seq 1 300); do
  [ -f "$work/demo.pid" ] && (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.1
done

echo "== qorcli info: a client logs on through the server"
"$bin/qorcli" info --server "127.0.0.1:$port" --ashost 127.0.0.1 --sysnr 00 \
  --gwserv "$r3port" --client 800 --user DEMO --password welcome1 --lang EN

echo "== qorcli select: flights of carrier QA (Quorra Air) as CSV, through the server"
"$bin/qorcli" select --server "127.0.0.1:$port" --ashost 127.0.0.1 --sysnr 00 \
  --gwserv "$r3port" --client 800 --user DEMO --password welcome1 --lang EN \
  --table SFLIGHT --fields CARRID,CONNID,FLDATE,PRICE,CURRENCY,PLANETYPE,SEATSMAX,SEATSOCC \
  --where "CARRID EQ 'QA'" --quiet --output "$work/flights.csv"
head -n 12 "$work/flights.csv"
echo "   ... $(($(wc -l <"$work/flights.csv") - 1)) flights in all"

if [ "${QORRFC_DEMO_KEEP:-0}" = 1 ]; then
  echo "== the server keeps running on port $port (Ctrl-C stops it and r3sim)"
  wait "$srvpid"
fi
echo "== stopping the server and r3sim"
