#!/usr/bin/env bash
# The installed packages as applications see them:
#   1. `cmake --install` of the build into a scratch prefix, which is then
#      moved elsewhere (the packages must not depend on where they were put);
#   2. what the prefix holds (both libraries, their headers, the programs,
#      both packages' files; no static libraries, tests or benchmarks) and
#      that no installed file names the source tree, the build tree or the
#      first prefix, and no installed program or library has a search path
#      outside the prefix;
#   3. consumers built outside the tree twice, with find_package and with
#      pkg-config, against the moved prefix: of huxtrade a C and a C++ one,
#      of huxadapter a C one (its own CMake project, which finds huxadapter
#      alone);
#   4. each of them, and the installed hux-demo, run against the installed
#      hux-sim-server serving the trade and the query port: the trade
#      consumers log on, the adapter consumers log on both sessions, and
#      each sends one order and gets its accept; the server, stopped, must
#      have seen one query logon per adapter consumer.
#
#   check_install.sh BUILD_DIR SOURCE_DIR C_COMPILER CXX_COMPILER VERSION GENERATOR [ADAPTER_DEMO]
#
# ADAPTER_DEMO 1: the build has hux-adapter-demo, which must be installed and
# load libhuxadapter.so from the prefix. The consumers are configured with
# the build's own CMake generator, so that nothing beyond what built the
# tree is needed.
#
# Prints one line per fault ("install: ...") and exits 1 on any.
set -u
export LC_ALL=C

if [ $# -ne 6 ] && [ $# -ne 7 ]; then
    echo "usage: $0 BUILD_DIR SOURCE_DIR C_COMPILER CXX_COMPILER VERSION GENERATOR [ADAPTER_DEMO]" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
cc=$3
cxx=$4
want_version=$5
generator=$6
adapter_demo=${7:-0}
consumer="$source/tests/api/consumer"

work=$(mktemp -d /tmp/hux_install_XXXXXX) || exit 2
server=""
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

faults=0
fault() {
    echo "install: $*"
    faults=$((faults + 1))
}
# Every line of FILE is a fault already worded.
faults_in() {
    if [ -s "$1" ]; then
        cat "$1"
        faults=$((faults + $(wc -l <"$1")))
    fi
}
finish() {
    if [ "$faults" -ne 0 ]; then
        echo "installed package: FAILED ($faults faults)"
        exit 1
    fi
    echo "installed package: relocatable; find_package and pkg-config consumers of huxtrade (C, C++) and huxadapter (C) and hux-demo ran against the installed hux-sim-server"
    exit 0
}

# PACKAGE's files under the prefix: its CMake package and pkg-config file.
package_files() {
    echo "lib/cmake/$1/$1Config.cmake lib/cmake/$1/$1ConfigVersion.cmake lib/cmake/$1/$1Targets.cmake lib/pkgconfig/$1.pc"
}

# A search path of an installed program or library must stay inside the prefix.
check_rpaths() {
    for f in "$@"; do
        readelf -d "$f" 2>/dev/null | sed -n 's/.*(\(RPATH\|RUNPATH\)).*\[\(.*\)\]/\2/p' | tr ':' '\n' |
            while read -r p; do
                case "$p" in
                '$ORIGIN' | '$ORIGIN/'*) ;;
                *) echo "install: ${f#"$prefix"/} searches $p" ;;
                esac
            done
    done >"$work/rpaths"
    faults_in "$work/rpaths"
}

# build_cmake_consumer DIR OUT PACKAGE: the CMake project DIR built in OUT
# against the moved prefix only.
build_cmake_consumer() {
    if ! cmake -S "$1" -B "$2" -G "$generator" -DCMAKE_PREFIX_PATH="$prefix" \
        -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=Release \
        >"$2.configure.log" 2>&1 ||
        ! cmake --build "$2" >"$2.build.log" 2>&1; then
        cat "$2.configure.log" "$2.build.log" 2>/dev/null
        fault "the find_package($3) consumers did not build"
    fi
}

