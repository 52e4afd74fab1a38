#!/usr/bin/python3
"""Writes the seed corpora of the imaging fuzz targets (fuzz/corpus/<target>/seed-*).

Run from the repository root. PNG seeds are a selection of the PngSuite test images plus one with
text chunks; BMP seeds cover every header version, depth, bit fields and run-length data; JPEG
seeds are small baseline, progressive, greyscale and CMYK files.
"""
import io
import os
import shutil
import struct

from PIL import Image, PngImagePlugin

SUITE = "tests/data/imaging/pngsuite"
OUT = "fuzz/corpus"


def clean(name):
    path = os.path.join(OUT, name)
    os.makedirs(path, exist_ok=True)
    for f in os.listdir(path):
        if f.startswith("seed-"):
            os.remove(os.path.join(path, f))
    return path


def gradient(w, h, mode="RGB"):
    im = Image.new("RGB", (w, h))
    im.putdata([((x * 255) // max(1, w - 1), (y * 255) // max(1, h - 1), (x * y) & 255)
                for y in range(h) for x in range(w)])
    return im.convert(mode)


def png_seeds():
    path = clean("png_decoder_fuzzer")
    picks = ["primary/" + n for n in (
        "basn0g01.png", "basn0g02.png", "basn0g04.png", "basn0g08.png", "basn2c08.png",
        "basn3p01.png", "basn3p02.png", "basn3p04.png", "basn3p08.png", "basn4a08.png",
        "basn6a08.png", "basi0g01.png", "basi2c08.png", "basi3p02.png", "basi6a08.png",
        "tbbn0g04.png", "tbrn2c08.png", "tp1n3p08.png", "tm3n3p02.png", "s01i3p01.png",
        "s03n3p01.png", "z09n2c08.png")]
    picks += ["16bit/" + n for n in ("basn0g16.png", "basn2c16.png", "basi4a16.png",
                                     "basn6a16.png")]
    picks += ["corrupt/xcsn0g01.png", "corrupt/xdtn0g01.png"]
    for p in picks:
        shutil.copy(os.path.join(SUITE, p), os.path.join(path, "seed-" + os.path.basename(p)))
    info = PngImagePlugin.PngInfo()
    info.add_text("Title", "Quenmora")
    info.add_text("Comment", "compressed text " * 4, zip=True)
    buf = io.BytesIO()
    gradient(9, 7).save(buf, "PNG", pnginfo=info)
    open(os.path.join(path, "seed-text.png"), "wb").write(buf.getvalue())


def bmp(header, extra, pixels):
    start = 14 + len(header) + len(extra)
    return b"BM" + struct.pack("<IHHI", start + len(pixels), 0, 0, start) + header + extra + pixels


def info_header(size, w, h, bits, compression=0, image_size=0, colors=0, masks=(0, 0, 0)):
    base = struct.pack("<IiiHHIIiiII", size, w, h, 1, bits, compression, image_size, 0, 0,
                       colors, 0)
    if size >= 52:
        base += struct.pack("<III", *masks)
    return base + bytes(max(0, size - len(base)))


def bmp_seeds():
    path = clean("bmp_reader_fuzzer")
    seeds = {}
    table = bytes(i % 256 for i in range(1024))
    rows8 = bytes(range(8)) * 3
    for size in (40, 56, 108, 124):
        seeds["v%d-8bit" % size] = bmp(info_header(size, 5, 3, 8, colors=4), table[:16], rows8)
    seeds["core-8bit"] = bmp(struct.pack("<IHHHH", 12, 5, 3, 1, 8), table[:768], rows8)
    seeds["1bit"] = bmp(info_header(40, 10, 2, 1), table[:8], bytes([0xB3, 0x40, 0, 0, 0, 0xC0, 0, 0]))
    seeds["4bit-topdown"] = bmp(info_header(40, 3, -2, 4), table[:64], bytes([0x12, 0x30, 0, 0] * 2))
    seeds["24bit"] = bmp(info_header(40, 2, 2, 24), b"", bytes(range(16)))
    seeds["32bit"] = bmp(info_header(40, 2, 1, 32), b"", bytes(range(8)))
    seeds["16bit-555"] = bmp(info_header(40, 2, 1, 16), b"", bytes([0xFF, 0x7F, 0x10, 0x42]))
    seeds["16bit-565"] = bmp(info_header(40, 2, 1, 16, 3), struct.pack("<III", 0xF800, 0x07E0, 0x1F),
                             bytes([0x00, 0xF8, 0xE0, 0x07]))
    seeds["32bit-fields-v4"] = bmp(info_header(108, 1, 1, 32, 3, masks=(0x3FF00000, 0xFFC00, 0x3FF)),
                                   b"", bytes(4))
    seeds["rle8"] = bmp(info_header(40, 6, 3, 8, 1, colors=8), table[:32],
                        bytes([3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 2, 1, 9, 5, 0, 1]))
    seeds["rle4"] = bmp(info_header(40, 5, 2, 4, 2), table[:64],
                        bytes([5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 2, 0x67, 0, 1]))
    buf = io.BytesIO()
    gradient(7, 5).save(buf, "BMP")
    seeds["pil-24bit"] = buf.getvalue()
    buf = io.BytesIO()
    gradient(7, 5).convert("P").save(buf, "BMP")
    seeds["pil-8bit"] = buf.getvalue()
    for name, data in seeds.items():
        open(os.path.join(path, "seed-%s.bmp" % name), "wb").write(data)


def jpeg_seeds():
    path = clean("jpeg_decoder_fuzzer")
    im = gradient(33, 17)
    variants = {
        "baseline": (im, dict(quality=90)),
        "progressive": (im, dict(quality=80, progressive=True)),
        "restart": (gradient(40, 24), dict(quality=70, restart_marker_blocks=1)),
        "subsampled": (gradient(24, 16), dict(quality=50, subsampling=2)),
        "grey": (im.convert("L"), dict(quality=90)),
        "cmyk": (im.convert("CMYK"), dict(quality=90)),
    }
    for name, (img, opts) in variants.items():
        buf = io.BytesIO()
        img.save(buf, "JPEG", **opts)
        open(os.path.join(path, "seed-%s.jpg" % name), "wb").write(buf.getvalue())
    data = open(os.path.join(path, "seed-baseline.jpg"), "rb").read()
    open(os.path.join(path, "seed-truncated.jpg"), "wb").write(data[: len(data) * 2 // 3])


if __name__ == "__main__":
    png_seeds()
    bmp_seeds()
    jpeg_seeds()
