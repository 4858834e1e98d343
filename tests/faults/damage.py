#!/usr/bin/env python3
"""Damages one content file in place the way a tester would.

Usage: damage.py DAMAGE PATH. DAMAGE is one of missing, empty, cut50, cut90,
flip3, garbage, pad100m, claim16384, claim65535 (the last two write an image
header of that size in the file's own format, and nothing after it).
Deterministic: the same damage gives the same bytes.
"""
import os
import random
import struct
import sys
import zlib


def png_header(side):
    ihdr = b"IHDR" + struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + struct.pack(">I", 13) + ihdr + struct.pack(">I", zlib.crc32(ihdr))


def jpeg_header(side):
    return (b"\xff\xd8\xff\xc0\x00\x11\x08" + struct.pack(">HH", side, side) +
            b"\x03\x01\x11\x00\x02\x11\x01\x03\x11\x01")


def main():
    damage, path = sys.argv[1], sys.argv[2]
    if damage == "missing":
        os.remove(path)
        return
    with open(path, "rb") as f:
        data = bytearray(f.read())
    rng = random.Random(path + damage)
    if damage == "empty":
        data = b""
    elif damage == "cut50":
        data = data[: len(data) // 2]
    elif damage == "cut90":
        data = data[: len(data) * 9 // 10]
    elif damage == "flip3":
        for at in (len(data) // 4, len(data) // 2, len(data) * 3 // 4):
            data[at] ^= 0xFF
    elif damage == "garbage":
        data = bytes(rng.getrandbits(8) for _ in range(len(data)))
    elif damage == "pad100m":
        data = bytes(data) + bytes(100 * 1024 * 1024 - len(data))
    elif damage.startswith("claim"):
        side = int(damage[len("claim"):])
        data = png_header(side) if path.endswith(".png") else jpeg_header(side)
    else:
        sys.exit("unknown damage " + damage)
    with open(path, "wb") as f:
        f.write(data)


main()
