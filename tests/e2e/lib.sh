# Shared by the launcher's end-to-end scripts: source it first.
#
# The environment gives BUILD_DIR (the win32 build), SOURCE_DIR, WINEPREFIX and
# HARNESS (scripts/wine-harness). A script re-runs itself inside one harness
# session, so that all its Wine programs share one display and one wineserver,
# which the harness stops at the end (taking any leftover program with it).

# Run on its own (the test glob registers every script here), it has nothing to check.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  exit 0
fi

set -u -o pipefail
: "${BUILD_DIR:?}" "${SOURCE_DIR:?}" "${WINEPREFIX:?}" "${HARNESS:?}"
if [ -z "${ORVEL_E2E_SESSION:-}" ]; then
  export ORVEL_E2E_SESSION=1
  exec "$HARNESS" --prefix="$WINEPREFIX" session bash "$0" "$@"
fi

E2E_NAME=$(basename "$0" .sh)
E2E_DIR="$BUILD_DIR/e2e/$E2E_NAME"
APP_DIR="$E2E_DIR/app"
TOOLS_DIR="$BUILD_DIR/tests"
SETTINGS_KEY='HKCU\SOFTWARE\KORVAX\Orvel Launcher\Settings'
LAUNCHER_PID=""
FRAME_XID=""
FAILURES=0
# E2E_PATIENCE=N (a whole number) makes every wait N times longer, for a slow
# (emulated) machine.
PATIENCE="${E2E_PATIENCE:-1}"

