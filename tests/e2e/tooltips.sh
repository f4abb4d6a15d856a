#!/usr/bin/env bash
# The tooltip names a title-bar button, and the item under the pointer (the
# hover change goes through the message loop to the tooltip), and nothing
# between items.
source "$(dirname "$0")/lib.sh"

setup_app
write_sample_ini
settings_reset
start_launcher
read_frame

# wait_tip TEXT: polls the shown tip for up to 5 s; TIP holds the last one.
wait_tip() { poll 5 0.2 tip_is "$1"; }
tip_is() { TIP=$(probe tooltip | sed -n 's/^tooltip=//p'); [ "$TIP" = "$1" ]; }

# The close button sits at width - 20 in the title strip.
xdotool mousemove --sync $((FX + FW - 20 + 6)) $((FY + 5 + 6))
wait_tip "閉じる"
expect "the close button's tip" "閉じる" "$TIP"

xdotool mousemove --sync "$(cell_x 0 24)" "$(cell_y 24)"
wait_tip "Recorder 1"
expect "the first item's caption" "Recorder 1" "$TIP"
xdotool mousemove --sync "$(cell_x 2 20)" "$(cell_y 24)"
wait_tip "Recorder 3"
expect "the caption follows the pointer to the third item" "Recorder 3" "$TIP"
# The two-pixel gap between cells is no item.
xdotool mousemove --sync "$(cell_x 2 49)" "$(cell_y 24)"
wait_tip ""
expect "no tip between items" "" "$TIP"
