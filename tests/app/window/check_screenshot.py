#!/usr/bin/env python3
"""Checks a screenshot of the main window at the end of a run and saves it as PNG.

usage: check_screenshot.py SHOT.xwd PICTURE_DIR OUT.png MAIN_X MAIN_Y BOX_X BOX_Y BOX_W BOX_H

SHOT.xwd is `xwd -root` of a 24-bit screen; PICTURE_DIR holds image_vanta.ppm and image2.ppm (picture_dump).
The main window's client area starts at MAIN_X, MAIN_Y; the box given is left out of the picture check.
The window must show ImageVanta (not Image2) at left 4, top 0, and Gauge1 at 0: red ground, no navy bar.
"""
import struct
import sys
import zlib

PICTURE_LEFT, PICTURE_W, PICTURE_H = 4, 504, 321
GAUGE_TOP, GAUGE_W, GAUGE_H = 344 - 23, 510, 23
TOLERANCE = 6


class Image:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])


def read_xwd(path):
    """XWD: a header of 25 big-endian words (its size first), the window name, the colour map, the pixels."""
    data = open(path, "rb").read()
    header = struct.unpack(">25I", data[:100])
    header_size, width, height = header[0], header[4], header[5]
    byte_order, bits_per_pixel, bytes_per_line = header[7], header[11], header[12]
    red_mask, green_mask, blue_mask, colours = header[14], header[15], header[16], header[19]
    if bits_per_pixel != 32 or (red_mask, green_mask, blue_mask) != (0xFF0000, 0xFF00, 0xFF):
        sys.exit("check_screenshot: expected a 24-bit true-colour screen, got %d bits per pixel" % bits_per_pixel)
    start = header_size + colours * 12
    word = "<%dI" if byte_order == 0 else ">%dI"
    rgb = bytearray()
    for y in range(height):
        row = struct.unpack_from(word % width, data, start + y * bytes_per_line)
        for value in row:
            rgb += bytes(((value >> 16) & 255, (value >> 8) & 255, value & 255))
    return Image(width, height, rgb)


def read_ppm(path):
    data = open(path, "rb").read()
    magic, width, height, maxval, pixels = data.split(maxsplit=4)
    if magic != b"P6" or maxval != b"255":
        sys.exit("check_screenshot: %s is no 8-bit PPM" % path)
    return Image(int(width), int(height), pixels[:int(width) * int(height) * 3])


def write_png(path, image):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    stride = image.width * 3
    raw = b"".join(b"\0" + bytes(image.rgb[y * stride:(y + 1) * stride]) for y in range(image.height))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", image.width, image.height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        out.write(chunk(b"IEND", b""))


def close(a, b):
    return all(abs(a[i] - b[i]) <= TOLERANCE for i in range(3))


def check_picture(shot, main_x, main_y, box, vanta, image2):
    bx, by, bw, bh = box
    samples = vanta_hits = image2_hits = 0
    for py in range(2, PICTURE_H, 7):
        for px in range(3, PICTURE_W, 11):
            sx, sy = main_x + PICTURE_LEFT + px, main_y + py
            if bx - 4 <= sx < bx + bw + 4 and by - 4 <= sy < by + bh + 4:
                continue
            samples += 1
            seen = shot.pixel(sx, sy)
            vanta_hits += close(seen, vanta.pixel(px, py))
            image2_hits += close(seen, image2.pixel(px, py))
    print("picture: %d samples, %d match ImageVanta, %d match Image2" % (samples, vanta_hits, image2_hits))
    return samples > 500 and vanta_hits >= samples * 0.98 and image2_hits < samples * 0.2


def check_gauge(shot, main_x, main_y):
    red = navy = total = 0
    for gy in range(3, GAUGE_H - 3):
        for gx in range(3, GAUGE_W - 3):
            seen = shot.pixel(main_x + gx, main_y + GAUGE_TOP + gy)
            total += 1
            red += seen == (255, 0, 0)
            navy += seen == (0, 0, 128)
    print("gauge: %d pixels, %d red, %d navy" % (total, red, navy))
    # The label "0%" in the middle covers a few of the red pixels.
    return red >= total * 0.95 and navy == 0


def main():
    if len(sys.argv) != 10:
        sys.exit(__doc__)
    shot = read_xwd(sys.argv[1])
    write_png(sys.argv[3], shot)
    print("screenshot saved as", sys.argv[3])
    vanta = read_ppm(sys.argv[2] + "/image_vanta.ppm")
    image2 = read_ppm(sys.argv[2] + "/image2.ppm")
    main_x, main_y = int(sys.argv[4]), int(sys.argv[5])
    box = tuple(int(v) for v in sys.argv[6:10])
    ok = check_picture(shot, main_x, main_y, box, vanta, image2)
    ok = check_gauge(shot, main_x, main_y) and ok
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
