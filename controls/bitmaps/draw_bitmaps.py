#!/usr/bin/env python3
"""Draws the toolbar bitmaps (130-137), the indicator (156) and the application icon (128).

Usage: draw_bitmaps.py [OUTPUT_DIR]   (default: the folder of this script)

Shapes are rendered with 4 x 4 supersampling over a white background. The button bitmaps
are 35 x 35, 24-bit BMP; exactly white (255, 255, 255) is their transparent colour, so no
pixel that a shape touches is left exactly white. The icon is RGBA PNG in several sizes.
"""
import os
import struct
import sys
import zlib

SUB = 4
WHITE = (255, 255, 255)


def hex_colour(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


# Shapes: predicates over continuous pixel coordinates.
def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def rrect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def stroke(points, width):
    """A polyline of the given width with round joins and caps."""
    half2 = (width / 2) ** 2
    segments = list(zip(points, points[1:]))

    def inside(x, y):
        for (ax, ay), (bx, by) in segments:
            dx, dy = bx - ax, by - ay
            t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
            t = min(max(t, 0.0), 1.0)
            if (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= half2:
                return True
        return False
    return inside


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def scaled(shape, factor):
    return lambda x, y: shape(x / factor, y / factor)


class Canvas:
    def __init__(self, width, height, alpha=False):
        self.width, self.height = width, height
        self.rgb = [[list(WHITE) for _ in range(width)] for _ in range(height)]
        self.alpha = [[0.0 if alpha else 1.0] * width for _ in range(height)]
        self.touched = [[False] * width for _ in range(height)]

    def fill(self, shape, colour):
        for py in range(self.height):
            for px in range(self.width):
                hits = 0
                for sy in range(SUB):
                    for sx in range(SUB):
                        if shape(px + (sx + 0.5) / SUB, py + (sy + 0.5) / SUB):
                            hits += 1
                if hits == 0:
                    continue
                c = hits / (SUB * SUB)
                a0 = self.alpha[py][px]
                a = c + a0 * (1 - c)
                pixel = self.rgb[py][px]
                for k in range(3):
                    pixel[k] = (colour[k] * c + pixel[k] * a0 * (1 - c)) / a
                self.alpha[py][px] = a
                self.touched[py][px] = True

    def pixels(self):
        """Rows top to bottom of (r, g, b, a) bytes; touched pixels are never exactly white."""
        rows = []
        for py in range(self.height):
            row = []
            for px in range(self.width):
                r, g, b = (min(255, int(round(v))) for v in self.rgb[py][px])
                if self.touched[py][px] and (r, g, b) == WHITE:
                    r, g, b = 254, 254, 254
                row.append((r, g, b, int(round(self.alpha[py][px] * 255))))
            rows.append(row)
        return rows


def write_bmp(path, canvas):
    width, height = canvas.width, canvas.height
    stride = (width * 3 + 3) & ~3
    image = bytearray()
    for row in reversed(canvas.pixels()):
        line = bytearray()
        for r, g, b, _ in row:
            line += bytes((b, g, r))
        image += line + bytes(stride - len(line))
    header = struct.pack('<2sIHHI', b'BM', 54 + len(image), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(image), 2835, 2835, 0, 0)
    with open(path, 'wb') as out:
        out.write(header + info + image)


def write_png(path, canvas):
    raw = bytearray()
    for row in canvas.pixels():
        raw.append(0)
        for pixel in row:
            raw += bytes(pixel)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))

    header = struct.pack('>IIBBBBB', canvas.width, canvas.height, 8, 6, 0, 0, 0)
    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
                  chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


INK = hex_colour('#37474F')
LIGHT_INK = hex_colour('#B0BEC5')


def snapshot(main, accent):
    """A camera: body, viewfinder bump, lens and flash."""
    return [
        (rrect(11.5, 6.5, 22.5, 11.5, 1.5), main),
        (rrect(3.5, 9.5, 31.5, 28.5, 3.5), main),
        (circle(17.5, 19, 7.2), hex_colour('#ECEFF1')),
        (circle(17.5, 19, 5.2), hex_colour('#263238')),
        (circle(15.8, 17.2, 1.6), hex_colour('#90A4AE')),
        (rrect(25, 12, 29.5, 15, 1), accent),
    ]


