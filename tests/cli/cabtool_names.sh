#!/bin/bash
# Stored names become UTF-8 file names (code page 932 unless attribute 0x80
# says UTF-8), never reach the terminal with their control characters, and
# refuse to become files when they do not convert. Cabinet names in headers
# are looked for beside the first cabinet by their last part, and only regular
# files open as cabinets. Existing files are replaced, kept or kept when newer,
# and a file that fails leaves neither a half-written file nor a temporary.
. "$(dirname "$0")/cabtool_common.inc"

cd "$WORK" || exit 1
MAKE_CAB="python3 $SOURCE_DIR/tests/support/make_named_cab.py"
ESC=$'\x1b'

# ---- Names -------------------------------------------------------------------
$MAKE_CAB names.cab --next 'next\x1b[2J.cab' 'bad\x1b[31mname\n.txt=one' '\x83\x5c\x83\x74\x83\x67\\\x95\x5c.txt=two' \
  'u:\xe8\xa1\xa8u.txt=three' 'u:c1\xc2\x9b.txt=four' 'x\x80y.txt=five' 'fine.txt=six'

expect_status 0 "list names.cab" "$CABTOOL" list names.cab
grep -qF 'bad\x1b[31mname\n.txt' "$WORK/last.out" || fail "list did not escape the escape sequence and the line break"
grep -qF 'c1\u009b.txt' "$WORK/last.out" || fail "list did not escape a C1 control"
grep -qF 'next cabinet: next\x1b[2J.cab' "$WORK/last.out" || fail "list did not escape the next cabinet's name"
grep -qF 'ソフト\表.txt' "$WORK/last.out" || fail "list did not show the code page 932 name as UTF-8"
grep -qF 'x�y.txt' "$WORK/last.out" || fail "list did not show an unconvertible byte as U+FFFD"

expect_status 1 "test names.cab (its next cabinet is missing)" "$CABTOOL" test names.cab
grep -qF 'ok  bad\x1b[31mname\n.txt' "$WORK/last.out" || fail "test did not escape the name"

expect_status 1 "extract names.cab" "$CABTOOL" extract -d out names.cab
grep -qF 'x�y.txt: refused' "$WORK/last.err" || fail "the unconvertible name was not refused"
grep -qF 'out/bad\x1b[31mname\n.txt' "$WORK/last.out" || fail "extract did not escape the name it wrote"
grep -qF "$ESC" "$WORK/last.out" "$WORK/last.err" && fail "an escape character reached the terminal"
[ "$(cat out/ソフト/表.txt 2>/dev/null)" = two ] || fail "the code page 932 name was not written as UTF-8"
[ "$(cat out/表u.txt 2>/dev/null)" = three ] || fail "the UTF-8 name was not written"
[ "$(cat out/fine.txt 2>/dev/null)" = six ] || fail "the files after the refused one were not extracted"
[ "$(find out -name 'x*y.txt' | wc -l)" -eq 0 ] || fail "the unconvertible name became a file"

expect_status 1 "extract --encoding raw" "$CABTOOL" extract --encoding raw -d raw names.cab
[ "$(cat raw/$'x\x80y.txt' 2>/dev/null)" = five ] || fail "--encoding raw did not keep the bytes as stored"
expect_status 1 "test --encoding ISO-8859-1" "$CABTOOL" test --encoding ISO-8859-1 names.cab
grep -qF 'ok  x\u0080y.txt' "$WORK/last.out" || fail "--encoding ISO-8859-1 did not read 0x80 as U+0080"
expect_status 2 "an unknown code page" "$CABTOOL" list --encoding no-such-page names.cab

# ---- Cabinet names from headers ------------------------------------------------
mkdir -p span/in span/set sandbox
head -c 120000 /dev/urandom >span/in/big.bin
echo tail >span/in/t.txt
(cd span/in && "$CABTOOL" create -m none --max-cabinet 50000 -o ../set/abcdefgh.cab big.bin t.txt >/dev/null) ||
  fail "create the set"
cd span/set || exit 1
# Equal-length replacements of the next cabinet's name, so that offsets stay.
python3 - <<'EOF'
data = open('abcdefgh.cab', 'rb').read()
for out, name in (('path.cab', b'../../q/2.cab'), ('device.cab', b'/////dev/zero'), ('dots.cab', b'abcd/./././..')):
    open(out, 'wb').write(data.replace(b'abcdefgh2.cab\0', name + b'\0'))
EOF
cp abcdefgh2.cab 2.cab
mkfifo zero
expect_status 0 "a set whose next name is a path" timeout 20 "$CABTOOL" extract -d "$WORK/o1" path.cab
cmp -s ../in/big.bin "$WORK/o1/big.bin" ||
  fail "the file spanning into the cabinet found by its last name part differs"
