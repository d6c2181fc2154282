#!/usr/bin/env python3
"""Reads what the X screen shows, for the end-to-end test: where a colour is, and how much of it there is.

  screen.py box SHOT.ppm X Y W H RRGGBB TOLERANCE    bounding box "x y w h" of the colour inside the region
  screen.py count SHOT.ppm X Y W H RRGGBB TOLERANCE  number of pixels of the colour inside the region
  screen.py raster-bits FILE.ras                     bits per colour of the first page of a CUPS raster file
"""
import re
import struct
import sys


def matches(path, x, y, w, h, colour, tolerance):
    with open(path, "rb") as f:
        data = f.read()
    header = re.match(rb"P6\s+(?:#[^\n]*\s+)*(\d+)\s+(\d+)\s+255\s", data)
    if not header:
        raise SystemExit("not an 8-bit P6 picture: " + path)
    width, height, pixels = int(header[1]), int(header[2]), data[header.end():]
    want = bytes.fromhex(colour)
    for row in range(max(0, y), min(height, y + h)):
        for column in range(max(0, x), min(width, x + w)):
            pixel = pixels[(row * width + column) * 3:(row * width + column) * 3 + 3]
            if all(abs(pixel[i] - want[i]) <= tolerance for i in range(3)):
                yield column, row


def raster_bits(path):
    with open(path, "rb") as f:
        head = f.read(4 + 420)
    orders = {b"RaS2": ">", b"RaS3": ">", b"RaSt": ">", b"2SaR": "<", b"3SaR": "<", b"tSaR": "<"}
    if head[:4] not in orders:
        raise SystemExit("not a CUPS raster file: " + path)
    # After the four 64-byte strings, cupsBitsPerColor is the 33rd unsigned integer of the page header.
    return struct.unpack_from(orders[head[:4]] + "I", head, 4 + 256 + 32 * 4)[0]


def main(argv):
    if len(argv) == 3 and argv[1] == "raster-bits":
        print(raster_bits(argv[2]))
        return 0
    if len(argv) != 9 or argv[1] not in ("box", "count"):
        sys.stderr.write(__doc__)
        return 2
    found = list(matches(argv[2], *(int(v) for v in argv[3:7]), argv[7], int(argv[8])))
    if argv[1] == "count":
        print(len(found))
    elif not found:
        print("none")
    else:
        xs, ys = [p[0] for p in found], [p[1] for p in found]
        print(min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
