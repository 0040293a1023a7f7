#!/usr/bin/env python3
"""Writes the GIF test corpus: ordinary files through ImageMagick, odd ones
through the small LZW writer below (1-byte sub-blocks, tables that fill up
without a clear code, data that ends early).  Run from this folder."""
import os
import random
import subprocess


def im(args, out):
    subprocess.run(["convert"] + args + [out], check=True)


def lzw(pixels, min_size, clear_when_full=True):
    """Codes as the GIF encoder makes them; without clear_when_full the table
    stays full and codes stay at 12 bits."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    out, acc, nbits = bytearray(), 0, 0
    size = min_size + 1

    def emit(code):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    table = {}
    nxt = clear + 2
    emit(clear)
    cur = None
    for p in pixels:
        if cur is None:
            cur = (p,)
            continue
        cand = cur + (p,)
        if cand in table or len(cand) == 1:
            cur = cand
            continue
        emit(table[cur] if len(cur) > 1 else cur[0])
        if nxt < 4096:
            table[cand] = nxt
            nxt += 1
            if nxt > (1 << size) and size < 12:
                size += 1
        elif clear_when_full:
            emit(clear)
            table, nxt, size = {}, clear + 2, min_size + 1
        cur = (p,)
    if cur is not None:
        emit(table[cur] if len(cur) > 1 else cur[0])
        # The decoder adds an entry for the last code too.
        if nxt < 4096:
            nxt += 1
            if nxt > (1 << size) and size < 12:
                size += 1
    emit(end)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def blocks(data, size=255):
    out = bytearray()
    for i in range(0, len(data), size):
        chunk = data[i:i + size]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    return bytes(out)


def gif(width, height, palette, frames, loop=None):
    """frames: list of (pixels, dict) with keys min, block, noclear, gce."""
    bits = max(1, (len(palette) - 1).bit_length())
    out = bytearray(b"GIF89a")
    out += width.to_bytes(2, "little") + height.to_bytes(2, "little")
    out += bytes([0x80 | ((bits - 1) << 4) | (bits - 1), 0, 0])
    for i in range(1 << bits):
        out += bytes(palette[i] if i < len(palette) else (0, 0, 0))
    if loop is not None:
        out += b"\x21\xff\x0bNETSCAPE2.0\x03\x01" + loop.to_bytes(2, "little") + b"\x00"
    for pixels, opt in frames:
        if "gce" in opt:
            disp, delay, tr = opt["gce"]
            flags = (disp << 2) | (1 if tr is not None else 0)
            out += bytes([0x21, 0xF9, 4, flags]) + delay.to_bytes(2, "little") + bytes([tr or 0, 0])
        out += b"\x2c" + (0).to_bytes(4, "little") + width.to_bytes(2, "little") + height.to_bytes(2, "little")
        out += b"\x00"
        m = opt.get("min", max(2, bits))
        out.append(m)
        out += blocks(lzw(pixels, m, not opt.get("noclear")), opt.get("block", 255))
    out += b"\x3b"
    return bytes(out)


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


def main():
    rnd = random.Random(1234)
    # ImageMagick: sizes, depths, interlacing, local tables, animation.
    im(["-size", "1x1", "xc:red"], "im-1x1.gif")
    im(["-size", "3x5", "pattern:checkerboard", "-colors", "2"], "im-3x5-2bit.gif")
    im(["-size", "16x16", "plasma:fractal", "-seed", "7", "-colors", "16"], "im-16x16-4bit.gif")
    im(["-seed", "3", "-size", "97x61", "plasma:", "-colors", "200"], "im-97x61-8bit.gif")
    im(["-seed", "5", "-size", "300x200", "plasma:", "+dither", "-colors", "256"], "im-300x200-8bit.gif")
    im(["-seed", "5", "-size", "37x10", "plasma:", "-colors", "64", "-interlace", "GIF"], "im-37x10-interlaced.gif")
    im(["-seed", "9", "-size", "203x151", "plasma:", "-colors", "128", "-interlace", "GIF"], "im-203x151-interlaced.gif")
    im(["-delay", "7", "-loop", "3", "-dispose", "Background",
        "(", "-size", "40x30", "xc:none", "-fill", "blue", "-draw", "rectangle 2,2 20,20", ")",
        "(", "-size", "40x30", "xc:none", "-fill", "green", "-draw", "circle 25,15 30,20", ")",
        "(", "-size", "40x30", "xc:yellow", "-fill", "red", "-draw", "rectangle 10,5 30,25", ")"],
       "im-anim-dispose.gif")
    im(["-delay", "12", "-loop", "0",
        "(", "-seed", "1", "-size", "64x48", "plasma:", "-colors", "32", ")",
        "(", "-seed", "2", "-size", "64x48", "plasma:", "-colors", "32", ")",
        "-layers", "Optimize"], "im-anim-optimized.gif")
    im(["-delay", "5", "(", "-size", "24x24", "xc:white", ")",
        "(", "-size", "10x8", "xc:blue", "-repage", "+6+9", ")",
        "(", "-size", "4x4", "xc:red", "-repage", "+1+1", ")",
        "-dispose", "Previous"], "im-anim-previous.gif")
    # Our writer: odd but legal streams.
    pal = [(i * 17 % 256, i * 31 % 256, i * 7 % 256) for i in range(256)]
    px = [rnd.randrange(256) for _ in range(120 * 90)]
    write("lzw-noclear.gif", gif(120, 90, pal, [(px, {"min": 8, "noclear": True})]))
    px4 = [(x * y + x // 3) % 16 for y in range(33) for x in range(29)]
    write("lzw-1byte-blocks.gif", gif(29, 33, pal[:16], [(px4, {"min": 4, "block": 1})]))
    small = [rnd.randrange(4) for _ in range(7 * 5)]
    write("lzw-min-2-blocks3.gif", gif(7, 5, pal[:4], [(small, {"min": 2, "block": 3})]))
    # Two frames, each ending half way with the end code; the second is transparent.
    half = [rnd.randrange(16) for _ in range(8 * 8)]
    write("damaged-short-frames.gif", gif(16, 8, pal[:16],
                                      [(half, {"min": 4}), (half, {"min": 4, "gce": (1, 3, 5)})], loop=0))


if __name__ == "__main__":
    os.chdir(os.path.dirname(os.path.abspath(__file__)))
    main()