# check_pkg_config PACKAGE LIBRARY: PACKAGE.pc of the moved prefix gives the
# build's version, the prefix's folders and -lLIBRARY. Sets $flags.
check_pkg_config() {
    local version dir var
    version=$(pkg-config --modversion "$1" 2>&1)
    [ "$version" = "$want_version" ] || fault "pkg-config --modversion $1 gives $version, not $want_version"
    flags=$(pkg-config --cflags --libs "$1" 2>&1)
    # The prefix comes from where the .pc file stands: its folders must be
    # those of the moved prefix.
    for var in includedir:include libdir:lib; do
        dir=$(pkg-config --variable="${var%%:*}" "$1" 2>/dev/null)
        [ -n "$dir" ] && [ "$(cd "$dir" 2>/dev/null && pwd -P)" = "$(cd "$prefix/${var#*:}" && pwd -P)" ] ||
            fault "pkg-config's ${var%%:*} of $1 is '$dir', not the moved prefix's ${var#*:}/"
    done
    case " $flags " in
    *" -I"*"/include/hux "*" -l$2 "*) ;;
    *) fault "pkg-config --cflags --libs $1 gives: $flags" ;;
    esac
}

# loads_from PROGRAM LIBRARY: PROGRAM loads lib/LIBRARY of the moved prefix
# (found through its own folder or named outright).
loads_from() {
    local resolved
    resolved=$(ldd "$1" | sed -n "s/.*$2 => \(.*\)/\1/p" | sed 's/ (0x[0-9a-f]*)$//')
    [ -n "$resolved" ] && [ "$(readlink -f "$resolved")" = "$(readlink -f "$prefix/lib/$2")" ] ||
        fault "${1#"$work"/} loads $2 from '$resolved'"
}

