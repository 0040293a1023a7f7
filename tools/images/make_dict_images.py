#!/usr/bin/env python3
"""Draws the dictionary program's images (window buttons, search frame, logo,
page icons, program icon) as 8-bit RGBA PNG files into assets/dict/images/.

Shapes are given as coverage functions sampled 4x4 per pixel, so edges are
smooth. Run it by hand after changing a drawing; the files are committed.
"""
import math
import os
import struct
import sys
import zlib

SS = 4  # samples per pixel edge


def write_png(path, w, h, pixels, colour_type=6):
    """pixels: RGBA tuples (colour type 6) or RGB tuples (colour type 2)."""
    raw = b"".join(b"\x00" + bytes(c for px in pixels[y * w:(y + 1) * w] for c in px) for y in range(h))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, colour_type, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [(0.0, 0.0, 0.0, 0.0)] * (w * h)  # premultiplied floats

    def fill(self, inside, rgb, alpha=1.0):
        """Composites rgb over the canvas where inside(x, y) holds."""
        r, g, b = (c / 255.0 for c in rgb)
        for y in range(self.h):
            for x in range(self.w):
                n = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if inside(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS):
                            n += 1
                if n == 0:
                    continue
                a = alpha * n / (SS * SS)
                pr, pg, pb, pa = self.px[y * self.w + x]
                self.px[y * self.w + x] = (r * a + pr * (1 - a), g * a + pg * (1 - a), b * a + pb * (1 - a),
                                           a + pa * (1 - a))

    def save(self, path):
        out = []
        for pr, pg, pb, pa in self.px:
            if pa <= 0:
                out.append((0, 0, 0, 0))
            else:
                out.append(tuple(min(255, round(c / pa * 255)) for c in (pr, pg, pb)) + (round(pa * 255),))
        write_png(path, self.w, self.h, out)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def segment(x0, y0, x1, y1, width):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
        px, py = x0 + t * dx, y0 + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


ACCENT = (0x44, 0x96, 0xEF)
GREY = (0x70, 0x70, 0x70)
DARK = (0x40, 0x40, 0x40)


def search_frame(path, border):
    c = Canvas(200, 30)
    c.fill(rounded_rect(27.5, 3.5, 196.5, 26.5, 5), border)
    c.fill(rounded_rect(28.5, 4.5, 195.5, 25.5, 4), (255, 255, 255))
    c.fill(ring(13, 13, 7, 4.6), border)
    c.fill(segment(18, 18, 24, 24, 3.2), border)
    c.save(path)


def title_button(path, glyph, state):
    c = Canvas(18, 18)
    if state == "enter":
        c.fill(rounded_rect(0.5, 0.5, 17.5, 17.5, 3), (255, 255, 255), 0.85)
        colour = (0xE8, 0x11, 0x23) if glyph == "close" else ACCENT
    elif state == "down":
        c.fill(rounded_rect(0.5, 0.5, 17.5, 17.5, 3), (0xB8, 0xB8, 0xB8))
        colour = DARK
    else:
        colour = GREY
    if glyph == "close":
        c.fill(union(segment(5, 5, 13, 13, 2), segment(13, 5, 5, 13, 2)), colour)
    elif glyph == "maximize":
        c.fill(minus(rounded_rect(4, 4, 14, 14, 1), rounded_rect(5.8, 7, 12.2, 12.2, 0.5)), colour)
    else:
        c.fill(rounded_rect(4, 11.5, 14, 13.5, 0.5), colour)
    c.save(path)


def cloud(cx, cy, s):
    return union(disc(cx - 1.1 * s, cy + 0.3 * s, 0.8 * s), disc(cx, cy - 0.3 * s, 1.1 * s),
                 disc(cx + 1.1 * s, cy + 0.3 * s, 0.8 * s), rounded_rect(cx - 1.6 * s, cy, cx + 1.6 * s,
                                                                       cy + 1.1 * s, 0.5 * s))


# A 5x7 pixel font for the few letters of the logo.
FONT = {
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
}


