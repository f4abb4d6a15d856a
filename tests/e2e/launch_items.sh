#!/usr/bin/env bash
# Starting items: by click and by the item keys, with the target's folder as
# working directory; group keys; the one warning box for a missing target;
# a Start-menu shortcut and a target relative to the program folder.
source "$(dirname "$0")/lib.sh"

setup_app
write_sample_ini
settings_reset
start_launcher
read_frame

xdotool mousemove --sync "$(cell_x 0 24)" "$(cell_y 24)"
expect_pixel "item under the pointer hovered" "$(art 20113 3 4)" "$(cell_x 0 3)" "$(cell_y 4)"
xdotool click 1
wait_rec 1 1
expect "a click on item 1 starts its target once" 1 "$(rec_count 1)"
expect "with the target's folder as working directory" "$(winpath "$APP_DIR/tools/r1")" "$(rec_last 1)"

# A double click starts the item once: the second press arrives as a double
# click, which the panel drops.
xdotool mousemove --sync "$(cell_x 3 24)" "$(cell_y 24)"; sleep 0.2
xdotool click --repeat 2 --delay 80 1
wait_rec 4 1
sleep 2
expect "a double click starts its item once" 1 "$(rec_count 4)"

key 2
wait_rec 2 1
expect "key 2 starts item 2 of the group shown" 1 "$(rec_count 2)"

key 9
sleep 1.5
expect "key 9 in a group of five starts nothing and shows no box" "boxes=0" "$(probe boxes)"

# Page Down: group 1 ("Web": Rec2 and a missing file).
key Next
xdotool mousemove --sync "$(cell_x 1 24)" "$(cell_y 24)"
expect_pixel "missing item under the pointer hovered" "$(art 20113 3 4)" "$(cell_x 1 3)" "$(cell_y 4)"
xdotool click 1
BOXES=""
box_opened() { BOXES=$(probe boxes); ! grep -q '^boxes=0' <<<"$BOXES"; }
poll 5 0.2 box_opened
expect "a missing target shows one warning box" "boxes=1" "$(echo "$BOXES" | tail -n 1)"
expect "its title" "title: OrvelAVランチャー" "$(echo "$BOXES" | sed -n '/^title:/p')"
EXPECTED_TEXT=$'text: 登録されたファイルが見つかりません.\n登録し直すか,対象のアプリケーションをインストールしてください.'
expect "its text" "$EXPECTED_TEXT" "$(echo "$BOXES" | sed -n '/^text:/,/^boxes=/p' | sed '$d')"
# The box has the activation: the inactive title bar, and the hover look
# stays while the frame is inactive (checked above the pointer, clear of the
# item's tooltip).
expect_pixel "inactive title bar while the box is open" "$(art 20102 60 9)" $((FX + 160)) $((FY + 3 + 9))
expect "hover look kept while inactive" "$(art 20113 3 4)" "$(pixel "$(cell_x 1 3)" "$(cell_y 4)")"
probe dismiss >/dev/null
expect_pixel "active title bar again once the box is closed" "$(art 20101 60 9)" $((FX + 160)) $((FY + 3 + 9))
sleep 1
expect "no second box for the same click" "boxes=0" "$(probe boxes)"

# Page Down on the last group comes back to group 0; Page Up on group 0 goes
# to the last group.
key Next
key Next
key 1
wait_rec 1 2
expect "Page Down after the last group shows group 0" 2 "$(rec_count 1)"
key Prior
key 3
wait_rec 5 1
expect "Page Up on group 0 shows the last group" 1 "$(rec_count 5)"
stop_launcher
expect "the launcher's current group is stored at close" 2 "$(settings_get LaunchNum)"

# A shortcut found in the Start menu, and a target relative to the program
# folder (the launcher is started from another folder).
appdata=$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
menu="$(winepath -u "$appdata" 2>/dev/null)/Microsoft/Windows/Start Menu/Programs/OrvelE2E"
mkdir -p "$menu"
wine "$TOOLS_DIR/make_link.exe" "$(winpath "$menu/OrvelE2E-rec4.lnk")" \
  "$(winpath "$APP_DIR/tools/r4/cwd_recorder.exe")" >/dev/null 2>&1
expect "shortcut made in the Start menu" 1 "$([ -f "$menu/OrvelE2E-rec4.lnk" ] && echo 1 || echo 0)"
write_ini <<'INI'
[LAUNCH]
Item1=Links
[Links]
Item1=ByLink
Item2=Relative
[ByLink]
File=OrvelE2E-rec4.lnk
Caption=Through the Start menu
[Relative]
File=tools\r3\cwd_recorder.exe
Caption=Beside the launcher
INI
settings_reset
start_launcher
before=$(rec_count 4)
key 1
wait_rec 4 $((before + 1))
expect "a shortcut found in the Start menu starts its target" $((before + 1)) "$(rec_count 4)"
key 2
wait_rec 3 1
expect "a relative target is taken from the program folder" "$(winpath "$APP_DIR/tools/r3")" "$(rec_last 3)"
rm -rf "$menu"
