#!/usr/bin/env bash
# Runs qorrfc_server under valgrind's memcheck through full extractions
# (a table of bookings as CSV, flights as JSON lines, a nselect from an
# XML element) against r3sim, stops it with SIGTERM and fails when
# memcheck reports an error or a leak. Uses the debug build in build/.
#   scripts/memcheck.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bin=$top/${QORRFC_BUILD_DIR:-build}/bin
command -v valgrind >/dev/null || { echo "memcheck: valgrind is not installed" >&2; exit 2; }
work=$(mktemp -d /tmp/qorrfc-memcheck-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

. "$top/scripts/lib/wait_for_line.sh"

"$bin/r3sim" --port 0 --db "$work/r3.db" --bookings 2000 >"$work/r3.out" 2>"$work/r3.err" &
pids+=($!)
wait_for_line "$work/r3.out" "r3sim ready on" "$!" || {
  echo "memcheck: no 'r3sim ready on' in $work/r3.out" >&2
  exit 1
}
r3port=$(sed -n 's/.*ready on .*:\([0-9]*\)$/\1/p' "$work/r3.out" | head -1)

port=$((20000 + RANDOM % 12000))
valgrind --leak-check=full --show-leak-kinds=definite,indirect,possible \
  --errors-for-leak-kinds=definite,indirect,possible --error-exitcode=9 \
  --log-file="$work/memcheck.log" \
  "$bin/qorrfc_server" -d 2 -n memcheck -w "$work" -p "$port" 2>"$work/server.log" &
server=$!
pids+=($server)
# Under valgrind the start takes a while.
for _ in $(seq 1 600); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  kill -0 "$server" 2>/dev/null || { cat "$work/server.log" >&2; exit 1; }
  sleep 0.1
done

logon=(--server "127.0.0.1:$port" --ashost 127.0.0.1 --sysnr 00 --gwserv "$r3port"
       --client 800 --user DEMO --password welcome1 --lang EN --quiet --timeout 300)
"$bin/qorcli" select "${logon[@]}" --table SBOOK --output "$work/sbook.csv"
"$bin/qorcli" select "${logon[@]}" --table SFLIGHT --where "CARRID EQ 'QA'" --format json \
  --output "$work/sflight.json"
echo '<nselect><sselect><table name="SCARR"/></sselect><sselect><table name="SCARR"/></sselect></nselect>' >"$work/n.xml"
"$bin/qorcli" select "${logon[@]}" --xml "$work/n.xml" --output "$work/n.csv"
echo "memcheck: $(($(wc -l <"$work/sbook.csv") - 1)) bookings, $(wc -l <"$work/sflight.json") flights," \
  "$(($(wc -l <"$work/n.csv") - 1)) carriers twice"

kill -TERM "$server"
status=0
wait "$server" || status=$?
grep -E "definitely lost|indirectly lost|possibly lost|ERROR SUMMARY" "$work/memcheck.log" || true
if [ "$status" -ne 0 ]; then
  echo "memcheck: the server ended with status $status" >&2
  cat "$work/memcheck.log" >&2
  exit 1
fi
echo "memcheck: clean"
