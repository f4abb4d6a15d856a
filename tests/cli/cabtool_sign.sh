#!/bin/bash
# sign, verify and create --sign as a user meets them: one byte changed in the
# header, the file list or the data is refused with the reason, and a signed
# cabinet still lists, tests and extracts as before.
. "$(dirname "$0")/cabtool_common.inc"
KEYS="${SOURCE_DIR:?}/tests/data/keys"
KEY="$KEYS/TEST-ONLY-signing-key.pem"
PUB="$KEYS/TEST-ONLY-public-key.pem"

cd "$WORK" || exit 1
make_corpus src
"$CABTOOL" create -q -m mszip -o plain.cab src >/dev/null || fail "create"
expect_status 1 "verify of an unsigned cabinet" "$CABTOOL" verify "$PUB" plain.cab
grep -qx 'cabtool: plain.cab: not signed' last.err || fail "an unsigned cabinet is not told as such"
grep -qx 'signature: none' <("$CABTOOL" list plain.cab) || fail "list does not tell an unsigned cabinet"

cp plain.cab signed.cab
expect_status 0 "sign" "$CABTOOL" sign "$KEY" signed.cab
expect_status 0 "verify" "$CABTOOL" verify "$PUB" signed.cab
id=$(openssl pkey -pubin -in "$PUB" -outform DER | sha256sum | cut -c1-32)
grep -qx "signature: signed, key $id" <("$CABTOOL" list signed.cab) || fail "list does not name the key"
expect_status 1 "verify with another key" "$CABTOOL" verify "$KEYS/TEST-ONLY-other-public-key.pem" signed.cab
grep -qx 'cabtool: signed.cab: signed by another key' last.err || fail "another key is not told"
"$CABTOOL" extract -q -d out signed.cab || fail "a signed cabinet does not extract"
diff -r src out/src >/dev/null || fail "a signed cabinet extracts other files"

# One byte each: in the header (its set number), in the file list (a name)
# and in the data (the last byte).
files=$(od -An -tu4 -j16 -N4 signed.cab | tr -d ' ')
size=$(stat -c %s signed.cab)
for at in 32 $((files + 20)) $((size - 1)); do
  cp signed.cab altered.cab
  printf '\x5a' | dd of=altered.cab bs=1 seek="$at" conv=notrunc 2>/dev/null
  expect_status 1 "a byte changed at $at" "$CABTOOL" verify "$PUB" altered.cab
  grep -qx 'cabtool: altered.cab: altered since it was signed' last.err || fail "a byte changed at $at is not told"
done

# A set: create --sign signs it as a whole.
expect_status 0 "create --sign of a set" "$CABTOOL" create -q -m none --max-cabinet 100000 --sign "$KEY" -o set.cab src
expect_status 0 "verify the set" "$CABTOOL" verify "$PUB" set.cab
printf 'x' >>set3.cab
expect_status 1 "a later cabinet changed" "$CABTOOL" verify "$PUB" set.cab
grep -qx 'cabtool: set.cab: the later cabinet set3.cab was altered since the set was signed' last.err ||
  fail "a changed later cabinet is not named"
rm set2.cab
expect_status 1 "a later cabinet missing" "$CABTOOL" verify "$PUB" set.cab
grep -qx 'cabtool: set.cab: the later cabinet set2.cab is missing' last.err || fail "a missing later cabinet is not named"
finish
