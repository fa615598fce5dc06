#!/usr/bin/env python3
"""Packs a .bmp file into the program's packed bitmap resource (RCDATA).

The resource holds what a BITMAP resource would (the file without its 14-byte
file header: the BITMAPINFOHEADER, any colour table and the pixel rows),
compressed with zlib and preceded by its unpacked length as 4 little-endian
bytes. wizard/DibBitmap.cpp unpacks it. A 24-bit banner packs to a tenth of
its size.

usage: pack-bitmap.py <bitmap.bmp> <packed output>
"""
import struct
import sys
import zlib

FILE_HEADER_SIZE = 14


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, "rb") as f:
        data = f.read()
    if len(data) <= FILE_HEADER_SIZE or data[:2] != b"BM":
        print(f"{source}: not a .bmp file", file=sys.stderr)
        return 1
    bitmap = data[FILE_HEADER_SIZE:]
    with open(target, "wb") as f:
        f.write(struct.pack("<I", len(bitmap)) + zlib.compress(bitmap, 9))
    return 0


if __name__ == "__main__":
    sys.exit(main())