# poll SECONDS PAUSE COMMAND...: runs COMMAND every PAUSE seconds until it
# succeeds (true) or SECONDS times PATIENCE have gone by (false). The bound is
# a time, not a number of tries: where every try is slow (a Wine program that
# takes seconds to start in an emulated machine) a wait still ends in time.
# COMMAND runs in this shell, so it may set variables for the caller.
poll() {
  local pause=$2 now end
  now=${EPOCHREALTIME//[!0-9]/}
  end=$((now + $1 * PATIENCE * 1000000))
  shift 2
  until "$@"; do
    now=${EPOCHREALTIME//[!0-9]/}
    [ "$now" -lt "$end" ] || return 1
    sleep "$pause"
  done
}

# --- reporting -------------------------------------------------------------

note() { echo "[$E2E_NAME] $*"; }

fail() {
  echo "[$E2E_NAME] FAIL: $*" >&2
  FAILURES=$((FAILURES + 1))
}

# expect WHAT EXPECTED ACTUAL
expect() {
  if [ "$2" = "$3" ]; then
    note "ok: $1 ($3)"
  else
    fail "$1: expected '$2', got '$3'"
  fi
}

FINISHED=0
finish() {
  [ "$FINISHED" = 1 ] && return
  FINISHED=1
  stop_launcher
  if [ "$FAILURES" -ne 0 ]; then
    echo "[$E2E_NAME] $FAILURES check(s) failed; screenshots in $E2E_DIR" >&2
    exit 1
  fi
  note "all checks passed"
  exit 0
}

# --- paths -----------------------------------------------------------------

# Wine maps drive Z: to the Linux root.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# The program and five copies of the recorder (tools/r1 to tools/r5), in a
# fresh folder per script.
setup_app() {
  rm -rf "$E2E_DIR"
  mkdir -p "$APP_DIR"
  cp "$BUILD_DIR/launch/launch.exe" "$APP_DIR/launch.exe"
  local i
  for i in 1 2 3 4 5; do
    mkdir -p "$APP_DIR/tools/r$i"
    cp "$TOOLS_DIR/cwd_recorder.exe" "$APP_DIR/tools/r$i/cwd_recorder.exe"
  done
}


# write_ini < TEXT: the catalogue, in the system's code page with CRLF lines.
write_ini() {
  sed 's/$/\r/' | iconv -f UTF-8 -t CP932 > "$APP_DIR/LAUNCH.INI"
}

# Three groups: "Tools" with Rec1 to Rec5, "Web" with Rec2 and a missing
# file, "ツール" with Rec3 to Rec5. Item RecN starts tools/rN's recorder.
write_sample_ini() {
  {
    printf '[LAUNCH]\nItem1=Tools\nItem2=Web\nItem3=ツール\n\n'
    printf '[Tools]\n'; for i in 1 2 3 4 5; do printf 'Item%d=Rec%d\n' "$i" "$i"; done
    printf '[Web]\nItem1=Rec2\nItem2=Missing\n'
    printf '[ツール]\nItem1=Rec3\nItem2=Rec4\nItem3=Rec5\n'
    for i in 1 2 3 4 5; do
      printf '[Rec%d]\nFile=%s\nCaption=Recorder %d\n' "$i" "$(winpath "$APP_DIR/tools/r$i/cwd_recorder.exe")" "$i"
    done
    printf '[Missing]\nFile=%s\nCaption=Gone\n' "$(winpath "$APP_DIR/tools/nothing-here.exe")"
  } | write_ini
}

# rec_count N: how often recorder N was started.
rec_count() {
  local log="$APP_DIR/tools/r$1/cwd.log"
  if [ -f "$log" ]; then wc -l < "$log" | tr -d ' '; else echo 0; fi
}

# rec_last N: the working directory recorder N got at its last start.
rec_last() { tail -n 1 "$APP_DIR/tools/r$1/cwd.log" 2>/dev/null | tr -d '\r'; }

# wait_rec N COUNT: waits until recorder N has been started COUNT times.
wait_rec() { poll 10 0.2 rec_reached "$1" "$2"; }
rec_reached() { [ "$(rec_count "$1")" -ge "$2" ]; }

# --- registry --------------------------------------------------------------

# Under 64-bit Wine a "reg" start now and then leaves the registry as it was,
# so each change is read back and tried again (what reg said goes to reg.log).
settings_reset() {
  local i
  for i in 1 2 3; do
    wine reg delete "$SETTINGS_KEY" /f >>"$E2E_DIR/reg.log" 2>&1
    wine reg query "$SETTINGS_KEY" >/dev/null 2>&1 || return 0
  done
  fail "the stored settings could not be removed"
}

# settings_set NAME SIGNED-VALUE
settings_set() {
  local i
  for i in 1 2 3; do
    wine reg add "$SETTINGS_KEY" /v "$1" /t REG_DWORD /d $(( $2 & 0xFFFFFFFF )) /f >>"$E2E_DIR/reg.log" 2>&1
    [ "$(settings_get "$1")" = "$2" ] && return 0
  done
  fail "$1 could not be stored as $2"
}

# settings_get NAME: the value as a signed decimal, or "missing".
settings_get() {
  local hex
  hex=$(wine reg query "$SETTINGS_KEY" /v "$1" 2>/dev/null | tr -d '\r' | awk -v n="$1" '$1 == n { print $3 }')
  if [ -z "$hex" ]; then echo missing; return; fi
  local v=$((hex))
  [ "$v" -ge 2147483648 ] && v=$((v - 4294967296))
  echo "$v"
}

# --- the launcher ----------------------------------------------------------

probe() { wine "$TOOLS_DIR/launcher_probe.exe" "$@" 2>/dev/null | tr -d '\r'; }

# start_launcher [SWITCHES...]: starts it and waits for its frame.
start_launcher() {
  (cd "$E2E_DIR" && exec wine "$APP_DIR/launch.exe" "$@") >/dev/null 2>&1 &
  LAUNCHER_PID=$!
  wait_frame || { fail "the launcher's frame did not appear"; finish; }
  FRAME_XID=$(xdotool search --onlyvisible --name '^OrvelAV' 2>/dev/null | head -n 1)
  # Let the first paint and the first timer ticks happen.
  sleep 0.5
}

# wait_frame: polls until a frame exists (10 s at most, times PATIENCE).
wait_frame() { poll 10 0.2 frame_up; }
frame_up() { probe frame >/dev/null; }

# read_frame: sets FX FY FW FH CLIENT ("W H") LIMIT_X LIMIT_Y WORK_LEFT
# WORK_TOP WORK_RIGHT WORK_BOTTOM SWITCH_SHOWN ICONIC FOREGROUND.
read_frame() {
  local out
  out=$(probe frame) || { FX=""; FY=""; FW=""; FH=""; return 1; }
  read -r FX FY FW FH <<<"$(echo "$out" | head -n 1)"
  CLIENT=$(echo "$out" | sed -n 's/^client=//p')
  read -r LIMIT_X LIMIT_Y <<<"$(echo "$out" | sed -n 's/^limit=//p')"
  read -r WORK_LEFT WORK_TOP WORK_RIGHT WORK_BOTTOM <<<"$(echo "$out" | sed -n 's/^workarea=//p')"
  SWITCH_SHOWN=$(echo "$out" | sed -n 's/^switch=//p')
  ICONIC=$(echo "$out" | sed -n 's/^iconic=//p')
  FOREGROUND=$(echo "$out" | sed -n 's/^foreground=//p')
}

# wait_size WIDTH HEIGHT: polls the frame for up to 4 s until it has that
# size (Wine delivers pointer events with some delay); read_frame is current
# afterwards either way.
wait_size() { poll 4 0.2 frame_has_size "$1" "$2"; }
frame_has_size() { read_frame; [ "$FW $FH" = "$1 $2" ]; }

# wait_launcher_exit [SECONDS]: true when the launcher process has ended.
wait_launcher_exit() { poll "${1:-10}" 0.2 launcher_ended; }
launcher_ended() {
  kill -0 "$LAUNCHER_PID" 2>/dev/null && return 1
  wait "$LAUNCHER_PID" 2>/dev/null
  LAUNCHER_PID=""
}

stop_launcher() {
  if [ -n "$LAUNCHER_PID" ] && kill -0 "$LAUNCHER_PID" 2>/dev/null; then
    probe sysclose >/dev/null
    wait_launcher_exit 5 || kill "$LAUNCHER_PID" 2>/dev/null
  fi
  LAUNCHER_PID=""
}

# --- pointer and keys (screen coordinates) ---------------------------------

click_at() { xdotool mousemove --sync "$1" "$2"; sleep 0.2; xdotool click 1; }

# key NAME...: typed into the launcher. Without a window manager the X focus
# follows nothing, and a started program leaves the launcher inactive, so the
# frame is brought forward (as a second start would) and given the X focus.
key() {
  probe activate >/dev/null
  [ -n "$FRAME_XID" ] && xdotool windowfocus --sync "$FRAME_XID" 2>/dev/null
  xdotool key "$@"
  sleep 0.3
}

# --- pixels ----------------------------------------------------------------

SHOT=""
# screenshot NAME: grabs the screen into $E2E_DIR/NAME.png.
screenshot() {
  SHOT="$E2E_DIR/$1.png"
  import -window root "$SHOT"
}

# hex_at FILE X Y: the pixel as #RRGGBB.
hex_at() {
  convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- | sed -n '2s/.*\(#[0-9A-Fa-f]\{6\}\).*/\1/p'
}

# pixel X Y: a pixel of the last screenshot, in screen coordinates.
pixel() { hex_at "$SHOT" "$1" "$2"; }

# expect_pixel WHAT EXPECTED X Y: polls the screen for up to 4 s, since
# Wine may take a moment to deliver a pointer event and repaint.
expect_pixel() {
  local shot="$E2E_DIR/poll.png" got=""
  poll 4 0.3 screen_pixel_is "$2" "$3" "$4"
  SHOT="$shot"
  expect "$1" "$2" "$got"
  [ "$got" = "$2" ] || cp "$shot" "$E2E_DIR/failed-$(echo "$1" | tr -c 'A-Za-z0-9' '-').png"
}

screen_pixel_is() {
  import -window root "$shot"
  got=$(hex_at "$shot" "$2" "$3")
  [ "$got" = "$1" ]
}

# count_colour COLOUR X Y W H: pixels of that colour in a part of the last
# screenshot.
count_colour() {
  convert "$SHOT" -crop "$4x$5+$2+$3" +repage -depth 8 txt:- | grep -ci "$1" || true
}

# art ID X Y: a pixel of one of the program's bitmaps.
art() { hex_at "$SOURCE_DIR/launch/res/bmp/$1.bmp" "$2" "$3"; }

# Screen position of a cell's pixel (DX, DY) in single-group display:
# panel at (3, 21) inside the frame, cells at 2 + 50 * column.
cell_x() { echo $((FX + 3 + 2 + 50 * $1 + $2)); }
cell_y() { echo $((FY + 21 + 2 + $1)); }

trap 'finish' EXIT
