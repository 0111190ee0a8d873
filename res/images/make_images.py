#!/usr/bin/env python3
"""Draws the editor's images from the pixel art and shapes below. Standard library
only, and the same bytes on every run.

    python3 res/images/make_images.py [output folder]            tree.bmp and app.ico
    python3 res/images/make_images.py --buttons output folder    the five button
                                                                 pictures and the link cursor

tree.bmp and app.ico are kept in the repository; the button pictures and the cursor
are made by the build, into the build folder.
"""
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------------------
# The standard 16-colour palette, in the order Windows' own 4-bit bitmaps use.
# ---------------------------------------------------------------------------
PALETTE16 = [
    (0x00, 0x00, 0x00),  # 0  black
    (0x80, 0x00, 0x00),  # 1  maroon
    (0x00, 0x80, 0x00),  # 2  green
    (0x80, 0x80, 0x00),  # 3  olive
    (0x00, 0x00, 0x80),  # 4  navy
    (0x80, 0x00, 0x80),  # 5  purple
    (0x00, 0x80, 0x80),  # 6  teal
    (0xC0, 0xC0, 0xC0),  # 7  silver
    (0x80, 0x80, 0x80),  # 8  grey
    (0xFF, 0x00, 0x00),  # 9  red
    (0x00, 0xFF, 0x00),  # 10 lime
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 fuchsia
    (0x00, 0xFF, 0xFF),  # 14 aqua
    (0xFF, 0xFF, 0xFF),  # 15 white
]

# One letter per palette entry in the pixel art. '.' is white, which the tree's
# image list treats as transparent, so the art uses it only for the background and
# for the face of the card, which should look like the window behind it anyway.
TREE_LEGEND = {
    'K': 0, 'M': 1, 'O': 3, 'N': 4, 'T': 6, 'S': 7, 'G': 8,
    'R': 9, 'Y': 11, 'B': 12, 'C': 14, '.': 15,
}

# Image 0: a group whose properties are shown (open folder).
OPEN_FOLDER = """
................
................
................
.OOOO...........
OYYYYO..........
OYYYYYOOOOOOO...
OYYYYYYYYYYYYO..
OOOOOOOOOOOOOOOO
OOOOYYYYYYYYYYYK
OOOOYYYYYYYYYYOK
OOOYYYYYYYYYYYK.
OOOYYYYYYYYYYOK.
OOYYYYYYYYYYYK..
OKKKKKKKKKKKKK..
................
................
"""

# Image 1: a group whose properties are hidden (closed folder).
CLOSED_FOLDER = """
................
................
................
.OOOO...........
OYYYYO..........
OYYYYYOOOOOOOO..
OYYYYYYYYYYYYYO.
OOOOOOOOOOOOOOOK
OYYYYYYYYYYYYYOK
OYYYYYYYYYYYYYOK
OYYYYYYYYYYYYYOK
OYYYYYYYYYYYYYOK
OYYYYYYYYYYYYYOK
OOOOOOOOOOOOOOOK
.KKKKKKKKKKKKKKK
................
"""

# Image 2: a property (a small business card: portrait and two lines of text).
PROPERTY_CARD = """
................
................
................
GGGGGGGGGGGGGGG.
G.............GS
G.CCCCCC......GS
G.CCNNCC.NNNN.GS
G.CNNNNC......GS
G.CCNNCC.GGGG.GS
G.CNNNNC......GS
G.NNNNNN.GGG..GS
G.NNNNNN......GS
GGGGGGGGGGGGGGGS
.SSSSSSSSSSSSSSS
................
................
"""


def parse_art(art, legend, size=16):
    rows = art.strip('\n').split('\n')
    if len(rows) != size or any(len(r) != size for r in rows):
        raise ValueError('pixel art must be %d by %d' % (size, size))
    return [[legend[ch] for ch in row] for row in rows]


def write_bmp4(path, rows):
    """A 4-bit BI_RGB bitmap with the 16-colour palette; rows are top first."""
    height = len(rows)
    width = len(rows[0])
    stride = ((width * 4 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):  # NOT a mistake: bitmaps are stored bottom-up
        line = bytearray()
        for x in range(0, width, 2):
            right = row[x + 1] if x + 1 < width else 0
            line.append((row[x] << 4) | right)
        line.extend(b'\0' * (stride - len(line)))
        pixels.extend(line)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE16)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, len(pixels),
                       2835, 2835, 16, 16)
    offset = 14 + len(info) + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    with open(path, 'wb') as f:
        f.write(header + info + palette + pixels)


