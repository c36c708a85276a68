#!/bin/sh
# Checks the dynamic symbol table of a shared library against its export
# list: it defines exactly the names listed and nothing else; and, given the
# library itself, that it leaves no symbol unresolved. Without a list, the
# list is libhuxtrade.so's, written out below: the 82 MVHUX_* functions of
# the C interface, the factory pair of the object interface, the checksum
# routine sse42_crc32_10, the process-wide data g_handle_sig,
# g_reconnecting, g_is_close and g_zf_sync_trade_client, and the TCP flow
# receiver's factory (i_tcp_quote_new::create_tcp_quote()) with the ring
# buffer's three functions.
#
#   check_exports.sh [--expect LIST] LIBRARY   reads `nm -D --defined-only LIBRARY`, runs `ldd -r`
#   check_exports.sh [--expect LIST] -         reads such a listing from standard input
#
# LIST is a file of names, one a line ('#' starts a comment line); the
# number of MVHUX_* names in it is the count the library must export.
#
# Prints one line per fault ("missing export: NAME", "unexpected export: NAME",
# "MVHUX_* exports: N, expected M", "unresolved: ...") and exits 1 on any.
set -u
export LC_ALL=C

functions='
MVHUX_CreateTrade
MVHUX_DestroyTrade
MVHUX_GetUserParam
MVHUX_SetLogDir
MVHUX_SetAutoReconnect
MVHUX_SetMaxWaitTime
MVHUX_GetTimestamps
MVHUX_ConnServer
MVHUX_DisConnServer
MVHUX_UserLogon
MVHUX_GetMaxToken
MVHUX_SetLoggerSwitch
MVHUX_LoggerFlush
MVHUX_SetAsyncReceiveMode
MVHUX_ChangeFCParam
MVHUX_SetUserId
MVHUX_CalcVerificationValue
MVHUX_EnterOrder
MVHUX_EnterQuote
MVHUX_EnterCombo
MVHUX_EnterSpecialOrder
MVHUX_EnterSimpleOrder
MVHUX_EnterSimpleQuote
MVHUX_CancelOrder
MVHUX_CancelSpecialOrder
MVHUX_QuoteAction
MVHUX_QueryMarketSession
MVHUX_QuerySymbolStatus
MVHUX_QuerySessionID
MVHUX_QueryOtAccountBP
MVHUX_SetConnectionEvent
MVHUX_SetUserLogonEvent
MVHUX_SetHeartBeartTimeoutEvent
MVHUX_SetOrderAcceptEvent
MVHUX_SetComboAcceptEvent
MVHUX_SetSpecialOrderAcceptEvent
MVHUX_SetQuoteAcceptEvent
MVHUX_SetOrderMarketAcceptEvent
MVHUX_SetComboMarketAcceptEvent
MVHUX_SetSpecialOrderMarketAcceptEvent
MVHUX_SetQuoteMarketAcceptEvent
MVHUX_SetOrderMarketReportEvent
MVHUX_SetQuoteMarketReportEvent
MVHUX_SetOrderRejectEvent
MVHUX_SetComboRejectEvent
MVHUX_SetSpecialOrderRejectEvent
MVHUX_SetQuoteRejectEvent
MVHUX_SetOrderMarketRejectEvent
MVHUX_SetComboMarketRejectEvent
MVHUX_SetSpecialOrderMarketRejectEvent
MVHUX_SetQuoteMarketRejectEvent
MVHUX_SetOrderActionMarketAcceptEvent
MVHUX_SetSpecialOrderActionMarketAcceptEvent
MVHUX_SetQuoteActionMarketAcceptEvent
MVHUX_SetOrderActionMarketRejectEvent
MVHUX_SetSpecialOrderActionMarketRejectEvent
MVHUX_SetQuoteActionMarketRejectEvent
MVHUX_SetOrderExecutionEvent
MVHUX_SetOrderActionAcceptEvent
MVHUX_SetSpecialOrderActionAcceptEvent
MVHUX_SetQuoteActionAcceptEvent
MVHUX_SetOrderActionRejectEvent
MVHUX_SetSpecialOrderActionRejectEvent
MVHUX_SetQuoteActionRejectEvent
MVHUX_SetInputRegForQuoteEvent
MVHUX_SetPostOrderEvent
MVHUX_SetPostSpecialOrderEvent
MVHUX_SetPostQuoteEvent
MVHUX_SetPostOrderExecutionEvent
MVHUX_SetInternalOrderEvent
MVHUX_SetInternalOrderAdjustStatusEvent
MVHUX_SetInternalOrderExecutionEvent
MVHUX_SetInternalOrderAdjustMktRejEvent
MVHUX_SetInternalQuoteAdjustStatusEvent
MVHUX_SetInternalQuoteAdjustMktRejEvent
MVHUX_SetQueryMarketSessionEvent
MVHUX_SetMarketSessionStatReportEvent
MVHUX_SetQuerySymbolStatusEvent
MVHUX_SetSymbolStatusReportEvent
MVHUX_SetProdStatusReportEvent
MVHUX_SetQuerySessionIDEvent
MVHUX_SetQueryOtAccountBPEvent
'
others='
CreateHUXTraderApi
DestroyHUXTraderApi
sse42_crc32_10
g_handle_sig
g_reconnecting
g_is_close
g_zf_sync_trade_client
mmap_ringbuff
mmap_ringbuff_by_filename
unmmap_ringbuff
_ZN15i_tcp_quote_new16create_tcp_quoteEv
'

