#!/usr/bin/env python3
"""Draws the two pictures of the main window (504 x 321) as binary PPM files.

Run once when the pictures change, then compress them with the libjpeg tool beside this script:
    python3 make_pictures.py /tmp/pictures
    cc ppm_to_jpeg.c -ljpeg -o /tmp/ppm_to_jpeg
    /tmp/ppm_to_jpeg /tmp/pictures/image2.ppm image2.jpg 88
    /tmp/ppm_to_jpeg /tmp/pictures/image_vanta.ppm image_vanta.jpg 88
Only the .jpg files are built into the program.
"""
import math
import os
import sys

WIDTH, HEIGHT = 504, 321

# A 5 x 7 pixel font, enough for the words on the pictures; '#' is ink.
GLYPHS = {
    "C": [" ### ", "#   #", "#    ", "#    ", "#    ", "#   #", " ### "],
    "S": [" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "],
    "Q": [" ### ", "#   #", "#   #", "#   #", "# # #", "#  # ", " ## #"],
    "L": ["#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"],
    "U": ["#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "a": ["     ", "     ", " ### ", "    #", " ####", "#   #", " ####"],
    "b": ["#    ", "#    ", "# ## ", "##  #", "#   #", "#   #", "#### "],
    "d": ["    #", "    #", " ## #", "#  ##", "#   #", "#   #", " ####"],
    "e": ["     ", "     ", " ### ", "#   #", "#####", "#    ", " ### "],
    "i": ["  #  ", "     ", " ##  ", "  #  ", "  #  ", "  #  ", " ### "],
    "l": [" ##  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "],
    "n": ["     ", "     ", "# ## ", "##  #", "#   #", "#   #", "#   #"],
    "p": ["     ", "     ", "#### ", "#   #", "#   #", "#### ", "#    "],
    "q": ["     ", "     ", " ####", "#   #", "#   #", " ####", "    #"],
    "t": [" #   ", " #   ", "###  ", " #   ", " #   ", " #  #", "  ## "],
    "u": ["     ", "     ", "#   #", "#   #", "#   #", "#  ##", " ## #"],
    "v": ["     ", "     ", "#   #", "#   #", "#   #", " # # ", "  #  "],
    " ": ["     "] * 7,
}


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


class Canvas:
    def __init__(self, top_left, bottom_right):
        self.pixels = []
        for y in range(HEIGHT):
            row = []
            for x in range(WIDTH):
                t = (x / WIDTH * 0.6 + y / HEIGHT * 0.4)
                row.append(mix(top_left, bottom_right, t))
            self.pixels.append(row)

    def blend(self, x, y, colour, alpha):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT and alpha > 0:
            self.pixels[y][x] = mix(self.pixels[y][x], colour, min(alpha, 1.0))

    def ring(self, cx, cy, radius, thickness, colour, alpha):
        """An antialiased circle line: coverage falls off with the distance from the radius."""
        reach = radius + thickness + 1
        for y in range(max(0, int(cy - reach)), min(HEIGHT, int(cy + reach) + 1)):
            for x in range(max(0, int(cx - reach)), min(WIDTH, int(cx + reach) + 1)):
                d = abs(math.hypot(x - cx, y - cy) - radius)
                coverage = max(0.0, min(1.0, thickness / 2 + 0.5 - d))
                self.blend(x, y, colour, alpha * coverage)

    def rect(self, x0, y0, w, h, colour, alpha=1.0):
        for y in range(y0, y0 + h):
            for x in range(x0, x0 + w):
                self.blend(x, y, colour, alpha)

    def text(self, x, y, words, scale, colour, shadow=True):
        if shadow:
            self._text(x + max(1, scale // 3), y + max(1, scale // 3), words, scale, (0, 0, 0), 0.35)
        self._text(x, y, words, scale, colour, 1.0)

    def _text(self, x, y, words, scale, colour, alpha):
        for ch in words:
            for gy, line in enumerate(GLYPHS[ch]):
                for gx, ink in enumerate(line):
                    if ink == "#":
                        self.rect(x + gx * scale, y + gy * scale, scale, scale, colour, alpha)
            x += 6 * scale

    def write_ppm(self, path):
        with open(path, "wb") as out:
            out.write(b"P6 %d %d 255\n" % (WIDTH, HEIGHT))
            out.write(bytes(max(0, min(255, round(c))) for row in self.pixels for p in row for c in p))


def image2():
    canvas = Canvas((34, 64, 58), (118, 156, 128))
    for i, radius in enumerate(range(40, 260, 34)):
        canvas.ring(430, 260, radius, 3, (255, 255, 255), 0.10 + 0.02 * i)
    canvas.text(44, 96, "Clubiqa", 8, (255, 255, 255))
    canvas.rect(46, 172, 310, 3, (230, 236, 210), 0.8)
    canvas.text(46, 190, "SQL Update", 3, (230, 236, 210))
    return canvas


def image_vanta():
    canvas = Canvas((16, 44, 82), (44, 124, 156))
    for i, radius in enumerate(range(30, 280, 30)):
        canvas.ring(410, 150, radius, 4, (255, 255, 255), 0.06 + 0.015 * i)
    canvas.text(44, 70, "Clubiqa", 8, (255, 255, 255))
    canvas.text(48, 142, "vanta", 6, (244, 184, 64))
    canvas.rect(46, 198, 310, 3, (244, 184, 64), 0.9)
    canvas.text(46, 216, "SQL Update", 3, (214, 230, 240))
    return canvas


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(target, exist_ok=True)
    image2().write_ppm(os.path.join(target, "image2.ppm"))
    image_vanta().write_ppm(os.path.join(target, "image_vanta.ppm"))


if __name__ == "__main__":
    main()