def make_tree_strip():
    images = [parse_art(a, TREE_LEGEND) for a in (OPEN_FOLDER, CLOSED_FOLDER, PROPERTY_CARD)]
    strip = []
    for y in range(16):
        strip.append(sum((img[y] for img in images), []))
    if strip[0][0] != 15:
        raise ValueError('the top-left pixel must stay white: it is the mask colour')
    return strip


# ---------------------------------------------------------------------------
# The icon: a white business card with a portrait and lines of text, lying on a
# second, blue card, with a soft shadow. The 48 and 32 pixel images are drawn with
# shapes, each size with its own geometry so that straight edges fall on whole
# pixels; the 16 pixel image is pixel art (ICON16 below).
# ---------------------------------------------------------------------------
class Canvas:
    """RGBA canvas with premultiplied floats; shapes are covered by supersampling."""

    def __init__(self, size, height=None, samples=8):
        self.size = size
        self.width = size
        self.height = size if height is None else height
        self.samples = samples
        self.px = [[[0.0, 0.0, 0.0, 0.0] for _ in range(self.width)] for _ in range(self.height)]

    def coverage(self, inside, box=None):
        """box: (x0, y0, x1, y1) in pixels outside which inside() is always false."""
        n = self.samples
        grid = [[0.0] * self.width for _ in range(self.height)]
        x0, y0, x1, y1 = box if box is not None else (0, 0, self.width, self.height)
        for y in range(max(0, int(y0)), min(self.height, int(y1) + 1)):
            for x in range(max(0, int(x0)), min(self.width, int(x1) + 1)):
                hits = 0
                for sy in range(n):
                    for sx in range(n):
                        if inside(x + (sx + 0.5) / n, y + (sy + 0.5) / n):
                            hits += 1
                grid[y][x] = hits / (n * n)
        return grid

    def paint(self, grid, colour):
        """colour: (r, g, b, a) in 0..1, or a function (x, y) -> that tuple."""
        for y in range(self.height):
            for x in range(self.width):
                cov = grid[y][x]
                if cov <= 0.0:
                    continue
                r, g, b, a = colour(x + 0.5, y + 0.5) if callable(colour) else colour
                a *= cov
                p = self.px[y][x]
                p[0] = r * a + p[0] * (1 - a)
                p[1] = g * a + p[1] * (1 - a)
                p[2] = b * a + p[2] * (1 - a)
                p[3] = a + p[3] * (1 - a)

    def fill(self, inside, colour, box=None):
        self.paint(self.coverage(inside, box), colour)

    def rgba_rows(self):
        rows = []
        for y in range(self.height):
            row = []
            for x in range(self.width):
                r, g, b, a = self.px[y][x]
                if a > 0:
                    r, g, b = r / a, g / a, b / a
                row.append(tuple(max(0, min(255, int(round(v * 255)))) for v in (r, g, b, a)))
            rows.append(row)
        return rows


def blur(grid, radius):
    size = len(grid)
    out = grid
    for _ in range(2):  # two box passes come close to a gaussian
        tmp = [[0.0] * size for _ in range(size)]
        for y in range(size):
            for x in range(size):
                s = 0.0
                for dx in range(-radius, radius + 1):
                    if 0 <= x + dx < size:
                        s += out[y][x + dx]
                tmp[y][x] = s / (2 * radius + 1)
        out2 = [[0.0] * size for _ in range(size)]
        for y in range(size):
            for x in range(size):
                s = 0.0
                for dy in range(-radius, radius + 1):
                    if 0 <= y + dy < size:
                        s += tmp[y + dy][x]
                out2[y][x] = s / (2 * radius + 1)
        out = out2
    return out


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def shape_and(a, b):
    return lambda x, y: a(x, y) and b(x, y)


def hexc(value, alpha=1.0):
    return ((value >> 16 & 255) / 255, (value >> 8 & 255) / 255, (value & 255) / 255, alpha)


