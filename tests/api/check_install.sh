#!/usr/bin/env bash
# The installed package as an application sees it:
#   1. `cmake --install` of the build into a scratch prefix, which is then
#      moved elsewhere (the package must not depend on where it was put);
#   2. what the prefix holds (library, headers, programs, package files; no
#      static libraries, tests or benchmarks) and that no installed file
#      names the source tree, the build tree or the first prefix, and no
#      installed program or library has a search path outside the prefix;
#   3. a C and a C++ consumer built outside the tree twice, with
#      find_package(huxtrade) and with pkg-config, against the moved prefix;
#   4. each of the four, and the installed hux-demo, run against the
#      installed hux-sim-server: logon, one order and its accept.
#
#   check_install.sh BUILD_DIR SOURCE_DIR C_COMPILER CXX_COMPILER VERSION GENERATOR
#
# The consumers are configured with the build's own CMake generator, so
# that nothing beyond what built the tree is needed.
#
# Prints one line per fault ("install: ...") and exits 1 on any.
set -u
export LC_ALL=C

if [ $# -ne 6 ]; then
    echo "usage: $0 BUILD_DIR SOURCE_DIR C_COMPILER CXX_COMPILER VERSION GENERATOR" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
cc=$3
cxx=$4
want_version=$5
generator=$6
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
finish() {
    if [ "$faults" -ne 0 ]; then
        echo "installed package: FAILED ($faults faults)"
        exit 1
    fi
    echo "installed package: relocatable; find_package and pkg-config consumers in C and C++ and hux-demo ran against the installed hux-sim-server"
    exit 0
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
for f in lib/libhuxtrade.so bin/hux-sim-server bin/hux-demo \
    include/hux/mv_hux_trade.h include/hux/hux_trader_api.h include/hux/hux_trade_struct.h \
    include/hux/hux_trade_request_struct.h include/hux/hux_trade_answer_struct.h \
    include/hux/hux_trade_status_struct.h include/hux/hux_static_assert.h \
    lib/cmake/huxtrade/huxtradeConfig.cmake lib/cmake/huxtrade/huxtradeConfigVersion.cmake \
    lib/cmake/huxtrade/huxtradeTargets.cmake lib/pkgconfig/huxtrade.pc; do
    [ -f "$prefix/$f" ] || fault "missing $f"
done
(cd "$prefix" && find . -type f \( -name '*.a' -o -name 'test_*' -o -name 'hux-bench' -o -name 'fuzz_*' \)) |
    while read -r f; do echo "install: not for installing: $f"; done >"$work/extra"
if [ -s "$work/extra" ]; then
    cat "$work/extra"
    faults=$((faults + $(wc -l <"$work/extra")))
fi

# No text file may name where things were built or first installed.
for path in "$source" "$build" "$work/first"; do
    hits=$(grep -rIl -F "$path" "$prefix" 2>/dev/null)
    [ -n "$hits" ] && fault "$(echo "$hits" | sed "s|^$prefix/||" | tr '\n' ' ')names $path"
done
# A search path of an installed program or library must stay inside the prefix.
for f in "$prefix/lib/libhuxtrade.so" "$prefix/bin/hux-sim-server" "$prefix/bin/hux-demo"; do
    readelf -d "$f" 2>/dev/null | sed -n 's/.*(\(RPATH\|RUNPATH\)).*\[\(.*\)\]/\2/p' | tr ':' '\n' |
        while read -r p; do
            case "$p" in
            '$ORIGIN' | '$ORIGIN/'*) ;;
            *) echo "install: ${f#"$prefix"/} searches $p" ;;
            esac
        done
done >"$work/rpaths"
if [ -s "$work/rpaths" ]; then
    cat "$work/rpaths"
    faults=$((faults + $(wc -l <"$work/rpaths")))
fi

