#!/bin/bash
# cabtool.exe under Wine: a set made on Windows round-trips with dates and the
# read-only attribute, and names that reach another drive, the drive root, a
# parent folder or a device are refused without writing anything there.
set -u
: "${BUILD_DIR:?}" "${WINEPREFIX:?}" "${HARNESS:?}"
if [ -z "${CABTOOL_E2E_SESSION:-}" ]; then
  export CABTOOL_E2E_SESSION=1
  exec "$HARNESS" --prefix="$WINEPREFIX" session bash "$0" "$@"
fi

TOOL="$BUILD_DIR/cabtool.exe"
WORK="$BUILD_DIR/e2e/cabtool_windows"
FAILED=0
fail() { echo "[cabtool_windows] FAIL: $*" >&2; FAILED=1; }

rm -rf "$WORK" && mkdir -p "$WORK/src/docs" && cd "$WORK" || exit 1
head -c 200000 /dev/urandom >src/noise.bin
seq 1 30000 >src/docs/numbers.txt
: >src/docs/empty.txt
echo locked >src/locked.txt && chmod 444 src/locked.txt
touch -d '2003-04-05 06:07:08' src/noise.bin

wine "$TOOL" create --max-cabinet 50000 -o set/W.cab src/noise.bin src/docs/numbers.txt src/docs/empty.txt \
  src/locked.txt >create.out 2>&1 || fail "create: $(cat create.out)"
[ -f set/W3.cab ] || fail "no three-cabinet set"
wine "$TOOL" test set/W.cab >test.out 2>&1 || fail "test: $(cat test.out)"
wine "$TOOL" extract -d out set/W.cab >extract.out 2>&1 || fail "extract: $(cat extract.out)"
for f in src/noise.bin src/docs/numbers.txt src/docs/empty.txt src/locked.txt; do
  cmp -s "$f" "out/$f" || fail "$f differs"
done
[ "$(stat -c %Y out/src/noise.bin)" = "$(stat -c %Y src/noise.bin)" ] || fail "noise.bin lost its time"
[ "$(stat -c %a out/src/locked.txt | cut -c1)" = 4 ] || fail "locked.txt lost its read-only attribute"

# Japanese names are stored in code page 932, where the second byte of ソ and
# 表 is 0x5C; those bytes are neither separators nor changed on the way back.
mkdir -p jp/ソフト && echo 表示 >jp/ソフト/表示.txt
(cd jp && wine "$TOOL" create -o ../jp.cab ソフト/表示.txt >/dev/null 2>&1) || fail "create jp.cab"
python3 -c "import sys; sys.exit(0 if 'ソフト\\表示.txt'.encode('cp932') + b'\\0' in open('jp.cab','rb').read() else 1)" ||
  fail "the Japanese name is not stored in code page 932 with a backslash"
wine "$TOOL" extract -d jpout jp.cab >/dev/null 2>&1 || fail "extract jp.cab"
cmp -s jp/ソフト/表示.txt jpout/ソフト/表示.txt || fail "the Japanese name did not come back as it went in"
# A pattern in the ANSI code page: its 0x5C trail bytes do not split folder parts either.
wine "$TOOL" test -F 'ソフト/表*' jp.cab 2>&1 | grep -q '^1 file(s) good' || fail "-F with a Japanese pattern"

# SHA-256 from CNG, and -p sends bytes to standard output unchanged (no CR added).
wine "$TOOL" test --hash set/W.cab >hash.out 2>&1 || fail "test --hash: $(cat hash.out)"
for f in src/noise.bin src/docs/numbers.txt; do
  grep -qF "ok  $(sha256sum "$f" | cut -d' ' -f1)  ${f//\//\\}" hash.out || fail "test --hash: wrong or no digest for $f"
done
wine "$TOOL" extract -p -F numbers.txt set/W.cab 2>/dev/null | cmp -s - src/docs/numbers.txt ||
  fail "extract -p changed the bytes"

# Hostile names, patched in at equal length (file entries carry no checksum).
mkdir -p in/zz/zz in/CC in/zq in/qq/zz/zz
echo climb >in/zz/zz/evil1.txt
echo drive >in/CC/evil2.txt
echo root >in/zq/evil3.txt
echo middle >in/qq/zz/zz/evil4.txt
echo fine >in/fine.txt
(cd in && wine "$TOOL" create -m none -o ../names.cab zz/zz/evil1.txt CC/evil2.txt zq/evil3.txt qq/zz/zz/evil4.txt \
  fine.txt >/dev/null 2>&1) || fail "create names.cab"
python3 "$SOURCE_DIR/tests/support/plant_hostile_names.py" names.cab
mkdir -p box/a/b
wine "$TOOL" extract -d box/a/b/out names.cab >names.out 2>&1 && fail "hostile names did not fail the extraction"
for n in '..\..\evil1.txt' 'C:\evil2.txt' '\q\evil3.txt' 'qq\..\..\evil4.txt'; do
  grep -qF "$n: refused" names.out || fail "$n was not refused"
done
[ "$(tr -d '\r' <box/a/b/out/fine.txt 2>/dev/null)" = fine ] || fail "fine.txt did not come out"
[ -e box/evil1.txt ] && fail "wrote above the output folder"
[ -e box/a/b/evil4.txt ] && fail "wrote above the output folder from the middle of a name"
[ -e "$WINEPREFIX/drive_c/evil2.txt" ] && fail "wrote to drive C:"
[ -e /q/evil3.txt ] && fail "wrote to the drive root"

# Names Windows would hand to a device or cut short are refused; the rest
# comes out, and control characters are shown escaped.
python3 "$SOURCE_DIR/tests/support/make_named_cab.py" devices.cab 'nul.txt=a' 'sub\\AUX=b' 'COM1.log=c' 'trail. =d' \
  'ctl\x1b.txt=e' 'plain.txt=f'
wine "$TOOL" extract -d devout devices.cab >devices.out 2>&1 && fail "device names did not fail the extraction"
for n in 'nul.txt' 'sub\AUX' 'COM1.log' 'trail. '; do
  grep -qF "$n: refused" devices.out || fail "$n was not refused"
done
grep -qF 'ctl\x1b.txt' devices.out || fail "the escape character was not shown escaped"
[ "$(cat devout/plain.txt 2>/dev/null)" = f ] || fail "plain.txt did not come out"
[ -e devout/trail ] && fail "\"trail. \" was written as trail"

# Extracting again replaces the read-only file from the first run.
wine "$TOOL" extract -d out set/W.cab >again.out 2>&1 || fail "extract over read-only files: $(cat again.out)"

[ "$FAILED" -eq 0 ] && echo "[cabtool_windows] all checks passed"
exit "$FAILED"