def vertical(top, bottom, y0, y1):
    """A vertical gradient between two colours over rows y0..y1."""
    def colour(x, y):
        t = min(1.0, max(0.0, (y - y0) / max(1e-6, y1 - y0)))
        return tuple(a + (b - a) * t for a, b in zip(top, bottom))
    return colour


# Geometry per size, in pixels: the back card, the front card, the portrait, the
# text lines (x0, y, x1, thickness) and the radius of the rounded corners.
ICON_LAYOUT = {
    48: dict(back=(10, 3, 46, 30), front=(1, 12, 40, 41), radius=2.5,
             photo=(5, 17, 18, 35), lines=[(21, 19, 36, 3), (21, 25, 34, 2),
                                           (21, 29, 32, 2), (21, 33, 35, 2)],
             shadow=1, shadow_offset=(1.5, 2)),
    32: dict(back=(7, 2, 31, 20), front=(0, 8, 27, 28), radius=1.5,
             photo=(3, 11, 12, 24), lines=[(14, 13, 24, 2), (14, 17, 23, 1),
                                           (14, 20, 21, 1), (14, 23, 23, 1)],
             shadow=1, shadow_offset=(1, 1)),
}


# At 16 pixels shapes no longer help: the small icon is drawn pixel by pixel, with
# the colours of the larger ones ('.' is fully transparent).
ICON16_LEGEND = {
    '.': (0, 0, 0, 0),
    'o': (0x4A, 0x5F, 0x84, 255),   # card edge
    'w': (0xFF, 0xFF, 0xFF, 255),   # card face
    'l': (0xE4, 0xEA, 0xF4, 255),   # card face, lower part
    'b': (0x8C, 0xB6, 0xEC, 255),   # back card
    'B': (0x5B, 0x8F, 0xD6, 255),   # back card, shaded edge
    'd': (0x4F, 0x78, 0xB8, 255),   # back card in the front card's shadow
    'p': (0xCF, 0xE1, 0xF7, 255),   # portrait background
    'h': (0x2A, 0x5C, 0xB0, 255),   # person
    'q': (0x7F, 0xA3, 0xDA, 255),   # person, edge
    'n': (0x1F, 0x3F, 0x78, 255),   # name line
    't': (0x9A, 0xA6, 0xBA, 255),   # text line
    's': (0x00, 0x00, 0x00, 70),    # shadow
    'S': (0x00, 0x00, 0x00, 35),    # shadow, fading
}

ICON16 = """
................
...oooooooooooo.
...obbbbbbbbbbos
...obbbbbbbbbbos
ooooooooooooobos
owwwwwwwwwwwodBs
owppppwwwwwwodBs
owphhpwnnnnwodBs
owphhpwwwwwwodBs
owppppwttttwoooS
owqhhqwwwwwwos..
owhhhhwtttwwos..
olllllllllllos..
olllllllllllos..
oooooooooooooS..
.ssssssssssssS..
"""

OUTLINE = hexc(0x4A5F84)      # slate blue edge of both cards
CARD_TOP = hexc(0xFFFFFF)
CARD_BOTTOM = hexc(0xE4EAF4)
BACK_TOP = hexc(0x9CC2F0)
BACK_BOTTOM = hexc(0x5B8FD6)
PHOTO_TOP = hexc(0xDDEBFA)
PHOTO_BOTTOM = hexc(0xB4CFF0)
PERSON_TOP = hexc(0x3F7BD0)
PERSON_BOTTOM = hexc(0x1D4A96)
NAME_LINE = hexc(0x1F3F78)
TEXT_LINE = hexc(0x8D9AB0)


def card(canvas, box, radius, top, bottom):
    x0, y0, x1, y1 = box
    canvas.fill(rounded_rect(x0, y0, x1, y1, radius), OUTLINE)
    canvas.fill(rounded_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, max(0.0, radius - 1)),
                vertical(top, bottom, y0 + 1, y1 - 1))


