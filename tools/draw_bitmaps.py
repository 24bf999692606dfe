#!/usr/bin/env python3
"""Draws the program's bitmaps and its icon into resources/bitmaps/.

Only the standard library is used, so the pictures can be regenerated anywhere; the output is
committed, so a Windows build needs no extra tools. Run: python3 tools/draw_bitmaps.py
"""
import math
import os
import struct
import sys

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "bitmaps")

FACE = (240, 240, 240)  # dialog background (COLOR_BTNFACE)
DARK = (32, 32, 48)
NOVAR_BLUE = (0, 70, 140)
NOVAR_TEAL = (0, 150, 160)

# 5 x 7 glyphs, one string of five characters per row, '#' = ink.
GLYPHS = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "Z": ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
    "!": ["..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."],
    " ": [".....", ".....", ".....", ".....", ".....", ".....", "....."],
}
# Narrow glyphs for the 13-pixel unit sign: three columns wide.
NARROW = {
    "(": [".#", "#.", "#.", "#.", "#.", "#.", ".#"],
    ")": ["#.", ".#", ".#", ".#", ".#", ".#", "#."],
    "deg": ["###", "#.#", "###", "...", "...", "...", "..."],
    "C": [".##", "#..", "#..", "#..", "#..", "#..", ".##"],
}


class Canvas:
    def __init__(self, width, height, fill=FACE):
        self.w = width
        self.h = height
        self.px = [[fill] * width for _ in range(height)]

    def set(self, x, y, colour):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.px[y][x] = colour

    def disc(self, cx, cy, r, colour, edge=None):
        """Filled disc with a softened rim blended into whatever lies below."""
        for y in range(self.h):
            for x in range(self.w):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if d <= r - 0.5:
                    self.px[y][x] = colour
                elif d < r + 0.5:
                    a = r + 0.5 - d
                    base = self.px[y][x]
                    self.px[y][x] = tuple(int(c * a + b * (1 - a)) for c, b in zip(colour, base))
        if edge:
            self.ring(cx, cy, r, 1.0, edge)

    def ring(self, cx, cy, r, thickness, colour):
        for y in range(self.h):
            for x in range(self.w):
                d = abs(math.hypot(x + 0.5 - cx, y + 0.5 - cy) - r)
                if d < thickness / 2 + 0.5:
                    a = min(1.0, thickness / 2 + 0.5 - d)
                    base = self.px[y][x]
                    self.px[y][x] = tuple(int(c * a + b * (1 - a)) for c, b in zip(colour, base))

    def line(self, x0, y0, x1, y1, colour, width=1):
        steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
        half = width / 2.0
        for i in range(steps + 1):
            t = i / steps
            x = x0 + (x1 - x0) * t
            y = y0 + (y1 - y0) * t
            for yy in range(int(y - half), int(y + half) + 1):
                for xx in range(int(x - half), int(x + half) + 1):
                    if math.hypot(xx + 0.5 - x, yy + 0.5 - y) <= half + 0.3:
                        self.set(xx, yy, colour)

    def text(self, x, y, s, colour, scale=1, spacing=1):
        for ch in s:
            glyph = GLYPHS[ch]
            for gy, row in enumerate(glyph):
                for gx, c in enumerate(row):
                    if c == "#":
                        self.rect(x + gx * scale, y + gy * scale, x + (gx + 1) * scale,
                                  y + (gy + 1) * scale, colour)
            x += (5 + spacing) * scale
        return x

    def glyph(self, x, y, rows, colour):
        for gy, row in enumerate(rows):
            for gx, c in enumerate(row):
                if c == "#":
                    self.set(x + gx, y + gy, colour)
        return x + len(rows[0]) + 1


def bmp24(canvas):
    row = canvas.w * 3
    pad = (4 - row % 4) % 4
    data = bytearray()
    for y in range(canvas.h - 1, -1, -1):
        for r, g, b in canvas.px[y]:
            data += bytes((b, g, r))
        data += b"\0" * pad
    header = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54) + header + data


def palette_of(canvas):
    colours = sorted({c for row in canvas.px for c in row})
    if len(colours) > 256:
        sys.exit("too many colours for an 8-bit picture")
    return colours + [(0, 0, 0)] * (256 - len(colours))


def bmp8(canvas):
    palette = palette_of(canvas)
    index = {c: i for i, c in enumerate(palette)}
    pad = (4 - canvas.w % 4) % 4
    data = bytearray()
    for y in range(canvas.h - 1, -1, -1):
        data += bytes(index[c] for c in canvas.px[y]) + b"\0" * pad
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    header = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h, 1, 8, 0, len(data), 2835, 2835, 256, 0)
    offset = 14 + 40 + len(pal)
    return struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset) + header + pal + data