def delete(main, slots):
    """A waste bin: lid with handle, tapered body with three slots."""
    return [
        (minus(rrect(13.5, 4.5, 21.5, 9.5, 1.5), rect(15.5, 6.5, 19.5, 9.5)), main),
        (rrect(7, 8.5, 28, 11.8, 1.2), main),
        (polygon([(9, 13), (26, 13), (24.2, 30), (10.8, 30)]), main),
        (stroke([(13.6, 16), (14.0, 26.8)], 1.7), slots),
        (stroke([(17.5, 16), (17.5, 26.8)], 1.7), slots),
        (stroke([(21.4, 16), (21.0, 26.8)], 1.7), slots),
    ]


def compare(tiles, marks):
    """Four pictures in a 2 x 2 grid, each with a small mountain."""
    shapes = []
    for x0, y0 in ((4, 6), (18.5, 6), (4, 18.5), (18.5, 18.5)):
        shapes.append((rrect(x0, y0, x0 + 12.5, y0 + 10.5, 1.5), tiles))
        shapes.append((polygon([(x0 + 2, y0 + 8.5), (x0 + 5.5, y0 + 3.5), (x0 + 8, y0 + 6.5),
                                (x0 + 9.3, y0 + 5), (x0 + 10.8, y0 + 8.5)]), marks))
    return shapes


def full_screen(main, screen):
    """A screen with four corner arrows pointing outwards."""
    arm, w = 7.5, 2.6
    corners = []
    for (cx, cy), (dx, dy) in (((4.5, 5.5), (1, 1)), ((30.5, 5.5), (-1, 1)),
                               ((4.5, 29.5), (1, -1)), ((30.5, 29.5), (-1, -1))):
        corners.append(stroke([(cx, cy + dy * arm), (cx, cy), (cx + dx * arm, cy)], w))
        corners.append(stroke([(cx, cy), (cx + dx * 5.5, cy + dy * 5.5)], w * 0.8))
    return [
        (rrect(11.5, 12, 23.5, 23, 1.5), screen),
        (union(*corners), main),
    ]


BUTTONS = {
    # id: shapes (130/131 snapshot, 132/133 delete, 134/135 compare, 136/137 full screen;
    # the even id is the hover look, the odd id the normal look)
    130: snapshot(hex_colour('#1E88E5'), hex_colour('#FFCA28')),
    131: snapshot(INK, LIGHT_INK),
    132: delete(hex_colour('#E53935'), hex_colour('#FFCDD2')),
    133: delete(INK, LIGHT_INK),
    134: compare(hex_colour('#43A047'), hex_colour('#E8F5E9')),
    135: compare(INK, LIGHT_INK),
    136: full_screen(hex_colour('#FB8C00'), hex_colour('#FFE0B2')),
    137: full_screen(INK, LIGHT_INK),
}


def indicator():
    """A green status lamp."""
    return [
        (circle(16, 16, 12.5), hex_colour('#1B5E20')),
        (circle(16, 16, 10.8), hex_colour('#43A047')),
        (circle(12.5, 12.5, 3.6), hex_colour('#A5D6A7')),
    ]


def microscope():
    """The application icon on a 32-unit grid: a microscope on a blue tile."""
    body = hex_colour('#ECEFF1')
    tile = hex_colour('#1565C0')
    return [
        (rrect(0.5, 0.5, 31.5, 31.5, 6), tile),
        (rrect(6, 25, 26, 28.5, 1.5), body),
        (stroke([(21.5, 25.5), (24, 19.5), (22.5, 13), (17, 10.5)], 3.4), body),
        (stroke([(10.8, 6.5), (15.6, 16.5)], 4.4), body),
        (stroke([(9.3, 3.6), (10.3, 5.6)], 5.4), body),
        (stroke([(15.6, 16.5), (16.6, 19.2)], 2.6), body),
        (stroke([(10.5, 21.8), (22, 21.8)], 2), body),
        (circle(23.6, 17.5, 2.4), body),
        (circle(23.6, 17.5, 1.1), tile),
    ]


def render(shapes, width, height, alpha=False, factor=1.0):
    canvas = Canvas(width, height, alpha)
    for shape, colour in shapes:
        canvas.fill(scaled(shape, factor), colour)
    return canvas


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for number, shapes in BUTTONS.items():
        write_bmp(os.path.join(out, '%d.bmp' % number), render(shapes, 35, 35))
    write_bmp(os.path.join(out, '156.bmp'), render(indicator(), 32, 32))
    for size in (16, 32, 48, 64):
        write_png(os.path.join(out, '128-%d.png' % size),
                  render(microscope(), size, size, alpha=True, factor=size / 32))


if __name__ == '__main__':
    main()
