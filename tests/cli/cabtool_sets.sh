#!/bin/bash
# --max-cabinet makes OUT.cab, OUT2.cab, ...; extract and test follow the set
# from the first cabinet, each later cabinet extracts the files that begin in
# it, and a missing member is reported.
. "$(dirname "$0")/cabtool_common.inc"

cd "$WORK" || exit 1
make_corpus src
for i in 1 2 3 4 5 6 7 8; do seq "$i" 3000 >"src/docs/part$i.txt"; done
FILES="src/docs/part1.txt src/noise.bin src/docs/part2.txt src/docs/part3.txt src/docs/empty.txt src/docs/part4.txt \
src/docs/part5.txt src/docs/part6.txt src/docs/part7.txt src/docs/part8.txt src/locked.txt"

# shellcheck disable=SC2086
expect_status 0 "create a set" "$CABTOOL" create --max-cabinet 60000 -o set/DISK.cab $FILES
[ -f set/DISK.cab ] && [ -f set/DISK2.cab ] && [ -f set/DISK3.cab ] || fail "the set is not DISK.cab, DISK2.cab, DISK3.cab..."
count=$(ls set | wc -l)
[ "$count" -ge 4 ] || fail "expected at least four cabinets, got $count"
for f in set/*.cab; do
  [ "$(stat -c %s "$f")" -le 60000 ] || fail "$f is over the limit"
done
"$CABTOOL" list set/DISK2.cab >list2.txt
grep -q '^previous cabinet: DISK.cab' list2.txt || fail "DISK2.cab does not name DISK.cab"
grep -q '^next cabinet: DISK3.cab' list2.txt || fail "DISK2.cab does not name DISK3.cab"
grep -q 'src\\noise.bin  (from the previous cabinet' list2.txt || fail "DISK2.cab does not list noise.bin as continued"

expect_status 0 "test the set" "$CABTOOL" test set/DISK.cab
grep -q '^11 file(s) good, 0 failure(s)' "$WORK/last.out" || fail "test did not decode the whole set"
expect_status 0 "extract the set" "$CABTOOL" extract -d out set/DISK.cab
for f in $FILES; do
  cmp -s "$f" "out/$f" || fail "$f differs after extracting the set"
done

# Starting at a later member gives the files that begin there and after it.
last=$(ls set | sort -V | tail -1)
expect_status 0 "extract from the last member" "$CABTOOL" extract -d late "set/$last"
cmp -s src/locked.txt late/src/locked.txt || fail "the last file does not come out of the last cabinet alone"
[ -e late/src/docs/part1.txt ] && fail "a file of the first cabinet came out of the last"

# A missing member: the files before it still come out, the gap is reported.
mv set/DISK3.cab DISK3.away
expect_status 1 "extract with a missing member" "$CABTOOL" extract -d gap set/DISK.cab
grep -q 'DISK3.cab: cannot continue into this cabinet: cannot open: No such file or directory' "$WORK/last.err" ||
  fail "the missing member is not reported"
cmp -s src/docs/part1.txt gap/src/docs/part1.txt || fail "the file before the gap was lost"
mv DISK3.away set/DISK3.cab

finish