def draw_icon(size):
    if size == 16:
        return parse_art(ICON16, ICON16_LEGEND)
    geo = ICON_LAYOUT[size]
    c = Canvas(size)
    radius = geo['radius']

    # Soft shadow under both cards.
    if geo['shadow']:
        ox, oy = geo['shadow_offset']
        for box in (geo['back'], geo['front']):
            x0, y0, x1, y1 = box
            grid = c.coverage(rounded_rect(x0 + ox, y0 + oy, x1 + ox, y1 + oy, radius + 1))
            c.paint(blur(grid, geo['shadow']), (0, 0, 0, 0.35))

    card(c, geo['back'], radius, BACK_TOP, BACK_BOTTOM)
    fx0, fy0, fx1, fy1 = geo['front']
    if geo['shadow']:
        # The front card throws a thin shadow onto the back card.
        grid = c.coverage(shape_and(rounded_rect(fx0 + 1, fy0 - 0.5, fx1 + 1.5, fy1, radius),
                                    rounded_rect(*geo['back'], radius)))
        c.paint(grid, (0, 0, 0.2, 0.25))
    card(c, geo['front'], radius, CARD_TOP, CARD_BOTTOM)

    # Portrait: a framed light square with a head and shoulders.
    px0, py0, px1, py1 = geo['photo']
    c.fill(rounded_rect(px0, py0, px1, py1, 0.01), hexc(0x7E97BF))
    frame = rounded_rect(px0 + 1, py0 + 1, px1 - 1, py1 - 1, 0.01)
    c.fill(frame, vertical(PHOTO_TOP, PHOTO_BOTTOM, py0, py1))
    w = px1 - px0
    h = py1 - py0
    cx = (px0 + px1) / 2
    person = vertical(PERSON_TOP, PERSON_BOTTOM, py0 + h * 0.2, py1)
    shoulders = ellipse(cx, py1 - 1 + h * 0.08, w * 0.42, h * 0.36)
    c.fill(shape_and(shoulders, frame), person)
    head = ellipse(cx, py0 + h * 0.38, w * 0.2, h * 0.2)
    c.fill(head, person)

    # Text: the name, darker and thicker, then the lighter lines.
    for i, (x0, y, x1, thick) in enumerate(geo['lines']):
        colour = NAME_LINE if i == 0 else TEXT_LINE
        c.fill(rounded_rect(x0, y, x1, y + thick, 0.01), colour)
    return c.rgba_rows()


def write_ico(path, images):
    """images: list of RGBA rows (top first); each becomes a 32-bit entry with an AND
    mask, so that systems without alpha still see the right outline."""
    entries = []
    blobs = []
    for rows in images:
        size = len(rows)
        xor = bytearray()
        for row in reversed(rows):
            for (r, g, b, a) in row:
                xor.extend((b, g, r, a))
        mask_stride = ((size + 31) // 32) * 4
        mask = bytearray()
        for row in reversed(rows):
            line = bytearray(mask_stride)
            for x, (_, _, _, a) in enumerate(row):
                if a < 128:
                    line[x // 8] |= 0x80 >> (x % 8)
            mask.extend(line)
        header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0,
                             len(xor) + len(mask), 0, 0, 0, 0)
        blob = header + bytes(xor) + bytes(mask)
        entries.append((size, blob))
        blobs.append(blob)
    offset = 6 + 16 * len(entries)
    out = bytearray(struct.pack('<HHH', 0, 1, len(entries)))
    for size, blob in entries:
        out.extend(struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32,
                               len(blob), offset))
        offset += len(blob)
    for blob in blobs:
        out.extend(blob)
    with open(path, 'wb') as f:
        f.write(out)


# ---------------------------------------------------------------------------
# The five command buttons' pictures (8-bit RGBA PNG) and the hand cursor of the
# links. Shapes at 3 x 3 samples a pixel: enough for smooth edges at button size.
# ---------------------------------------------------------------------------
def polygon(points):
    """Even-odd rule; points in order around the outline."""
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
            if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
                hit = not hit
        return hit
    return inside


def ring(cx, cy, outer, inner):
    return lambda x, y: inner * inner <= (x - cx) ** 2 + (y - cy) ** 2 <= outer * outer


