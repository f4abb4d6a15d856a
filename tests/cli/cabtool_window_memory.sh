#!/bin/bash
# --max-window-memory: a Quantum window that does not fit is paged through a
# temporary file and the files still come back; one whose page buffers do not
# fit either fails for want of memory.
. "$(dirname "$0")/cabtool_common.inc"

cd "$WORK" || exit 1
make_corpus src
seq 1 90000 | sed 's/^/line /' >src/lines.txt
FILES="src/lines.txt src/noise.bin src/docs/numbers.txt"

for bits in 16 21; do
  # shellcheck disable=SC2086
  expect_status 0 "create quantum:$bits" "$CABTOOL" create -m "quantum:$bits" -o "q$bits.cab" $FILES
  expect_status 0 "extract quantum:$bits paged" "$CABTOOL" extract --max-window-memory 40000 -d "x$bits" "q$bits.cab"
  for f in $FILES; do
    cmp -s "$f" "x$bits/$f" || fail "quantum:$bits: $f differs after paged extraction"
  done
  expect_status 1 "test quantum:$bits without room for pages" "$CABTOOL" test --verbose --max-window-memory 8000 "q$bits.cab"
  grep -q 'OutOfMemory' "$WORK/last.err" || fail "quantum:$bits: a window with no room is not OutOfMemory"
done
expect_status 2 "a size that is not a number" "$CABTOOL" test --max-window-memory 40k q16.cab
expect_status 2 "a size left out" "$CABTOOL" test q16.cab --max-window-memory
finish
