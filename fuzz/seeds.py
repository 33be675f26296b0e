#!/usr/bin/env python3
"""Writes the seed corpora in fuzz/corpus/ from the cases of the unit tests (tests/link): the
frames of the frame and reply tests, and the texts and writes of the encode tests.

The reply and encode targets read their input through libFuzzer's FuzzedDataProvider: numbers are
taken from the end of the input, texts from the front (a backslash and another character end a
text). Seed builds such inputs. Run from anywhere: python3 fuzz/seeds.py
"""
import hashlib
import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))


def lrc(body_hex):
    data = bytes.fromhex(body_hex)
    return (-sum(data)) & 0xFF


def frame(body_hex):
    return (":" + body_hex + "%02X" % lrc(body_hex) + "\r\n").encode()


class Seed:
    def __init__(self):
        self.front = b""
        self.tail = []  # bytes in the order they are taken from the end

    def text(self, s):
        if isinstance(s, str):
            s = s.encode()
        self.front += s.replace(b"\\", b"\\\\") + b"\\\n"
        return self

    def rest(self, b):
        self.front += b
        return self

    def int(self, v, lo, hi):
        span, r = hi - lo, v - lo
        n = 0
        while n < 8 and (span >> (8 * n)) > 0:
            n += 1
        self.tail += [(r >> (8 * (n - 1 - i))) & 0xFF for i in range(n)]
        return self

    def bool(self, b):
        self.tail.append(1 if b else 0)
        return self

    def bytes(self):
        return self.front + bytes(reversed(self.tail))


def write_corpus(target, inputs):
    folder = os.path.join(HERE, "corpus", target)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for data in inputs:
        name = hashlib.sha1(data).hexdigest()[:16]
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


# ---- frames (tests/link/frames_test.cpp, reply_test.cpp, decode_test.cpp) -------------------------
one, two = frame("0103020064"), frame("01050838FF00")
frames = [
    one, two, frame("010310DE0001"), frame("011010DE0001020064"), frame("010304FF6AFFFF"),
    frame("011010DE0001"), frame("018502"), frame("019002"), frame("0103020064").lower(),
    b":0103020G6496\r\n", b":01030200\r\n", b":0103020007F4\r\n", b":\r\n", b":0103FC\r\n",
    frame("0203020007"), b"\x00\xffxx" + one, one + two, b":0103\r" + two, one[:-1],
    b":" + b"A" * 700 + b"\r\n" + one, b":" + b"0" * 598 + b"\r\n",
]
write_corpus("frame_assembler", frames)

# ---- requests and replies (tests/link/reply_test.cpp) ----------------------------------------------
READ, WRITE, PAIR, COIL = 0, 1, 2, 3


def request(seed, kind, reg, arg=0):
    seed.int(reg, 0, 0xFFFF).int(kind, 0, 3)
    if kind == READ:
        seed.int(arg, 1, 125)
    elif kind == WRITE:
        seed.int(arg, 0, 0xFFFF)
    elif kind == PAIR:
        seed.int(arg, -(2 ** 31), 2 ** 31 - 1)
    else:
        seed.bool(arg)
    return seed


def reply_seed(req, other, values, reply, body):
    seed = Seed()
    request(seed, *req)
    request(seed, *other)
    for v in values:  # register values of the genuine answer to a read
        seed.int(v, 0, 0xFFFF)
    seed.int(2, 0, 255)  # exception code
    seed.int(3, 0, 3)    # the candidate reply is the text that follows
    seed.text(reply).rest(body.encode())
    return seed.bytes()


