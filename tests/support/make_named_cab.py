#!/usr/bin/env python3
"""Writes a one-folder stored cabinet whose names are given byte for byte,
which the writer and the command line refuse or cannot spell.

usage: make_named_cab.py OUT.cab [--next NAME] [u:]NAME=TEXT ...

NAME, TEXT and the next cabinet's name take Python escapes (\\x1b, \\n, \\xe8);
a "u:" prefix sets attribute 0x80 (the name is UTF-8). Dates are 2001-02-03.
"""
import codecs
import struct
import sys


def raw(text):
    return codecs.escape_decode(text.encode('utf-8'))[0]


def main(argv):
    out, args = argv[1], argv[2:]
    next_name = None
    files = []
    while args:
        arg = args.pop(0)
        if arg == '--next':
            next_name = raw(args.pop(0))
            continue
        attributes = 0x20
        if arg.startswith('u:'):
            attributes |= 0x80
            arg = arg[2:]
        name, _, text = arg.partition('=')
        files.append((raw(name), attributes, raw(text)))

    set_names = next_name + b'\0\0' if next_name is not None else b''
    folder_at = 36 + len(set_names)
    files_at = folder_at + 8
    entries = b''
    data = b''
    for name, attributes, text in files:
        entries += struct.pack('<IIHHHH', len(text), len(data), 0, (21 << 9) | (2 << 5) | 3, 0, attributes)
        entries += name + b'\0'
        data += text
    blocks = b''
    count = 0
    for start in range(0, len(data), 32768):
        chunk = data[start:start + 32768]
        blocks += struct.pack('<IHH', 0, len(chunk), len(chunk)) + chunk
        count += 1
    data_at = files_at + len(entries)
    total = data_at + len(blocks)
    header = struct.pack('<4sIIIIIBBHHHHH', b'MSCF', 0, total, 0, files_at, 0, 3, 1, 1, len(files),
                         2 if next_name is not None else 0, 0x1234, 0)
    folder = struct.pack('<IHH', data_at, count, 0)
    with open(out, 'wb') as f:
        f.write(header + set_names + folder + entries + blocks)


if __name__ == '__main__':
    main(sys.argv)
