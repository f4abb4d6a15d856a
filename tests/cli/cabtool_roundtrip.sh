#!/bin/bash
# create, list, test and extract agree, for each method and with reserves and
# without checksums; extracted files keep their bytes, dates and read-only bit.
. "$(dirname "$0")/cabtool_common.inc"

cd "$WORK" || exit 1
make_corpus src
FILES="src/noise.bin src/docs/numbers.txt src/docs/empty.txt src/docs/deep/one.txt src/locked.txt"

run_case() {
  local label="$1"
  shift
  local out="$WORK/$label"
  mkdir -p "$out"
  # shellcheck disable=SC2086
  expect_status 0 "$label: create" "$CABTOOL" create "$@" -o "$out/set.cab" $FILES
  expect_status 0 "$label: list" "$CABTOOL" list "$out/set.cab"
  for name in 'src\noise.bin' 'src\docs\empty.txt' 'src\docs\deep\one.txt'; do
    grep -qF "$name" "$WORK/last.out" || fail "$label: list does not show $name"
  done
  grep -q '^folder 0: ' "$WORK/last.out" || fail "$label: list shows no folder"
  grep -E '^ +250000  2001-02-03 04:05:06  ' "$WORK/last.out" >/dev/null ||
    fail "$label: list does not show noise.bin's size, date and time"
  grep -E '  r-{2}a-{2}  src\\locked.txt' "$WORK/last.out" >/dev/null ||
    fail "$label: list does not show locked.txt as read-only"
  expect_status 0 "$label: test" "$CABTOOL" test "$out/set.cab"
  grep -q '^5 file(s) good, 0 failure(s)' "$WORK/last.out" || fail "$label: test did not decode all five files"
  expect_status 0 "$label: extract" "$CABTOOL" extract -d "$out/x" "$out/set.cab"
  for f in $FILES; do
    cmp -s "$f" "$out/x/$f" || fail "$label: $f differs after extraction"
  done
  [ "$(stat -c %Y "$out/x/src/noise.bin")" = "$(stat -c %Y src/noise.bin)" ] ||
    fail "$label: noise.bin lost its modification time"
  [ -w "$out/x/src/locked.txt" ] && [ "$(id -u)" != 0 ] && fail "$label: locked.txt is writable"
  [ "$(stat -c %a "$out/x/src/locked.txt" | cut -c1)" = 4 ] || fail "$label: locked.txt lost its read-only bit"
  # Extracting again over read-only files replaces them.
  expect_status 0 "$label: extract again" "$CABTOOL" extract -d "$out/x" "$out/set.cab"
}

run_case mszip -m mszip
run_case stored -m none
run_case quantum -m quantum:15
run_case reserves --reserve 100,7,9 --no-checksum
run_case folders --folder-every 2
run_case lzx15 -m lzx:15
run_case lzx-untranslated -m LZX --no-call-translation

# Several folders show up as several lines.
"$CABTOOL" list "$WORK/folders/set.cab" >"$WORK/folders.txt"
[ "$(grep -c '^folder ' "$WORK/folders.txt")" = 3 ] || fail "--folder-every 2 over five files did not make three folders"
"$CABTOOL" list "$WORK/stored/set.cab" | grep -q '^folder 0: none' || fail "-m none is not listed as none"
"$CABTOOL" list "$WORK/quantum/set.cab" | grep -q "^folder 0: Quantum (window 2^15)" || fail "-m quantum:15 is not listed with its window"
"$CABTOOL" list "$WORK/lzx15/set.cab" | grep -q '^folder 0: LZX (window 2^15)' || fail "-m lzx:15 is not listed as LZX 2^15"
expect_status 2 "create with an LZX window out of range" "$CABTOOL" create -m lzx:22 -o "$WORK/x.cab" src/noise.bin

finish