expect_status 1 "a next name that ends at a pipe" timeout 20 "$CABTOOL" extract -d "$WORK/o2" device.cab
grep -qF 'zero: cannot continue into this cabinet: cannot open: not a regular file' "$WORK/last.err" ||
  fail "the pipe named as next cabinet was not refused"
expect_status 1 "a next name with nothing left" timeout 20 "$CABTOOL" test dots.cab
grep -qF 'abcd/./././..: refused as the next cabinet' "$WORK/last.err" || fail "a next name of .. was not refused"
expect_status 1 "a pipe as the cabinet" timeout 20 "$CABTOOL" list zero
grep -qF 'not a regular file' "$WORK/last.err" || fail "a pipe given as cabinet was not refused"
cd "$WORK" || exit 1
# A whole cabinet that names a next one by a path is followed beside it only.
$MAKE_CAB sandbox/one.cab --next '../../../../etc/hostname' 'a.txt=a'
expect_status 1 "a next name that climbs out" timeout 20 "$CABTOOL" test sandbox/one.cab
grep -qF 'sandbox/hostname: cannot open' "$WORK/last.err" || fail "the next cabinet was not looked for beside the first"

# ---- Overwrite policy and whole files ----------------------------------------------
mkdir -p ow/src
echo new-old >ow/src/old.txt
echo new-young >ow/src/young.txt
touch -d '2001-02-03 04:05:06' ow/src/old.txt ow/src/young.txt
(cd ow/src && "$CABTOOL" create -m none -o ../ow.cab old.txt young.txt >/dev/null) || fail "create ow.cab"
mkdir -p ow/out
echo kept-old >ow/out/old.txt
echo kept-young >ow/out/young.txt
touch -d '1999-01-01' ow/out/old.txt
expect_status 0 "--no-overwrite" "$CABTOOL" extract --no-overwrite -d ow/out ow/ow.cab
[ "$(cat ow/out/old.txt)" = kept-old ] && [ "$(cat ow/out/young.txt)" = kept-young ] ||
  fail "--no-overwrite replaced a file"
grep -qF 'young.txt: skipped, it exists' "$WORK/last.err" || fail "--no-overwrite did not report the kept file"
expect_status 0 "--keep-newer" "$CABTOOL" extract --keep-newer -d ow/out ow/ow.cab
[ "$(cat ow/out/old.txt)" = new-old ] || fail "--keep-newer kept an older file"
[ "$(cat ow/out/young.txt)" = kept-young ] || fail "--keep-newer replaced a newer file"
echo same-date >ow/out/old.txt
touch -d '2001-02-03 04:05:06' ow/out/old.txt
expect_status 0 "--keep-newer at the stored date" "$CABTOOL" extract --keep-newer -d ow/out ow/ow.cab
[ "$(cat ow/out/old.txt)" = new-old ] || fail "--keep-newer kept a file of the stored date"
chmod 444 ow/out/young.txt
expect_status 0 "--overwrite over a read-only file" "$CABTOOL" extract -d ow/out ow/ow.cab
[ "$(cat ow/out/young.txt)" = new-young ] || fail "the read-only file was not replaced"

# Dates past 2038, where a 32-bit time_t ends, are read and restored.
mkdir -p late/src late/out
echo late >late/src/late.txt
touch -d '2100-12-31 23:59:58' late/src/late.txt
(cd late/src && "$CABTOOL" create -m none -o ../late.cab late.txt >/dev/null) || fail "create from a file dated 2100"
expect_status 0 "extract a file dated 2100" "$CABTOOL" extract -d late/out late/late.cab
[ "$(stat -c %Y late/out/late.txt)" = "$(stat -c %Y late/src/late.txt)" ] || fail "the date 2100 did not come back"

# A block that fails its checksum: the earlier file stays as it was, and no
# temporary is left behind.
head -c 100000 /dev/urandom >ow/src/old.txt
(cd ow/src && "$CABTOOL" create -m none -o ../bad.cab old.txt >/dev/null) || fail "create bad.cab"
printf 'XXXX' | dd of=ow/bad.cab bs=1 seek=60000 conv=notrunc 2>/dev/null
expect_status 1 "a damaged file" "$CABTOOL" extract -d ow/out ow/bad.cab
[ "$(cat ow/out/old.txt)" = new-old ] || fail "the damaged file touched the file it would have replaced"
[ -z "$(find ow/out -name '.*cabtool-*')" ] || fail "a temporary was left behind: $(ls -a ow/out)"

finish