replies = [
    ((READ, 0x10DE, 1), (READ, 0x1025, 1), [100], frame("0103020064"), "010310DE0001"),
    ((READ, 0x1064, 2), (READ, 0x1064, 1), [0xFF6A, 0xFFFF], frame("010304FF6AFFFF"), "010310640002"),
    ((READ, 0x10DE, 1), (WRITE, 0x10DE, 100), [100], frame("0103020064").lower(), "010310DE0001"),
    ((READ, 0x10DE, 1), (READ, 0x10DE, 2), [100], frame("010304006400"), "010310DE0001"),
    ((WRITE, 0x10DE, 100), (WRITE, 0x10DF, 100), [], frame("011010DE0001"), "011010DE0001020064"),
    ((PAIR, 0x10F0, -150), (PAIR, 0x10F0, 20), [], frame("011010F00002"), "011010F0000204FF6AFFFF"),
    ((COIL, 0x0838, 1), (COIL, 0x0838, 0), [], frame("01050838FF00"), "01050838FF00"),
    ((COIL, 0x0834, 1), (COIL, 0x0835, 1), [], frame("018502"), "01050834FF00"),
    ((COIL, 0x0834, 1), (WRITE, 0x0834, 1), [], frame("019002"), "01050834FF00"),
    ((READ, 0x10DE, 1), (READ, 0x10DE, 1), [7], b":0103020G6496\r\n", "0106000A0001"),
]
write_corpus("reply_check", [reply_seed(*r) for r in replies])

# ---- operator input (tests/link/encode_test.cpp) ---------------------------------------------------
SCALES = {1: 0, 10: 1, 100: 2, 1000: 3}


def write(seed, reg, count=1, scale=1, rng=None, whole=False, only_if_edited=False):
    seed.int(reg, 0, 0xFFFF).bool(count == 2).int(SCALES[scale], 0, 3).bool(whole).bool(only_if_edited)
    seed.bool(rng is not None)
    if rng is not None:
        lo, hi = rng
        seed.bool(True).int(lo, -70000, 70000).bool(True).int(hi, -70000, 70000).int(1, 0, 7)
    return seed


def encode_seed(text, w, fields=(), steps=()):
    seed = Seed().text(text)
    write(seed, **w)
    present = dict(fields)
    for name in "abc":
        seed.bool(name in present)
        if name in present:
            t, known, edited = present[name]
            seed.text(t).bool(known).bool(edited)
    seed.int(len(steps), 0, 5)
    for kind, args in steps:
        seed.int(kind, 0, 3)
        if kind == 0:
            field, w2 = args
            write(seed, **w2).int("abc".index(field), 0, 2)
        elif kind == 1:
            seed.int(args[0], 0, 0xFFFF).bool(args[1]).bool(args[2])
        elif kind == 2:
            seed.int(args, 0, 5000)
        else:
            seed.int(args[0], 0, 0xFFFF).int(args[1], 0, 5000).int(args[2], 0, 5000)
    seed.bool(False)  # not a stop
    return seed.bytes()


count = dict(reg=0x10DE, rng=(0, 65535))
mm = dict(reg=0x10F0, count=2, scale=100)
lead = dict(reg=0x1007, scale=1000, whole=True)
angle = dict(reg=0x1005, scale=100, rng=(29, 435))
texts = [
    ("100", count), ("65535", count), ("12.5", count), ("１３.5", count), ("70000", count),
    ("70000abc", count), ("12abc", count), ("", count), ("-1.5", mm), ("20", mm), ("-20", mm),
    ("21474836.48", mm), ("5", lead), ("65.536", lead), ("5mm", lead), ("-5", dict(reg=0x1006)),
    ("0.29", angle), ("4.35", angle), ("1.015", angle), (".575", angle), ("\u3000１２．５", count),
    ("－３ｍｍ", count), (" 40000 ", count), ("1.2.3", count), ("1e3", count), ("- 5", count),
]
seeds = [encode_seed(t, w) for t, w in texts]
thirteen = dict(reg=0x106E, rng=(0, 13))
seeds.append(encode_seed("3", thirteen, fields=[("a", ("3", True, True)), ("b", ("14", True, True))],
                         steps=[(0, ("a", thirteen)), (0, ("b", thirteen)), (1, (0x080A, True, False))]))
seeds.append(encode_seed("1", dict(reg=0x10E4, rng=(0, 1)),
                         fields=[("a", ("1", True, True)), ("b", ("7", True, False))],
                         steps=[(0, ("b", dict(reg=0x10E3, rng=(0, 1), only_if_edited=True))),
                                (0, ("a", dict(reg=0x10E4, rng=(0, 1), only_if_edited=True))),
                                (3, (0x0808, 2000, 2000)), (2, 300)]))
seeds.append(encode_seed("0", thirteen, fields=[("a", ("3", True, True)), ("c", ("0", False, False))],
                         steps=[(0, ("a", thirteen)), (0, ("c", thirteen))]))
write_corpus("encode_input", seeds)
