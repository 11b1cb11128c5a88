#!/usr/bin/env python3
"""Reads the Windows icon file's directory and checks that it holds the five
images the program and the shell ask for, each as its entry says.

Usage: icon_test.py PATH/TO/veltrane.ico
"""

import struct
import sys

# (width, height, bits per pixel, stored as PNG), in file order.
EXPECTED = [(32, 32, 8, False), (32, 32, 4, False), (16, 16, 4, False),
            (48, 48, 32, False), (256, 256, 32, True)]
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def entries(data):
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if (reserved, kind) != (0, 1):
        raise ValueError("not an icon file (reserved %d, type %d)" % (reserved, kind))
    for i in range(count):
        w, h, colours, _, planes, bits, size, offset = struct.unpack_from(
            "<BBBBHHII", data, 6 + 16 * i)
        yield w or 256, h or 256, colours, planes, bits, data[offset:offset + size], offset


def check_image(w, h, colours, planes, bits, image):
    """Problems of one entry: the directory against the image it points at."""
    problems = []
    if planes != 1:
        problems.append("planes %d" % planes)
    if colours != (16 if bits == 4 else 0):
        problems.append("colour count %d for %d bits" % (colours, bits))
    if image.startswith(PNG_SIGNATURE):
        pw, ph, depth, colour_type = struct.unpack_from(">IIBB", image, 16)
        if (pw, ph, depth, colour_type) != (w, h, 8, 6):
            problems.append("PNG is %dx%d, depth %d, type %d" % (pw, ph, depth, colour_type))
        return problems
    size, bw, bh, bplanes, bbits = struct.unpack_from("<IiiHH", image, 0)
    if (size, bw, bh, bplanes, bbits) != (40, w, 2 * h, 1, bits):
        problems.append("bitmap header %s" % ((size, bw, bh, bplanes, bbits),))
    palette = 4 << bits if bits <= 8 else 0
    row = lambda b: (w * b + 31) // 32 * 4
    want = 40 + palette + row(bits) * h + row(1) * h
    if len(image) != want:
        problems.append("%d bytes where the header needs %d" % (len(image), want))
    mask = image[want - row(1) * h:]
    # The corners of the large images are rounded off: the AND mask must let
    # the screen through there, and must not cover everything.
    if w >= 32 and not mask[-row(1)] & 0x80:
        problems.append("top left pixel is not transparent")
    if all(b == 0xFF for b in mask):
        problems.append("every pixel is transparent")
    return problems


def main(argv):
    with open(argv[0], "rb") as f:
        data = f.read()
    found = list(entries(data))
    failures = 0
    if len(found) != len(EXPECTED):
        print("FAIL: %d images, expected %d" % (len(found), len(EXPECTED)))
        failures += 1
    end = 6 + 16 * len(found)
    for (w, h, colours, planes, bits, image, offset), want in zip(found, EXPECTED):
        name = "%dx%d %d-bit" % (want[0], want[1], want[2])
        problems = []
        if (w, h, bits, image.startswith(PNG_SIGNATURE)) != want:
            problems.append("entry is %dx%d %d-bit" % (w, h, bits))
        if offset < end or offset + len(image) > len(data):
            problems.append("image at %d overlaps another or runs past the end" % offset)
        end = offset + len(image)
        problems += check_image(w, h, colours, planes, bits, image)
        for p in problems:
            print("FAIL: %s: %s" % (name, p))
        failures += bool(problems)
    print("%d images, %d failed" % (len(found), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