def shape_or(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def shape_not(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def bounds(points, margin=1):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return (min(xs) - margin, min(ys) - margin, max(xs) + margin, max(ys) + margin)


def button_canvas(width, height):
    return Canvas(width, height, samples=3)


def draw_open():
    """An open folder with a sheet of paper in it."""
    c = button_canvas(96, 96)
    back = rounded_rect(8, 18, 84, 80, 4)
    c.fill(rounded_rect(8, 12, 38, 26, 3), hexc(0xC98A1B), (8, 12, 38, 26))
    c.fill(back, vertical(hexc(0xE9A93A), hexc(0xC98A1B), 18, 80), (8, 18, 84, 80))
    paper = rounded_rect(20, 10, 76, 62, 1.5)
    c.fill(paper, hexc(0x8A8F99), (20, 10, 76, 62))
    c.fill(rounded_rect(21.5, 11.5, 74.5, 60.5, 1), hexc(0xFFFFFF), (20, 10, 76, 62))
    for y in (22, 30, 38, 46):
        c.fill(rounded_rect(28, y, 68, y + 2.5, 1), hexc(0xA8B4C8), (28, y, 68, y + 3))
    front = [(4, 40), (92, 40), (82, 84), (10, 84)]
    c.fill(polygon(front), hexc(0xB07410), bounds(front))
    inner = [(7, 43), (88.5, 43), (79.5, 81.5), (12, 81.5)]
    c.fill(polygon(inner), vertical(hexc(0xFFD66B), hexc(0xF0AE2E), 43, 82), bounds(inner))
    return c.rgba_rows()


def draw_save():
    """A diskette: blue body, metal shutter, white label."""
    c = button_canvas(100, 99)
    body = [(10, 8), (80, 8), (92, 20), (92, 90), (10, 90)]
    c.fill(polygon(body), hexc(0x1E3F7A), bounds(body))
    inner = [(13, 11), (78.8, 11), (89, 21.2), (89, 87), (13, 87)]
    c.fill(polygon(inner), vertical(hexc(0x4F86D9), hexc(0x2C5DAE), 11, 87), bounds(inner))
    c.fill(rounded_rect(26, 11, 72, 38, 2), vertical(hexc(0xE8ECF2), hexc(0xAEB7C4), 11, 38),
           (26, 11, 72, 38))
    c.fill(rounded_rect(56, 15, 66, 34, 1), hexc(0x2C3A52), (56, 15, 66, 34))
    c.fill(rounded_rect(22, 50, 80, 87, 2), hexc(0xFFFFFF), (22, 50, 80, 87))
    for y in (58, 66, 74):
        c.fill(rounded_rect(28, y, 74, y + 2.5, 1), hexc(0x9AA8BE), (28, y, 74, y + 3))
    return c.rgba_rows()


def draw_undo():
    """An arrow that rises on the right, turns over the top and comes down on the left."""
    c = button_canvas(100, 80)
    arc = shape_and(ring(58, 44, 32, 17), lambda x, y: y <= 44 or x >= 58)
    c.fill(arc, vertical(hexc(0x5CC060), hexc(0x1E7A2A), 12, 78), (24, 10, 92, 78))
    head = [(12, 42), (54, 42), (33, 70)]
    c.fill(polygon(head), vertical(hexc(0x4CB050), hexc(0x1E7A2A), 42, 70), bounds(head))
    return c.rgba_rows()


def draw_help():
    """A blue disc with a white question mark."""
    c = button_canvas(100, 100)
    c.fill(ellipse(50, 50, 44, 44), hexc(0x1D4F9C), (5, 5, 95, 95))
    c.fill(ellipse(50, 50, 41, 41), vertical(hexc(0x5B9BEA), hexc(0x2560B8), 9, 91), (8, 8, 92, 92))
    hook = shape_and(ring(50, 36, 18, 8), lambda x, y: not (x < 50 and y > 36))
    c.fill(hook, hexc(0xFFFFFF), (30, 16, 70, 56))
    stem = [(45, 50), (55, 46), (55, 64), (45, 64)]
    c.fill(polygon(stem), hexc(0xFFFFFF), bounds(stem))
    c.fill(ellipse(50, 75, 6.5, 6.5), hexc(0xFFFFFF), (42, 67, 58, 83))
    return c.rgba_rows()


def draw_exit():
    """A door left open, with an arrow going out of it."""
    c = button_canvas(100, 100)
    c.fill(rounded_rect(14, 8, 62, 92, 2), hexc(0x5A3A1E), (14, 8, 62, 92))
    c.fill(rounded_rect(18, 12, 58, 92, 1), hexc(0x2B2B2B), (18, 12, 58, 92))
    door = [(18, 12), (44, 20), (44, 96), (18, 92)]
    c.fill(polygon(door), vertical(hexc(0xB57A42), hexc(0x8A5527), 12, 96), bounds(door))
    c.fill(ellipse(39, 56, 2.5, 2.5), hexc(0xF2D27A), (35, 52, 43, 60))
    shaft = rounded_rect(50, 45, 80, 59, 1)
    c.fill(shaft, hexc(0xD6322B), (50, 45, 80, 59))
    head = [(76, 32), (96, 52), (76, 72)]
    c.fill(polygon(head), hexc(0xD6322B), bounds(head))
    return c.rgba_rows()


BUTTON_PICTURES = [
    ('open.png', draw_open),
    ('save.png', draw_save),
    ('undo.png', draw_undo),
    ('help.png', draw_help),
    ('exit.png', draw_exit),
]


def write_png(path, rows):
    """8-bit RGBA, no filter, zlib level 9: the same bytes on every run."""
    height = len(rows)
    width = len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for pixel in row:
            raw.extend(pixel)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0)
    data = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
            chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))
    with open(path, 'wb') as f:
        f.write(data)


