#!/usr/bin/env python3
"""Converts every .bmp of a folder into a .png of another: bmp_to_png.py IN OUT"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from skinlib import read_bmp, write_png  # noqa: E402

src, dst = sys.argv[1], sys.argv[2]
os.makedirs(dst, exist_ok=True)
for name in sorted(os.listdir(src)):
    if name.endswith('.bmp'):
        write_png(os.path.join(dst, name[:-4] + '.png'), read_bmp(os.path.join(src, name)))
        print('wrote', os.path.join(dst, name[:-4] + '.png'))
