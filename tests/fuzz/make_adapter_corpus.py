#!/usr/bin/env python3
"""Writes the seed inputs of fuzz_adapter_receive; run by hand:
    python3 tests/fuzz/make_adapter_corpus.py tests/fuzz/corpus_adapter
The first byte of a seed picks the session (bit 0: 1 = query), the logger
switch (bit 1: on) and the piece size (bits 2..7); the rest is a stream of
answers of their fixed lengths. Besides a zeroed and a random answer of every
type, every query answer that reaches the application's callback has seeds
written field by field from its wire layout (adapter/query_msg.h): a filled
record, the closing message of its series, texts that fill their fields,
and the option symbols of both forms, well formed and failing each check."""
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


def head(query, logger=False, piece=0):
    return bytes([(piece << 2) | (2 if logger else 0) | (1 if query else 0)])


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


class Answer:
    """One query answer of type `t`, zeroed, written field by field."""

    def __init__(self, t):
        self.b = bytearray(msg(t, QUERY[t]))

    def u8(self, off, v):
        self.b[off] = v & 0xff
        return self

    def u16(self, off, v):
        self.b[off:off + 2] = struct.pack('<H', v & 0xffff)
        return self

    def u32(self, off, v):
        self.b[off:off + 4] = struct.pack('<I', v & 0xffffffff)
        return self

    def i64(self, off, v):
        self.b[off:off + 8] = struct.pack('<q', v)
        return self

    def f64(self, off, v):
        self.b[off:off + 8] = struct.pack('<d', v)
        return self

    # A text as given (no NUL added): one that fills its field has none.
    def text(self, off, s):
        data = s.encode()
        self.b[off:off + len(data)] = data
        return self

    def bytes(self):
        return bytes(self.b)


ACC = 'ACC001'
ACC16 = 'ACCOUNT-16-CHARS'  # fills the 16 wire bytes: the copy ends at the field


def user_account(end=0, account=ACC):  # 1071
    a = Answer(1071).u8(8, end).text(13, account).u32(29, 7)
    for i in range(6):
        a.f64(33 + 8 * i, 1000.5 * (i + 1))
    return a.bytes()


def symbol(kind, name, exchange, end=0, second='second text'):  # 1072
    a = Answer(1072).u8(8, end).u8(9, kind).text(10, name).text(30, second).u8(51, exchange).u32(52, 100)
    a.u16(84, 2).u8(86, 1)
    for i in range(5):
        a.u32(87 + 4 * i, 10 + i)
    a.f64(107, 0.2)
    for i in range(3):
        a.u32(115 + 4 * i, 20 + i)
    return a.u32(127, 30).u32(131, 31).u8(135, 1).u8(136, 2).bytes()


def position(end=0, account=ACC, sym='IF2406', request_no=11):  # 1073
    a = Answer(1073).u32(4, request_no).u8(8, end).text(13, account).text(33, sym).u8(53, 1).u32(54, 2)
    for i in range(4):
        a.u32(66 + 4 * i, 3 + i)
    return a.f64(82, 3800.2).f64(90, 3801.4).f64(138, 12.5).u8(146, 1).bytes()


def option_position(sym, exchange, number='12345', end=0, account=ACC, request_no=12):  # 1092
    a = Answer(1092).u32(4, request_no).u8(8, end).text(13, account).u32(33, exchange).text(37, sym)
    a.text(86, number).u8(95, 1).u32(96, 2).u32(108, 3).u32(112, 40).u32(116, 5).u32(120, 6).u32(124, 7)
    return a.f64(128, 1.5).f64(136, 2.5).u32(144, 8).u32(148, 2).f64(152, 3.5).u8(160, 1).bytes()


def bp(t, account=ACC, request_no=13):  # 1081, 1093
    a = Answer(t).u32(4, request_no).text(12, account)
    for i in range(9):
        a.f64(32 + 8 * i, 100.25 * (i + 1))
    return a.bytes()


def account_order(end=0, coded=0, sym='IF2406', account=ACC):  # 1074
    a = Answer(1074).u8(8, end).u32(9, 1).i64(13, 2).u32(21, 3).u8(25, 101).text(26, sym).u8(47, 1)
    a.u32(48, 5).f64(52, 3800.0).u8(60, 1).u8(69, coded).u32(70, 6).text(74, account).u8(90, 1).u8(91, 2)
    return a.i64(93, 7).u32(101, 8).u32(105, 9).i64(109, 10).i64(117, 11).i64(125, 12).u32(133, 13).bytes()