# The links' cursor: a pointing hand, 32 x 32, its hot spot on the tip of the
# finger. 'K' outline, 'W' fill, '.' transparent.
HAND_HOT_SPOT = (17, 12)
HAND = """
................................
................................
................................
................................
................................
................................
................................
................................
................................
................................
................................
................KKK.............
...............KWWWK............
...............KWWWK............
...............KWWWK............
...............KWWWKKK..........
...............KWWWKWWKKK.......
...............KWWWKWWKWWKK.....
...........KK..KWWWKWWKWWKWK....
..........KWWK.KWWWWWWWWWKWWK...
..........KWWWKKWWWWWWWWWWWWK...
...........KWWWKWWWWWWWWWWWWK...
............KWWWWWWWWWWWWWWWK...
............KWWWWWWWWWWWWWWK....
.............KWWWWWWWWWWWWWK....
.............KWWWWWWWWWWWWK.....
..............KWWWWWWWWWWWK.....
..............KWWWWWWWWWWWK.....
...............KKKKKKKKKKK......
................................
................................
................................
"""


def write_cur(path, art, hot_spot):
    """A 32 x 32 monochrome cursor: an AND mask (1 = transparent) and an XOR image."""
    rows = art.strip('\n').split('\n')
    size = len(rows)
    if size != 32 or any(len(r) != 32 for r in rows):
        raise ValueError('the cursor must be 32 by 32')
    stride = 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # NOT a mistake: bitmaps are stored bottom-up
        xline = bytearray(stride)
        mline = bytearray(stride)
        for x, ch in enumerate(row):
            bit = 0x80 >> (x % 8)
            if ch == '.':
                mline[x // 8] |= bit
            elif ch == 'W':
                xline[x // 8] |= bit
        xor.extend(xline)
        mask.extend(mline)
    palette = struct.pack('<BBBBBBBB', 0, 0, 0, 0, 255, 255, 255, 0)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 1, 0,
                         len(xor) + len(mask), 0, 0, 2, 2)
    blob = header + palette + bytes(xor) + bytes(mask)
    out = struct.pack('<HHH', 0, 2, 1)
    out += struct.pack('<BBBBHHII', size, size, 2, 0, hot_spot[0], hot_spot[1], len(blob), 22)
    with open(path, 'wb') as f:
        f.write(out + blob)


def make_buttons(folder):
    os.makedirs(folder, exist_ok=True)
    for name, draw in BUTTON_PICTURES:
        write_png(os.path.join(folder, name), draw())
    write_cur(os.path.join(folder, 'link.cur'), HAND, HAND_HOT_SPOT)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == '--buttons':
        make_buttons(sys.argv[2])
        return
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    write_bmp4(os.path.join(folder, 'tree.bmp'), make_tree_strip())
    write_ico(os.path.join(folder, 'app.ico'), [draw_icon(s) for s in (48, 32, 16)])


if __name__ == '__main__':
    main()
