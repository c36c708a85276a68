#!/bin/sh
# Checks that the library's layers depend downward only: every quoted
# #include of a file under src/LAYER/ names a header of its own layer or of a
# layer below it, written from src/ ("trade_core/trade_wire.h"), or a public
# header of include/ by its bare name ("mv_hux_trade.h"). The simulated
# server (sim/) speaks the protocol with its own code: it may use the tools,
# thread and socket layers, never the client's trade core, report, session or
# API. Public headers include only each other.
#
#   check_layers.sh ROOT    checks ROOT/src, ROOT/sim and ROOT/include
#
# Prints one line per fault ("upward include: FILE:LINE: LAYER includes X
# (LAYER may include: ...)", "stray include: FILE:LINE: ...") and exits 1 on
# any.
set -u
export LC_ALL=C

if [ $# -ne 1 ] || [ ! -d "$1" ]; then
    echo "usage: $0 ROOT" >&2
    exit 2
fi
root=$1

# The two libraries' public records share names but not layouts, so no
# source sees both sets: the adapter includes no public header of the trade
# library (nor the trade core's units that take the trade library's
# records), and the session core, shared by both, includes no public header
# at all. A set is named by the public headers' name prefixes.
#   LAYER forbidden-prefix...
forbidden='
adapter hux_trade_ mv_hux_trade hux_trader_api trade_core/trade_order_entry.h trade_core/trade_verify.h
adapter_api hux_trade_ mv_hux_trade hux_trader_api trade_core/trade_order_entry.h trade_core/trade_verify.h
session hux_trade_ mv_hux_trade hux_trader_api hux_adapter_ mv_hux_adapter
'

# A layer and the layers it may include, itself first. Bottom up: tools <-
# thread <- net <- trade_core, report <- trade <- api, with the kernel-bypass
# senders (bypass, over tools and thread only) below the trade session. The report (the
# terminal-information report) stands beside the trade core, below the
# session whose logon runs it.
rules='
tools tools
thread thread tools
net net thread tools
bypass bypass thread tools
plugin plugin bypass thread tools
trade_core trade_core net thread tools
report report net thread tools
session session trade_core plugin bypass net thread tools
trade trade session trade_core report plugin bypass net thread tools
adapter adapter session trade_core plugin bypass net thread tools
adapter_api adapter_api adapter session trade_core plugin bypass net thread tools
api api trade session trade_core report plugin bypass net thread tools
sim sim tools thread net
include
'

cd "$root" || exit 2
files=$(find src sim include -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cpp' \) 2>/dev/null | sort)
if [ -z "$files" ]; then
    echo "no sources under $root/src, $root/sim or $root/include"
    exit 2
fi
public=$(find include -maxdepth 1 -type f -name '*.h' -exec basename {} \; 2>/dev/null | tr '\n' ' ')

# shellcheck disable=SC2086
awk -v rules="$rules" -v forbidden="$forbidden" -v public=" $public " '
BEGIN {
    n = split(rules, lines, "\n")
    for (i = 1; i <= n; i++) {
        m = split(lines[i], w, " ")
        if (m == 0) continue
        known[w[1]] = 1
        allowed[w[1]] = " "
        for (j = 2; j <= m; j++) allowed[w[1]] = allowed[w[1]] w[j] " "
    }
    n = split(forbidden, lines, "\n")
    for (i = 1; i <= n; i++) {
        m = split(lines[i], w, " ")
        if (m == 0) continue
        for (j = 2; j <= m; j++) banned[w[1]] = banned[w[1]] " " w[j]
    }
    faults = 0
}
FNR == 1 {
    split(FILENAME, parts, "/")
    layer = (parts[1] == "src") ? parts[2] : parts[1]
    checked++
    if (!(layer in known)) {
        printf "unknown layer: %s (no rule for src/%s)\n", FILENAME, layer
        faults++
    }
}
/^[ \t]*#[ \t]*include[ \t]*"/ {
    line = $0
    sub(/^[^"]*"/, "", line)
    sub(/".*$/, "", line)
    if (layer in banned) {
        k = split(banned[layer], b, " ")
        for (j = 1; j <= k; j++) {
            if (index(line, b[j]) == 1) {
                printf "mixed records: %s:%d: %s may not include \"%s\"\n", FILENAME, FNR, layer, line
                faults++
            }
        }
    }
    if (index(line, "/") == 0) {
        if (index(public, " " line " ") == 0) {
            printf "stray include: %s:%d: \"%s\" is neither a public header nor written from src/\n", FILENAME, FNR, line
            faults++
        }
        next
    }
    split(line, p, "/")
    target = p[1]
    if (layer == "include") {
        printf "stray include: %s:%d: a public header includes \"%s\"\n", FILENAME, FNR, line
        faults++
    } else if (!(target in known) || target == "include") {
        printf "stray include: %s:%d: \"%s\" is not a header of a layer\n", FILENAME, FNR, line
        faults++
    } else if (index(allowed[layer], " " target " ") == 0) {
        may = allowed[layer]
        gsub(/^ | $/, "", may)
        printf "upward include: %s:%d: %s includes %s (%s may include: %s)\n", FILENAME, FNR, layer, line, layer, may
        faults++
    }
}
END {
    if (faults > 0) {
        print "layering: FAILED"
        exit 1
    }
    printf "layering: %d files, every include points downward\n", checked
}
' $files
