#!/usr/bin/env bash
# The main job: installs what is needed, builds the Windows programs and starts
# the launcher under Wine with a sample catalogue beside it (Wine's own
# programs, a Start-menu shortcut, a web address and a missing file). Without
# a display it runs on a private Xvfb, points at the first item, saves a
# screenshot of the screen and prints the PNG's path.
#
#   scripts/run-launcher.sh [SWITCHES...]     e.g. /F for the second skin
#
# BUILD_DIR may name another win32 build folder than build/win32.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

source scripts/build-win32.sh launch make_link

prefix="$build/wineprefix"
app_dir="$build/launcher"
mkdir -p "$app_dir"
cp "$build/launch/launch.exe" "$app_dir/launch.exe"
harness() { scripts/wine-harness --prefix="$prefix" "$@"; }
harness prefix >/dev/null

# A shortcut in the all-users Start menu, found by its name alone.
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvel Sample"
mkdir -p "$menu"
harness run "$build/tests/make_link.exe" 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Orvel Sample\Orvel Notepad.lnk' \
  'C:\windows\notepad.exe' >/dev/null 2>&1 || echo "run-launcher: could not make the sample shortcut" >&2

# The catalogue is read in the system's code page (932).
sed 's/$/\r/' <<'INI' | iconv -f UTF-8 -t CP932 > "$app_dir/LAUNCH.INI"
[LAUNCH]
Item1=アプリケーション
Item2=インターネット
Item3=ツール

[アプリケーション]
Item1=Notepad
Item2=Minesweeper
Item3=NotepadLink
Item4=Missing

[インターネット]
Item1=Web
Item2=Browser

[ツール]
Item1=Registry
Item2=Console
Item3=Notepad

[Notepad]
File=notepad.exe
Caption=メモ帳

[Minesweeper]
File=C:\windows\system32\winemine.exe
Caption=マインスイーパ

[NotepadLink]
File=Orvel Notepad.lnk
Caption=スタートメニューのショートカット

[Missing]
File=C:\Program Files\Orvel\nothing-here.exe
Caption=見つからないファイル

[Web]
File=https://www.example.com/
Caption=ウェブサイト

[Browser]
File=iexplore.exe
Caption=ブラウザ

[Registry]
File=regedit.exe
Caption=レジストリ エディタ

[Console]
File=cmd.exe
Caption=コマンド プロンプト
INI

if [ -n "${DISPLAY:-}" ]; then
  echo "Starting the launcher on $DISPLAY"
  exec scripts/wine-harness --prefix="$prefix" run "$app_dir/launch.exe" "$@"
fi

shot="$build/launcher-screenshot.png"
harness session bash -c '
  wine "$1" "${@:3}" &
  pid=$!
  win=""
  for i in $(seq 1 100); do
    win=$(xdotool search --onlyvisible --name "^OrvelAV" 2>/dev/null | head -n 1)
    [ -n "$win" ] && break
    sleep 0.2
  done
  sleep 1
  # Point at the first item: its hover look and its tooltip.
  if [ -n "$win" ]; then
    eval "$(xdotool getwindowgeometry --shell "$win")"
    xdotool mousemove --sync $((X + 3 + 2 + 24)) $((Y + 21 + 2 + 24))
    sleep 1.5
  fi
  import -window root "$2"
  kill $pid 2>/dev/null || true
  wineserver -k
' run "$app_dir/launch.exe" "$shot" "$@"
echo "Screenshot of the launcher: $shot"
