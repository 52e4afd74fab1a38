#!/usr/bin/python3
"""Derives the expected pixels of the PngSuite images for pngsuite_test.cpp with PIL.

PIL gives each image's samples as red, green, blue (16-bit samples by their high byte). The
decoder then applies the gamma table of the file's gAMA chunk, computed here independently:
entry i = round(255 * (i / 255) ** (1 / (g / 100000 * 2.2))), halves to even.

Output: tests/data/imaging/pngsuite_expected.bin, zlib-compressed: a 32-bit little-endian size of
the uncompressed data, then records of: name length (1 byte), name ("primary/basn0g01.png"),
width and height (32-bit little-endian), width * height * 3 bytes red, green, blue.

Run from the repository root: tests/imaging/make_pngsuite_expected.py
"""
import os
import struct
import zlib

from PIL import Image

ROOT = "tests/data/imaging/pngsuite"


def gamma_table(path):
    data = open(path, "rb").read()
    pos = 8
    while pos + 8 <= len(data):
        length, name = struct.unpack(">I4s", data[pos:pos + 8])
        if name == b"gAMA":
            g = struct.unpack(">I", data[pos + 8:pos + 12])[0] if length == 4 else 1
            if g == 0:
                break
            e = 1.0 / (g / 100000.0 * 2.2)
            return [round(255.0 * (i / 255.0) ** e) for i in range(256)]
        if name == b"IDAT":
            break
        pos += 12 + length
    return list(range(256))


def expected_rgb(path):
    im = Image.open(path)
    im.load()
    table = gamma_table(path)
    w, h = im.size
    if im.mode in ("I", "I;16", "I;16B"):
        levels = [v >> 8 for v in im.getdata()]
        rgb = [(v, v, v) for v in levels]
    else:
        rgb = list(im.convert("RGB").getdata())
    out = bytearray()
    for r, g, b in rgb:
        out += bytes((table[r], table[g], table[b]))
    return w, h, bytes(out)


def main():
    records = bytearray()
    for folder in ("primary", "16bit"):
        for name in sorted(os.listdir(os.path.join(ROOT, folder))):
            if not name.endswith(".png"):
                continue
            rel = folder + "/" + name
            w, h, rgb = expected_rgb(os.path.join(ROOT, rel))
            records += bytes((len(rel),)) + rel.encode() + struct.pack("<II", w, h) + rgb
    blob = struct.pack("<I", len(records)) + zlib.compress(bytes(records), 9)
    open("tests/data/imaging/pngsuite_expected.bin", "wb").write(blob)
    print(len(records), "bytes of pixels,", len(blob), "bytes written")


if __name__ == "__main__":
    main()
