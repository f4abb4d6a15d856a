#!/bin/bash
# Exit statuses: 0 success, 1 a failure of the input or the output, 2 usage;
# failures are told in plain words, and a damaged cabinet per file.
. "$(dirname "$0")/cabtool_common.inc"

cd "$WORK" || exit 1
make_corpus src
"$CABTOOL" create -m none --folder-every 1 -o good.cab src/noise.bin src/docs/numbers.txt >/dev/null || fail "create"

expect_status 0 "create --help" "$CABTOOL" create --help
grep -q 'OUT2.cab' "$WORK/last.out" || fail "create --help does not name the set naming scheme"
expect_status 2 "no arguments" "$CABTOOL"
expect_status 2 "unknown command" "$CABTOOL" frobnicate
expect_status 2 "unknown option" "$CABTOOL" extract --bogus good.cab
expect_status 2 "extract without cabinet" "$CABTOOL" extract -d out
expect_status 2 "list with two cabinets" "$CABTOOL" list good.cab good.cab
expect_status 2 "create without -o" "$CABTOOL" create src/noise.bin
expect_status 2 "create without files" "$CABTOOL" create -o x.cab
expect_status 2 "create with an unknown method" "$CABTOOL" create -m lzw -o x.cab src/noise.bin
expect_status 2 "create with a Quantum window out of range" "$CABTOOL" create -m quantum:22 -o x.cab src/noise.bin
expect_status 2 "create with a bad reserve" "$CABTOOL" create --reserve 1,2 -o x.cab src/noise.bin
expect_status 2 "create with a bad size" "$CABTOOL" create --max-cabinet 12k -o x.cab src/noise.bin

# Every command says the same plain words with the system's reason; the
# engine's code names are for --verbose.
for command in list test extract; do
  expect_status 1 "$command of a missing cabinet" "$CABTOOL" $command missing.cab
  grep -qx 'cabtool: missing.cab: cannot open: No such file or directory' "$WORK/last.err" ||
    fail "$command does not report a missing cabinet as cannot open, with the reason"
done
expect_status 1 "missing cabinet, verbose" "$CABTOOL" test --verbose missing.cab
grep -q 'cannot open: .*(CabinetOpenFailed)' "$WORK/last.err" || fail "--verbose does not name the engine's code"
head -c 100 /dev/urandom >junk.cab
expect_status 1 "not a cabinet" "$CABTOOL" test junk.cab
grep -q 'junk.cab: not a cabinet file$' "$WORK/last.err" || fail "junk is not reported as not a cabinet file"
expect_status 1 "create from a missing file" "$CABTOOL" create -o x.cab src/nothing-here
expect_status 1 "create with a limit too small" "$CABTOOL" create --max-cabinet 5000 -o small.cab src/noise.bin

# Change one byte in the middle of the first folder's stored data: the checksum
# catches it, the damaged file is named, the file of the other folder still
# decodes, and the damaged file is not left behind by extract.
cp good.cab bad.cab
size=$(stat -c %s bad.cab)
byte=$(od -An -tu1 -j $((size / 3)) -N1 bad.cab | tr -d ' ')  # its complement always differs
printf "\\$(printf '%03o' $((255 - byte)))" | dd of=bad.cab bs=1 seek=$((size / 3)) conv=notrunc status=none
expect_status 1 "test of a damaged cabinet" "$CABTOOL" test bad.cab
grep -q 'src\\noise.bin: the cabinet is damaged' "$WORK/last.err" || fail "the damaged file is not named as damaged"
grep -q '^ok  src\\docs\\numbers.txt' "$WORK/last.out" || fail "the undamaged file was not decoded after the failure"
expect_status 1 "extract of a damaged cabinet" "$CABTOOL" extract -d dmg bad.cab
[ -e dmg/src/noise.bin ] && fail "extract left the damaged file behind"
cmp -s src/docs/numbers.txt dmg/src/docs/numbers.txt || fail "extract lost the undamaged file"

# Output that cannot be written is a failure of the output.
mkdir -p ro && touch ro/src && expect_status 1 "extract where a folder cannot be made" "$CABTOOL" extract -d ro good.cab

finish
