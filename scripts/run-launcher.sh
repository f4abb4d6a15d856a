#!/usr/bin/env bash
# The main job: installs what is needed, builds the Windows programs and starts
# the launcher under Wine with a sample catalogue beside it (Wine's own
# programs, a Start-menu shortcut, a web address and a missing file). Without
# a display it runs on a private Xvfb, points at the first item, saves a
# screenshot of the screen and a crop of the launcher's window (its tooltip
# included, with a small margin) and prints both PNGs' paths.
#
#   scripts/run-launcher.sh [SWITCHES...]     e.g. /F for the second skin
#
# BUILD_DIR may name another win32 build folder than build/win32 (build/win64
# where the machine cannot run 32-bit programs).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

source scripts/build-win32.sh launch make_link launcher_probe

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
crop="$build/launcher-window.png"
rm -f "$crop"
harness session bash -c '
  probe="$1"; crop="$2"; shift 2
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
  # The window and its tooltip, with a margin, kept on the screen.
  read -r fx fy fw fh <<<"$(wine "$probe" frame 2>/dev/null | tr -d "\r" | head -n 1)"
  if [ -n "${fh:-}" ]; then
    left=$fx; top=$fy; right=$((fx + fw)); bottom=$((fy + fh))
    read -r tl tt tr tb <<<"$(wine "$probe" tooltip 2>/dev/null | tr -d "\r" | sed -n "s/^tiprect=//p")"
    if [ -n "${tb:-}" ]; then
      [ "$tl" -lt "$left" ] && left=$tl; [ "$tt" -lt "$top" ] && top=$tt
      [ "$tr" -gt "$right" ] && right=$tr; [ "$tb" -gt "$bottom" ] && bottom=$tb
    fi
    margin=12
    left=$((left - margin)); top=$((top - margin)); right=$((right + margin)); bottom=$((bottom + margin))
    [ "$left" -lt 0 ] && left=0; [ "$top" -lt 0 ] && top=0
    convert "$2" -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$crop"
  fi
  kill $pid 2>/dev/null || true
  wineserver -k
' run "$build/tests/launcher_probe.exe" "$crop" "$app_dir/launch.exe" "$shot" "$@"
echo "Screenshot of the screen: $shot"
if [ -f "$crop" ]; then
  echo "Crop of the launcher's window: $crop"
else
  echo "run-launcher: the launcher's window was not found, so no crop was made" >&2
fi