def text_shape(text, x0, y0, cell):
    boxes = []
    for i, ch in enumerate(text):
        for row, bits in enumerate(FONT[ch]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    x = x0 + (i * 6 + col) * cell
                    y = y0 + row * cell
                    boxes.append((x, y, x + cell, y + cell))
    return lambda x, y: any(a <= x < c and b <= y < d for a, b, c, d in boxes)


def logo(path):
    c = Canvas(200, 40)
    c.fill(cloud(22, 18, 8), (0xF5, 0xB6, 0xCF))
    for i in range(5):
        ang = math.pi / 2 + i * 2 * math.pi / 5
        c.fill(disc(22 + 4 * math.cos(ang), 20 - 4 * math.sin(ang), 2.6), (255, 255, 255))
    c.fill(disc(22, 20, 1.8), (0xF0, 0xC0, 0x30))
    c.fill(text_shape("HANAKUMO", 44, 13, 2), (0x50, 0x50, 0x60))
    c.save(path)


def program_icon(path, size):
    """The logo's cloud and flower on a white tile, for taskbars and window lists."""
    c = Canvas(size, size)
    u = size / 48.0
    c.fill(rounded_rect(2 * u, 2 * u, 46 * u, 46 * u, 8 * u), (0xA0, 0xA0, 0xA0))
    c.fill(rounded_rect(3.5 * u, 3.5 * u, 44.5 * u, 44.5 * u, 6.5 * u), (255, 255, 255))
    s = 10 * u
    c.fill(cloud(24 * u, 22 * u, s), (0xF5, 0xB6, 0xCF))
    for i in range(5):
        ang = math.pi / 2 + i * 2 * math.pi / 5
        c.fill(disc(24 * u + 0.5 * s * math.cos(ang), 24.5 * u - 0.5 * s * math.sin(ang), 0.33 * s), (255, 255, 255))
    c.fill(disc(24 * u, 24.5 * u, 0.23 * s), (0xF0, 0xC0, 0x30))
    c.save(path)


def page_icon(path, kind):
    c = Canvas(48, 48)
    if kind == "dictionary":
        c.fill(rounded_rect(8, 6, 40, 42, 3), (0x32, 0x8F, 0xED))
        c.fill(rounded_rect(12, 9, 37, 39, 1.5), (255, 255, 255))
        c.fill(rounded_rect(8, 6, 14, 42, 2), (0x1E, 0x6F, 0xC8))
        for y in (15, 21, 27):
            c.fill(rounded_rect(18, y, 33, y + 2, 1), (0x9A, 0xB8, 0xD8))
    elif kind == "settings":
        teeth = union(*[segment(24 + 11 * math.cos(a), 24 + 11 * math.sin(a), 24 + 19 * math.cos(a),
                                24 + 19 * math.sin(a), 7) for a in [i * math.pi / 4 for i in range(8)]])
        c.fill(minus(union(disc(24, 24, 14), teeth), disc(24, 24, 6)), (0x70, 0x78, 0x88))
    else:
        c.fill(disc(24, 24, 19), (0x2E, 0xA0, 0x5E))
        c.fill(disc(24, 14.5, 3.2), (255, 255, 255))
        c.fill(rounded_rect(21, 20, 27, 35, 2), (255, 255, 255))
    c.save(path)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "assets",
                                                              "dict", "images")
    os.makedirs(out, exist_ok=True)
    search_frame(os.path.join(out, "searchenter.png"), ACCENT)
    search_frame(os.path.join(out, "searchleave.png"), (0xA0, 0xA0, 0xA0))
    for glyph in ("close", "maximize", "minimize"):
        for state in ("enter", "leave", "down"):
            title_button(os.path.join(out, f"{glyph}{state}.png"), glyph, state)
    logo(os.path.join(out, "logo.png"))
    for kind in ("dictionary", "settings", "about"):
        page_icon(os.path.join(out, f"page{kind}.png"), kind)
    for size in (16, 32, 48):
        program_icon(os.path.join(out, f"icon{size}.png"), size)


if __name__ == "__main__":
    main()
