#!/usr/bin/env python3
"""Copies a TrueType font without its embedded bitmap strikes, so that every size is set from
its outlines and their widths:
    outline-font.py SOURCE.ttf TARGET.ttf
Wine's Tahoma carries bitmaps for the small sizes, and no hinting program, so FreeType's
auto-hinter sets small sizes about a pixel wider a letter than Windows' Tahoma; its outlines have
Windows' widths. The test prefixes get this copy, with a control value program that does nothing
so that FreeType takes the font as hinted by its own program."""
import struct
import sys

BITMAP_TABLES = {b"EBDT", b"EBLC", b"EBSC", b"BDF ", b"bdat", b"bloc"}


def checksum(data):
    data += b"\0" * (-len(data) % 4)
    return sum(struct.unpack(">%dI" % (len(data) // 4), data)) & 0xFFFFFFFF


def main(source, target):
    font = open(source, "rb").read()
    version, count = struct.unpack(">IH", font[:6])
    tables = {}
    for i in range(count):
        tag, _, offset, length = struct.unpack(">4sIII", font[12 + 16 * i:28 + 16 * i])
        if tag not in BITMAP_TABLES:
            tables[tag] = bytearray(font[offset:offset + length])
    # A control value program that does nothing marks the font as hinted by its own (empty)
    # instructions, so that FreeType does not fall back on its auto-hinter, which widens small sizes.
    tables.setdefault(b"prep", bytearray(b"\xb0\x00\x21"))  # PUSHB[0] 0, POP
    tables[b"head"][8:12] = b"\0\0\0\0"  # checkSumAdjustment, set again below
    count = len(tables)
    power = 1 << (count.bit_length() - 1)
    header = struct.pack(">IHHHH", version, count, power * 16, power.bit_length() - 1, (count - power) * 16)
    offset = len(header) + 16 * count
    directory, body = b"", b""
    for tag in sorted(tables):
        data = bytes(tables[tag])
        if tag == b"head":
            head = offset + len(body)
        directory += struct.pack(">4sIII", tag, checksum(data), offset + len(body), len(data))
        body += data + b"\0" * (-len(data) % 4)
    out = bytearray(header + directory + body)
    out[head + 8:head + 12] = struct.pack(">I", (0xB1B0AFBA - checksum(bytes(out))) & 0xFFFFFFFF)
    open(target, "wb").write(out)


if __name__ == "__main__":
    main(*sys.argv[1:])