def execution(t, end=0, account=ACC, text57='EXEC-ID-0001', text83='TRADE-0001'):  # 1075, 1063
    a = Answer(t).u8(8, end).u32(9, 1).text(13, account).i64(29, 2).u32(37, 3).u32(41, 4).u32(45, 5)
    a.f64(49, 3800.4).text(57, text57)
    if t == 1063:
        a.text(83, text83).u8(103, 1)
    return a.bytes()


def margin_or_fee(t, end=0, account=ACC, sym='IF2406', kind=1):  # 1077, 1078
    a = Answer(t).u8(8, end).text(9, account).u8(25, 101).text(26, sym).u8(46, 1).u32(47, 2)
    if t == 1077:
        return a.f64(79, 0.12).f64(87, 0.15).bytes()
    for i in range(6):
        a.f64(79 + 8 * i, 0.5 * (i + 1))
    return a.u8(127, kind).bytes()


def risk(account=ACC):  # 1082: values read by offset from 24 on
    a = Answer(1082).text(8, account).u32(24, 1)
    for off in range(28, 996, 8):
        a.f64(off, off / 4.0)
    return a.bytes()


def symbol_risk(account=ACC, sym='IF2406'):  # 1083: values read by offset from 48 on
    a = Answer(1083).u32(8, 1).text(12, account).text(28, sym)
    for off in range(48, 440, 8):
        a.i64(off, off)
    return a.bytes()


def query_seeds():
    q = {}
    q['1069_ok'] = Answer(1069).u32(12, 0).bytes()
    q['1069_refused'] = Answer(1069).u32(12, 5).bytes()
    q['1071_filled'] = user_account()
    q['1071_account16'] = user_account(account=ACC16)
    q['1071_closing'] = user_account(end=1)
    q['1072_future'] = symbol(1, 'IF2406', 101)
    q['1072_closing'] = symbol(1, 'IF2406', 101, end=3)
    q['1072_symbol20'] = symbol(1, 'ABCDEFGHIJKLMNOPQRST', 101, second='S' * 21)
    q['1072_opt_letter'] = symbol(2, 'IO2406C3800', 101)
    q['1072_opt_put'] = symbol(2, 'IO2406P3800', 101)
    q['1072_opt_105'] = symbol(2, 'cu2409ABC72000', 105)
    q['1072_opt_105_short'] = symbol(2, 'SRXAC5000', 105)
    q['1072_opt_dash'] = symbol(2, '510050-C-2800', 102)
    q['1072_opt_dash_108'] = symbol(2, 'ABC-P-100', 108)
    q['1072_opt_nosep'] = symbol(2, 'NOSEPARATOR', 101)
    q['1072_opt_dash_nosep'] = symbol(2, 'IO2406C3800', 104)
    q['1072_opt_no_strike'] = symbol(2, 'IO2406C', 101)
    q['1072_opt_dash_short'] = symbol(2, 'A-C', 102)
    q['1072_opt_dash_nodash'] = symbol(2, 'ABC-CX100', 102)
    q['1072_opt_empty_under'] = symbol(2, '-C-100', 104)
    q['1072_opt_sep_last'] = symbol(2, 'ABCDEFGHIJKLMNOPQRSC', 101)
    q['1073_filled'] = position()
    q['1073_symbol19_account16'] = position(account=ACC16, sym='S' * 19)
    q['1073_closing'] = position(end=1)
    q['1092_letter'] = option_position('IO2406C3800', 101)
    q['1092_letter_103'] = option_position('IO2406P3800', 103, number='-42')
    q['1092_letter_106'] = option_position('IO2406C3800', 106, number=' +99999999')
    q['1092_letter_105'] = option_position('cu2409ABC72000', 105)
    q['1092_dash'] = option_position('510050-C-2800', 102)
    q['1092_dash_short'] = option_position('A-C', 104, number='9' * 9)
    q['1092_dash_nodash'] = option_position('ABC-CX100', 108)
    q['1092_nosep'] = option_position('NOSEPARATOR', 101)
    q['1092_long_under'] = option_position('U' * 25 + 'C100', 101)
    q['1092_symbol_to_end'] = option_position('X' * 49, 101)[:37] + b'QC' * 65
    q['1092_account16'] = option_position('IO2406C3800', 101, account=ACC16)
    q['1092_closing'] = option_position('', 0, end=1)
    q['1081_filled'] = bp(1081)
    q['1081_account16'] = bp(1081, account=ACC16)
    q['1093_filled'] = bp(1093, request_no=0)
    q['1074_coded0'] = account_order(coded=0)
    q['1074_coded2'] = account_order(coded=2)
    q['1074_coded1_symbol21'] = account_order(coded=1, sym='S' * 21, account=ACC16)
    q['1074_flag2'] = account_order(end=2, coded=7)
    q['1074_closing'] = account_order(end=1)
    q['1075_filled'] = execution(1075)
    q['1075_texts_full'] = execution(1075, account=ACC16, text57='T' * 31)
    q['1075_flag2'] = execution(1075, end=2)
    q['1075_closing'] = execution(1075, end=1)
    q['1063_filled'] = execution(1063)
    q['1063_texts_full'] = execution(1063, account=ACC16, text57='T' * 26, text83='U' * 20)
    q['1063_closing'] = execution(1063, end=1)
    q['1077_filled'] = margin_or_fee(1077)
    q['1077_symbol20'] = margin_or_fee(1077, account=ACC16, sym='S' * 20)
    q['1077_closing'] = margin_or_fee(1077, end=1)
    q['1078_kind1'] = margin_or_fee(1078, kind=1)
    q['1078_kind_other_symbol20'] = margin_or_fee(1078, kind=3, sym='S' * 20, account=ACC16)
    q['1078_closing'] = margin_or_fee(1078, end=1)
    q['1082_filled'] = risk()
    q['1082_account16'] = risk(account=ACC16)
    q['1083_filled'] = symbol_risk()
    q['1083_texts_full'] = symbol_risk(account=ACC16, sym='S' * 20)
    q['1095_rewind'] = Answer(1095).text(8, 'quote rewind').bytes()
    return q


