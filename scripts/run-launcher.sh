#!/usr/bin/env bash
# The main job: installs what is needed, builds the Windows programs and starts
# the launcher under Wine. Without a display it runs on a private Xvfb, saves a
# screenshot of the screen and prints the PNG's path.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/bootstrap.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target launch >/dev/null

build="$root/build/win32"
prefix="$build/wineprefix"
app_dir="$build/launcher"
mkdir -p "$app_dir"
cp "$build/launch/launch.exe" "$app_dir/launch.exe"

if [ -n "${DISPLAY:-}" ]; then
  echo "Starting the launcher on $DISPLAY"
  exec scripts/wine-harness --prefix="$prefix" run "$app_dir/launch.exe" "$@"
fi

shot="$build/launcher-screenshot.png"
scripts/wine-harness --prefix="$prefix" session bash -c '
  wine "$1" "${@:3}" &
  pid=$!
  for i in $(seq 1 100); do
    xdotool search --class OrvelLauncherBaseWin >/dev/null 2>&1 && break
    sleep 0.2
  done
  sleep 1
  import -window root "$2"
  kill $pid 2>/dev/null || true
  wineserver -k
' run "$app_dir/launch.exe" "$shot" "$@"
echo "Screenshot of the launcher: $shot"
