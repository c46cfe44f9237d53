#!/usr/bin/env python3
"""Packs tekstor.exe and its read-mes into a zip that is the same byte for byte
whenever the inputs are: fixed order, fixed time stamps, fixed attributes.

make_package.py --exe tekstor.exe --version 1.0.0 --readme-dir package --out tekstor-1.0.0-win32.zip
"""
import argparse
import os
import zipfile

STAMP = (2000, 1, 1, 0, 0, 0)


def windows_text(path, version, encoding):
    """The read-mes are kept as UTF-8 with LF; Windows users get them with
    CR LF line ends and in the ANSI code page (1252 for the German one), the
    bytes a plain-text program on Windows shows as text without converting."""
    with open(path, encoding='utf-8') as f:
        text = f.read().replace('@VERSION@', version)
    return text.replace('\n', '\r\n').encode(encoding)


def add(zf, name, data):
    info = zipfile.ZipInfo(name, date_time=STAMP)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 0          # MS-DOS: no Unix permissions recorded
    info.external_attr = 0x20       # FILE_ATTRIBUTE_ARCHIVE
    zf.writestr(info, data, compresslevel=9)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--exe', required=True)
    ap.add_argument('--version', required=True)
    ap.add_argument('--readme-dir', required=True)
    ap.add_argument('--out', required=True)
    args = ap.parse_args()

    top = 'tekstor-%s/' % args.version
    with open(args.exe, 'rb') as f:
        exe = f.read()
    entries = [
        (top + 'tekstor.exe', exe),
        (top + 'LIESMICH.txt', windows_text(os.path.join(args.readme_dir, 'LIESMICH.txt'), args.version, 'cp1252')),
        (top + 'README.txt', windows_text(os.path.join(args.readme_dir, 'README.txt'), args.version, 'ascii')),
    ]
    tmp = args.out + '.tmp'
    with zipfile.ZipFile(tmp, 'w') as zf:
        for name, data in entries:
            add(zf, name, data)
    os.replace(tmp, args.out)
    print(args.out)


if __name__ == '__main__':
    main()