# The written-out list must hold 82 MVHUX_* names; a given list, any number.
list_count=82
if [ $# -eq 3 ] && [ "$1" = "--expect" ]; then
    list_count=
    if [ ! -r "$2" ]; then
        echo "cannot read the export list $2" >&2
        exit 2
    fi
    functions=$(grep -v '^[[:space:]]*#' "$2" | grep '^MVHUX_')
    others=$(grep -v '^[[:space:]]*#' "$2" | grep -v '^MVHUX_' | grep -v '^[[:space:]]*$')
    shift 2
fi
if [ $# -ne 1 ]; then
    echo "usage: $0 [--expect LIST] LIBRARY | -" >&2
    exit 2
fi

work=$(mktemp -d) || exit 2
trap 'rm -rf "$work"' EXIT

faults=0
if [ "$1" = "-" ]; then
    cat >"$work/listing"
else
    if ! nm -D --defined-only "$1" >"$work/listing"; then
        echo "cannot read the dynamic symbols of $1"
        exit 1
    fi
    # ldd -r resolves every relocation of the library and names each symbol
    # it cannot find.
    ldd -r "$1" >"$work/ldd" 2>&1
    if grep -i 'undefined symbol\|not found' "$work/ldd" >"$work/unresolved"; then
        sed 's/^/unresolved: /' "$work/unresolved"
        faults=1
    fi
fi

# "ADDRESS TYPE NAME" lines; the name may carry a version tag (NAME@@V).
awk 'NF >= 3 { sub(/@.*/, "", $3); print $3 }' "$work/listing" | sort >"$work/got"
if [ ! -s "$work/got" ]; then
    echo "no defined dynamic symbols"
    exit 1
fi
printf '%s\n%s\n' "$functions" "$others" | grep -v '^$' | sort >"$work/want"

if [ "$(uniq -d "$work/want" | wc -l)" -ne 0 ]; then
    echo "the expected list names a symbol twice: $(uniq -d "$work/want" | tr '\n' ' ')"
    exit 2
fi
want_mvhux=$(printf '%s\n' "$functions" | grep -c '^MVHUX_')
if [ "$want_mvhux" -eq 0 ] || { [ -n "$list_count" ] && [ "$want_mvhux" -ne "$list_count" ]; }; then
    echo "the expected list holds $want_mvhux MVHUX_* names, not ${list_count:-at least one}"
    exit 2
fi

comm -23 "$work/want" "$work/got" | sed 's/^/missing export: /' >"$work/missing"
comm -13 "$work/want" "$work/got" | sed 's/^/unexpected export: /' >"$work/extra"
uniq -d "$work/got" | sed 's/^/exported twice: /' >"$work/twice"
cat "$work/missing" "$work/extra" "$work/twice"
[ -s "$work/missing" ] || [ -s "$work/extra" ] || [ -s "$work/twice" ] && faults=1

got_mvhux=$(grep -c '^MVHUX_' "$work/got")
if [ "$got_mvhux" -ne "$want_mvhux" ]; then
    echo "MVHUX_* exports: $got_mvhux, expected $want_mvhux"
    faults=1
fi

if [ "$faults" -ne 0 ]; then
    echo "export table: FAILED"
    exit 1
fi
echo "export table: $got_mvhux MVHUX_* functions and $(printf '%s\n' "$others" | grep -c .) other symbols, nothing else"
exit 0
