#!/usr/bin/env bash
# A second start hands its group switches to the running launcher, brings it
# forward and ends at once; without a group switch it sends nothing.
source "$(dirname "$0")/lib.sh"

setup_app
write_sample_ini
settings_reset
start_launcher
read_frame

# second_start SWITCHES...: runs a second launcher to its end; sets SECOND_RC
# and SECOND_SECONDS.
second_start() {
  local t0=$SECONDS
  (cd "$E2E_DIR" && wine "$APP_DIR/launch.exe" "$@") >/dev/null 2>&1
  SECOND_RC=$?
  SECOND_SECONDS=$((SECONDS - t0))
}

# Which cells the row shows tells the group: 5, 2 and 3 items. Checked low
# in the cells, clear of any tooltip under the title strip.
NORMAL=$(art 20111 3 44)
shown_cells() {
  local c out=""
  screenshot cells
  for c in 0 1 2 3 4; do
    [ "$(pixel "$(cell_x $c 3)" "$(cell_y 44)")" = "$NORMAL" ] && out="$out$c"
  done
  echo "$out"
}
xdotool mousemove --sync 900 900

second_start /2
expect "a second start with /2 exits with 0" 0 "$SECOND_RC"
expect "and ends at once" 1 "$([ "$SECOND_SECONDS" -le 8 ] && echo 1 || echo "0 ($SECOND_SECONDS s)")"
sleep 0.5
expect "the running launcher shows group 1 (two items)" 01 "$(shown_cells)"
expect "and is in the foreground" 1 "$(read_frame; echo "$FOREGROUND")"

second_start
expect "a second start without switches exits with 0" 0 "$SECOND_RC"
sleep 0.5
expect "and changes no group" 01 "$(shown_cells)"

second_start /F
sleep 0.5
expect "a second start with /F changes neither group nor skin" 01 "$(shown_cells)"

second_start /1 /3
sleep 0.5
expect "/1 with /3 selects the highest group given (three items)" 012 "$(shown_cells)"

# Minimised by its button, the launcher is restored by a second start.
click_at $((FX + FW - 36 + 8)) $((FY + 5 + 6)); sleep 0.5
read_frame
expect "the minimise button minimises" 1 "$ICONIC"
second_start
sleep 0.5
read_frame
expect "a second start restores a minimised launcher" 0 "$ICONIC"
expect "only one launcher runs" 1 "$(xdotool search --onlyvisible --name '^OrvelAV' | wc -l)"

stop_launcher
expect "the group chosen by the second start is stored at close" 2 "$(settings_get LaunchNum)"

# On an empty group, a message with an empty mask would move the launcher to
# group 0; a second start without switches must leave it where it is. A group
# switch naming an empty group also gives group 0.
write_ini <<'INI'
[LAUNCH]
Item1=Full
Item2=Empty
[Full]
Item1=One
[Empty]
[One]
File=Z:\nowhere\one.exe
INI
settings_reset
start_launcher
read_frame
xdotool mousemove --sync 900 900
key Next
expect "Page Down steps onto the empty group" "" "$(shown_cells)"
second_start
sleep 0.5
expect "a second start without switches sends nothing" "" "$(shown_cells)"
second_start /2
sleep 0.5
expect "a switch naming an empty group selects group 0" 0 "$(shown_cells)"
