#!/usr/bin/env python3
"""Writes a cpio archive in the newc format (no cpio program is needed).

    write-newc.py BASE LIST OUT

LIST names files relative to BASE, one a line; they are stored under those
names, with their modes, times and sizes.
"""
import os
import sys


def header(name, st, size, ino):
    fields = [ino, st.st_mode if st else 0, 0, 0, 1, int(st.st_mtime) if st else 0,
              size, 0, 0, 0, 0, len(name) + 1, 0]
    return b"070701" + b"".join(b"%08X" % f for f in fields)


def padded(data):
    return data + b"\0" * (-len(data) % 4)


def main(base, listing, out):
    with open(listing) as names, open(out, "wb") as archive:
        for ino, line in enumerate(names, 1):
            name = line.rstrip("\n")
            path = os.path.join(base, name)
            st = os.stat(path)
            with open(path, "rb") as f:
                data = f.read()
            archive.write(padded(header(name, st, len(data), ino) + name.encode() + b"\0"))
            archive.write(padded(data))
        archive.write(padded(header("TRAILER!!!", None, 0, 0) + b"TRAILER!!!\0"))


if __name__ == "__main__":
    main(*sys.argv[1:4])
