#!/usr/bin/env bash
# Inside the guest (scripts/vm32/boot): runs the 32-bit build's programs under
# 32-bit Wine in one prefix and one session. Everything it runs is copied to
# the guest's tmpfs first: a program started from the 9p mount can come in
# with pages of zeros. Results go to $SHARE/results: one gtest XML per test
# program and, in checks.txt, "PASS NAME" or "FAIL NAME: WHY" per other check.
#
# The environment gives SOURCE_DIR, BUILD_DIR (the win32 build), HOST_CABTOOL,
# SHARE, PREFIX_TAR (a kept prefix, or a missing file) and VM32_TESTS (the
# test programs to run, by name).
set -u
: "${SOURCE_DIR:?}" "${BUILD_DIR:?}" "${SHARE:?}" "${PREFIX_TAR:?}" "${VM32_TESTS?}" "${HOST_CABTOOL:?}"

say() { echo "vm32: $*"; }
results="$SHARE/results"
mkdir -p "$results"

work=/tmp/vm32
build="$work/build"
mkdir -p "$build" "$HOME"
export WINEPREFIX="$work/wineprefix" WINEARCH=win32 WINEDEBUG=-all
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

# The build's programs, at the same places below the copy.
(cd "$BUILD_DIR" && find . -name '*.exe' -print0 | tar --null -cf - -T -) | tar -xf - -C "$build" ||
  { echo "FAIL copying the win32 build" >>"$results/checks.txt"; exit 1; }

t0=$(date +%s)
if [ -f "$PREFIX_TAR" ]; then
  tar -xf "$PREFIX_TAR" -C "$work" && say "prefix unpacked from $PREFIX_TAR"
else
  say "creating the 32-bit prefix (some minutes)"
  bash "$SOURCE_DIR/scripts/wine-harness" --arch=win32 --prefix="$WINEPREFIX" prefix >/dev/null ||
    { echo "FAIL creating the 32-bit prefix" >>"$results/checks.txt"; exit 1; }
  tar -cf "$SHARE/prefix.tar.part" -C "$work" wineprefix && mv "$SHARE/prefix.tar.part" "$SHARE/prefix.tar"
fi
echo "prefix $(( $(date +%s) - t0 ))" >>"$results/times.txt"

exec bash "$SOURCE_DIR/scripts/wine-harness" --arch=win32 --prefix="$WINEPREFIX" session \
  bash "$SOURCE_DIR/scripts/vm32/checks.sh" "$build"
