#!/usr/bin/env python3
"""Writes a set of cabinets laid out as other writers make them: one folder runs
from s1.cab on into the later cabinets, and further files begin inside it
there (folder index 0, offsets from the start of the whole folder). The last
cabinet also holds a stored folder of its own with tail.txt. In three cabinets
D ends exactly at the second edge, so that E begins s3's part of the folder
with no entry running on into it. The files
themselves are written into FOLDER/files for comparison.

usage: make_continued_set.py FOLDER stored|mszip 2|3
"""
import os
import struct
import sys
import zlib

BLOCK = 32768


def stream_bytes(size):
    out = bytearray()
    x = 12345
    while len(out) < size:
        if len(out) >= 300 and (len(out) // 97) % 3 == 0:
            out.append(out[len(out) - 300])
        else:
            x = (x * 1103515245 + 12345) & 0xFFFFFFFF
            out.append((x >> 16) & 0xFF)
    return bytes(out)


def encode(method, stream):
    blocks = []
    for at in range(0, len(stream), BLOCK):
        piece = stream[at:at + BLOCK]
        if method == 'stored':
            blocks.append((piece, len(piece)))
            continue
        kwargs = {'zdict': stream[max(0, at - BLOCK):at]} if at else {}
        z = zlib.compressobj(9, zlib.DEFLATED, -15, **kwargs)
        blocks.append((b'CK' + z.compress(piece) + z.flush(zlib.Z_FINISH), len(piece)))
    return blocks


def cabinet(index, count, folders, files):
    names = b''
    flags = 0
    if index > 0:
        flags |= 1
        names += b's%d.cab\0disk\0' % index
    if index + 1 < count:
        flags |= 2
        names += b's%d.cab\0disk\0' % (index + 2)
    folder_at = 36 + len(names)
    list_at = folder_at + 8 * len(folders)
    file_list = b''.join(struct.pack('<IIHHHH', size, offset, folder, 0x5A21, 0x6C20, 0x20) + name + b'\0'
                         for name, size, offset, folder in files)
    data_at = list_at + len(file_list)
    entries = b''
    data = b''
    for type_word, blocks in folders:
        entries += struct.pack('<IHH', data_at + len(data), len(blocks), type_word)
        for payload, uncompressed in blocks:
            data += struct.pack('<IHH', 0, len(payload), uncompressed) + payload
    total = data_at + len(data)
    header = struct.pack('<4sIIIIIHHHHHH', b'MSCF', 0, total, 0, list_at, 0, 0x0103, len(folders), len(files),
                         flags, 0x4D2, index)
    return header + names + entries + file_list + data


def main(argv):
    folder, method, count = argv[1], argv[2], int(argv[3])
    size = 90000 if count == 2 else 130000
    stream = stream_bytes(size)
    files = [(b'A.bin', 0, 5000), (b'B.bin', 5000, 35000), (b'C.bin', 40000, 7000)]
    if count == 2:
        files.append((b'D.bin', 47000, 43000))
        edges = [1]
    else:
        # D ends exactly at the second edge: E begins s3's part of the folder
        # with no entry running on into it.
        files += [(b'D.bin', 47000, 51304), (b'E.bin', 98304, 31696)]
        edges = [1, 3]
    blocks = encode(method, stream)
    type_word = 0 if method == 'stored' else 1
    starts = [0] + [BLOCK * e for e in edges] + [size]
    block_ranges = [0] + edges + [len(blocks)]
    tail = b'the tail folder\n' * 40
    os.makedirs(os.path.join(folder, 'files'), exist_ok=True)
    for name, offset, length in files:
        with open(os.path.join(folder, 'files', name.decode()), 'wb') as f:
            f.write(stream[offset:offset + length])
    with open(os.path.join(folder, 'files', 'tail.txt'), 'wb') as f:
        f.write(tail)
    for k in range(count):
        lo, hi = starts[k], starts[k + 1]
        listed = []
        begun = []
        for name, offset, length in files:
            end = offset + length
            goes_on = end > hi and k + 1 < count
            if offset < lo < end:
                listed.append((name, length, offset, 0xFFFF if goes_on else 0xFFFD))
            elif lo <= offset < hi:
                begun.append((name, length, offset, 0xFFFE if goes_on else 0))
        folders = [(type_word, blocks[block_ranges[k]:block_ranges[k + 1]])]
        if k + 1 == count:
            folders.append((0, [(tail, len(tail))]))
            begun.append((b'tail.txt', len(tail), 0, 1))
        with open(os.path.join(folder, 's%d.cab' % (k + 1)), 'wb') as f:
            f.write(cabinet(k, count, folders, listed + begun))


if __name__ == '__main__':
    main(sys.argv)
