#!/bin/sh
# The adapter end to end, on the host: starts the native simulated server on
# free loopback ports with the scenario's settings (e2e_SCENARIO.script
# beside this script), runs the end-to-end program against it (under the
# emulator when one is given, e.g. wine: the program then sees the same
# loopback), stops the server with SIGTERM and checks what the server
# recorded: each trade connection's requests by type, the UDP port of each
# logon, the datagrams of the UDP order channel, the drops. The scenario
# fill also starts a second server, which only serves the query session of
# the automatic reconnect.
#
#   run_e2e.sh [--emulator PROGRAM] SERVER E2E_PROGRAM SCENARIO...
#
# SCENARIO is fill or reject; each runs with servers of its own, in
# ./e2e-SCENARIO (made afresh). An empty SERVER skips (exit 77); exit 0 when
# the program and every check passed in every scenario, 1 otherwise. A
# server has three times the tests' wait setting (HUX_TEST_WAIT_MS, 10,000 ms
# when unset) to name its ports, and as long to end after SIGTERM.
emulator=
if [ "$1" = --emulator ]; then
  emulator=$2
  shift 2
fi
server=$1
program=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
wait_ms=${HUX_TEST_WAIT_MS:-10000}
case $wait_ms in '' | *[!0-9]* | 0) wait_ms=10000 ;; esac
# Polls of 50 ms in three times the wait setting.
server_ticks=$(( 3 * wait_ms / 50 ))

if [ -z "$server" ]; then
  echo "SKIPPED: no native hux-sim-server given (configure with -DHUX_SIM_SERVER=<Linux build>/sim/hux-sim-server)"
  exit 77
fi
[ $# -gt 0 ] || { echo "usage: $0 [--emulator PROGRAM] SERVER E2E_PROGRAM SCENARIO..."; exit 1; }
for scenario in "$@"; do
  case $scenario in fill|reject) ;; *) echo "FAILED: no scenario $scenario"; exit 1 ;; esac
