#!/usr/bin/env bash
# Starts the standalone hux-sim-server on a free port, runs hux-demo against
# it, and stops the server. Usage: demo/run-standalone.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp)
"$build/sim/hux-sim-server" --port 0 --script "$here/sim-demo.script" >"$out" &
server=$!
trap 'kill $server 2>/dev/null || true; rm -f "$out"' EXIT
for _ in $(seq 1 100); do
  grep -q "listening on" "$out" && break
  sleep 0.05
done
port=$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$out")
[ -n "$port" ] || { echo "hux-sim-server did not start"; exit 1; }
"$build/demo/hux-demo" --server "127.0.0.1:$port"