# 3. The consumers, against the moved prefix only.
if ! cmake -S "$consumer" -B "$work/cmake-consumer" -G "$generator" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=Release \
    >"$work/consumer-configure.log" 2>&1 ||
    ! cmake --build "$work/cmake-consumer" >"$work/consumer-build.log" 2>&1; then
    cat "$work/consumer-configure.log" "$work/consumer-build.log" 2>/dev/null
    fault "the find_package(huxtrade) consumers did not build"
fi

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
version=$(pkg-config --modversion huxtrade 2>&1)
[ "$version" = "$want_version" ] || fault "pkg-config --modversion huxtrade gives $version, not $want_version"
flags=$(pkg-config --cflags --libs huxtrade 2>&1)
# The prefix comes from where huxtrade.pc stands: its folders must be those
# of the moved prefix.
for var in includedir:include libdir:lib; do
    dir=$(pkg-config --variable="${var%%:*}" huxtrade 2>/dev/null)
    [ -n "$dir" ] && [ "$(cd "$dir" 2>/dev/null && pwd -P)" = "$(cd "$prefix/${var#*:}" && pwd -P)" ] ||
        fault "pkg-config's ${var%%:*} is '$dir', not the moved prefix's ${var#*:}/"
done
case " $flags " in
*" -I"*"/include/hux "*" -lhuxtrade "*) ;;
*) fault "pkg-config --cflags --libs huxtrade gives: $flags" ;;
esac
mkdir -p "$work/pc-consumer"
# shellcheck disable=SC2086
"$cc" -std=c11 -Wall -Wextra -Werror -o "$work/pc-consumer/consumer_c" "$consumer/consumer.c" $flags \
    -Wl,-rpath,"$prefix/lib" -pthread || fault "the pkg-config C consumer did not build"
# shellcheck disable=SC2086
"$cxx" -std=c++17 -Wall -Wextra -Werror -o "$work/pc-consumer/consumer_cpp" "$consumer/consumer.cpp" $flags \
    -Wl,-rpath,"$prefix/lib" -pthread || fault "the pkg-config C++ consumer did not build"

# 4. Run them against the installed server. Logs go to a scratch directory.
mkdir -p "$work/run"
cd "$work/run" || exit 2
# The demo's settings: its user and password, accounts and symbols.
"$prefix/bin/hux-sim-server" --port 0 --script "$source/demo/sim-demo.script" >"$work/server.out" 2>"$work/server.err" &
server=$!
port=""
deadline=$((SECONDS + 20))
while [ -z "$port" ] && [ $SECONDS -lt $deadline ] && kill -0 "$server" 2>/dev/null; do
    port=$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$work/server.out")
    [ -n "$port" ] || sleep 0.05
done
if [ -z "$port" ]; then
    cat "$work/server.err"
    fault "the installed hux-sim-server did not start"
    finish
fi

for program in "$work/cmake-consumer/consumer_c" "$work/cmake-consumer/consumer_cpp" \
    "$work/pc-consumer/consumer_c" "$work/pc-consumer/consumer_cpp"; do
    name=${program#"$work"/}
    [ -x "$program" ] || continue
    resolved=$(ldd "$program" | sed -n 's/.*libhuxtrade.so => \([^ ]*\).*/\1/p')
    [ "$resolved" = "$prefix/lib/libhuxtrade.so" ] || fault "$name loads libhuxtrade.so from '$resolved'"
    out=$("$program" 127.0.0.1 "$port" demo_user demo_pass 2>&1)
    rc=$?
    echo "$name: $(echo "$out" | tail -n 1)"
    if [ $rc -ne 0 ] || ! echo "$out" | grep -q 'order accepted, order number [1-9]'; then
        echo "$out"
        fault "$name exited $rc"
    fi
done
if "$prefix/bin/hux-demo" --server "127.0.0.1:$port" >"$work/demo.out" 2>&1; then
    echo "bin/hux-demo: $(grep -c . "$work/demo.out") lines, $(grep 'round trip p50' "$work/demo.out")"
else
    cat "$work/demo.out"
    fault "the installed hux-demo failed"
fi
finish
