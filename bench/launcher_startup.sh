#!/usr/bin/env bash
# The launcher's start-up benchmark under Wine: the time from process start to
# a visible frame with an empty catalogue, and with 81 items that all name
# Start-menu shortcuts (App00.lnk ... App80.lnk) in an all-users Start menu of
# about 2,000 files in 400 folders. Both are measured in the same run, rounds
# alternating; the goal is at most 300 ms more for the full catalogue.
#
#   bash bench/launcher_startup.sh [ROUNDS]      (default 7)
#
# BUILD_DIR may name another win32 build folder than build/win32 (build/win64
# where the machine cannot run 32-bit programs).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
rounds="${1:-7}"

source scripts/build-win32.sh launch make_link startup_timer

prefix="$build/wineprefix"
harness() { scripts/wine-harness --prefix="$prefix" "$@"; }
harness prefix >/dev/null
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

work="$build/bench-startup"
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/OrvelBench"
trap 'rm -rf "$menu"' EXIT
rm -rf "$work" "$menu"
mkdir -p "$work/empty" "$work/full"
cp "$build/launch/launch.exe" "$work/empty/launch.exe"
cp "$build/launch/launch.exe" "$work/full/launch.exe"

# One real shortcut, copied under every name: its target path is absolute.
harness run "$build/tests/make_link.exe" "$(winpath "$work/template.lnk")" 'C:\windows\notepad.exe' >/dev/null 2>&1 ||
  { echo "launcher_startup: could not make the shortcut" >&2; exit 1; }

# 20 vendors of 20 suites (420 folders), 5 files in each suite (2,000 files);
# the shortcuts lie two levels down, in the vendor folders, spread over all
# twenty so that a search from the root meets most of the tree first.
for v in $(seq -w 0 19); do
  for s in $(seq -w 0 19); do
    d="$menu/Vendor$v/Suite$s"
    mkdir -p "$d"
    for f in 0 1 2 3 4; do : > "$d/Tool$s$f.lnk"; done
  done
done
for n in $(seq -w 0 80); do
  cp "$work/template.lnk" "$menu/Vendor$(printf %02d $((10#$n % 20)))/App$n.lnk"
done

# Nine groups of nine shortcut items.
{
  printf '[LAUNCH]\n'
  for g in $(seq 1 9); do printf 'Item%d=Group%d\n' "$g" "$g"; done
  for g in $(seq 1 9); do
    printf '[Group%d]\n' "$g"
    for i in $(seq 1 9); do printf 'Item%d=App%02d\n' "$i" $(((g - 1) * 9 + i - 1)); done
  done
  for n in $(seq -w 0 80); do printf '[App%s]\nFile=App%s.lnk\nCaption=App %s\n' "$n" "$n" "$n"; done
} | sed 's/$/\r/' > "$work/full/LAUNCH.INI"

timer="$build/bench/startup/startup_timer.exe"
empty=$(winpath "$work/empty/launch.exe")
full=$(winpath "$work/full/launch.exe")
out=$(harness session bash -c '
  wine "$1" 1 "$2" >/dev/null 2>&1   # warms the prefix up
  wine "$1" "$4" "$2" "$3" 2>&1
' run "$timer" "$empty" "$full" "$rounds" | tr -d '\r')
median() { echo "$out" | grep "^median_ms=.*\\\\$1\\\\launch.exe\$" | sed 's/^median_ms=\([0-9]*\).*/\1/'; }
empty_ms=$(median empty)
full_ms=$(median full)
if [ -z "$empty_ms" ] || [ -z "$full_ms" ]; then
  echo "launcher_startup: the timer failed:" >&2
  echo "$out" >&2
  exit 1
fi
echo "Launcher start-up to a visible frame under Wine (median of $rounds):"
echo "  empty catalogue:                                $empty_ms ms"
echo "  81 shortcut items, Start menu of 2,000 files:   $full_ms ms"
echo "  difference: $((full_ms - empty_ms)) ms (goal: at most 300 ms)"
