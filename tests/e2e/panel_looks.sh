#!/usr/bin/env bash
# What the launcher shows: the frame's face and edges, the title bar bitmap,
# the cells in their three looks, and the second skin.
source "$(dirname "$0")/lib.sh"

setup_app
write_sample_ini
settings_reset
settings_set WinPosX 40
settings_set WinPosY 60
start_launcher
read_frame

# Cells are checked in the border band (x = 3), clear of the icon at 8..39.
CELL_PX=3
CELL_PY=24
cell_pixel() { pixel "$(cell_x "$1" $CELL_PX)" "$(cell_y $CELL_PY)"; }

# The pointer rests away from the launcher first.
xdotool mousemove --sync 900 900; sleep 0.4
screenshot normal
expect "outer edge line is black (top left)" "#000000" "$(pixel $FX $FY)"
expect "outer edge line is black (bottom right)" "#000000" "$(pixel $((FX + FW - 1)) $((FY + FH - 1)))"
expect "inner edge line is white (top left)" "#FFFFFF" "$(pixel $((FX + 1)) $((FY + 1)))"
expect "inner edge line is white (bottom right)" "#FFFFFF" "$(pixel $((FX + FW - 2)) $((FY + FH - 2)))"
expect "grey face beside the panel" "#C4C4C4" "$(pixel $((FX + 2)) $((FY + 40)))"
expect "grey face below the panel" "#C4C4C4" "$(pixel $((FX + 100)) $((FY + FH - 3)))"
# Title bar of the active frame: the fixed left end, the stretched middle and
# the fixed right end under the buttons (frame y = bitmap y + 3).
expect "title bar left end" "$(art 20101 12 5)" "$(pixel $((FX + 3 + 12)) $((FY + 3 + 5)))"
expect "title bar stretched middle" "$(art 20101 60 9)" "$(pixel $((FX + 160)) $((FY + 3 + 9)))"
expect "title bar right end" "$(art 20101 98 9)" "$(pixel $((FX + FW - 80 + 4)) $((FY + 3 + 9)))"
# Black caption text on skin 0 ("Tools", the first group's name).
CAPTION_BLACK=$(count_colour '#000000' $((FX + 33)) $((FY + 3)) 60 18)
expect "caption drawn in black" 1 "$([ "$CAPTION_BLACK" -gt 10 ] && echo 1 || echo "0 ($CAPTION_BLACK pixels)")"
expect "close button in its normal look" "$(art 20103 1 1)" "$(pixel $((FX + FW - 20 + 1)) $((FY + 5 + 1)))"
for c in 0 1 2 3 4; do
  expect "cell $c in the normal look" "$(art 20111 $CELL_PX $CELL_PY)" "$(cell_pixel $c)"
done
expect "background tile between cells" "$(art 20115 0 10)" "$(pixel $((FX + 3 + 51)) $((FY + 21 + 10)))"

# Hover follows the pointer on the frame's timer.
hover_px() { echo "$(cell_x "$1" $CELL_PX)" "$(cell_y $CELL_PY)"; }
xdotool mousemove --sync "$(cell_x 1 24)" "$(cell_y 24)"
expect_pixel "hovered cell in the hover look" "$(art 20113 $CELL_PX $CELL_PY)" $(hover_px 1)
expect "other cells stay normal" "$(art 20111 $CELL_PX $CELL_PY)" "$(cell_pixel 0)"
xdotool mousemove --sync "$(cell_x 3 24)" "$(cell_y 24)"
expect_pixel "hover moves to the next cell" "$(art 20113 $CELL_PX $CELL_PY)" $(hover_px 3)
expect_pixel "and leaves the old one" "$(art 20111 $CELL_PX $CELL_PY)" $(hover_px 1)

# A held press shows the pressed look only while the pointer is in the cell.
xdotool mousemove --sync "$(cell_x 2 24)" "$(cell_y 24)"
expect_pixel "cell under the pointer hovered before the press" "$(art 20113 $CELL_PX $CELL_PY)" $(hover_px 2)
xdotool mousedown 1
expect_pixel "held cell in the pressed look" "$(art 20112 $CELL_PX $CELL_PY)" $(hover_px 2)
xdotool mousemove --sync "$(cell_x 4 24)" "$(cell_y 24)"
expect_pixel "held cell leaves the pressed look when the pointer leaves" "$(art 20111 $CELL_PX $CELL_PY)" $(hover_px 2)
expect_pixel "while the cell under the pointer is hovered" "$(art 20113 $CELL_PX $CELL_PY)" $(hover_px 4)
xdotool mousemove --sync "$(cell_x 2 30)" "$(cell_y 30)"
expect_pixel "held cell pressed again when the pointer comes back" "$(art 20112 $CELL_PX $CELL_PY)" $(hover_px 2)
xdotool mousemove --sync "$(cell_x 4 24)" "$(cell_y 24)"
expect_pixel "and not pressed once it leaves again" "$(art 20111 $CELL_PX $CELL_PY)" $(hover_px 2)
# Released outside its cell: nothing starts.
xdotool mouseup 1; sleep 2
expect "release outside the pressed cell starts nothing" "0 0" "$(rec_count 3) $(rec_count 5)"

stop_launcher

# The second skin, from /F: other bitmaps and colours.
start_launcher /F
read_frame
xdotool mousemove --sync 900 900; sleep 0.4
screenshot skin1
expect "skin 1 title bar" "$(art 20201 60 9)" "$(pixel $((FX + 160)) $((FY + 3 + 9)))"
CAPTION_WHITE=$(count_colour '#FFFFFF' $((FX + 33)) $((FY + 3)) 60 18)
expect "skin 1 caption drawn in white" 1 "$([ "$CAPTION_WHITE" -gt 10 ] && echo 1 || echo "0 ($CAPTION_WHITE pixels)")"
expect "skin 1 button" "$(art 20203 1 1)" "$(pixel $((FX + FW - 20 + 1)) $((FY + 5 + 1)))"
expect "skin 1 cell in the normal look" "$(art 20211 $CELL_PX $CELL_PY)" "$(cell_pixel 0)"
expect "skin 1 background tile" "$(art 20215 0 10)" "$(pixel $((FX + 3 + 51)) $((FY + 21 + 10)))"
xdotool mousemove --sync "$(cell_x 0 24)" "$(cell_y 24)"
expect_pixel "skin 1 cell in the hover look" "$(art 20213 $CELL_PX $CELL_PY)" $(hover_px 0)
xdotool mousedown 1
expect_pixel "skin 1 cell in the pressed look" "$(art 20212 $CELL_PX $CELL_PY)" $(hover_px 0)
xdotool mousemove --sync 900 900
xdotool mouseup 1
