"""Small picture helpers for the skin tools: an RGBA canvas with antialiased
shapes and a bitmap font, PNG read/write and BMP write. Standard library only."""

import struct
import zlib

# ---------------------------------------------------------------- colours


def hexc(text):
    """'#RRGGBB' -> (r, g, b)."""
    text = text.lstrip('#')
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


# ---------------------------------------------------------------- font
# 5 x 7 glyphs, one string of five columns' worth per row ('#' = ink).
_GLYPHS = {
    'A': [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    'B': ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    'C': [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    'D': ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    'E': ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    'F': ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    'G': [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"],
    'H': ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    'I': [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    'J': ["..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."],
    'K': ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    'L': ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    'M': ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    'N': ["#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"],
    'O': [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    'P': ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    'Q': [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    'R': ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    'S': [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    'T': ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    'U': ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    'V': ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    'W': ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."],
    'X': ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    'Y': ["#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."],
    'Z': ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
    '0': [".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."],
    '1': ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    '2': [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    '3': ["#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."],
    '4': ["...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."],
    '5': ["#####", "#....", "####.", "....#", "....#", "#...#", ".###."],
    '6': ["..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."],
    '7': ["#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."],
    '8': [".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."],
    '9': [".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."],
    '-': [".....", ".....", ".....", ".###.", ".....", ".....", "....."],
    ':': [".....", "..#..", "..#..", ".....", "..#..", "..#..", "....."],
    '/': ["....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."],
    '%': ["##...", "##..#", "...#.", "..#..", ".#...", "#..##", "...##"],
    '+': [".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."],
    '.': [".....", ".....", ".....", ".....", ".....", ".##..", ".##.."],
    ',': [".....", ".....", ".....", ".....", ".##..", "..#..", ".#..."],
    '<': ["...#.", "..#..", ".#...", "#....", ".#...", "..#..", "...#."],
    '>': [".#...", "..#..", "...#.", "....#", "...#.", "..#..", ".#..."],
    ' ': [".....", ".....", ".....", ".....", ".....", ".....", "....."],
}
FONT_W, FONT_H = 5, 7


def text_width(text, scale=1, gap=1):
    return len(text) * (FONT_W + gap) * scale - gap * scale if text else 0


# ---------------------------------------------------------------- canvas


class Canvas:
    """RGBA picture. Shapes are antialiased by 4 x 4 supersampling; an edge
    drawn over a transparent pixel is blended with `matte` and made opaque,
    because skins know only opaque and fully transparent pixels."""

    def __init__(self, width, height, fill=None, matte=(0, 0, 0)):
        self.w, self.h = width, height
        self.matte = matte
        px = (fill[0], fill[1], fill[2], 255) if fill else (0, 0, 0, 0)
        self.px = [list(px) for _ in range(width * height)]

    def get(self, x, y):
        return self.px[y * self.w + x]

    def blend(self, x, y, color, cover):
        if cover <= 0 or x < 0 or y < 0 or x >= self.w or y >= self.h:
            return
        p = self.px[y * self.w + x]
        base = p[:3] if p[3] else list(self.matte)
        c = min(cover, 1.0)
        self.px[y * self.w + x] = [round(base[i] * (1 - c) + color[i] * c) for i in range(3)] + [255]

    def put(self, x, y, color):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y * self.w + x] = [color[0], color[1], color[2], 255]

    def clear(self, x, y, w, h):
        for yy in range(max(0, y), min(self.h, y + h)):
            for xx in range(max(0, x), min(self.w, x + w)):
                self.px[yy * self.w + xx] = [0, 0, 0, 0]

    def rect(self, x, y, w, h, color):
        for yy in range(max(0, y), min(self.h, y + h)):
            for xx in range(max(0, x), min(self.w, x + w)):
                self.px[yy * self.w + xx] = [color[0], color[1], color[2], 255]

    def vgradient(self, x, y, w, h, top, bottom):
        for yy in range(h):
            t = yy / max(1, h - 1)
            c = [round(top[i] * (1 - t) + bottom[i] * t) for i in range(3)]
            self.rect(x, y + yy, w, 1, c)

    def _coverage(self, inside, x, y):
        hits = 0
        for sy in range(4):
            for sx in range(4):
                if inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4):
                    hits += 1
        return hits / 16

    def shape(self, bbox, inside, color):
        x0, y0, x1, y1 = bbox
        for y in range(max(0, int(y0) - 1), min(self.h, int(y1) + 2)):
            for x in range(max(0, int(x0) - 1), min(self.w, int(x1) + 2)):
                self.blend(x, y, color, self._coverage(inside, x, y))

    def round_rect(self, x, y, w, h, r, color):
        def inside(px, py):
            if px < x or py < y or px > x + w or py > y + h:
                return False
            cx = min(max(px, x + r), x + w - r)
            cy = min(max(py, y + r), y + h - r)
            return (px - cx) ** 2 + (py - cy) ** 2 <= r * r
        self.shape((x, y, x + w, y + h), inside, color)

    def button(self, x, y, w, h, face, border, r=4, top_light=None):
        """A rounded button: border, face, and a faint light along the top."""
        self.round_rect(x, y, w, h, r, border)
        self.round_rect(x + 1, y + 1, w - 2, h - 2, max(0, r - 1), face)
        if top_light:
            self.rect(x + r, y + 1, w - 2 * r, 1, top_light)

    def circle(self, cx, cy, r, color):
        self.shape((cx - r, cy - r, cx + r, cy + r),
                   lambda px, py: (px - cx) ** 2 + (py - cy) ** 2 <= r * r, color)

    def ring(self, cx, cy, r, width, color):
        ri = r - width
        self.shape((cx - r, cy - r, cx + r, cy + r),
                   lambda px, py: ri * ri <= (px - cx) ** 2 + (py - cy) ** 2 <= r * r, color)

    def polygon(self, pts, color):
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]

        def inside(px, py):
            n, c = len(pts), False
            j = n - 1
            for i in range(n):
                xi, yi = pts[i]
                xj, yj = pts[j]
                if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
                    c = not c
                j = i
            return c
        self.shape((min(xs), min(ys), max(xs), max(ys)), inside, color)

    def line(self, x0, y0, x1, y1, width, color):
        """A thick line as a quadrilateral."""
        dx, dy = x1 - x0, y1 - y0
        length = max(1e-6, (dx * dx + dy * dy) ** 0.5)
        nx, ny = -dy / length * width / 2, dx / length * width / 2
        self.polygon([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)],
                     color)

    def text(self, x, y, text, color, scale=1, gap=1):
        for ch in text:
            glyph = _GLYPHS.get(ch.upper(), _GLYPHS[' '])
            for gy, row in enumerate(glyph):
                for gx, c in enumerate(row):
                    if c == '#':
                        self.rect(x + gx * scale, y + gy * scale, scale, scale, color)
            x += (FONT_W + gap) * scale

    def text_center(self, cx, cy, text, color, scale=1, gap=1):
        w = text_width(text, scale, gap)
        self.text(cx - w // 2, cy - (FONT_H * scale) // 2, text, color, scale, gap)

    def blit(self, src, x, y):
        for yy in range(src.h):
            for xx in range(src.w):
                p = src.px[yy * src.w + xx]
                if p[3] and 0 <= x + xx < self.w and 0 <= y + yy < self.h:
                    self.px[(y + yy) * self.w + x + xx] = list(p)


# ---------------------------------------------------------------- files


def write_png(path, canvas):
    raw = bytearray()
    for y in range(canvas.h):
        raw.append(0)
        for x in range(canvas.w):
            raw.extend(canvas.px[y * canvas.w + x])

    def chunk(tag, data):
        body = tag + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n')
        f.write(chunk(b'IHDR', struct.pack('>IIBBBBB', canvas.w, canvas.h, 8, 6, 0, 0, 0)))
        f.write(chunk(b'IDAT', zlib.compress(bytes(raw), 9)))
        f.write(chunk(b'IEND', b''))


def read_png(path):
    """Reads an 8-bit RGB or RGBA PNG (any filter) into a Canvas."""
    with open(path, 'rb') as f:
        data = f.read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise ValueError(path + ': not a PNG file')
    pos, idat, width = 8, bytearray(), 0
    while pos < len(data):
        length, tag = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if tag == b'IHDR':
            width, height, depth, ctype, _, _, interlace = struct.unpack('>IIBBBBB', body)
            if depth != 8 or ctype not in (2, 6) or interlace:
                raise ValueError(path + ': only 8-bit RGB/RGBA, not interlaced')
        elif tag == b'IDAT':
            idat.extend(body)
        pos += 12 + length
    bpp = 4 if ctype == 6 else 3
    raw = zlib.decompress(bytes(idat))
    stride = width * bpp
    out = Canvas(width, height)
    prev = bytearray(stride)
    for y in range(height):
        ftype = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if ftype == 1:
                line[i] = (line[i] + a) & 255
            elif ftype == 2:
                line[i] = (line[i] + b) & 255
            elif ftype == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif ftype == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 255
        for x in range(width):
            px = list(line[x * bpp:x * bpp + bpp])
            out.px[y * width + x] = px if bpp == 4 else px + [255]
        prev = line
    return out


def write_bmp(path, canvas):
    """24-bit bottom-up Windows bitmap; transparent pixels become black."""
    row = (canvas.w * 3 + 3) & ~3
    size = 54 + row * canvas.h
    with open(path, 'wb') as f:
        f.write(b'BM' + struct.pack('<IHHI', size, 0, 0, 54))
        f.write(struct.pack('<IiiHHIIiiII', 40, canvas.w, canvas.h, 1, 24, 0, row * canvas.h,
                            2835, 2835, 0, 0))
        for y in range(canvas.h - 1, -1, -1):
            line = bytearray()
            for x in range(canvas.w):
                r, g, b, a = canvas.px[y * canvas.w + x]
                line.extend((b, g, r) if a else (0, 0, 0))
            line.extend(b'\0' * (row - canvas.w * 3))
            f.write(line)


def read_bmp(path):
    """Reads a 24- or 32-bit uncompressed bitmap (top-down or bottom-up)."""
    with open(path, 'rb') as f:
        data = f.read()
    offset = struct.unpack('<I', data[10:14])[0]
    width, height = struct.unpack('<ii', data[18:26])
    bits = struct.unpack('<H', data[28:30])[0]
    top_down = height < 0
    height = abs(height)
    bpp = bits // 8
    row = (width * bpp + 3) & ~3
    out = Canvas(width, height)
    for y in range(height):
        src = offset + (y if top_down else height - 1 - y) * row
        for x in range(width):
            b, g, r = data[src + x * bpp:src + x * bpp + 3]
            out.px[y * width + x] = [r, g, b, 255]
    return out
