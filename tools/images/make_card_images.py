#!/usr/bin/env python3
"""Draws the card program's images into assets/card/images/: the nine frame
pieces card1.png .. card9.png (a 3 x 3 grid in row-major order) and the
program icon at 24 x 24 and 16 x 16.

The frame is drawn whole at its design size (280 x 170) and cut into the
pieces. The card program stretches the edge pieces with nearest-neighbour
sampling to any length, so every column of a horizontal edge piece and every
row of a vertical one is the same: they are written from one line of the
drawing. Run it by hand after changing a drawing; the files are committed.
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_dict_images import Canvas, disc, rounded_rect, write_png  # noqa: E402

W, H = 280, 170          # design size of the whole card
L = T = R = B = 30       # corner sizes; the centre is 220 x 110
MARGIN = 10              # transparent margin left and top
SHADOW = 8               # soft shadow right and bottom
BEYOND = 3               # transparent beyond the shadow
RADIUS = 6.0             # panel corners
BORDER = 2.0             # width of the panel's border
SS = 6                   # samples per pixel edge

CENTRE = (0x0E, 0x0F, 0x0F)
LIGHT = (0x3E, 0x3F, 0x3F)   # border toward the top and left
DARK = (0x0A, 0x0B, 0x0B)    # border toward the bottom and right

PX0, PY0 = MARGIN, MARGIN
PX1, PY1 = W - SHADOW - BEYOND, H - SHADOW - BEYOND  # panel, exclusive


def rounded_distance(x, y, x0, y0, x1, y1, r):
    """Signed distance to a rounded rectangle (negative inside) and the
    outward direction of the nearest edge."""
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    sx, sy = (1.0 if x >= cx else -1.0), (1.0 if y >= cy else -1.0)
    qx = abs(x - cx) - ((x1 - x0) / 2.0 - r)
    qy = abs(y - cy) - ((y1 - y0) / 2.0 - r)
    if qx > 0 and qy > 0:
        d = math.hypot(qx, qy)
        return d - r, sx * qx / d, sy * qy / d
    if qx >= qy:
        return qx - r, sx, 0.0
    return qy - r, 0.0, sy


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def sample(x, y):
    """Straight colour (0..255 floats) and alpha (0..1) of one sample."""
    d, nx, ny = rounded_distance(x, y, PX0, PY0, PX1, PY1, RADIUS)
    if d <= 0:
        if d > -BORDER:
            # Lit from the top left: light where the edge faces up or left.
            t = min(max((1.0 - nx - ny) / 2.0, 0.0), 1.0)
            return mix(DARK, LIGHT, t), 1.0
        return CENTRE, 1.0
    # Outside the panel: the shadow falls right and below only; the left and
    # top margin stays clear so that edge of the panel is sharp.
    if x < PX0 or y < PY0:
        return (0, 0, 0), 0.0
    sd, _, _ = rounded_distance(x, y, PX0 + 4, PY0 + 4, PX1, PY1, RADIUS)
    if sd >= SHADOW:
        return (0, 0, 0), 0.0
    f = 1.0 - max(sd, 0.0) / SHADOW
    return (0, 0, 0), 0.55 * f * f


def draw_card():
    """The whole card as straight RGBA byte tuples, row-major."""
    out = []
    for py in range(H):
        for px in range(W):
            pr = pg = pb = pa = 0.0
            for sy in range(SS):
                for sx in range(SS):
                    (r, g, b), a = sample(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS)
                    pr += r * a
                    pg += g * a
                    pb += b * a
                    pa += a
            n = SS * SS
            if pa <= 1e-9:
                out.append((0, 0, 0, 0))
            else:
                out.append((round(pr / pa), round(pg / pa), round(pb / pa), round(pa / n * 255)))
    return out


def piece(card, x0, y0, w, h, repeat_x=False, repeat_y=False):
    """A w x h piece at (x0, y0); a stretched edge repeats one line."""
    px = []
    for y in range(h):
        for x in range(w):
            sx = x0 if repeat_x else x0 + x
            sy = y0 if repeat_y else y0 + y
            px.append(card[sy * W + sx])
    return px


def write_frame(out):
    card = draw_card()
    cw, ch = W - L - R, H - T - B
    # The drawing itself must not change along the edges, or the corner
    # pieces would not meet their stretched neighbours without a seam.
    for y in range(H):
        assert all(card[y * W + x] == card[y * W + L] for x in range(L, W - R)), y
    for x in range(W):
        assert all(card[y * W + x] == card[T * W + x] for y in range(T, H - B)), x
    mid_x, mid_y = L + cw // 2, T + ch // 2
    pieces = [
        piece(card, 0, 0, L, T), piece(card, mid_x, 0, cw, T, repeat_x=True), piece(card, W - R, 0, R, T),
        piece(card, 0, mid_y, L, ch, repeat_y=True), None, piece(card, W - R, mid_y, R, ch, repeat_y=True),
        piece(card, 0, H - B, L, B), piece(card, mid_x, H - B, cw, B, repeat_x=True), piece(card, W - R, H - B, R, B),
    ]
    sizes = [(L, T), (cw, T), (R, T), (L, ch), (cw, ch), (R, ch), (L, B), (cw, B), (R, B)]
    for i, (p, (w, h)) in enumerate(zip(pieces, sizes)):
        path = os.path.join(out, f"card{i + 1}.png")
        if p is None:
            write_png(path, w, h, [CENTRE] * (w * h), colour_type=2)  # opaque centre
        else:
            write_png(path, w, h, p)


def icon(path, size):
    """A dark card with the program's five-petalled flower."""
    c = Canvas(size, size)
    s = size / 24.0
    c.fill(rounded_rect(1.0 * s, 3.0 * s, 23.0 * s, 21.0 * s, 3.0 * s), LIGHT)
    c.fill(rounded_rect(2.2 * s, 4.2 * s, 21.8 * s, 19.8 * s, 2.2 * s), CENTRE)
    for i in range(5):
        ang = math.pi / 2 + i * 2 * math.pi / 5
        c.fill(disc(12 * s + 3.6 * s * math.cos(ang), 11.5 * s - 3.6 * s * math.sin(ang), 2.5 * s),
               (0xF5, 0xA6, 0xC6))
    c.fill(disc(12 * s, 11.5 * s, 1.9 * s), (0xF0, 0xC0, 0x30))
    c.save(path)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "assets",
                                                              "card", "images")
    os.makedirs(out, exist_ok=True)
    write_frame(out)
    icon(os.path.join(out, "icon24.png"), 24)
    icon(os.path.join(out, "icon16.png"), 16)


if __name__ == "__main__":
    main()
