#!/bin/bash
# create from folders and from a --list file, with dates and attributes from
# the command line; LZX 2^21 by default; inputs no cabinet can hold, unreadable
# inputs and bad stored names are refused before anything is written.
. "$(dirname "$0")/cabtool_common.inc"

cd "$WORK" || exit 1
make_corpus src
ln -s .. src/docs/deep/up            # a link to a folder: left out, no loop
ln -s ../locked.txt src/docs/alias   # a link to a file: stores the file
mkfifo src/docs/pipe                 # a special file: left out, never opened

# A folder argument keeps its own name; its files come in sorted order.
expect_status 0 "create from a folder" "$CABTOOL" create -o tree.cab src
grep -q 'src/docs/deep/up: a link to a folder, not followed' "$WORK/last.err" || fail "the folder link is not reported"
grep -q 'src/docs/pipe: not a plain file, left out' "$WORK/last.err" || fail "the pipe is not reported"
"$CABTOOL" list tree.cab >tree.txt
grep -q '^folder 0: LZX (window 2^21)' tree.txt || fail "the default method is not LZX 2^21"
sed -n 's/.*  \(src\\.*\)$/\1/p' tree.txt >names.txt
printf '%s\n' 'src\docs\alias' 'src\docs\deep\one.txt' 'src\docs\empty.txt' 'src\docs\numbers.txt' \
  'src\locked.txt' 'src\noise.bin' | cmp -s - names.txt || fail "stored names or their order: $(cat names.txt)"
expect_status 0 "extract the folder" "$CABTOOL" extract -d out tree.cab
for f in noise.bin docs/numbers.txt docs/empty.txt docs/deep/one.txt locked.txt; do
  cmp -s "src/$f" "out/src/$f" || fail "$f differs after the round trip"
done
cmp -s src/locked.txt out/src/docs/alias || fail "the linked file was not stored"

# A cabinet made again inside the folder it stores leaves its earlier self out.
"$CABTOOL" create -m none -o src/docs/self.cab src/docs >/dev/null 2>&1 &&
  "$CABTOOL" create -m none -o src/docs/self.cab src/docs >/dev/null 2>&1 || fail "create into the stored folder"
"$CABTOOL" list src/docs/self.cab | grep -q '\\self.cab$' && fail "the cabinet took in its earlier self"
rm -f src/docs/self.cab

# "." stores names relative to the folder itself.
(cd src/docs && "$CABTOOL" create -m none -o ../../dot.cab . 2>/dev/null >/dev/null) || fail "create from ."
"$CABTOOL" list dot.cab | grep -q '  deep\\one.txt$' || fail "\".\" does not store names relative to itself"

# A list: comments, blank lines, CR LF, a folder source, a date and attributes for all.
printf '# source\tstored\n\nsrc/noise.bin\tdata/random.bin\r\nsrc/docs/deep\textra\n' >in.lst
expect_status 0 "create from a list" "$CABTOOL" create -m mszip --list in.lst --date 2024-01-31T12:00:00 \
  --attributes rh-a -o listed.cab
"$CABTOOL" list listed.cab >listed.txt
grep -qE '^ +250000  2024-01-31 12:00:00  rh-a--  data\\random.bin$' listed.txt || fail "list entry, date or attributes: $(cat listed.txt)"
grep -qE '  2024-01-31 12:00:00  rh-a--  extra\\one.txt$' listed.txt || fail "a folder source is not stored under its name"

# Refusals: exit 1 and no cabinet left behind.
printf 'src/noise.bin\t..\\up.bin\n' >bad.lst
printf 'src/noise.bin data.bin\n' >notab.lst
truncate -s 2600000000 huge.bin     # sparse: refused before a byte is read
truncate -s 4294967296 over.bin
mkdir -p dangling && ln -s nowhere dangling/gone
refuse() {  # refuse MESSAGE-PATTERN ARGS...
  local pattern="$1"
  shift
  rm -f refused.cab
  expect_status 1 "refused: $*" "$CABTOOL" create "$@" -o refused.cab
  grep -qE "$pattern" "$WORK/last.err" || fail "$*: message: $(cat "$WORK/last.err")"
  [ -e refused.cab ] && fail "$*: left a cabinet behind"
}
refuse 'bad.lst:1: stored name "\.\.\\up.bin" refused: "\.\." part' --list bad.lst
refuse 'notab.lst:1: wanted a source path, a tab and a stored name' --list notab.lst
refuse 'huge.bin: .*--max-cabinet' src/locked.txt huge.bin
refuse 'over.bin: .*at most 4 GiB - 1 bytes' --max-cabinet 100000000 over.bin
refuse 'dangling/gone: a link to nothing' dangling
refuse 'missing: not a readable file or folder' missing
if [ "$(id -u)" != 0 ]; then
  cp src/noise.bin unreadable.bin && chmod 000 unreadable.bin
  refuse 'unreadable.bin: cannot open: Permission denied' unreadable.bin
fi
# A set whose second member cannot be written takes back the first.
mkdir -p part/S2.cab
expect_status 1 "a set that cannot be written whole" "$CABTOOL" create -m none --max-cabinet 60000 -o part/S.cab src/noise.bin
grep -q 'part/S2.cab: cannot create' "$WORK/last.err" || fail "the member that cannot be written is not named"
[ -e part/S.cab ] && fail "the first member of a set that failed was left behind"
expect_status 2 "a date that does not exist" "$CABTOOL" create --date 2023-02-29 -o x.cab src
expect_status 2 "an unknown attribute letter" "$CABTOOL" create --attributes u -o x.cab src

finish
