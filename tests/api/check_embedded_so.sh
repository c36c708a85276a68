#!/bin/sh
# Checks the TCPDirect plug-in image a library carries: its section
# .embedded_so holds the plug-in file byte for byte (so it is exactly the
# file's size), and the plug-in's dynamic symbol table defines exactly
# CreateZFClientSock and DestroyZFClientSock.
#
#   check_embedded_so.sh CARRYING_LIBRARY PLUGIN
#
# Prints one line per fault ("no section .embedded_so in FILE",
# ".embedded_so: N bytes, the plug-in: M bytes", ".embedded_so differs from
# the plug-in", "missing export: NAME", "unexpected export: NAME") and exits
# 1 on any.
set -u
export LC_ALL=C

if [ $# -ne 2 ]; then
    echo "usage: $0 CARRYING_LIBRARY PLUGIN" >&2
    exit 2
fi
carrier=$1
plugin=$2

work=$(mktemp -d) || exit 2
trap 'rm -rf "$work"' EXIT

faults=0

# objdump -h: "Idx Name Size VMA LMA File-off Algn", the size in hex.
section_hex=$(objdump -h "$carrier" | awk '$2 == ".embedded_so" { print $3 }')
plugin_size=$(wc -c <"$plugin") || exit 2
if [ -z "$section_hex" ]; then
    echo "no section .embedded_so in $carrier"
    faults=1
else
    section_size=$(printf '%d' "0x$section_hex")
    if [ "$section_size" -ne "$plugin_size" ]; then
        echo ".embedded_so: $section_size bytes, the plug-in: $plugin_size bytes"
        faults=1
    elif ! objcopy -O binary --only-section=.embedded_so "$carrier" "$work/image" ||
        ! cmp -s "$work/image" "$plugin"; then
        echo ".embedded_so differs from the plug-in"
        faults=1
    fi
fi

if ! nm -D --defined-only "$plugin" >"$work/listing"; then
    echo "cannot read the dynamic symbols of $plugin"
    exit 1
fi
awk 'NF >= 3 { sub(/@.*/, "", $3); print $3 }' "$work/listing" | sort -u >"$work/got"
printf 'CreateZFClientSock\nDestroyZFClientSock\n' >"$work/want"
comm -23 "$work/want" "$work/got" | sed 's/^/missing export: /' >"$work/missing"
comm -13 "$work/want" "$work/got" | sed 's/^/unexpected export: /' >"$work/extra"
cat "$work/missing" "$work/extra"
[ -s "$work/missing" ] || [ -s "$work/extra" ] && faults=1

if [ "$faults" -ne 0 ]; then
    echo "embedded image: FAILED"
    exit 1
fi
echo "embedded image: .embedded_so holds the plug-in's $plugin_size bytes; it exports CreateZFClientSock and DestroyZFClientSock only"
exit 0