def quantise(canvas, levels=6):
    """Maps every colour onto a 6x6x6 cube so an 8-bit palette can hold the picture."""
    step = 255 / (levels - 1)
    out = Canvas(canvas.w, canvas.h)
    for y in range(canvas.h):
        for x in range(canvas.w):
            out.px[y][x] = tuple(int(round(round(c / step) * step)) for c in canvas.px[y][x])
    return out


# ---- pictures ---------------------------------------------------------------------------------

def logo():
    c = Canvas(110, 39)
    c.disc(19, 19.5, 16, NOVAR_BLUE)
    c.disc(19, 19.5, 10, NOVAR_TEAL)
    c.disc(19, 19.5, 4, (255, 255, 255))
    c.text(40, 8, "NOVAR", NOVAR_BLUE, scale=2, spacing=1)
    c.rect(40, 26, 106, 28, NOVAR_TEAL)
    return c


def lamp(colour, rim):
    c = Canvas(25, 25)
    c.disc(12.5, 12.5, 11, rim)
    c.disc(12.5, 12.5, 9.5, colour)
    c.disc(9.5, 9, 3, tuple(min(255, v + 90) for v in colour))
    return c


def unit_celsius():
    c = Canvas(21, 13)
    x = 3
    for name in ("(", "deg", "C", ")"):
        x = c.glyph(x, 3 if name != "deg" else 3, NARROW[name], DARK)
    return c


def clock_face(c, cx, cy, r, face, rim, hands=(10, 2)):
    c.disc(cx, cy, r, rim)
    c.disc(cx, cy, r - 4, face)
    for i in range(12):
        a = i * math.pi / 6
        c.line(cx + math.sin(a) * (r - 9), cy - math.cos(a) * (r - 9), cx + math.sin(a) * (r - 6),
               cy - math.cos(a) * (r - 6), DARK, 2)
    ha = hands[0] * math.pi / 6
    ma = hands[1] * math.pi / 6
    c.line(cx, cy, cx + math.sin(ha) * (r * 0.45), cy - math.cos(ha) * (r * 0.45), DARK, 3)
    c.line(cx, cy, cx + math.sin(ma) * (r * 0.7), cy - math.cos(ma) * (r * 0.7), DARK, 2)
    c.disc(cx, cy, 3, DARK)


def alarm(state, frame=0):
    """state: disabled, enabled, triggered; frames 0..2 shake the clock for the animation, frame 3
    is the triggered picture itself: the clock at rest with every ray out."""
    c = Canvas(240, 124)
    shake = (0, -5, 5, 0)[frame] if state == "triggered" else 0
    cx, cy = 120 + shake, 66
    rim = {"disabled": (120, 120, 120), "enabled": (0, 110, 60), "triggered": (200, 30, 30)}[state]
    face = {"disabled": (215, 215, 215), "enabled": (235, 255, 240), "triggered": (255, 240, 200)}[state]
    c.disc(cx - 34, cy - 40, 14, rim)
    c.disc(cx + 34, cy - 40, 14, rim)
    c.line(cx - 30, cy + 38, cx - 40, cy + 52, rim, 5)
    c.line(cx + 30, cy + 38, cx + 40, cy + 52, rim, 5)
    clock_face(c, cx, cy, 46, face, rim)
    if state == "disabled":
        c.line(cx - 60, cy - 52, cx + 60, cy + 52, (170, 40, 40), 5)
    if state == "triggered":
        for k, length in enumerate((12, 18, 24)):
            if k > frame + 1 and frame < 2:
                continue
            for side in (-1, 1):
                x0 = cx + side * (62 + k * 10)
                c.line(x0, cy - 20, x0 + side * 6, cy - 20 - length, (230, 140, 0), 3)
                c.line(x0, cy + 20, x0 + side * 6, cy + 20 + length, (230, 140, 0), 3)
        c.text(8, 6, "ALARM!", (200, 30, 30), scale=2)
    if state == "enabled":
        c.text(8, 6, "ON", (0, 110, 60), scale=2)
    if state == "disabled":
        c.text(8, 6, "OFF", (120, 120, 120), scale=2)
    return c


