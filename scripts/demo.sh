#!/usr/bin/env bash
# Sets up, builds and runs the demo: the server in the foreground on a
# loopback-reachable port (Ctrl-C stops it).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/setup.sh
build=${QORRFC_BUILD_DIR:-build}
work=$(mktemp -d)
echo "qorrfc_server: main port 6999, dialog compatibility port 6998, pid file in $work"
exec "$build/bin/qorrfc_server" -d 3 -n demo -w "$work" -p 6999 -c 6998
