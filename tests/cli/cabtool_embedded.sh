#!/bin/bash
# Cabinets inside other files: an installer-like file with junk, a false
# signature and two cabinets is listed, tested and extracted cabinet by
# cabinet; --offset picks one and refuses a place where none lies; a cabinet
# stored inside another one's files is not taken for a cabinet of its own.
. "$(dirname "$0")/cabtool_common.inc"

cd "$WORK" || exit 1
make_corpus one
mkdir -p two/sub
seq 1 30000 >two/sub/count.txt
printf 'second cabinet\n' >two/hello.txt
(cd one && "$CABTOOL" create -o ../one.cab noise.bin docs/numbers.txt docs/empty.txt docs/deep/one.txt locked.txt) ||
  fail "create one.cab"
(cd two && "$CABTOOL" create -m none -o ../two.cab sub/count.txt hello.txt) || fail "create two.cab"

# junk, "MSCF" with a size past the end of the file, junk, one.cab, junk, two.cab, junk
head -c 3000 /dev/zero | tr '\0' 'j' >junk1
{ printf 'MSCF\0\0\0\0\377\377\377\177\0\0\0\0'; head -c 40 /dev/zero; } >false.sig
head -c 777 /dev/zero | tr '\0' 'k' >junk2
cat junk1 false.sig junk1 one.cab junk2 two.cab junk2 >setup.exe
off_false=3000
off1=$((3000 + $(stat -c %s false.sig) + 3000))
off2=$((off1 + $(stat -c %s one.cab) + 777))

expect_status 0 "list the installer" "$CABTOOL" list setup.exe
grep -qx "cabinet setup.exe at offset $off1: $(stat -c %s one.cab) bytes, set [0-9]*, index 0" "$WORK/last.out" ||
  fail "list does not introduce the first cabinet by its offset"
grep -q "^cabinet setup.exe at offset $off2: " "$WORK/last.out" || fail "list does not introduce the second cabinet"
[ "$(grep -c '^cabinet ' "$WORK/last.out")" -eq 2 ] || fail "list shows other than two cabinets"
grep -q 'docs\\deep\\one.txt$' "$WORK/last.out" && grep -q 'sub\\count.txt$' "$WORK/last.out" ||
  fail "list misses files of one of the cabinets"

expect_status 0 "test the installer" "$CABTOOL" test setup.exe
grep -qx '7 file(s) good, 0 failure(s)' "$WORK/last.out" || fail "test does not decode both cabinets"

expect_status 0 "extract the installer" "$CABTOOL" extract -d out setup.exe
for f in noise.bin docs/numbers.txt docs/empty.txt docs/deep/one.txt locked.txt; do
  cmp -s "one/$f" "out/$f" || fail "$f of the first cabinet differs"
done
for f in sub/count.txt hello.txt; do
  cmp -s "two/$f" "out/$f" || fail "$f of the second cabinet differs"
done

expect_status 0 "extract the second cabinet by a hexadecimal offset" \
  "$CABTOOL" extract --offset "$(printf '0x%x' "$off2")" -d picked setup.exe
cmp -s two/hello.txt picked/hello.txt || fail "--offset does not extract the second cabinet"
[ -e picked/noise.bin ] && fail "--offset extracts the first cabinet too"
expect_status 0 "list by a decimal offset" "$CABTOOL" list --offset "$off2" setup.exe
[ "$(grep -c '^cabinet ' "$WORK/last.out")" -eq 1 ] || fail "--offset lists other than one cabinet"

for bad in 100 "$off_false" 999999999; do
  expect_status 1 "--offset $bad" "$CABTOOL" test --offset "$bad" setup.exe
  grep -q "setup.exe: no cabinet at offset $bad: " "$WORK/last.err" || fail "--offset $bad is not refused clearly"
done
grep -q 'only [0-9]* bytes long' "$WORK/last.err" || fail "an offset past the end does not say so"
expect_status 2 "--offset without a number" "$CABTOOL" list --offset 12x setup.exe

# A cabinet stored whole inside another is a file of it, not a second cabinet;
# cabinets one after another are each handled, the first at offset 0 too.
"$CABTOOL" create -m none -o outer.cab two.cab >/dev/null || fail "create outer.cab"
expect_status 0 "list a cabinet holding a cabinet" "$CABTOOL" list outer.cab
grep -q '^cabinet outer.cab: ' "$WORK/last.out" && ! grep -q 'at offset' "$WORK/last.out" ||
  fail "a stored cabinet is taken for a cabinet of the file"
cat one.cab two.cab >both.cab
expect_status 0 "test two cabinets one after another" "$CABTOOL" test both.cab
grep -q '^cabinet both.cab at offset 0: ' "$WORK/last.out" && grep -qx '7 file(s) good, 0 failure(s)' "$WORK/last.out" ||
  fail "two cabinets one after another are not both tested"

# A set whose first two cabinets lie in an installer and the rest beside it:
# the walk from the first goes through the set, and the second, met again in
# the installer, is not handled twice (list shows each); without its copy beside the installer
# the walk stops there and the installer's copy is handled itself.
mkdir -p setsrc setdir
for i in 1 2 3 4 5; do head -c 40000 /dev/urandom >"setsrc/r$i.bin"; done
(cd setsrc && "$CABTOOL" create -m none --max-cabinet 60000 -o ../setdir/DISK.cab r1.bin r2.bin r3.bin r4.bin r5.bin) \
  >/dev/null || fail "create the set"
cat junk1 setdir/DISK.cab junk2 setdir/DISK2.cab >setdir/inst.exe
expect_status 0 "extract a set that starts in an installer" "$CABTOOL" extract -d setout setdir/inst.exe
for i in 1 2 3 4 5; do cmp -s "setsrc/r$i.bin" "setout/r$i.bin" || fail "r$i.bin of the set differs"; done
grep -q '^cabinet setdir/inst.exe at offset [0-9]*: .*, a later cabinet of the set walked from offset 3000$' \
  "$WORK/last.out" || fail "the set's second cabinet is not noted as walked already"
[ "$(grep -c 'r3.bin$' "$WORK/last.out")" -eq 1 ] || fail "a file of the second cabinet is handled twice"
expect_status 0 "list the installer of a set" "$CABTOOL" list setdir/inst.exe
[ "$(grep -c ' file(s)$' "$WORK/last.out")" -eq 2 ] || fail "list, which does not follow sets, skips a later cabinet"
mv setdir/DISK2.cab DISK2.away
expect_status 1 "extract with the second cabinet only in the installer" "$CABTOOL" extract -d setout2 setdir/inst.exe
cmp -s setsrc/r5.bin setout2/r5.bin || fail "the installer's copy of the second cabinet is not handled itself"

finish
