#!/usr/bin/python3
"""Draws the program's cursors (C01-C29) and its icon (1001) as small PNGs.

Run from anywhere: writes into src/resources/cursors and src/resources/icons.
Only the standard library is used (PNG written with zlib)."""
import math
import os
import struct
import zlib

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
CURSORS = os.path.join(ROOT, "resources", "cursors")
ICONS = os.path.join(ROOT, "resources", "icons")

BLACK = (0, 0, 0, 255)
WHITE = (255, 255, 255, 255)
NAVY = (28, 52, 120, 255)
GREEN = (40, 140, 70, 255)
SAND = (222, 170, 60, 255)
GREY = (150, 150, 150, 255)
RED = (200, 30, 30, 255)


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def set(self, x, y, c):
        x, y = int(round(x)), int(round(y))
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c); self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c); self.set(x1, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.set(x, y, c)

    def line(self, x0, y0, x1, y1, c, w=1):
        n = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
        for i in range(n + 1):
            t = i / n
            x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
            if w <= 1:
                self.set(x, y, c)
            else:
                self.disc(x, y, w / 2, c)

    def polygon(self, pts, c):
        ys = [p[1] for p in pts]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            xs = []
            for i in range(len(pts)):
                (xa, ya), (xb, yb) = pts[i], pts[(i + 1) % len(pts)]
                if (ya <= y < yb) or (yb <= y < ya):
                    xs.append(xa + (y - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for a, b in zip(xs[::2], xs[1::2]):
                for x in range(int(math.ceil(a)), int(math.floor(b)) + 1):
                    self.set(x, y, c)

    def outline_polygon(self, pts, c):
        for i in range(len(pts)):
            (xa, ya), (xb, yb) = pts[i], pts[(i + 1) % len(pts)]
            self.line(xa, ya, xb, yb, c)

    def png(self, path):
        raw = b"".join(b"\x00" + b"".join(struct.pack("4B", *p) for p in row) for row in self.px)
        def chunk(tag, data):
            return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)
        head = struct.pack(">IIBBBBB", self.size, self.size, 8, 6, 0, 0, 0)
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def arrow(cv):
    pts = [(1, 1), (1, 20), (6, 15), (10, 23), (13, 22), (9, 14), (16, 14)]
    cv.polygon(pts, WHITE)
    cv.outline_polygon(pts, BLACK)


def hourglass(cv, sand_top):
    cv.rect(8, 4, 23, 5, NAVY)
    cv.rect(8, 26, 23, 27, NAVY)
    glass = [(10, 6), (21, 6), (16, 16), (21, 25), (10, 25), (15, 16)]
    cv.polygon(glass, WHITE)
    if sand_top:
        cv.polygon([(12, 8), (19, 8), (16, 14), (15, 14)], SAND)
        cv.line(15.5, 16, 15.5, 24, SAND)
    else:
        cv.polygon([(15, 18), (16, 18), (20, 24), (11, 24)], SAND)
    cv.outline_polygon(glass, BLACK)


def spinner(cv, frame):
    cv.disc(16, 16, 11, WHITE)
    for k in range(8):
        a = k * math.pi / 4
        x, y = 16 + 7.5 * math.sin(a), 16 - 7.5 * math.cos(a)
        cv.disc(x, y, 2.2, NAVY if k == frame else GREY)
    for k in range(64):
        a = k * math.pi / 32
        cv.set(16 + 11 * math.cos(a), 16 + 11 * math.sin(a), BLACK)


def gauge(cv, tenths):
    arrow_small = [(1, 1), (1, 12), (4, 9), (7, 14), (9, 13), (6, 8), (10, 8)]
    cv.polygon(arrow_small, WHITE)
    cv.outline_polygon(arrow_small, BLACK)
    cv.rect(4, 18, 27, 27, WHITE)
    cv.frame(4, 18, 27, 27, BLACK)
    if tenths:
        cv.rect(6, 20, 6 + int(round(21 * tenths / 10)) - 1, 25, GREEN)


def hand(cv):
    cv.rect(11, 4, 15, 18, WHITE); cv.frame(11, 4, 15, 18, BLACK)
    body = [(8, 16), (24, 14), (24, 24), (20, 29), (11, 29), (6, 22)]
    cv.polygon(body, WHITE); cv.outline_polygon(body, BLACK)
    for x in (16, 19, 22):
        cv.line(x, 15, x, 20, BLACK)


def cross(cv):
    cv.line(16, 3, 16, 29, WHITE, 3); cv.line(3, 16, 29, 16, WHITE, 3)
    cv.line(16, 3, 16, 29, BLACK); cv.line(3, 16, 29, 16, BLACK)


def magnifier(cv):
    cv.disc(13, 13, 8, BLACK); cv.disc(13, 13, 6.5, WHITE)
    cv.line(19, 19, 27, 27, BLACK, 4)


def arrow_badge(cv, kind):
    arrow(cv)
    cv.disc(23, 23, 7, WHITE)
    for k in range(48):
        a = k * math.pi / 24
        cv.set(23 + 7 * math.cos(a), 23 + 7 * math.sin(a), BLACK)
    if kind in ("plus", "minus"):
        cv.line(19, 23, 27, 23, NAVY, 2)
        if kind == "plus":
            cv.line(23, 19, 23, 27, NAVY, 2)
    elif kind == "question":
        for k in range(12):
            a = math.pi + k * math.pi / 11
            cv.set(23 + 2.5 * math.cos(a), 21 + 2.5 * math.sin(a) * -1 + 0, NAVY)
        cv.line(25.5, 21, 23, 24, NAVY); cv.set(23, 25, NAVY); cv.set(23, 27, NAVY)
    elif kind == "no":
        cv.line(19, 27, 27, 19, RED, 2)


def pen(cv):
    body = [(22, 3), (28, 9), (11, 26), (5, 20)]
    cv.polygon(body, WHITE); cv.outline_polygon(body, BLACK)
    cv.polygon([(5, 20), (11, 26), (3, 28)], NAVY)


def icon(size):
    cv = Canvas(size)
    s = size / 32.0
    def S(v):
        return int(round(v * s))
    cv.rect(S(5), S(3), S(27), S(29), NAVY)
    cv.rect(S(8), S(4), S(26), S(28), (250, 248, 236, 255))
    cv.rect(S(5), S(3), S(8), S(29), GREEN)
    for row in range(6):
        y = S(9 + row * 3.3)
        cv.line(S(11), y, S(24), y, GREY)
    cv.line(S(17), S(7), S(17), S(27), RED)
    # an "M" stamped at the top
    cv.line(S(12), S(8), S(12), S(4), NAVY, max(1, S(1.2)))
    return cv


def main():
    os.makedirs(CURSORS, exist_ok=True)
    os.makedirs(ICONS, exist_ok=True)
    draw = {}
    draw["C01"] = arrow
    draw["C02"] = lambda cv: hourglass(cv, True)
    draw["C03"] = lambda cv: hourglass(cv, False)
    draw["C04"] = hand
    draw["C05"] = cross
    draw["C06"] = magnifier
    for f in range(8):
        draw["C%02d" % (7 + f)] = (lambda f: lambda cv: spinner(cv, f))(f)
    for t in range(11):
        draw["C%02d" % (15 + t)] = (lambda t: lambda cv: gauge(cv, t))(t)
    draw["C26"] = lambda cv: arrow_badge(cv, "plus")
    draw["C27"] = lambda cv: arrow_badge(cv, "minus")
    draw["C28"] = lambda cv: arrow_badge(cv, "question")
    draw["C29"] = pen
    hot = {"C01": "1 1", "C26": "1 1", "C27": "1 1", "C28": "1 1", "C04": "13 4", "C29": "3 28"}
    for t in range(11):
        hot["C%02d" % (15 + t)] = "1 1"
    for name, fn in sorted(draw.items()):
        cv = Canvas(32)
        fn(cv)
        cv.png(os.path.join(CURSORS, name + ".png"))
        if name in hot:
            with open(os.path.join(CURSORS, name + ".hot"), "w") as f:
                f.write(hot[name] + "\n")
    icon(32).png(os.path.join(ICONS, "1001.png"))


if __name__ == "__main__":
    main()
