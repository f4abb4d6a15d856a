#!/usr/bin/env bash
# The frame's size follows the catalogue and the display mode; its position
# comes from WinPosX/WinPosY, kept on the screen.
source "$(dirname "$0")/lib.sh"

setup_app
write_sample_ini
settings_reset
settings_set WinPosX 100
settings_set WinPosY 200
start_launcher
read_frame
expect "frame at the stored position" "100 200" "$FX $FY"
expect "one-group size (5 items at most, 3 groups)" "258 76" "$FW $FH"
expect "no caption or border: client is the whole window" "258 76" "$CLIENT"
expect "group-switch button shown in one-group display" 1 "$SWITCH_SHOWN"

# The display-mode button sits at width - 74 in the title strip.
click_at $((FX + FW - 74 + 8)) $((FY + 5 + 6))
wait_size 258 176
expect "all-groups size" "258 176" "$FW $FH"
expect "top left corner kept when growing" "100 200" "$FX $FY"
expect "group-switch button hidden in all-groups display" 0 "$SWITCH_SHOWN"
# One row per group: 5, 2 and 3 cells. Checked low in the cells, clear of the
# button's tooltip.
xdotool mousemove --sync 900 900; sleep 0.3
screenshot all-groups
NORMAL=$(art 20111 3 44)
rows=""
for r in 0 1 2; do
  row=""
  for c in 0 1 2 3 4; do
    [ "$(pixel $((FX + 3 + 2 + 50 * c + 3)) $((FY + 21 + 2 + 50 * r + 44)))" = "$NORMAL" ] && row="$row$c"
  done
  rows="$rows $row"
done
expect "all-groups display shows every group's cells in its own row" " 01234 01 012" "$rows"
click_at $((FX + FW - 74 + 8)) $((FY + 5 + 6))
wait_size 258 76
expect "back to one-group size" "258 76" "$FW $FH"
expect "group-switch button shown again" 1 "$SWITCH_SHOWN"
stop_launcher

# Off the left and top edges: pulled back to 0; past the right and bottom
# edges: flush with the work area that the system metrics give, or with the
# one the system reports where that is smaller (under Wine the metrics reach
# past the screen).
lesser() { if [ "$1" -lt "$2" ]; then echo "$1"; else echo "$2"; fi; }
settings_reset
settings_set WinPosX -50
settings_set WinPosY 100000
start_launcher
read_frame
expect "clamped to the left and bottom edges" "$WORK_LEFT $(($(lesser "$LIMIT_Y" "$WORK_BOTTOM") - 76))" "$FX $FY"
stop_launcher
settings_set WinPosX 100000
settings_set WinPosY -7
start_launcher
read_frame
expect "clamped to the right and top edges" "$(($(lesser "$LIMIT_X" "$WORK_RIGHT") - 258)) $WORK_TOP" "$FX $FY"
stop_launcher

# No catalogue at all: the launcher still starts, 8 pixels wide.
rm -f "$APP_DIR/LAUNCH.INI"
settings_reset
start_launcher
read_frame
expect "empty catalogue size" "8 76" "$FW $FH"
expect "empty catalogue position" "0 0" "$FX $FY"