done
case $server in /*) ;; *) server=$PWD/$server ;; esac
case $program in /*) ;; *) program=$PWD/$program ;; esac
[ -x "$server" ] || { echo "FAILED: $server is not an executable file"; exit 1; }
[ -f "$program" ] || { echo "FAILED: no program $program"; exit 1; }

pids=
trap 'for p in $pids; do kill -KILL $p 2>/dev/null; done' EXIT

# start_server NAME SCRIPT: starts a server whose output goes to
# $work/NAME.out and $work/NAME.err and sets NAME_pid, NAME_port,
# NAME_query, NAME_udp once it has named its ports; 1 when it does not.
start_server() {
  "$server" --port 0 --query-port 0 --udp-port 0 --script "$2" >"$work/$1.out" 2>"$work/$1.err" &
  s_pid=$!
  pids="$pids $s_pid"
  eval "$1_pid=$s_pid"
  ticks=$server_ticks
  s_port=
  while [ "$ticks" -gt 0 ]; do
    s_port=$(sed -n 's/^hux-sim-server listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$work/$1.out")
    [ -n "$s_port" ] && break
    kill -0 $s_pid 2>/dev/null || break
    ticks=$((ticks - 1))
    sleep 0.05
  done
  s_query=$(sed -n 's/^hux-sim-server query on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$work/$1.err")
  s_udp=$(sed -n 's/^hux-sim-server udp on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$work/$1.err")
  if [ -z "$s_port" ] || [ -z "$s_query" ] || [ -z "$s_udp" ]; then
    echo "FAILED: hux-sim-server ($1) did not name its ports"
    cat "$work/$1.out" "$work/$1.err"
    return 1
  fi
  eval "$1_port=$s_port $1_query=$s_query $1_udp=$s_udp"
  echo "$1: trade port $s_port, query port $s_query, udp port $s_udp"
}

# stop_server NAME: SIGTERM, then its exit code (1 when it does not end).
stop_server() {
  eval "s_pid=\$$1_pid"
  kill -TERM "$s_pid"
  ticks=$server_ticks
  while kill -0 "$s_pid" 2>/dev/null && [ "$ticks" -gt 0 ]; do
    ticks=$((ticks - 1))
    sleep 0.05
  done
  if kill -0 "$s_pid" 2>/dev/null; then
    echo "FAILED: hux-sim-server ($1) did not end after SIGTERM"
    return 1
  fi
  wait "$s_pid"
  s_rc=$?
  echo "--- $1's record"
  cat "$work/$1.err"
  echo "---"
  [ "$s_rc" -eq 0 ] || { echo "FAILED: hux-sim-server ($1) ended with $s_rc"; return 1; }
}

failed=0
fail() {
  echo "FAILED: $*"
  failed=1
}
# line NAME TEXT: the exact line "hux-sim-server: TEXT" is in the server's record.
line() {
  grep -Fqx -- "hux-sim-server: $2" "$work/$1.err" || fail "$1 did not record \"$2\""
}
# lines NAME N REGEX: exactly N lines of the record match "hux-sim-server: REGEX" whole.
lines() {
  n=$(grep -c -- "^hux-sim-server: $3\$" "$work/$1.err")
  [ "$n" -eq "$2" ] || fail "$1 recorded $n line(s) \"$3\", expected $2"
}

# One scenario: 0 passed, 1 failed.
run_scenario() {
  scenario=$1
  failed=0
  work=$PWD/e2e-$scenario
  rm -rf "$work" && mkdir -p "$work" || return 1
  start_server server "$here/e2e_$scenario.script" || return 1
  second_query=
  if [ "$scenario" = fill ]; then
    start_server second "$here/e2e_$scenario.script" || return 1
  fi

  (cd "$work" && HUX_E2E_TRADE_PORT=$server_port HUX_E2E_QUERY_PORT=$server_query HUX_E2E_UDP_PORT=$server_udp \
    HUX_E2E_QUERY2_PORT=$second_query $emulator "$program" "$scenario") >"$work/program.raw" 2>&1 </dev/null
  program_rc=$?
  # A Windows program's text output ends its lines with CR LF.
  tr -d '\r' <"$work/program.raw" >"$work/program.out"
  cat "$work/program.out"
  [ "$program_rc" -eq 0 ] || fail "the program ended with $program_rc"
  stop_server server || failed=1
  [ "$scenario" = fill ] && { stop_server second || failed=1; }

  case $scenario in
  fill)
    udp_local=$(sed -n 's/^e2e: udp local port \([0-9][0-9]*\)$/\1/p' "$work/program.out")
    [ -n "$udp_local" ] || { fail "the program named no local UDP port"; udp_local=none; }
    # 0: C functions, synchronous: two orders and a batch of two (the
    # warm-up sends nothing), one cancel; no UDP channel.
    line server "trade connection 0: 10 x3, 11 x1, 70 x1, 80 x1"
    line server "trade connection 0 logon udp port 0"
    line server "query connection 0: 68 x1, 71 x1"
    # 1: asynchronous receive.
    line server "trade connection 1: 10 x1, 11 x1, 70 x1, 80 x1"
    # 2: the UDP order channel: its logon names the local port; the two
    # orders and the cancel come as datagrams from that port (none over
    # TCP), the refused batches not at all.
    line server "trade connection 2: 70 x1, 80 x1"
    line server "trade connection 2 logon udp port $udp_local"
    line server "datagram 0 from port $udp_local on connection 2: type 10, 100 bytes"
    line server "datagram 1 from port $udp_local on connection 2: type 10, 100 bytes"
    line server "datagram 2 from port $udp_local on connection 2: type 11, 44 bytes"
    lines server 3 "datagram .*"
    # 3: the API object: one order (the warm-up sends nothing), one cancel.
    line server "trade connection 3: 10 x1, 11 x1, 70 x1, 80 x1"
    line server "query connection 3: 68 x1, 71 x1"
    # 4, 5: the order whose accept disconnects.
    line server "trade connection 4: 10 x1, 70 x1, 80 x1"
    line server "trade connection 5: 10 x1, 70 x1, 80 x1"
    # 6: dropped; 7: made again by the client itself, an order and a
    # cancel. Its query session logged on twice, on the second server.
    line server "trade connection 6: 10 x1, 70 x1, 80 x1"
    line server "trade connection 7: 10 x1, 11 x1, 70 x1, 80 x1"
    line second "query connection 0: 68 x1"
    line second "query connection 1: 68 x1"
    line second "signal 15, 0 connection(s) served, 0 datagram(s) (0 from unknown ports), 0 report(s)"
    # 8 to 47: 20 drops in each receive mode.
    i=8
    while [ $i -le 47 ]; do
      line server "trade connection $i: 10 x1, 70 x1, 80 x1"
      i=$((i + 1))
    done
    lines server 48 "trade connection [0-9]*: .*"
    # Each drop closes the live client's connections (the server may count
    # what it still holds of earlier clients too): its trade connection
    # alone the first time, both sessions' connections every later time.
    lines server 41 "drop marker, [0-9]* connection(s) closed"
    n=$(grep "^hux-sim-server: drop marker, " "$work/server.err" | sed -n '2,$p' |
      grep -c "^hux-sim-server: drop marker, [01] connection(s) closed$")
    [ "$n" -eq 0 ] || fail "$n of the 40 repeated drops closed fewer than 2 connections"
    # No connection from the channel on the TCP port, no stray datagram.
    line server "signal 15, 48 connection(s) served, 3 datagram(s) (0 from unknown ports), 0 report(s)"
    ;;
  reject)
    line server "trade connection 0: 10 x1, 11 x1, 70 x1, 80 x1"
    line server "trade connection 1: 10 x1, 11 x1, 70 x1, 80 x1"
    lines server 2 "trade connection [0-9]*: .*"
    lines server 0 "datagram .*"
    line server "signal 15, 2 connection(s) served, 0 datagram(s) (0 from unknown ports), 0 report(s)"
    ;;
  esac

  if [ $failed -ne 0 ]; then
    echo "e2e $scenario: FAILED"
    return 1
  fi
  echo "e2e $scenario: passed"
}

status=0
for scenario in "$@"; do
  run_scenario "$scenario" || status=1
done
exit $status
