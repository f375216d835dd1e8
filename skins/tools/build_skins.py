#!/usr/bin/env python3
"""Compiles our skin sources into the files the viewer loads.

    build_skins.py SKINS_JSON OUTPUT_DIR [--bindings BINDING_TABLE_SOURCE]

For each skin of the table: the sheets (PNG) are packed into one image below
the metadata rows, the piece and element records are written into the
metadata block (the first 1024 bytes of each of the first 22 rows), and the
image is stored as packed YUYV with the 16-byte header. Transparent pixels
become the word 0xFFFF; every other pixel keeps whitening level 0 (the two low
bits of the pair's U byte). The form's pictures are written as bitmaps.

Every binding name that is not a constant ("16#CS") must be a name of the
control's binding table, which the tool reads from the table's own source
(ui/Ie_com.cpp, the one place the names are kept); an unknown name would
bind to the spare variable that nothing reads, so the build stops instead.
"""

import json
import os
import re
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from skinlib import read_png, write_bmp  # noqa: E402

META_ROWS, META_ROW_BYTES = 22, 1024
PIECE_OFFSET, PIECE_SIZE, MAX_PIECES = 100, 100, 64
ELEMENT_OFFSET, ELEMENT_SIZE, MAX_ELEMENTS = 6500, 164, 96
CAPACITY = 2293760


def name16(text):
    raw = text.encode('ascii')
    if len(raw) > 16:
        raise ValueError('name longer than 16 characters: ' + text)
    return raw.ljust(16, b'\0')


# ---------------------------------------------------------------- colour


def rgb_to_yuyv(p0, p1):
    """Two RGBA pixels -> two 16-bit words (Y | chroma << 8), inverting the
    viewer's conversion: R = y + 292v/256 - 146, G = y - (149v + 101u)/256
    + 125, B = y + 516u/256 - 258."""
    def luma(p):
        return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]
    opaque = [p for p in (p0, p1) if p[3]]
    if not opaque:
        return 0xFFFF, 0xFFFF
    r = sum(p[0] for p in opaque) / len(opaque)
    b = sum(p[2] for p in opaque) / len(opaque)
    y = sum(luma(p) for p in opaque) / len(opaque)
    u = max(0, min(252, int(round(((b - y) * 256 / 516 + 128) / 4)) * 4))
    v = max(0, min(254, int(round((r - y) * 256 / 292 + 128))))
    dr = ((v * 292) >> 8) - 146
    dg = -((v * 149 + u * 101) >> 8) + 125
    db = ((u * 516) >> 8) - 258

    def best_y(p):
        # Weighted by how much each channel counts for brightness.
        val = 0.3 * (p[0] - dr) + 0.59 * (p[1] - dg) + 0.11 * (p[2] - db)
        return max(0, min(255, int(round(val))))
    w0 = best_y(p0) | u << 8 if p0[3] else 0xFFFF
    w1 = best_y(p1) | v << 8 if p1[3] else 0xFFFF
    return w0, w1


# ---------------------------------------------------------------- packing


def pack_sheets(sheets, width):
    """Shelf packing below the metadata rows; sheets sorted by height."""
    places, x, y, shelf = {}, 0, META_ROWS + 2, 0
    for name in sorted(sheets, key=lambda n: (-sheets[n].h, n)):
        c = sheets[name]
        if c.w > width:
            raise ValueError('sheet %s wider than the skin image' % name)
        if x + c.w > width:
            x, y, shelf = 0, y + shelf + 2, 0
        places[name] = (x, y)
        x += c.w + 2
        x += x & 1  # sheets start on even columns: a pixel pair never spans two sheets
        shelf = max(shelf, c.h)
    return places, y + shelf


DEFAULT_BINDINGS = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'ui',
                                'Ie_com.cpp')


def read_binding_names(source_path):
    """The names of the binding table, in the order of its source."""
    with open(source_path) as f:
        text = f.read()
    names = re.findall(r'\{"([^"]+)",\s*(?:Scalar|Array)\(', text)
    if not names:
        raise ValueError(source_path + ': no binding table found')
    return set(names)


def flags_of(name):
    """The flag letters of a binding name, as the control reads them."""
    if len(name) >= 3 and name[-3] == '#':
        return name[-2:] + '0'
    if len(name) >= 4 and name[-4] == '#':
        return name[-3:]
    return '000'


def check_bindings(skin, known):
    """Names that are neither empty, constants nor in the table."""
    bad = []
    for e in skin['elements']:
        for field in ('source', 'target'):
            name = e.get(field, '')
            if not name or flags_of(name)[0] in 'Cc':
                continue
            if name not in known:
                bad.append('%s: element %s, %s "%s" is not a name of the binding table'
                           % (skin['file'], e['name'], field, name))
    return bad


def centre_of(element, elements):
    return tuple(element['center'])


