#!/usr/bin/env python3
"""Draws the sprite sheets and pictures of our skins into skins/sheets and
skins/pictures (PNG). The sheets are the editable sources: redraw them with
this script or edit the PNGs in any paint program, then build_skins.py
compiles them with skins.json into the skin files.

    python3 skins/tools/draw_sheets.py [keyform] [pad] [pictures]
"""

import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from skinlib import Canvas, hexc, text_width, write_png  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The palette: a dark slate panel, light text, one blue accent for "selected",
# red for recordings, amber for the cursor.
BG = hexc('#12161C')
PANEL = hexc('#181E26')
PANEL_EDGE = hexc('#262F3B')
HEAD_TOP, HEAD_BOTTOM = hexc('#243040'), hexc('#161C24')
SECTION = hexc('#8593A8')
FACE, EDGE, LIGHT, TEXT = hexc('#2B3440'), hexc('#3E4B5C'), hexc('#384352'), hexc('#DCE3EC')
SEL_FACE, SEL_EDGE, SEL_TEXT = hexc('#1F6FD6'), hexc('#5A9BEE'), hexc('#FFFFFF')
GHOST_FACE, GHOST_EDGE, GHOST_TEXT = hexc('#181D24'), hexc('#222A34'), hexc('#3A4452')
OFF_TEXT = hexc('#5C6878')
REC, CURSOR, GREEN = hexc('#D64541'), hexc('#F2A93B'), hexc('#2FA360')
DIGIT = hexc('#E8EEF5')


def save(canvas, *parts):
    path = os.path.join(ROOT, *parts)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    write_png(path, canvas)
    print('wrote', os.path.relpath(path, ROOT))


