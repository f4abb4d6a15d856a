#!/usr/bin/env bash
# The updater installs only a cabinet signed with the key it was built with
# (the test key here); any other is refused before the launcher is closed,
# and nothing in its folder changes.
source "$(dirname "$0")/lib.sh"
source "$SOURCE_DIR/tests/support/updater_e2e.sh"

updater_setup
make_shortcut
stage a.txt 'new a'

# refused WHAT: the cabinet now beside the updater is refused.
refused() {
  printf 'old a' > "$APP_DIR/a.txt"
  start_launcher
  update_once
  expect "$1: failure" "$FAILED" "$BOX_TEXT"
  expect "$1: no progress dialog" "" "$DLG_CAPTION"
  expect "$1: the launcher keeps running" 0 "$(probe frame >/dev/null; echo $?)"
  expect "$1: the file is untouched" 'old a' "$(cat "$APP_DIR/a.txt")"
  stop_launcher
}

make_unsigned_cabinet -- a.txt
refused "unsigned"

sign_cabinet "$SOURCE_DIR/tests/data/keys/TEST-ONLY-other-signing-key.pem"
refused "signed by another key"

make_cabinet -- a.txt
python3 - "$UPDATE_DIR/Update.cab" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
data[-1] ^= 1
open(sys.argv[1], 'wb').write(data)
PY
refused "one byte altered"

make_cabinet -- a.txt
printf 'old a' > "$APP_DIR/a.txt"
start_launcher
update_once
expect "signed: success" "$DONE" "$BOX_TEXT"
expect "signed: the file is replaced" 'new a' "$(cat "$APP_DIR/a.txt")"
finish
