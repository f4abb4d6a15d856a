#!/usr/bin/env bash
# Dragging the title strip moves the frame and stores its position; closing,
# by the close button or by the system close command from another process,
# stores the display mode and the current group.
source "$(dirname "$0")/lib.sh"

setup_app
write_sample_ini
settings_reset
settings_set WinPosX 200
settings_set WinPosY 150
start_launcher
read_frame

# A press on the title strip (y < 21) drags; the pointer moves in steps.
xdotool mousemove --sync $((FX + 120)) $((FY + 20)) mousedown 1
for step in 1 2 3 4 5; do
  xdotool mousemove --sync $((FX + 120 + step * 10)) $((FY + 20 + step * 8)); sleep 0.1
done
xdotool mouseup 1; sleep 0.5
read_frame
expect "the frame follows the drag" "250 190" "$FX $FY"
expect "the end of the drag stores the position" "250 190" "$(settings_get WinPosX) $(settings_get WinPosY)"

# A press and release without movement still stores the (unchanged) position.
settings_reset
click_at $((FX + 60)) $((FY + 4)); sleep 0.5
expect "a click on the title strip stores the position it leaves unchanged" "250 190" \
  "$(settings_get WinPosX) $(settings_get WinPosY)"

# A press below the title strip, on the frame's edge, does not drag.
xdotool mousemove --sync $((FX + 1)) $((FY + 40)) mousedown 1
xdotool mousemove --sync $((FX + 60)) $((FY + 90)); sleep 0.2
xdotool mouseup 1; sleep 0.5
read_frame
expect "a press on the edge below the strip does not move the frame" "250 190" "$FX $FY"

# Group 1 and all-groups display, then the close button.
key Next
click_at $((FX + FW - 74 + 8)) $((FY + 5 + 6))
wait_size 258 176
click_at $((FX + FW - 20 + 8)) $((FY + 5 + 6))
if wait_launcher_exit 10; then ENDED=ended; else ENDED=running; fi
expect "the close button ends the launcher" ended "$ENDED"
expect "closing stores DispMode and LaunchNum" "1 1" "$(settings_get DispMode) $(settings_get LaunchNum)"

# They come back at the next start; a drag's end is the only time the
# position is stored, so closing left it alone.
start_launcher
read_frame
expect "stored display mode restored (all groups)" "258 176" "$FW $FH"
expect "stored position restored" "250 190" "$FX $FY"
key 1
wait_rec 2 1
expect "in all-groups display key 1 starts item 1 of group 0, whatever group is current" "1 0" "$(rec_count 1) $(rec_count 2)"

# The system close command from another process, as the updater sends it.
click_at $((FX + FW - 74 + 8)) $((FY + 5 + 6))
wait_size 258 76
key Next
probe sysclose >/dev/null
if wait_launcher_exit 10; then ENDED=ended; else ENDED=running; fi
expect "WM_SYSCOMMAND/SC_CLOSE from another process ends the launcher" ended "$ENDED"
# Group 1 was restored from LaunchNum, then Page Down made it 2.
expect "and stores DispMode and LaunchNum" "0 2" "$(settings_get DispMode) $(settings_get LaunchNum)"