def build_skin(skin, sheet_dir, out_dir):
    width = skin.get('width', 1024)
    pieces, elements = skin['pieces'], skin['elements']
    if len(pieces) > MAX_PIECES or len(elements) > MAX_ELEMENTS:
        raise ValueError(skin['file'] + ': too many pieces or elements')
    sheets = {}
    for p in pieces:
        if p['sheet'] not in sheets:
            sheets[p['sheet']] = read_png(os.path.join(sheet_dir, p['sheet'] + '.png'))
    places, height = pack_sheets(sheets, width)
    if 16 + width * height * 2 > CAPACITY:
        raise ValueError(skin['file'] + ': image too large')

    image = [[(0, 0, 0, 0)] * width for _ in range(height)]
    for name, (sx, sy) in places.items():
        c = sheets[name]
        for yy in range(c.h):
            row = image[sy + yy]
            for xx in range(c.w):
                row[sx + xx] = c.px[yy * c.w + xx]

    meta = bytearray(META_ROWS * META_ROW_BYTES)
    struct.pack_into('<hh', meta, 8, len(pieces), len(elements))
    for i, p in enumerate(pieces):
        sx, sy = places[p['sheet']]
        ax, ay = p.get('at', (0, 0))
        cw, ch = p['cell']
        struct.pack_into('<16s10H', meta, PIECE_OFFSET + i * PIECE_SIZE, name16(p['name']),
                         cw, ch, sx + ax, sy + ay, p.get('cells_per_row', 1),
                         p.get('state_rows', 0), p.get('cell_step', 1), p.get('kind', 100),
                         p.get('kind_param', 0) & 0xFFFF, p.get('click_level', 0))

    by_name = {e['name']: e for e in elements}
    cell = {p['name']: p['cell'] for p in pieces}
    for j, e in enumerate(elements):
        cx, cy = e['center']
        if e['parent'] == '#Vout':
            w, h = cell[e['piece']]
            if (cx, cy) != (w // 2, h // 2):
                raise ValueError(e['name'] + ': a top-level element sits at its cell centre')
            ox = oy = 0
        else:
            px, py = by_name[e['parent']]['center']
            ox, oy = cx - px, cy - py
        sp = e.get('spacing', (0, 0))
        struct.pack_into('<16s16s16shhHHHhhhbbh16s16s', meta, ELEMENT_OFFSET + j * ELEMENT_SIZE,
                         name16(e['name']), name16(e['piece']), name16(e['parent']), ox, oy,
                         e.get('items', 1), 0, e.get('layout', 0), e.get('radius', 0), sp[0],
                         sp[1], e.get('columns', 1), e.get('first_cell', 0),
                         e.get('value_base', 0), name16(e.get('source', '')),
                         name16(e.get('target', '')))

    out = bytearray(16 + width * height * 2)
    struct.pack_into('<HH', out, 0, 0, width // 2)
    pos = 16
    for y in range(height):
        row = image[y]
        for x in range(0, width, 2):
            w0, w1 = rgb_to_yuyv(row[x], row[x + 1])
            struct.pack_into('<HH', out, pos, w0, w1)
            pos += 4
    # The metadata block takes the first 1024 bytes of each of the first 22 rows.
    for r in range(META_ROWS):
        start = 16 + r * width * 2
        out[start:start + META_ROW_BYTES] = meta[r * META_ROW_BYTES:(r + 1) * META_ROW_BYTES]
    with open(os.path.join(out_dir, skin['file']), 'wb') as f:
        f.write(out)


def build_picture(pic, picture_dir, out_dir):
    c = read_png(os.path.join(picture_dir, pic['png']))
    if pic.get('transparent_white'):
        for p in c.px:
            if not p[3]:
                p[:] = [255, 255, 255, 255]
    write_bmp(os.path.join(out_dir, pic['file']), c)


def main(argv):
    args = list(argv[1:])
    bindings = DEFAULT_BINDINGS
    if '--bindings' in args:
        i = args.index('--bindings')
        if i + 1 >= len(args):
            print(__doc__)
            return 2
        bindings = args[i + 1]
        del args[i:i + 2]
    if len(args) != 2:
        print(__doc__)
        return 2
    table_path, out_dir = args
    root = os.path.dirname(os.path.abspath(table_path))
    with open(table_path) as f:
        table = json.load(f)
    known = read_binding_names(bindings)
    bad = [line for skin in table['skins'] for line in check_bindings(skin, known)]
    if bad:
        for line in bad:
            print('build_skins.py: ' + line, file=sys.stderr)
        return 1
    os.makedirs(out_dir, exist_ok=True)
    for skin in table['skins']:
        build_skin(skin, os.path.join(root, 'sheets', skin['sheets']), out_dir)
    for pic in table['pictures']:
        build_picture(pic, os.path.join(root, 'pictures'), out_dir)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
