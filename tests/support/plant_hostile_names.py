#!/usr/bin/env python3
"""Rewrites the stored names of a cabinet made from in/zz/zz/evil1.txt,
in/CC/evil2.txt, in/zq/evil3.txt and in/qq/zz/zz/evil4.txt into names that
climb out, name a drive, start at the root, and climb out from the middle.
The writer refuses such names, so they are put in afterwards: file entries
are not covered by checksums, and every replacement keeps the length."""
import sys

path = sys.argv[1]
data = open(path, 'rb').read()
for old, new in ((b'zz\\zz\\evil1', b'..\\..\\evil1'), (b'CC\\evil2', b'C:\\evil2'), (b'zq\\evil3', b'\\q\\evil3'),
                 (b'qq\\zz\\zz\\evil4', b'qq\\..\\..\\evil4')):
    assert data.count(old) == 1, old
    data = data.replace(old, new)
open(path, 'wb').write(data)
