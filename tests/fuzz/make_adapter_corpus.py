#!/usr/bin/env python3
"""Writes the seed inputs of fuzz_adapter_receive; run by hand:
    python3 tests/fuzz/make_adapter_corpus.py tests/fuzz/corpus_adapter
The first byte of a seed picks the session (bit 0: 1 = query) and the piece
size (bits 1..7); the rest is a stream of answers of their fixed lengths."""
import os
import random
import struct
import sys

TRADE = {1010: 120, 1011: 64, 1012: 232, 1013: 144, 1014: 136, 1015: 158, 1016: 158, 1017: 136, 1018: 152,
         1019: 64, 1020: 233, 1021: 145, 1022: 232, 1023: 232, 1030: 92, 1031: 65, 1032: 200, 1033: 148,
         1034: 137, 1070: 80, 1080: 56, 1084: 272, 1085: 16, 1086: 56, 1087: 64, 1089: 56, 1090: 24, 1094: 32,
         1200: 16, 2201: 144, 2202: 158, 2203: 136}
QUERY = {1063: 112, 1064: 24, 1068: 56, 1069: 16, 1071: 88, 1072: 139, 1073: 152, 1074: 144, 1075: 88,
         1077: 96, 1078: 128, 1081: 108, 1082: 1006, 1083: 448, 1092: 167, 1093: 108, 1095: 200, 1099: 64}


def msg(t, n, rng=None):
    b = bytearray(n)
    b[0:2] = struct.pack('<H', t)
    b[2:4] = struct.pack('<H', n)
    if rng:
        for i in range(4, n):
            b[i] = rng.randrange(256)
    return bytes(b)


def put(b, off, v, w):
    b = bytearray(b)
    b[off:off + w] = v.to_bytes(w, 'little')
    return bytes(b)


def main(out):
    rng = random.Random(7)
    os.makedirs(out, exist_ok=True)

    def w(name, data):
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)

    for t, n in TRADE.items():
        w(f'trade_{t}', b'\x00' + msg(t, n))
        w(f'trade_{t}_rand_by7', bytes([7 << 1]) + msg(t, n, rng))
    for t, n in QUERY.items():
        w(f'query_{t}', b'\x01' + msg(t, n))
        w(f'query_{t}_rand_by3', bytes([(3 << 1) | 1]) + msg(t, n, rng))
    w('trade_1010_reject_mask', b'\x00' + put(msg(1010, 120), 100, (1 << 7) | (1 << 9) | (1 << 15) | (1 << 16), 4))
    w('trade_1010_reject_small', b'\x00' + put(msg(1010, 120), 100, 6, 4))
    w('trade_1011_reject_key', b'\x00' + put(msg(1011, 64), 44, 4 | 32, 4))
    w('trade_1030_reject_mask', b'\x00' + put(msg(1030, 92), 72, 0xffffffff, 4))
    w('trade_1015_status4', b'\x00' + put(put(msg(1015, 158), 16, ord('0'), 1), 124, 4, 1))
    w('trade_1016_status2', b'\x00' + put(put(msg(1016, 158), 16, ord('0'), 1), 124, 2, 1))
    w('trade_1080_refused', b'\x00' + put(msg(1080, 56), 49, 7, 1))
    w('trade_1070_refused', b'\x00' + put(msg(1070, 80), 12, 5, 4))
    w('trade_unknown_skip', b'\x00' + msg(1025, 160) + msg(1014, 136))
    w('trade_unknown_drop', b'\x00' + put(msg(3000, 40), 2, 0xffff, 2) + msg(1014, 136))
    w('query_1068_refused', b'\x01' + put(msg(1068, 56), 8, 3, 4))
    w('query_unknown_skip', b'\x01' + msg(1065, 40) + msg(1071, 88))
    w('query_stream_by1', bytes([(1 << 1) | 1]) + b''.join(msg(t, n) for t, n in list(QUERY.items())[:6]))
    w('trade_stream_by1', bytes([1 << 1]) + b''.join(msg(t, n) for t, n in list(TRADE.items())[:8]))
    w('empty', b'')


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'tests/fuzz/corpus_adapter')
