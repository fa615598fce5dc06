#!/usr/bin/env python3
"""Repacks a zip archive as an archiver on Windows writes it: no Unix
attribute half, only the DOS archive bit, so by the attribute rule every
member comes out read-only. Usage: repack_as_windows.py <in.zip> <out.zip>"""
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1]) as source, zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_DEFLATED) as target:
    for info in source.infolist():
        copy = zipfile.ZipInfo(info.filename, info.date_time)
        copy.create_system = 0
        copy.external_attr = 0x10 if info.is_dir() else 0x20
        target.writestr(copy, source.read(info))