def face_cell(c, x, y, w, h, label, state, matte=BG, r=4):
    """A button cell: state 0 normal, 1 selected, 2 ghost (not offered)."""
    c.matte = matte
    if state == 1:
        c.button(x, y, w, h, SEL_FACE, SEL_EDGE, r, hexc('#3A86E4'))
        c.text_center(x + w // 2, y + h // 2, label, SEL_TEXT)
    elif state == 2:
        c.button(x, y, w, h, GHOST_FACE, GHOST_EDGE, r)
        c.text_center(x + w // 2, y + h // 2, label, GHOST_TEXT)
    else:
        c.button(x, y, w, h, FACE, EDGE, r, LIGHT)
        c.text_center(x + w // 2, y + h // 2, label, TEXT)


def labelled_sheet(labels, w, h, states=(0, 1), matte=BG):
    """One row per label, one column per state."""
    c = Canvas(w * len(states), h * len(labels), matte=matte)
    for row, label in enumerate(labels):
        for col, state in enumerate(states):
            face_cell(c, col * w, row * h, w, h, label, state, matte)
    return c


def digits_sheet(w, h, color, scale=1):
    c = Canvas(w * 12, h)
    for i, ch in enumerate('0123456789-:'):
        c.text_center(i * w + w // 2, h // 2, ch, color, scale)
    return c


# ---------------------------------------------------------------- key form

TABS = ['LIVE', 'PLAYBACK', 'BACKUP', 'SETUP']
KEYS = ['SPLIT', 'SEQ', 'REW', 'PLAY', 'FF', 'LIST', 'DEL', 'OSD', 'SET P', 'GO P',
        'HELP', 'FREEZE', 'SNAP', 'F5', 'PTZ']

# Where the key form's parts lie (centres and sizes shared with skins.json).
TAB_Y, TAB_W, TAB_H, TAB_GAP = 56, 74, 28, 4
CH_Y, CH_W, CH_H, CH_GX, CH_GY = 150, 72, 26, 6, 4
KEY_Y, KEY_W, KEY_H, KEY_GX, KEY_GY = 598, 58, 20, 4, 4


def grid_lefts(n, cols, w, h, gx, gy, cx, cy):
    rows = (n + cols - 1) // cols
    bw, bh = cols * w + (cols - 1) * gx, rows * h + (rows - 1) * gy
    return [(cx - bw // 2 + (w + gx) * (k % cols), cy - bh // 2 + (h + gy) * (k // cols))
            for k in range(n)]


def section(c, x, y, text):
    c.text(x, y, text, SECTION)
    w = text_width(text)
    c.rect(x + w + 6, y + 3, 308 + 8 - (x + w + 6), 1, PANEL_EDGE)


def keyform_background():
    c = Canvas(324, 640, fill=BG, matte=BG)
    c.vgradient(0, 0, 324, 38, HEAD_TOP, HEAD_BOTTOM)
    c.rect(0, 38, 324, 1, PANEL_EDGE)
    c.text(12, 12, 'RECORDER', TEXT, 2)
    c.text(12 + text_width('RECORDER', 2) + 10, 19, 'PAGES, VIEWS AND KEYS', SECTION)
    # Ghosts of every tab and channel key: an item that is not offered is
    # hidden and shows its ghost.
    for k, (x, y) in enumerate(grid_lefts(4, 4, TAB_W, TAB_H, TAB_GAP, 0, 162, TAB_Y)):
        face_cell(c, x, y, TAB_W, TAB_H, TABS[k], 2)
    section(c, 8, 80, 'CHANNELS')
    for k, (x, y) in enumerate(grid_lefts(16, 4, CH_W, CH_H, CH_GX, CH_GY, 162, CH_Y)):
        face_cell(c, x, y, CH_W, CH_H, 'CH %d' % (k + 1), 2)
    # The page area.
    c.round_rect(6, 216, 312, 326, 6, PANEL_EDGE)
    c.round_rect(7, 217, 310, 324, 5, PANEL)
    section(c, 8, 554, 'KEYS')
    return c


def split_icon(c, x, y, w, h, kind, first, selected):
    """Pictogram of a split layout: the grid, the cells it shows lit."""
    ink = SEL_TEXT if selected else TEXT
    gx, gy, gw, gh = x + (w - 26) // 2, y + 5, 26, 20
    n = {'quad': 2, 'nine': 3, 'all': 4}[kind]
    cw, ch = gw / n, gh / n
    for r in range(n):
        for col in range(n):
            c.rect(int(gx + col * cw) + 1, int(gy + r * ch) + 1, int(cw) - 1, int(ch) - 1,
                   ink)
    c.text_center(x + w // 2, y + h - 8, first, ink)


def splits_sheet(labels, kinds):
    w, h = 42, 40
    c = Canvas(w * 2, h * len(labels), matte=PANEL)
    for row, (label, kind) in enumerate(zip(labels, kinds)):
        for col in (0, 1):
            c.matte = PANEL
            if col:
                c.button(col * w, row * h, w, h, SEL_FACE, SEL_EDGE, 4, hexc('#3A86E4'))
            else:
                c.button(col * w, row * h, w, h, FACE, EDGE, 4, LIGHT)
            split_icon(c, col * w, row * h, w, h, kind, label, col == 1)
    return c


def transport_sheet():
    w, h = 70, 32
    c = Canvas(w * 2, h * 4, matte=PANEL)
    for row in range(4):
        for col in (0, 1):
            x, y = col * w, row * h
            c.matte = PANEL
            if col:
                c.button(x, y, w, h, SEL_FACE, SEL_EDGE, 5, hexc('#3A86E4'))
            else:
                c.button(x, y, w, h, FACE, EDGE, 5, LIGHT)
            ink = SEL_TEXT if col else TEXT
            cx, cy = x + w // 2, y + h // 2
            if row == 0:    # play backwards
                c.polygon([(cx + 7, cy - 8), (cx + 7, cy + 8), (cx - 7, cy)], ink)
            elif row == 1:  # stop
                c.rect(cx - 6, cy - 6, 12, 12, ink)
            elif row == 2:  # pause
                c.rect(cx - 7, cy - 7, 5, 14, ink)
                c.rect(cx + 2, cy - 7, 5, 14, ink)
            else:           # play
                c.polygon([(cx - 7, cy - 8), (cx - 7, cy + 8), (cx + 7, cy)], ink)
    return c


def calendar_icon(c, x, y, ink):
    c.rect(x, y + 2, 12, 10, ink)
    c.rect(x + 1, y + 5, 10, 6, FACE)
    c.rect(x + 2, y, 2, 3, ink)
    c.rect(x + 8, y, 2, 3, ink)
    for i in range(3):
        c.rect(x + 2 + i * 3, y + 7, 2, 2, ink)


def draw_keyform():
    out = ('sheets', 'keyform')
    save(keyform_background(), *out, 'background.png')
    save(labelled_sheet(TABS, TAB_W, TAB_H), *out, 'tabs.png')
    save(labelled_sheet(['CH %d' % (i + 1) for i in range(16)], CH_W, CH_H), *out,
         'channels.png')
    # Page panels: captions only; their buttons are elements of their own.
    live = Canvas(308, 120)
    live.text(6, 6, 'LAYOUT', SECTION)
    live.text(6, 106, 'CLICK A VIDEO CELL TO SHOW IT ALONE', OFF_TEXT)
    save(live, *out, 'live_panel.png')
    save(splits_sheet(['1-4', '5-8', '9-12', '13-16', '1-9', '10-2', 'ALL'],
                      ['quad', 'quad', 'quad', 'quad', 'nine', 'nine', 'all']), *out,
         'splits.png')
    save(splits_sheet(['1-4', '5-8', '1-8'], ['quad', 'quad', 'nine']), *out, 'splits8.png')
    pb = Canvas(308, 150)
    pb.text(6, 6, 'PLAY FROM', SECTION)
    pb.text(6, 62, 'TRANSPORT', SECTION)
    pb.text(6, 136, 'SET OPENS THE CALENDAR', OFF_TEXT)
    save(pb, *out, 'playback_panel.png')
    bk = Canvas(308, 190)
    bk.text(6, 6, 'BACKUP RANGE', SECTION)
    bk.text(10, 28, 'FROM', TEXT)
    bk.text(10, 58, 'TO', TEXT)
    bk.text(6, 122, 'PROGRESS', SECTION)
    bk.matte = PANEL
    bk.round_rect(14, 138, 244, 14, 4, PANEL_EDGE)
    bk.round_rect(15, 139, 242, 12, 3, hexc('#10151B'))
    bk.text(290, 142, '%', TEXT)
    save(bk, *out, 'backup_panel.png')
    setup = Canvas(308, 60)
    setup.text_center(154, 20, 'SETTINGS ARE OPEN', TEXT)
    setup.text_center(154, 36, 'IN THE VIDEO AREA', SECTION)
    save(setup, *out, 'setup_panel.png')
    save(digits_sheet(8, 12, DIGIT), *out, 'digits.png')
    save(digits_sheet(12, 18, DIGIT, 2), *out, 'big_digits.png')
    # The calendar button: icon and "SET".
    setbtn = Canvas(56, 24, matte=PANEL)
    setbtn.button(0, 0, 56, 24, FACE, EDGE, 4, LIGHT)
    calendar_icon(setbtn, 8, 6, TEXT)
    setbtn.text(26, 9, 'SET', TEXT)
    save(setbtn, *out, 'set_button.png')
    save(transport_sheet(), *out, 'transport.png')
    save(Canvas(2, 2), *out, 'none.png')
    big = Canvas(140, 30, matte=PANEL)
    big.button(0, 0, 140, 30, FACE, EDGE, 5, LIGHT)
    save(big, *out, 'big_button.png')
    lab = Canvas(140 * 3, 30)
    for i, (text, color) in enumerate([('START BACKUP', TEXT), ('STOP BACKUP', REC),
                                       ('STOP', REC)]):
        if i:
            lab.rect(i * 140 + 16, 11, 8, 8, color)
            lab.text_center(i * 140 + 76, 15, text, TEXT)
        else:
            lab.circle(i * 140 + 20, 15, 4.5, REC)
            lab.text_center(i * 140 + 76, 15, text, TEXT)
    save(lab, *out, 'backup_labels.png')
    bar = Canvas(240, 10, fill=GREEN)
    bar.rect(0, 0, 240, 3, hexc('#45C07A'))
    save(bar, *out, 'progress.png')
    keys = Canvas(KEY_W * 2, KEY_H * len(KEYS), matte=BG)
    for row, name in enumerate(KEYS):
        face_cell(keys, 0, row * KEY_H, KEY_W, KEY_H, name, 2)
        face_cell(keys, KEY_W, row * KEY_H, KEY_W, KEY_H, name, 0)
    save(keys, *out, 'keys.png')
    draw_calendar(out)


def draw_calendar(out):
    # Local rows: title 12, month 34, weekdays 58, days 68..210, half hours
    # 220..258, time entry 272..347, OK and Cancel 372.
    c = Canvas(316, 400, matte=BG)
    c.round_rect(0, 0, 316, 400, 6, hexc('#3A4759'))
    c.round_rect(1, 1, 314, 398, 5, hexc('#1C232C'))
    c.matte = hexc('#1C232C')
    for i, d in enumerate(['SU', 'MO', 'TU', 'WE', 'TH', 'FR', 'SA']):
        c.text_center(32 + i * 42, 58, d, REC if i == 0 else SECTION)
    c.text(12, 220, 'HALF HOURS', SECTION)
    for h in (0, 6, 12, 18, 24):
        x = 14 + h * 12
        c.rect(x, 248, 1, 3, SECTION)
        c.text_center(x, 258, str(h), SECTION)
    c.text(12, 272, 'TIME', SECTION)
    for x in (132, 184):
        c.text_center(x, 316, ':', DIGIT, 2)
    save(c, *out, 'calendar.png')
    title = Canvas(200, 14 * 4)
    for i, t in enumerate(['', 'PLAYBACK TIME', 'BACKUP FROM', 'BACKUP TO']):
        title.text_center(100, i * 14 + 7, t, CURSOR)
    save(title, *out, 'calendar_title.png')
    arrows = Canvas(56, 24, matte=hexc('#1C232C'))
    for i in (0, 1):
        arrows.button(i * 28, 0, 28, 24, FACE, EDGE, 4, LIGHT)
        cx = i * 28 + 14
        s = -1 if i == 0 else 1
        arrows.polygon([(cx - 3 * s, 6), (cx - 3 * s, 18), (cx + 4 * s, 12)], TEXT)
    save(arrows, *out, 'month_arrows.png')
    day = Canvas(40 * 6, 22, matte=hexc('#1C232C'))
    for m in range(6):
        x = m * 40
        recorded = m in (1, 3, 5)
        cursor = m in (4, 5)
        day.button(x, 0, 40, 22, hexc('#242C37'), hexc('#2E3947'), 3)
        if recorded:
            day.rect(x + 8, 17, 24, 3, REC)
        if cursor:
            day.round_rect(x, 0, 40, 22, 3, CURSOR)
            day.round_rect(x + 2, 2, 36, 18, 2, hexc('#3A3220'))
            if recorded:
                day.rect(x + 8, 17, 24, 3, REC)
    save(day, *out, 'day_cells.png')
    bar = Canvas(12, 14)
    bar.rect(0, 0, 5, 14, hexc('#2A333F'))
    bar.rect(6, 0, 5, 14, REC)
    save(bar, *out, 'time_bar.png')
    slot = Canvas(12, 14)
    slot.rect(6, 0, 6, 2, CURSOR)
    slot.rect(6, 12, 6, 2, CURSOR)
    slot.rect(6, 0, 1, 14, CURSOR)
    slot.rect(11, 0, 1, 14, CURSOR)
    save(slot, *out, 'time_slot.png')
    steps = Canvas(60, 14, matte=hexc('#1C232C'))
    for i in (0, 1):
        steps.button(i * 30, 0, 30, 14, FACE, EDGE, 3)
        cx = i * 30 + 15
        if i == 0:
            steps.polygon([(cx - 5, 10), (cx + 5, 10), (cx, 4)], TEXT)
        else:
            steps.polygon([(cx - 5, 4), (cx + 5, 4), (cx, 10)], TEXT)
    save(steps, *out, 'time_steps.png')
    ok = Canvas(90, 48, matte=hexc('#1C232C'))
    ok.button(0, 0, 90, 24, hexc('#237A48'), hexc('#3FA66A'), 4, hexc('#2C8A55'))
    ok.text_center(45, 12, 'OK', SEL_TEXT)
    ok.button(0, 24, 90, 24, FACE, EDGE, 4, LIGHT)
    ok.text_center(45, 36, 'CANCEL', TEXT)
    save(ok, *out, 'ok_cancel.png')


# ---------------------------------------------------------------- pad

DIRECTIONS = ['L', 'LU', 'U', 'RU', 'R', 'RD', 'D', 'LD']  # commands 7 .. 14


def draw_pad():
    out = ('sheets', 'pad')
    c = Canvas(584, 305, fill=BG, matte=BG)
    c.vgradient(0, 0, 584, 26, HEAD_TOP, HEAD_BOTTOM)
    c.rect(0, 26, 584, 1, PANEL_EDGE)
    c.rect(0, 0, 584, 1, PANEL_EDGE)
    c.text(10, 10, 'PTZ CONTROL', TEXT)
    c.rect(188, 34, 1, 262, PANEL_EDGE)
    c.text(10, 36, 'DIRECTION', SECTION)
    c.ring(96, 118, 70, 2, PANEL_EDGE)
    c.circle(96, 118, 16, FACE)
    c.circle(96, 118, 5, SECTION)
    c.text(10, 196, 'ZOOM', TEXT)
    c.text(10, 222, 'FOCUS', TEXT)
    c.text(10, 248, 'IRIS', TEXT)
    c.text(198, 36, 'PRESETS', SECTION)
    c.text(198, 180, 'PRESET', TEXT)
    c.text(198, 210, 'CHANNEL', SECTION)
    for y, name in ((254, 'PAN SPEED'), (280, 'ZOOM SPEED')):
        c.text(198, y - 3, name, TEXT)
        c.matte = BG
        c.round_rect(300, y - 2, 216, 4, 2, PANEL_EDGE)
        for i in range(8):
            c.rect(308 + i * 28, y + 5, 1, 3, SECTION)
    save(c, *out, 'background.png')
    close = Canvas(24, 20, matte=HEAD_BOTTOM)
    close.button(0, 0, 24, 20, hexc('#5A2626'), hexc('#8A3A3A'), 4)
    close.line(8, 6, 16, 14, 2, TEXT)
    close.line(16, 6, 8, 14, 2, TEXT)
    save(close, *out, 'close.png')
    arrows = Canvas(34 * 8, 34, matte=BG)
    for i, d in enumerate(DIRECTIONS):
        x = i * 34
        arrows.circle(x + 17, 17, 16.5, EDGE)
        arrows.circle(x + 17, 17, 15.5, FACE)
        angle = {'R': 0, 'RU': 45, 'U': 90, 'LU': 135, 'L': 180, 'LD': 225, 'D': 270,
                 'RD': 315}[d]
        a = math.radians(angle)
        ux, uy = math.cos(a), -math.sin(a)
        px, py = -uy, ux
        # A slim head with a short shaft reads as a direction even diagonally.
        tip = (x + 17 + ux * 10, 17 + uy * 10)
        base = (x + 17 - ux * 1, 17 - uy * 1)
        arrows.polygon([tip, (base[0] + px * 6.5, base[1] + py * 6.5),
                        (base[0] - px * 6.5, base[1] - py * 6.5)], TEXT)
        arrows.line(x + 17 - ux * 8, 17 - uy * 8, base[0], base[1], 3.2, TEXT)
    save(arrows, *out, 'directions.png')
    save(labelled_sheet(['IN', 'OUT', 'NEAR', 'FAR', 'OPEN', 'CLOSE'], 46, 22, (0,)), *out,
         'lens.png')
    presets = Canvas(36 * 8, 22 * 25, matte=BG)
    for i in range(100):
        for state in (0, 1):
            x, y = ((i % 4) * 2 + state) * 36, (i // 4) * 22
            presets.matte = BG
            if state:
                presets.button(x, y, 36, 22, hexc('#1D4F8F'), SEL_EDGE, 3)
                presets.text_center(x + 18, y + 11, str(i + 1), SEL_TEXT)
            else:
                presets.button(x, y, 36, 22, FACE, EDGE, 3, LIGHT)
                presets.text_center(x + 18, y + 11, str(i + 1), TEXT)
    save(presets, *out, 'presets.png')
    page = Canvas(64, 18, matte=BG)
    page.button(0, 0, 64, 18, FACE, EDGE, 4, LIGHT)
    save(page, *out, 'page_button.png')
    pl = Canvas(64, 36)
    pl.text_center(32, 9, '51-100 >', TEXT)
    pl.text_center(32, 27, '< 1-50', TEXT)
    save(pl, *out, 'page_labels.png')
    save(labelled_sheet(['GO TO', 'SET', 'CLEAR'], 70, 22, (0,)), *out, 'preset_actions.png')
    save(labelled_sheet([str(i + 1) for i in range(16)], 22, 18), *out, 'channels.png')
    knob = Canvas(14, 14, matte=BG)
    knob.circle(7, 7, 7, SEL_EDGE)
    knob.circle(7, 7, 5.5, SEL_FACE)
    save(knob, *out, 'knob.png')
    save(digits_sheet(8, 12, DIGIT), *out, 'digits.png')
    save(Canvas(2, 2), *out, 'none.png')


# ---------------------------------------------------------------- form pictures


def draw_pictures():
    out = ('pictures',)
    c = Canvas(740, 640, fill=BG, matte=BG)
    c.vgradient(0, 0, 740, 42, HEAD_TOP, HEAD_BOTTOM)
    c.text(48, 22, 'TEVRANO', TEXT, 2)
    c.text(48 + text_width('TEVRANO', 2) + 10, 29, 'DVR VIEWER', SECTION)
    c.round_rect(268, 10, 225, 29, 6, PANEL_EDGE)
    c.round_rect(269, 11, 223, 27, 5, hexc('#0E1216'))
    c.rect(33, 42, 706, 578, PANEL_EDGE)
    c.rect(34, 43, 704, 576, hexc('#050607'))
    c.text_center(386, 331, 'NO VIDEO', hexc('#2A323C'), 2)
    c.rect(739, 0, 1, 640, PANEL_EDGE)
    save(c, *out, 'main_background.png')
    for i in range(8):
        f = Canvas(40, 40, matte=hexc('#10141A'))
        for k in range(8):
            age = (i - k) % 8
            a = math.radians(90 - k * 45)
            # The head is bright; the tail fades toward a grey that still
            # shows over dark video.
            shade = max(0.0, 1 - age * 0.25)
            col = [round(hexc('#4A5667')[j] * (1 - shade) + hexc('#7FB4F5')[j] * shade)
                   for j in range(3)]
            f.circle(20 + math.cos(a) * 13, 20 - math.sin(a) * 13, 3.6, col)
        save(f, *out, 'loader%d.png' % i)
    for name, color in (('conn', GREEN), ('disconn', REC)):
        p = Canvas(8, 12, fill=BG, matte=BG)
        p.round_rect(0, 0, 8, 12, 2.5, color)
        p.rect(2, 2, 4, 2, [min(255, v + 70) for v in color])
        save(p, *out, name + '.png')
    for name in ('speaker_on', 'speaker_off'):
        s = Canvas(24, 24, fill=hexc('#0E1216'), matte=hexc('#0E1216'))
        on = name == 'speaker_on'
        ink = TEXT if on else OFF_TEXT
        s.rect(4, 9, 4, 6, ink)
        s.polygon([(7, 9), (12, 4.5), (12, 19.5), (7, 15)], ink)
        if on:
            s.ring(12, 12, 6.5, 1.6, SEL_EDGE)
            s.ring(12, 12, 10.5, 1.6, SEL_EDGE)
            s.rect(2, 2, 10, 20, hexc('#0E1216'))
            s.rect(4, 9, 4, 6, ink)
            s.polygon([(7, 9), (12, 4.5), (12, 19.5), (7, 15)], ink)
        else:
            s.line(15, 9, 21, 15, 1.8, REC)
            s.line(21, 9, 15, 15, 1.8, REC)
        save(s, *out, name + '.png')
    for name, face, edge, ink in (('dome_on', SEL_FACE, SEL_EDGE, SEL_TEXT),
                                  ('dome_off', FACE, EDGE, TEXT),
                                  ('dome_disabled', GHOST_FACE, GHOST_EDGE, GHOST_TEXT)):
        d = Canvas(28, 28, fill=HEAD_BOTTOM, matte=HEAD_BOTTOM)
        d.button(0, 0, 28, 28, face, edge, 5)
        d.matte = face
        d.rect(6, 8, 16, 3, ink)
        d.shape((7, 11, 21, 21), lambda x, y: y >= 11 and (x - 14) ** 2 + (y - 11) ** 2 <= 49,
                ink)
        d.circle(14, 15.5, 2.2, face)
        save(d, *out, name + '.png')


if __name__ == '__main__':
    # Draws every part, or only those named: keyform, pad, pictures.
    parts = {'keyform': draw_keyform, 'pad': draw_pad, 'pictures': draw_pictures}
    for name in sys.argv[1:] or list(parts):
        parts[name]()
