# cabtool extract/test --salvage on damaged cabinets: intact files come out
# byte-exact with their dates and attributes, each damaged file is reported
# with the bytes lost, and every byte written is either real or a reported zero.
. "$(dirname "$0")/cabtool_common.inc"
cd "$WORK" || exit 1

u16() { od -An -tu2 -j "$2" -N2 "$1" | tr -d ' '; }
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
# block_offset CAB N: where data block N of folder 0 starts (no reserves, no set names).
block_offset() {
  local pos n
  pos=$(u32 "$1" 36)
  for ((n = 0; n < $2; n++)); do pos=$((pos + 8 + $(u16 "$1" $((pos + 4))))); done
  echo "$pos"
}
# damage CAB N OUT: a copy of CAB with bytes inside data block N of folder 0 changed.
damage() {
  cp "$1" "$3"
  printf '\xa5\x5a\xa5' | dd of="$3" bs=1 seek=$(($(block_offset "$1" "$2") + 200)) conv=notrunc 2>/dev/null
}
# expect_salvaged ORIGINAL OUTPUT FROM TO: OUTPUT is ORIGINAL with bytes FROM to TO zero.
expect_salvaged() {
  cp "$1" "$WORK/expected"
  chmod u+w "$WORK/expected"
  dd if=/dev/zero of="$WORK/expected" bs=64K count=$(($4 - $3 + 1)) seek="$3" \
    iflag=count_bytes oflag=seek_bytes conv=notrunc 2>/dev/null
  cmp -s "$WORK/expected" "$2" || fail "$2 is not $1 with bytes $3-$4 zeroed"
}
# expect_as_reported NAME ORIGINAL OUTPUT: OUTPUT is ORIGINAL with the ranges
# the last run reported lost for NAME zeroed.
expect_as_reported() {
  cp "$2" "$WORK/reported"
  chmod u+w "$WORK/reported"
  local range
  for range in $(sed -n "s/^cabtool: $1: damaged, bytes \(.*\) lost.*/\1/p" "$WORK/last.err" | tr -d ','); do
    dd if=/dev/zero of="$WORK/reported" bs=64K count=$((${range#*-} - ${range%-*} + 1)) seek="${range%-*}" \
      iflag=count_bytes oflag=seek_bytes conv=notrunc 2>/dev/null
  done
  cmp -s "$WORK/reported" "$3" || fail "$3 is not $2 with the bytes reported lost zeroed"
}
expect_line() {
  grep -qxF -- "$1" "$WORK/last.err" || { fail "missing: $1"; sed 's/^/  | /' "$WORK/last.err" >&2; }
}

# Folder offsets: a.bin 0-49999, b.bin 50000-149999, c.txt from 150000; data
# block N holds folder bytes 32768*N to 32768*N+32767.
mkdir src
head -c 50000 /dev/urandom >src/a.bin
head -c 100000 /dev/urandom >src/b.bin
seq 1 3000 >src/c.txt
chmod 444 src/c.txt
touch -d '2001-02-03 04:05:06' src/a.bin
seq 1 60000 >src/text.txt
FILES="src/a.bin src/b.bin src/c.txt"

# MSZIP, block 2 (folder bytes 65536-98303) damaged: b.bin loses 15536-48303;
# the random bytes of block 3 do not refer back, so reading goes on there.
"$CABTOOL" create -m mszip -o mszip.cab $FILES >/dev/null
damage mszip.cab 2 mszip-bad.cab
expect_status 1 "salvage of an MSZIP folder" "$CABTOOL" extract --salvage -d zero mszip-bad.cab
expect_line 'cabtool: src\b.bin: damaged, bytes 15536-48303 lost (filled with zeros)'
cmp -s src/a.bin zero/src/a.bin && cmp -s src/c.txt zero/src/c.txt || fail "intact files differ"
[ "$(stat -c %Y zero/src/a.bin)" = "$(stat -c %Y src/a.bin)" ] || fail "the intact a.bin lost its date"
[ "$(stat -c %a zero/src/c.txt | cut -c1)" = 4 ] || fail "the intact c.txt lost its read-only bit"
expect_salvaged src/b.bin zero/src/b.bin 15536 48303
expect_status 1 "salvage leaving damaged files out" "$CABTOOL" extract --salvage=skip -d skip mszip-bad.cab
expect_line 'cabtool: src\b.bin: damaged, bytes 15536-48303 lost (file left out)'
[ -e skip/src/b.bin ] && fail "--salvage=skip wrote the damaged b.bin"
cmp -s src/a.bin skip/src/a.bin || fail "--salvage=skip lost the intact a.bin"
expect_status 1 "test --salvage" "$CABTOOL" test --salvage mszip-bad.cab
expect_line 'cabtool: src\b.bin: damaged, bytes 15536-48303 lost'
grep -qx '2 file(s) good, 1 failure(s)' "$WORK/last.out" || fail "test --salvage does not count 2 good files"
expect_status 0 "salvage of an intact cabinet" "$CABTOOL" test --salvage mszip.cab
# The same damaged cabinet inside an installer-like file, after an intact one.
{ head -c 5000 /dev/urandom; cat mszip.cab mszip-bad.cab; } >setup.exe
expect_status 1 "salvage of cabinets inside another file" "$CABTOOL" extract --salvage -d inside setup.exe
expect_line 'cabtool: src\b.bin: damaged, bytes 15536-48303 lost (filled with zeros)'
grep -c '^inside/src/b.bin$' "$WORK/last.out" | grep -qx 2 || fail "not both cabinets inside setup.exe were salvaged"
expect_salvaged src/b.bin inside/src/b.bin 15536 48303
expect_status 2 "a bad --salvage value" "$CABTOOL" extract --salvage=maybe mszip.cab

# Cut off inside block 3 (folder bytes 98304 on): what lies beyond is lost.
head -c $(($(block_offset mszip.cab 3) + 100)) mszip.cab >cut.cab
expect_status 1 "salvage of a cut cabinet" "$CABTOOL" extract --salvage -d cut cut.cab
expect_line 'cabtool: src\b.bin: damaged, bytes 48304-99999 lost (filled with zeros)'
expect_line "cabtool: src\\c.txt: damaged, bytes 0-$(($(stat -c %s src/c.txt) - 1)) lost (filled with zeros)"
cmp -s src/a.bin cut/src/a.bin || fail "a.bin before the cut is not intact"
expect_salvaged src/b.bin cut/src/b.bin 48304 99999

# MSZIP text: the blocks after a lost one refer back into it, so they are lost
# too rather than decoded against a history that is not there.
"$CABTOOL" create -m mszip -o text.cab src/text.txt >/dev/null
damage text.cab 1 text-bad.cab
size=$(stat -c %s src/text.txt)
expect_status 1 "salvage of MSZIP text" "$CABTOOL" extract --salvage -d text text-bad.cab
expect_line "cabtool: src\\text.txt: damaged, bytes 32768-$((size - 1)) lost (filled with zeros)"
expect_salvaged src/text.txt text/src/text.txt 32768 $((size - 1))

# Stored, block 2 claiming more bytes than a block holds: reading goes on at
# the next block.
"$CABTOOL" create -m none -o stored.cab $FILES >/dev/null
cp stored.cab stored-bad.cab
printf '\xff\xff' | dd of=stored-bad.cab bs=1 seek=$(($(block_offset stored.cab 2) + 6)) conv=notrunc 2>/dev/null
expect_status 1 "salvage of a stored folder" "$CABTOOL" extract --salvage -d stored stored-bad.cab
expect_line 'cabtool: src\b.bin: damaged, bytes 15536-48303 lost (filled with zeros)'
expect_salvaged src/b.bin stored/src/b.bin 15536 48303

# LZX: state runs through the folder, so its rest is lost; the next folder is intact.
"$CABTOOL" create -m lzx --folder-every 2 -o lzx.cab $FILES >/dev/null
damage lzx.cab 1 lzx-bad.cab
expect_status 1 "salvage of an LZX folder" "$CABTOOL" extract --salvage -d lzx lzx-bad.cab
expect_line 'cabtool: src\a.bin: damaged, bytes 32768-49999 lost (filled with zeros)'
expect_line 'cabtool: src\b.bin: damaged, bytes 0-99999 lost (filled with zeros)'
cmp -s src/c.txt lzx/src/c.txt || fail "the next LZX folder's c.txt is not intact"
expect_salvaged src/a.bin lzx/src/a.bin 32768 49999

# An impossible file entry is skipped, the others come out.
cp mszip.cab entry-bad.cab
printf '\x07\x00' | dd of=entry-bad.cab bs=1 seek=$(($(u32 mszip.cab 16) + 8)) conv=notrunc 2>/dev/null
expect_status 1 "salvage past an impossible file entry" "$CABTOOL" extract --salvage -d entry entry-bad.cab
expect_line 'cabtool: entry-bad.cab: src\a.bin: skipped, its entry names folder 7, which does not exist'
cmp -s src/b.bin entry/src/b.bin || fail "the file after an impossible entry is not intact"

# A set whose second cabinet is missing: what lies in the first comes out.
mkdir set
"$CABTOOL" create -m mszip --max-cabinet 60000 -o set/s.cab $FILES >/dev/null
expect_status 0 "salvage of a whole set" "$CABTOOL" test --salvage set/s.cab
# Damage at the end of the second cabinet, in a block of the folder that runs
# on from the first cabinet into the third.
cp -r set set-bad
printf '\xa5\x5a' | dd of=set-bad/s2.cab bs=1 seek=$(($(stat -c %s set/s2.cab) - 50)) conv=notrunc 2>/dev/null
expect_status 1 "salvage of a set damaged in the middle" "$CABTOOL" extract --salvage -d set-bad-out set-bad/s.cab
grep -q '^cabtool: src\\b.bin: damaged, bytes ' "$WORK/last.err" || fail "the damage inside b.bin is not reported"
cmp -s src/a.bin set-bad-out/src/a.bin && cmp -s src/c.txt set-bad-out/src/c.txt || fail "intact files of the set differ"
expect_as_reported 'src\\b.bin' src/b.bin set-bad-out/src/b.bin
rm set/s2.cab
expect_status 1 "salvage of a set missing a cabinet" "$CABTOOL" extract --salvage -d set-out set/s.cab
expect_line 'cabtool: set/s2.cab: missing or unreadable; what continues into it, and the files listed only there, are lost'
expect_line 'cabtool: src\a.bin: damaged, bytes 32768-49999 lost (filled with zeros)'
expect_salvaged src/a.bin set-out/src/a.bin 32768 49999

finish