def hourglass(frame):
    """Frame 0..5 of the running animation: sand runs from the top bulb into the bottom one."""
    c = Canvas(89, 142)
    wood = (120, 80, 40)
    glass = (225, 240, 250)
    sand = (220, 170, 60)
    c.rect(8, 6, 81, 16, wood)
    c.rect(8, 126, 81, 136, wood)
    top, mid, bottom = 18, 71, 124
    level = frame / 5.0
    for y in range(top, bottom):
        t = abs(y - mid) / (mid - top)
        half = int(4 + 30 * t)
        c.rect(44 - half, y, 45 + half, y + 1, glass)
    # Sand in the upper bulb shrinks, in the lower bulb grows.
    upper_surface = top + 6 + int((mid - top - 10) * level)
    for y in range(upper_surface, mid - 2):
        t = abs(y - mid) / (mid - top)
        half = int(2 + 28 * t)
        c.rect(44 - half, y, 45 + half, y + 1, sand)
    lower_surface = bottom - 2 - int((bottom - mid - 14) * (0.15 + 0.85 * level))
    for y in range(lower_surface, bottom - 1):
        t = abs(y - mid) / (mid - top)
        half = int(2 + 28 * t)
        c.rect(44 - half, y, 45 + half, y + 1, sand)
    if frame < 5:
        c.rect(44, mid - 2, 46, lower_surface, sand)
    c.line(10, 17, 40, mid, DARK)
    c.line(79, 17, 49, mid, DARK)
    c.line(10, 125, 40, mid, DARK)
    c.line(79, 125, 49, mid, DARK)
    return c


def emblem():
    c = Canvas(128, 128)
    c.disc(64, 64, 60, NOVAR_BLUE)
    c.disc(64, 64, 48, (255, 255, 255))
    c.disc(64, 64, 42, NOVAR_TEAL)
    c.text(42, 40, "N", (255, 255, 255), scale=7, spacing=0)
    return quantise(c)


def int_lamp_waiting():
    return lamp((240, 200, 40), (150, 120, 20))


# ---- icon -------------------------------------------------------------------------------------

def icon_canvas(size):
    c = Canvas(size, size, fill=(0, 0, 0))
    mask = [[False] * size for _ in range(size)]
    r = size / 2 - 0.5
    for y in range(size):
        for x in range(size):
            mask[y][x] = math.hypot(x + 0.5 - size / 2, y + 0.5 - size / 2) <= r
    c.disc(size / 2, size / 2, r, NOVAR_BLUE)
    c.disc(size / 2, size / 2, r * 0.72, (255, 255, 255))
    a = math.radians(300)
    c.line(size / 2, size / 2, size / 2 + math.sin(a) * r * 0.45, size / 2 - math.cos(a) * r * 0.45,
           DARK, max(1, size // 12))
    c.line(size / 2, size / 2, size / 2, size / 2 - r * 0.6, DARK, max(1, size // 16))
    return c, mask


def icon_image(size, bits):
    c, mask = icon_canvas(size)
    if bits == 8:
        c = quantise(c)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0,
                         256 if bits == 8 else 0, 0)
    data = bytearray(header)
    if bits == 8:
        palette = palette_of(c)
        index = {col: i for i, col in enumerate(palette)}
        data += b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
        pad = (4 - size % 4) % 4
        for y in range(size - 1, -1, -1):
            data += bytes(index[col] for col in c.px[y]) + b"\0" * pad
    else:
        for y in range(size - 1, -1, -1):
            for x in range(size):
                r, g, b = c.px[y][x]
                data += bytes((b, g, r, 255 if mask[y][x] else 0))
    mask_row = ((size + 31) // 32) * 4
    for y in range(size - 1, -1, -1):
        row = bytearray(mask_row)
        for x in range(size):
            if not mask[y][x]:
                row[x // 8] |= 0x80 >> (x % 8)
        data += row
    return bytes(data)


def icon_file():
    images = [(s, b, icon_image(s, b)) for b in (8, 32) for s in (48, 32, 24, 16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    return out + b"".join(d for _, _, d in images)


def main():
    os.makedirs(OUT, exist_ok=True)
    pictures = {
        "logo_505.bmp": bmp24(logo()),
        "lamp_green_516.bmp": bmp24(lamp((40, 190, 60), (20, 110, 30))),
        "lamp_red_517.bmp": bmp24(lamp((220, 40, 40), (130, 20, 20))),
        "alarm_frame1_530.bmp": bmp24(alarm("triggered", 0)),
        "alarm_frame2_531.bmp": bmp24(alarm("triggered", 1)),
        "alarm_frame3_532.bmp": bmp24(alarm("triggered", 2)),
        "alarm_disabled_533.bmp": bmp24(alarm("disabled")),
        "alarm_enabled_534.bmp": bmp24(alarm("enabled")),
        "alarm_triggered_535.bmp": bmp24(alarm("triggered", 3)),
        "emblem_568.bmp": bmp8(emblem()),
        "int_waiting_569.bmp": bmp24(int_lamp_waiting()),
        "unit_celsius_571.bmp": bmp24(unit_celsius()),
        "kalendo.ico": icon_file(),
    }
    for i in range(6):
        pictures["timer_frame%d_%d.bmp" % (i, 558 + i)] = bmp24(hourglass(i))
    for name, data in pictures.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
    print("wrote %d files to %s" % (len(pictures), os.path.normpath(OUT)))


if __name__ == "__main__":
    main()
