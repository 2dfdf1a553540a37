#!/usr/bin/env python3
"""Writes ZIPs inside ZIPs: the outermost holds FAN archives, each of which
holds FAN more, LEVELS deep, and the innermost hold FAN members of one line
repeated to LEAF bytes (16 x 16 x 16 of 64 MiB: 256 GiB of text in about
30 KB). Each member is deflated once and copied, so it takes seconds.
  bench/make-nested-zips.py OUT [FAN] [LEVELS] [LEAF_MIB]"""
import struct
import sys
import zlib


def deflated(pieces):
    """Raw deflate of the byte strings `pieces`: (data, crc, size)."""
    z = zlib.compressobj(9, zlib.DEFLATED, -15)
    out, crc, size = [], 0, 0
    for piece in pieces:
        crc = zlib.crc32(piece, crc)
        size += len(piece)
        out.append(z.compress(piece))
    out.append(z.flush())
    return b"".join(out), crc, size


def zip_of(entries):
    """A ZIP of (name, (data, crc, size)) entries, each deflated."""
    out, central = bytearray(), bytearray()
    for name, (data, crc, size) in entries:
        offset = len(out)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 8, 0, 0, crc, len(data), size,
                           len(name), 0) + name + data
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 8, 0, 0, crc,
                               len(data), size, len(name), 0, 0, 0, 0, 0, offset) + name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central),
                      len(out), 0)
    return bytes(out + central + end)


def main():
    out = sys.argv[1]
    fan = int(sys.argv[2]) if len(sys.argv) > 2 else 16
    levels = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    leaf = (int(sys.argv[4]) if len(sys.argv) > 4 else 64) << 20
    line = b"all work and no play makes jack a dull boy\n"
    block = line * ((1 << 20) // len(line))
    chunks = [block] * (leaf // len(block)) + [block[: leaf % len(block)]]
    member = deflated(chunks)
    entries = [(b"part-%02d.txt" % k, member) for k in range(fan)]
    for level in range(levels, 1, -1):
        inner = deflated([zip_of(entries)])
        entries = [(b"level%d-%02d.zip" % (level, k), inner) for k in range(fan)]
    with open(out, "wb") as f:
        f.write(zip_of(entries))


if __name__ == "__main__":
    main()
