#!/usr/bin/env bash
# What the updater does when things are not as they should be, and how it
# reports progress: every case ends in exactly one message box.
source "$(dirname "$0")/lib.sh"
source "$SOURCE_DIR/tests/support/updater_e2e.sh"

updater_setup
stage a.txt 'new a'
make_cabinet -- a.txt
printf 'old a' > "$APP_DIR/a.txt"

# No shortcut: message 106, nothing closed or written.
settings_reset
start_launcher
update_once
expect "no shortcut: the message tells that nothing is installed" "$NOT_INSTALLED" "$BOX_TEXT"
expect "no shortcut: no progress dialog" "" "$DLG_CAPTION"
expect "no shortcut: the launcher keeps running" 0 "$(probe frame >/dev/null; echo $?)"
expect "no shortcut: no file is touched" 'old a' "$(cat "$APP_DIR/a.txt")"
stop_launcher

# No cabinet: message 105 before the launcher is closed, as for a cabinet
# that is not the vendor's.
make_shortcut
rm -f "$UPDATE_DIR/Update.cab"
start_launcher
update_once
expect "no cabinet: failure" "$FAILED" "$BOX_TEXT"
expect "no cabinet: no progress dialog" "" "$DLG_CAPTION"
expect "no cabinet: the launcher keeps running" 0 "$(probe frame >/dev/null; echo $?)"
stop_launcher

# A read-only destination fails at that file; the files before it are not
# replaced either.
stage b.txt 'new b'; stage c.txt 'new c'
printf 'old b' > "$APP_DIR/b.txt"; chmod a-w "$APP_DIR/b.txt"
make_cabinet -- a.txt b.txt c.txt
update_once
expect "read-only destination: failure" "$FAILED" "$BOX_TEXT"
expect "the file before it is kept" 'old a' "$(cat "$APP_DIR/a.txt")"
expect "the read-only file is kept" 'old b' "$(cat "$APP_DIR/b.txt")"
expect "the file after it is not written" 0 "$([ -f "$APP_DIR/c.txt" ] && echo 1 || echo 0)"
expect "no temporary file is left" 0 "$(temporary_files)"
chmod u+w "$APP_DIR/b.txt"

# A name that would leave the folder fails before anything is written
# outside it. The tool stores no such name: it is put in afterwards, keeping
# its length.
stage qq/evil.txt 'climbs'
make_cabinet -m none -- qq/evil.txt
python3 - "$UPDATE_DIR/Update.cab" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
open(sys.argv[1], 'wb').write(data.replace(b'qq\\evil.txt', b'..\\evil.txt'))
PY
sign_cabinet
update_once
expect "a climbing name: failure" "$FAILED" "$BOX_TEXT"
expect "nothing is written beside the launcher's folder" 0 "$([ -f "$APP_DIR/../evil.txt" ] && echo 1 || echo 0)"

# A set: one extract writes the files that begin in the first cabinet, and a
# missing second cabinet ends in failure instead of asking for ever.
head -c 40000 /dev/urandom > "$STAGE_DIR/s1.bin"; head -c 40000 /dev/urandom > "$STAGE_DIR/s2.bin"
head -c 40000 /dev/urandom > "$STAGE_DIR/s3.bin"
make_cabinet -m none --max-cabinet 60000 -- s1.bin s2.bin s3.bin
update_once
expect "a set: success" "$DONE" "$BOX_TEXT"
expect "the file in the first cabinet" 0 "$(cmp -s "$STAGE_DIR/s1.bin" "$APP_DIR/s1.bin"; echo $?)"
expect "the file that goes on into the second" 0 "$(cmp -s "$STAGE_DIR/s2.bin" "$APP_DIR/s2.bin"; echo $?)"
expect "not the file that begins in the second" 0 "$([ -f "$APP_DIR/s3.bin" ] && echo 1 || echo 0)"
rm -f "$UPDATE_DIR/Update2.cab" "$APP_DIR"/s*.bin
update_once
expect "a set without its second cabinet: failure" "$FAILED" "$BOX_TEXT"
expect "the cut file is not left behind" 0 "$([ -f "$APP_DIR/s2.bin" ] && echo 1 || echo 0)"

# Seven files: while the fourth (large) is written, three are done: 42%.
for i in 1 2 3 5 6 7; do stage "f$i.txt" "file $i"; done
head -c 24000000 /dev/urandom > "$STAGE_DIR/f4.bin"
make_cabinet -m mszip -- f1.txt f2.txt f3.txt f4.bin f5.txt f6.txt f7.txt
uprobe watch f4.bin $((40 * PATIENCE)) > "$E2E_DIR/watched.txt" &
watcher=$!
sleep 2  # the watcher is looking before the updater starts
run_update
wait "$watcher"
watched=$(cat "$E2E_DIR/watched.txt")
wait_box
finish_update || fail "the updater did not end after OK"
expect "after three of seven files" "percent: 42%" "$watched"
expect "after all seven" "100%" "$DLG_PERCENT"
finish