# The seeds with failing option symbols also go with the logger on, which
# writes their tags.
LOGGED = ('1072_opt_', '1092_')


def main(out):
    rng = random.Random(7)
    os.makedirs(out, exist_ok=True)

    def w(name, data):
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)

    for t, n in TRADE.items():
        w(f'trade_{t}', head(False) + msg(t, n))
        w(f'trade_{t}_rand_by7', head(False, piece=7) + msg(t, n, rng))
    for t, n in QUERY.items():
        w(f'query_{t}', head(True) + msg(t, n))
        w(f'query_{t}_rand_by3', head(True, piece=3) + msg(t, n, rng))
    for name, data in query_seeds().items():
        assert len(data) == QUERY[int(name[:4])], name
        w(f'query_{name}', head(True) + data)
        if name.startswith(LOGGED):
            w(f'query_{name}_logged', head(True, logger=True) + data)
    w('query_series_by5', head(True, piece=5) + b''.join(
        [user_account(), user_account(end=1), position(), position(end=1), account_order(), account_order(end=1)]))
    w('query_series_logged', head(True, logger=True) + b''.join(
        [symbol(2, 'IO2406C3800', 101), symbol(2, 'NOSEPARATOR', 101), symbol(1, 'IF2406', 101, end=1)]))
    w('trade_1010_reject_mask', head(False) + put(msg(1010, 120), 100, (1 << 7) | (1 << 9) | (1 << 15) | (1 << 16), 4))
    w('trade_1010_reject_small', head(False) + put(msg(1010, 120), 100, 6, 4))
    w('trade_1011_reject_key', head(False) + put(msg(1011, 64), 44, 4 | 32, 4))
    w('trade_1030_reject_mask', head(False) + put(msg(1030, 92), 72, 0xffffffff, 4))
    w('trade_1015_status4', head(False) + put(put(msg(1015, 158), 16, ord('0'), 1), 124, 4, 1))
    w('trade_1016_status2', head(False) + put(put(msg(1016, 158), 16, ord('0'), 1), 124, 2, 1))
    w('trade_1080_refused', head(False) + put(msg(1080, 56), 49, 7, 1))
    w('trade_1070_refused', head(False) + put(msg(1070, 80), 12, 5, 4))
    w('trade_unknown_skip', head(False) + msg(1025, 160) + msg(1014, 136))
    w('trade_unknown_drop', head(False) + put(msg(3000, 40), 2, 0xffff, 2) + msg(1014, 136))
    w('trade_1010_logged', head(False, logger=True) + put(msg(1010, 120), 100, 6, 4) + msg(1014, 136))
    w('query_1068_refused', head(True) + put(msg(1068, 56), 8, 3, 4))
    w('query_unknown_skip', head(True) + msg(1065, 40) + msg(1071, 88))
    w('query_unknown_logged', head(True, logger=True) + msg(1065, 40) + msg(1071, 88))
    w('query_stream_by1', head(True, piece=1) + b''.join(msg(t, n) for t, n in list(QUERY.items())[:6]))
    w('trade_stream_by1', head(False, piece=1) + b''.join(msg(t, n) for t, n in list(TRADE.items())[:8]))
    w('empty', b'')


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'tests/fuzz/corpus_adapter')
