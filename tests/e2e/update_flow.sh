#!/usr/bin/env bash
# An update as a user meets it: the launcher, installed below folders with
# long names and running, is closed (saving its settings) and its files are
# replaced by those of Update.cab with their stored dates and attributes,
# under the progress dialog, and the outcome is told in one message box.
source "$(dirname "$0")/lib.sh"
source "$SOURCE_DIR/tests/support/updater_e2e.sh"

updater_setup
make_shortcut
# The old LAUNCH.INI is longer than the new one; data\ exists already.
mkdir -p "$APP_DIR/data"
printf '%0500d' 0 >> "$APP_DIR/LAUNCH.INI"
cp "$APP_DIR/LAUNCH.INI" "$E2E_DIR/old-LAUNCH.INI"

cp "$BUILD_DIR/launch/launch.exe" "$STAGE_DIR/launch.exe"
printf 'new build' >> "$STAGE_DIR/launch.exe"
touch -d '2024-03-05 10:20:30' "$STAGE_DIR/launch.exe"
stage LAUNCH.INI $'[LAUNCH]\r\n' '2023-12-24 18:00:00'
stage readme.txt 'read me' '2024-01-02 03:04:06'
chmod a-w "$STAGE_DIR/readme.txt"
stage 'data/items.dat' 'items' '2022-07-08 09:10:12'
make_cabinet -m mszip -- launch.exe LAUNCH.INI readme.txt data/items.dat

settings_reset
start_launcher
update_once

expect "the message box carries the application title" "$TITLE" "$BOX_TITLE"
expect "the message box tells of success" "$DONE" "$BOX_TEXT"
expect "the dialog's caption" "$CAPTION" "$DLG_CAPTION"
expect "the status line names the last file" "$(copying 'data\items.dat')" "$DLG_STATUS"
expect "the percentage" "100%" "$DLG_PERCENT"
# Centred to the pixel: an odd width or height rounds the window's centre down.
read -r cx cy <<<"$DLG_CENTRE"; read -r sx sy <<<"$DLG_SCREEN_CENTRE"
expect "the dialog is centred on the screen ($DLG_CENTRE)" 1 \
  "$([ "${cx:-0}" -ge $((sx - 1)) ] && [ "${cx:-0}" -le "$sx" ] && [ "${cy:-0}" -ge $((sy - 1)) ] && [ "${cy:-0}" -le "$sy" ] && echo 1 || echo 0)"
expect "the dialog is gone after OK" 3 "$(uprobe dialog >/dev/null; echo $?)"
expect "the launcher was closed" 0 "$(wait_launcher_exit 2; echo $?)"
expect "and saved its display mode" 1 "$([ "$(settings_get DispMode)" != missing ] && echo 1 || echo 0)"

for name in launch.exe LAUNCH.INI readme.txt data/items.dat; do
  expect "$name has the new bytes" 0 "$(cmp -s "$STAGE_DIR/$name" "$APP_DIR/$name"; echo $?)"
  expect "$name has the stored time" "$(stat -c %Y "$STAGE_DIR/$name")" "$(stat -c %Y "$APP_DIR/$name" 2>/dev/null)"
done
expect "readme.txt is read-only, as stored" 21 "$(attr readme.txt)"
expect "launch.exe is archive only" 20 "$(attr launch.exe)"
expect "no temporary file is left" 0 "$(temporary_files)"

# Update.cab is untouched and may be used again; the launcher is not running.
chmod u+w "$APP_DIR/readme.txt"; wine attrib -r "$(winpath "$APP_DIR/readme.txt")" >/dev/null 2>&1
update_once
expect "without a running launcher the update runs as well" "$DONE" "$BOX_TEXT"
finish