# run_consumer PROGRAM LIBRARY ARGS...: a built consumer loads LIBRARY from
# the prefix, exits 0 and reports its accepted order.
run_consumer() {
    local program=$1 library=$2 name out rc
    shift 2
    name=${program#"$work"/}
    [ -x "$program" ] || return
    loads_from "$program" "$library"
    out=$("$program" "$@" 2>&1)
    rc=$?
    echo "$name: $(echo "$out" | tail -n 1)"
    if [ $rc -ne 0 ] || ! echo "$out" | grep -q 'order accepted, order number [1-9]'; then
        echo "$out"
        fault "$name exited $rc"
    fi
}

# 1. Install, then move the prefix.
if ! cmake --install "$build" --prefix "$work/first" >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    fault "cmake --install failed"
    finish
fi
mv "$work/first" "$work/moved"
prefix="$work/moved"

# 2. What the prefix holds.
programs=(bin/hux-sim-server bin/hux-demo)
[ "$adapter_demo" = 1 ] && programs+=(bin/hux-adapter-demo)
# shellcheck disable=SC2046
for f in lib/libhuxtrade.so lib/libhuxadapter.so "${programs[@]}" include/hux/hux_static_assert.h \
    include/hux/mv_hux_trade.h include/hux/hux_trader_api.h include/hux/hux_tcp_quote.h include/hux/hux_trade_struct.h \
    include/hux/hux_trade_request_struct.h include/hux/hux_trade_answer_struct.h \
    include/hux/hux_trade_status_struct.h \
    include/hux/mv_hux_adapter.h include/hux/hux_adapter_api.h include/hux/hux_adapter_struct.h \
    include/hux/hux_adapter_query_struct.h include/hux/hux_adapter_request_struct.h \
    $(package_files huxtrade) $(package_files huxadapter); do
    [ -f "$prefix/$f" ] || fault "missing $f"
done
# The packages name the targets an application links.
grep -q 'add_library(hux::trade SHARED IMPORTED)' "$prefix/lib/cmake/huxtrade/huxtradeTargets.cmake" 2>/dev/null ||
    fault "huxtradeTargets.cmake does not define hux::trade"
grep -q 'add_library(hux::adapter SHARED IMPORTED)' "$prefix/lib/cmake/huxadapter/huxadapterTargets.cmake" 2>/dev/null ||
    fault "huxadapterTargets.cmake does not define hux::adapter"
(cd "$prefix" && find . -type f \( -name '*.a' -o -name 'test_*' -o -name 'hux-bench' -o -name 'fuzz_*' \)) |
    while read -r f; do echo "install: not for installing: $f"; done >"$work/extra"
faults_in "$work/extra"

# No text file may name where things were built or first installed.
for path in "$source" "$build" "$work/first"; do
    hits=$(grep -rIl -F "$path" "$prefix" 2>/dev/null)
    [ -n "$hits" ] && fault "$(echo "$hits" | sed "s|^$prefix/||" | tr '\n' ' ')names $path"
done
check_rpaths "$prefix/lib/libhuxtrade.so" "$prefix/lib/libhuxadapter.so" "${programs[@]/#/$prefix/}"

# 3. The consumers, against the moved prefix only.
build_cmake_consumer "$consumer" "$work/cmake-consumer" huxtrade
build_cmake_consumer "$consumer/adapter" "$work/cmake-adapter-consumer" huxadapter

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
mkdir -p "$work/pc-consumer"
check_pkg_config huxtrade huxtrade
# shellcheck disable=SC2086
"$cc" -std=c11 -Wall -Wextra -Werror -o "$work/pc-consumer/consumer_c" "$consumer/consumer.c" $flags \
    -Wl,-rpath,"$prefix/lib" -pthread || fault "the pkg-config C consumer did not build"
# shellcheck disable=SC2086
"$cxx" -std=c++17 -Wall -Wextra -Werror -o "$work/pc-consumer/consumer_cpp" "$consumer/consumer.cpp" $flags \
    -Wl,-rpath,"$prefix/lib" -pthread || fault "the pkg-config C++ consumer did not build"
check_pkg_config huxadapter huxadapter
# shellcheck disable=SC2086
"$cc" -std=c11 -Wall -Wextra -Werror -o "$work/pc-consumer/adapter_consumer_c" \
    "$consumer/adapter/adapter_consumer.c" $flags -Wl,-rpath,"$prefix/lib" -pthread ||
    fault "the pkg-config C consumer of huxadapter did not build"

# 4. Run them against the installed server. Logs go to a scratch directory.
mkdir -p "$work/run"
cd "$work/run" || exit 2
# The demo's settings: its user and password (the query logon takes the
# same), accounts and symbols.
"$prefix/bin/hux-sim-server" --port 0 --query-port 0 --script "$source/demo/sim-demo.script" \
    >"$work/server.out" 2>"$work/server.err" &
server=$!
port=""
query_port=""
deadline=$((SECONDS + 20))
while { [ -z "$port" ] || [ -z "$query_port" ]; } && [ $SECONDS -lt $deadline ] && kill -0 "$server" 2>/dev/null; do
    port=$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$work/server.out")
    query_port=$(sed -n 's/.*query on 127.0.0.1:\([0-9]*\).*/\1/p' "$work/server.err")
    { [ -n "$port" ] && [ -n "$query_port" ]; } || sleep 0.05
done
if [ -z "$port" ] || [ -z "$query_port" ]; then
    cat "$work/server.err"
    fault "the installed hux-sim-server did not start (trade port '$port', query port '$query_port')"
    finish
fi

for program in "$work/cmake-consumer/consumer_c" "$work/cmake-consumer/consumer_cpp" \
    "$work/pc-consumer/consumer_c" "$work/pc-consumer/consumer_cpp"; do
    run_consumer "$program" libhuxtrade.so 127.0.0.1 "$port" demo_user demo_pass
done
adapter_runs=0
for program in "$work/cmake-adapter-consumer/adapter_consumer_c" "$work/pc-consumer/adapter_consumer_c"; do
    [ -x "$program" ] && adapter_runs=$((adapter_runs + 1))
    run_consumer "$program" libhuxadapter.so 127.0.0.1 "$port" "$query_port" demo_user demo_pass
done
if "$prefix/bin/hux-demo" --server "127.0.0.1:$port" >"$work/demo.out" 2>&1; then
    echo "bin/hux-demo: $(grep -c . "$work/demo.out") lines, $(grep 'round trip p50' "$work/demo.out")"
else
    cat "$work/demo.out"
    fault "the installed hux-demo failed"
fi
[ "$adapter_demo" = 1 ] && [ -f "$prefix/bin/hux-adapter-demo" ] &&
    loads_from "$prefix/bin/hux-adapter-demo" libhuxadapter.so

# The server stops on SIGTERM with 0 and lists each query connection's
# requests: every adapter consumer logged on the query port once.
kill -TERM "$server"
wait "$server"
rc=$?
server=""
[ $rc -eq 0 ] || fault "the installed hux-sim-server exited $rc on SIGTERM"
query_logons=$(grep -c 'query connection [0-9]*: 68 x1\(,\|$\)' "$work/server.err")
if [ "$query_logons" -ne "$adapter_runs" ]; then
    cat "$work/server.err"
    fault "the server saw $query_logons query logons, not $adapter_runs"
fi
finish
