#!/usr/bin/env bash
# An update that cannot be completed changes nothing: whatever stops it, the
# installed release stays whole (contents, times, attributes), the user is
# told once, and neither temporary files nor a journal are left behind.
source "$(dirname "$0")/lib.sh"
source "$SOURCE_DIR/tests/support/updater_e2e.sh"

updater_setup
make_shortcut

# The installed release, and a new one of the same names plus one more. The
# held and the read-only file come last, so that the files before them have
# been written (and in the first case moved) when the update stops.
RELEASE=(a.txt data/b.txt big.bin data/deep/c.txt added.txt z.txt)
install_old() {
  stage_old() { mkdir -p "$(dirname "$APP_DIR/$1")"; printf 'old %s' "$1" > "$APP_DIR/$1"; touch -d "$2" "$APP_DIR/$1"; }
  chmod -R u+w "$APP_DIR"
  rm -f "$APP_DIR/added.txt"
  stage_old a.txt '2020-01-01 01:01:02'; stage_old data/b.txt '2020-02-02 02:02:02'
  stage_old data/deep/c.txt '2020-03-03 03:03:04'; stage_old z.txt '2020-04-04 04:04:04'
  head -c 300000 /dev/zero | tr '\0' 'o' > "$APP_DIR/big.bin"; touch -d '2020-05-05 05:05:06' "$APP_DIR/big.bin"
}
for name in a.txt data/b.txt data/deep/c.txt added.txt z.txt; do stage "$name" "new $name" '2024-06-07 08:09:10'; done
head -c 2000000 /dev/urandom > "$STAGE_DIR/big.bin"; touch -d '2024-06-07 08:09:10' "$STAGE_DIR/big.bin"

# Every file of the launcher's folder with attributes, times and size as the
# system reports them, and its bytes.
snapshot() {
  uprobe list "$(winpath "$APP_DIR")"
  (cd "$APP_DIR" && find . -type f -print0 | sort -z | xargs -0 sha256sum)
}
leftovers() { find "$APP_DIR" \( -iname '*.tmp' -o -iname 'update.jnl' \) | wc -l | tr -d ' '; }

# expect_old_release WHAT: the folder is as install_old left it.
expect_old_release() {
  local now; now=$(snapshot)
  if [ "$now" = "$OLD" ]; then note "ok: $1: the old release is whole"
  else fail "$1: the folder changed:"$'\n'"$(diff <(echo "$OLD") <(echo "$now"))"; fi
  expect "$1: nothing is left behind" 0 "$(leftovers)"
}

install_old
OLD=$(snapshot)

# Held open by another program that lets others read and write it but not
# rename it: the destinations moved before it are put back.
make_cabinet -m mszip -- "${RELEASE[@]}"
wine "$TOOLS_DIR/update_probe.exe" hold "$(winpath "$APP_DIR/z.txt")" 60 > "$E2E_DIR/hold.txt" 2>/dev/null &
holder=$!
poll 10 0.1 grep -q held "$E2E_DIR/hold.txt"
expect "the destination is held" 1 "$(grep -c held "$E2E_DIR/hold.txt")"
update_once
expect "a held destination: failure" "$FAILED" "$BOX_TEXT"
kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null
expect_old_release "a held destination"

# Read-only from the previous release.
install_old
chmod a-w "$APP_DIR/z.txt"
OLD_RO=$(snapshot)
update_once
expect "a read-only destination: failure" "$FAILED" "$BOX_TEXT"
now=$(snapshot)
expect "a read-only destination: the old release is whole" 1 "$([ "$now" = "$OLD_RO" ] && echo 1 || echo 0)"
expect "a read-only destination: nothing is left behind" 0 "$(leftovers)"
chmod u+w "$APP_DIR/z.txt"

# A full disk while the large file is written.
install_old
ORVEL_UPDATE_TEST_FAIL_WRITE=big.bin update_once
expect "a full disk: failure" "$FAILED" "$BOX_TEXT"
expect_old_release "a full disk"

# A damaged block at the end of the last file. The damage is done before the
# vendor signs, so the cabinet passes the signature check and fails only
# when it is decoded.
make_unsigned_cabinet -m none -- a.txt data/b.txt z.txt big.bin
python3 - "$UPDATE_DIR/Update.cab" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
data[-10] ^= 0x55
open(sys.argv[1], 'wb').write(bytes(data))
PY
sign_cabinet
install_old
update_once
expect "a damaged last block: failure" "$FAILED" "$BOX_TEXT"
expect_old_release "a damaged last block"

# A set whose second cabinet is missing.
make_cabinet -m none --max-cabinet 1200000 -- a.txt data/b.txt big.bin z.txt
[ -f "$UPDATE_DIR/Update2.cab" ] || fail "the set has no second cabinet"
rm -f "$UPDATE_DIR/Update2.cab"
install_old
update_once
expect "a missing next cabinet: failure" "$FAILED" "$BOX_TEXT"
expect_old_release "a missing next cabinet"

# A name that would climb out of the folder, in the middle of the list. The
# tool stores no such name: it is put in afterwards, keeping its length. The
# status line names the refused file, not the one before it.
stage qq/evil.txt 'climbs'
make_unsigned_cabinet -m none -- a.txt data/b.txt qq/evil.txt big.bin z.txt
python3 - "$UPDATE_DIR/Update.cab" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
open(sys.argv[1], 'wb').write(data.replace(b'qq\\evil.txt', b'..\\evil.txt'))
PY
sign_cabinet
install_old
update_once
expect "a refused name: failure" "$FAILED" "$BOX_TEXT"
expect "a refused name: the status names it" "$(copying '..\evil.txt')" "$DLG_STATUS"
expect_old_release "a refused name"
expect "nothing is written beside the launcher's folder" 0 "$([ -f "$APP_DIR/../evil.txt" ] && echo 1 || echo 0)"

# And the same release without obstacles: all of it, and nothing else.
make_cabinet -m mszip -- "${RELEASE[@]}"
update_once
expect "no obstacle: success" "$DONE" "$BOX_TEXT"
for name in "${RELEASE[@]}"; do
  expect "$name is new" 0 "$(cmp -s "$STAGE_DIR/$name" "$APP_DIR/$name"; echo $?)"
  expect "$name has the stored time" "$(stat -c %Y "$STAGE_DIR/$name")" "$(stat -c %Y "$APP_DIR/$name" 2>/dev/null)"
done
expect "no obstacle: nothing is left behind" 0 "$(leftovers)"
finish
