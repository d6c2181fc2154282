#!/usr/bin/env python3
"""Reads what the X screen shows, for the end-to-end test: where a colour is, and how much of it there is.

  screen.py box SHOT.ppm X Y W H RRGGBB TOLERANCE    bounding box "x y w h" of the colour inside the region
  screen.py count SHOT.ppm X Y W H RRGGBB TOLERANCE  number of pixels of the colour inside the region
  screen.py raster-bits FILE.ras                     bits per colour of the first page of a CUPS raster file
"""
import struct
import sys


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    at = 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at) + 1
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    at += 1
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise SystemExit("not an 8-bit P6 picture: " + path)
    return int(fields[1]), int(fields[2]), data[at:]


def matches(path, x, y, w, h, colour, tolerance):
    width, height, pixels = read_ppm(path)
    want = bytes.fromhex(colour)
    x0, y0 = max(0, x), max(0, y)
    x1, y1 = min(width, x + w), min(height, y + h)
    for row in range(y0, y1):
        line = pixels[(row * width + x0) * 3:(row * width + x1) * 3]
        for column in range(x1 - x0):
            r, g, b = line[column * 3:column * 3 + 3]
            if abs(r - want[0]) <= tolerance and abs(g - want[1]) <= tolerance and abs(b - want[2]) <= tolerance:
                yield x0 + column, row


def raster_bits(path):
    with open(path, "rb") as f:
        head = f.read(4 + 420)
    sync = head[:4]
    if sync in (b"RaS2", b"RaS3", b"RaSt"):
        order = ">"
    elif sync in (b"2SaR", b"3SaR", b"tSaR"):
        order = "<"
    else:
        raise SystemExit("not a CUPS raster file: " + path)
    # After the four 64-byte strings, cupsBitsPerColor is the 33rd unsigned integer of the page header.
    return struct.unpack_from(order + "I", head, 4 + 256 + 32 * 4)[0]


def main(argv):
    if len(argv) == 3 and argv[1] == "raster-bits":
        print(raster_bits(argv[2]))
        return 0
    if len(argv) != 9 or argv[1] not in ("box", "count"):
        sys.stderr.write(__doc__)
        return 2
    x, y, w, h = (int(v) for v in argv[3:7])
    found = list(matches(argv[2], x, y, w, h, argv[7], int(argv[8])))
    if argv[1] == "count":
        print(len(found))
        return 0
    if not found:
        print("none")
        return 0
    xs = [p[0] for p in found]
    ys = [p[1] for p in found]
    print(min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
