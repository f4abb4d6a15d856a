#!/usr/bin/env bash
# The release flow, shown end to end: builds the programs, makes Update.cab
# from the fresh launcher with cabtool, installs an older launcher with its
# Start-menu shortcut in the Wine prefix, starts it and runs update.exe beside
# Update.cab. Without a display it runs on a private Xvfb, saves screenshots
# of the progress dialog and of the final message box, presses OK and prints
# the PNGs' paths.
#
#   scripts/run-update.sh
#
# BUILD_DIR may name another win32 build folder than build/win32.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

source scripts/build-win32.sh launch update cabtool make_link update_probe

# No release without a key: update.exe of a build without one installs any
# cabinet. The cabinet is signed with the Linux cabtool.
public_key=$(sed -n 's/^ORVEL_UPDATE_PUBLIC_KEY:[A-Z]*=//p' "$build/CMakeCache.txt")
if [ -z "$public_key" ]; then
  echo "run-update: update.exe was built without a public key (ORVEL_UPDATE_PUBLIC_KEY): no release is made" >&2
  exit 1
fi
signing_key="${ORVEL_SIGNING_KEY:-$root/tests/data/keys/TEST-ONLY-signing-key.pem}"
cmake --preset host >/dev/null
cmake --build --preset host --target cabtool >/dev/null
host_cabtool="$root/build/host/cabtool"

prefix="$build/wineprefix"
harness() { scripts/wine-harness --prefix="$prefix" "$@"; }
harness prefix >/dev/null

# The release: update.exe with Update.cab beside it. The cabinet holds the
# launcher's files as the new build has them.
release="$build/release"
stage="$build/release-files"
rm -rf "$release" "$stage"
mkdir -p "$release" "$stage"
cp "$build/update/update.exe" "$release/update.exe"
cp "$build/launch/launch.exe" "$stage/launch.exe"
sed 's/$/\r/' <<'INI' | iconv -f UTF-8 -t CP932 > "$stage/LAUNCH.INI"
[LAUNCH]
Item1=アプリケーション

[アプリケーション]
Item1=Notepad
Item2=Registry

[Notepad]
File=notepad.exe
Caption=メモ帳

[Registry]
File=regedit.exe
Caption=レジストリ エディタ
INI

# The installed, older launcher: an earlier catalogue beside the program.
install="$prefix/drive_c/Program Files/Orvel Launcher"
rm -rf "$install"
mkdir -p "$install"
cp "$build/launch/launch.exe" "$install/launch.exe"
sed 's/$/\r/' <<'INI' | iconv -f UTF-8 -t CP932 > "$install/LAUNCH.INI"
[LAUNCH]
Item1=旧版

[旧版]
Item1=Notepad

[Notepad]
File=notepad.exe
Caption=メモ帳 (旧版)
INI

shots="$build/update-screenshots"
rm -rf "$shots"
mkdir -p "$shots"
harness session bash -c '
  set -u
  release=$1 stage=$2 install=$3 shots=$4 tools=$5 cabtool=$6
  host_cabtool=$7 signing_key=$8 public_key=$9
  menu="C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Orvel"
  mkdir -p "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvel"
  wine "$tools/make_link.exe" "$menu\\OrvelAVランチャー.lnk" "C:\\Program Files\\Orvel Launcher\\launch.exe" >/dev/null 2>&1
  # No window manager runs on the private display, so nobody would draw the
  # title bars: Wine draws them itself for windows it does not ask to have
  # decorated, and the captions show in the screenshots. Only for this run.
  x11="HKCU\\Software\\Wine\\X11 Driver"
  wine reg add "$x11" /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
  (cd "$stage" && wine "$cabtool" create -m mszip -o Update.cab launch.exe LAUNCH.INI) >/dev/null 2>&1
  mv "$stage/Update.cab" "$release/Update.cab"
  "$host_cabtool" sign "$signing_key" "$release/Update.cab" || exit 1
  echo "Update.cab made with cabtool: $release/Update.cab"
  "$host_cabtool" verify "$public_key" "$release/Update.cab" || exit 1

  wine "$install/launch.exe" >/dev/null 2>&1 &
  for i in $(seq 1 50); do xdotool search --onlyvisible --name "^OrvelAV" >/dev/null 2>&1 && break; sleep 0.2; done
  sleep 1
  (cd /tmp && wine "$release/update.exe") >/dev/null 2>&1 &
  pid=$!
  box=""
  for i in $(seq 1 100); do
    box=$(xdotool search --onlyvisible --name "^Orvel用" 2>/dev/null | head -n 1)
    [ -n "$box" ] && break
    sleep 0.3
  done
  sleep 0.5
  import -window root "$shots/message-box.png"
  # The box sits over the dialog it belongs to: move it below the dialog to
  # show the final state of the dialog whole.
  dialog=$(xdotool search --onlyvisible --name "^ｱｯﾌﾟﾃﾞｰﾄﾌｧｲﾙ" 2>/dev/null | head -n 1)
  if [ -n "$dialog" ]; then
    eval "$(xdotool getwindowgeometry --shell "$dialog")"
    [ -n "$box" ] && xdotool windowmove "$box" "$X" $((Y + HEIGHT + 40)) && sleep 0.5
    import -window "$dialog" "$shots/progress-dialog.png"
  fi
  wine "$tools/update_probe.exe" box 2>/dev/null | tr -d "\r"
  wine "$tools/update_probe.exe" ok >/dev/null 2>&1
  wait $pid || true
  wine reg delete "$x11" /v Decorated /f >/dev/null 2>&1
  # The shortcut goes again: the tests share this prefix, and an updater there
  # must not find this installation.
  rm -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvel/OrvelAVランチャー.lnk"
  wineserver -k || true
' run "$release" "$stage" "$install" "$shots" "$build/tests" "$build/cabtool.exe" \
  "$host_cabtool" "$signing_key" "$public_key"
if cmp -s "$stage/LAUNCH.INI" "$install/LAUNCH.INI"; then
  echo "The installed launcher now has the new catalogue."
else
  echo "run-update: the installed catalogue was not replaced" >&2
fi
echo "Screenshot of the progress dialog: $shots/progress-dialog.png"
echo "Screenshot of the final message box: $shots/message-box.png"
