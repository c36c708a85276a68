#!/usr/bin/env bash
# Starts the standalone hux-sim-server with its trade and query ports on free
# ports, runs hux-adapter-demo against it, and stops the server.
# Usage: demo/run-adapter-standalone.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp)
err=$(mktemp)
"$build/sim/hux-sim-server" --port 0 --query-port 0 --script "$here/sim-adapter-demo.script" >"$out" 2>"$err" &
server=$!
trap 'kill $server 2>/dev/null || true; rm -f "$out" "$err"' EXIT
for _ in $(seq 1 100); do
  grep -q "listening on" "$out" && break
  sleep 0.05
done
# The trade port on standard output; the query port, named on standard
# error before it, once the server listens.
port=$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$out")
query_port=$(sed -n 's/.*query on 127.0.0.1:\([0-9]*\).*/\1/p' "$err")
if [ -z "$port" ] || [ -z "$query_port" ]; then
  echo "hux-sim-server did not start"
  cat "$err"
  exit 1
fi
"$build/demo/hux-adapter-demo" --server "127.0.0.1:$port" --query-server "127.0.0.1:$query_port"
