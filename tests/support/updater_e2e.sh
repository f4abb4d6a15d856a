# Shared by the updater's end-to-end scripts: source it after tests/e2e/lib.sh.
#
# The launcher is installed below drive C: of the prefix, in folders with long
# names, with its shortcut "OrvelAVランチャー.lnk" in a subfolder of the
# all-users Start menu; update.exe and Update.cab lie in a folder of their own.

APP_DIR="$WINEPREFIX/drive_c/Program Files/Orvel Launcher Family/Launcher Application Files"
UPDATE_DIR="$E2E_DIR/release"
STAGE_DIR="$E2E_DIR/stage"
MENU_DIR="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvel Applications"
SHORTCUT_NAME="OrvelAVランチャー.lnk"
UPDATE_PID=""

uprobe() { wine "$TOOLS_DIR/update_probe.exe" "$@" 2>/dev/null | tr -d '\r'; }

# updater_setup: a fresh launcher folder (setup_app's copy of launch.exe and
# the recorders), the updater in its own folder, and no shortcut yet.
updater_setup() {
  rm -rf "$APP_DIR"
  setup_app
  write_sample_ini
  mkdir -p "$UPDATE_DIR" "$STAGE_DIR" "$E2E_DIR/elsewhere"
  cp "$BUILD_DIR/update/update.exe" "$UPDATE_DIR/update.exe"
  remove_shortcut
}

make_shortcut() {
  mkdir -p "$MENU_DIR"
  wine "$TOOLS_DIR/make_link.exe" "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Orvel Applications\\$SHORTCUT_NAME" \
    'C:\Program Files\Orvel Launcher Family\Launcher Application Files\launch.exe' >/dev/null 2>&1
  [ -f "$MENU_DIR/$SHORTCUT_NAME" ] || fail "the launcher's shortcut could not be made"
}

# Also any copy another run left in the prefix's Start menus: the updater takes
# the first it finds, which would send the update elsewhere.
remove_shortcut() {
  rm -rf "$MENU_DIR"
  find "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu" "$WINEPREFIX/drive_c/users" \
    -iname "$SHORTCUT_NAME" -exec rm -rf {} + 2>/dev/null
  true
}

# stage NAME CONTENT [STAMP]: a file to put into the cabinet, with its
# modification time (even seconds: the cabinet keeps two-second steps).
stage() {
  mkdir -p "$(dirname "$STAGE_DIR/$1")"
  printf '%s' "$2" > "$STAGE_DIR/$1"
  touch -d "${3:-2024-03-05 10:20:30}" "$STAGE_DIR/$1"
}

# make_cabinet [CABTOOL-OPTIONS...] -- NAMES...: Update.cab (and its set) from
# the staged files, made by the Windows cabtool inside the staging folder, so
# that folder parts of the names are stored, and signed with the test key.
make_cabinet() {
  make_unsigned_cabinet "$@"
  sign_cabinet
}

make_unsigned_cabinet() {
  local opts=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do opts+=("$1"); shift; done
  shift
  rm -f "$UPDATE_DIR"/Update*.cab
  (cd "$STAGE_DIR" && wine "$BUILD_DIR/cabtool.exe" create "${opts[@]}" -o "$(winpath "$UPDATE_DIR/Update.cab")" "$@") \
    >/dev/null 2>&1 || fail "cabtool could not make Update.cab"
}

# sign_cabinet [KEY.pem]: signs Update.cab (and its set) with the host
# cabtool: the test build's updater takes only cabinets signed with the test
# key (tests/data/keys).
HOST_CABTOOL="${HOST_CABTOOL:-$SOURCE_DIR/build/host/cabtool}"
TEST_SIGNING_KEY="$SOURCE_DIR/tests/data/keys/TEST-ONLY-signing-key.pem"
sign_cabinet() {
  [ -x "$HOST_CABTOOL" ] || fail "no host cabtool to sign with at $HOST_CABTOOL (build the host preset first)"
  "$HOST_CABTOOL" sign "${1:-$TEST_SIGNING_KEY}" "$UPDATE_DIR/Update.cab" >/dev/null || fail "Update.cab could not be signed"
}

# run_update: starts the updater from a folder other than its own.
run_update() {
  (cd "$E2E_DIR/elsewhere" && exec wine "$UPDATE_DIR/update.exe") >/dev/null 2>&1 &
  UPDATE_PID=$!
}

# wait_box: waits (30 s at most) for the updater's message box; sets BOX_TITLE
# and BOX_TEXT, and DLG_CAPTION, DLG_STATUS, DLG_PERCENT, DLG_CENTRE and
# DLG_SCREEN_CENTRE ("X Y"; empty without a dialog).
wait_box() {
  local out=""
  BOX_TITLE=""; BOX_TEXT=""
  poll 30 0.3 box_shown || out=""
  BOX_TITLE=$(sed -n 's/^title: //p' <<<"$out")
  BOX_TEXT=$(sed -n '/^text: /,$p' <<<"$out" | sed '1s/^text: //')
  out=$(uprobe dialog)
  DLG_CAPTION=$(sed -n 's/^caption: //p' <<<"$out")
  DLG_STATUS=$(sed -n 's/^status: //p' <<<"$out")
  DLG_PERCENT=$(sed -n 's/^percent: //p' <<<"$out")
  DLG_CENTRE=$(sed -n 's/^centre: //p' <<<"$out")
  DLG_SCREEN_CENTRE=$(sed -n 's/^screen: //p' <<<"$out")
}

box_shown() { out=$(uprobe box) && [ -n "$out" ]; }

# finish_update: presses OK and waits for the updater to end; true when it did.
finish_update() {
  uprobe ok >/dev/null
  poll 10 0.2 updater_ended && return 0
  kill "$UPDATE_PID" 2>/dev/null
  return 1
}
updater_ended() {
  kill -0 "$UPDATE_PID" 2>/dev/null && return 1
  wait "$UPDATE_PID" 2>/dev/null
}

# update_once: runs the updater, reads its outcome, presses OK.
update_once() {
  run_update
  wait_box
  finish_update || fail "the updater did not end after OK"
}

# Texts of the updater, as the probe prints them (UTF-8).
TITLE='Orvel用ｱﾌﾟﾘｹｰｼｮﾝをｱｯﾌﾟﾃﾞｰﾄ'
CAPTION='ｱｯﾌﾟﾃﾞｰﾄﾌｧｲﾙをｲﾝｽﾄｰﾙしています.'
DONE='ｱｯﾌﾟﾃﾞｰﾄが完了しました.'
FAILED='ｲﾝｽﾄｰﾙ対象ﾌｧｲﾙの展開に失敗しました.'
NOT_INSTALLED=$'ｱｯﾌﾟﾃﾞｰﾄ対象がｲﾝｽﾄｰﾙされていません.\nｲﾝｽﾄｰﾙを中止します.'
PREPARING='準備中...'
copying() { printf 'ﾌｧｲﾙ: %s をｺﾋﾟｰしています.' "$1"; }

# attr NAME: the attributes of a file of the launcher folder, in hex.
attr() { uprobe attr "$(winpath "$APP_DIR/$1")"; }

temporary_files() { find "$APP_DIR" -name '*.tmp' | wc -l | tr -d ' '; }

trap 'remove_shortcut; finish' EXIT
