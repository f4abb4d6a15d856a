#!/bin/bash
# Sets whose folder runs on into the later cabinets with files beginning inside
# it there: walked from s1.cab every file comes out byte-exact; a later cabinet
# alone refuses the files of the continued folder, names why, and still gives
# the others.
. "$(dirname "$0")/cabtool_common.inc"

cd "$WORK" || exit 1
for method in stored mszip; do
  for count in 2 3; do
    set="$method$count"
    mkdir -p "$set"
    python3 "$SOURCE_DIR/tests/support/make_continued_set.py" "$set" "$method" "$count" || fail "$set: cannot make the set"
    (cd "$set/files" && sha256sum -- * | sed 's/^\([0-9a-f]*\) [ *]\(.*\)$/ok  \1  \2/' | sort) >"$set/want.txt"

    expect_status 0 "$set: test --hash from s1" "$CABTOOL" test --hash "$set/s1.cab"
    grep '^ok ' "$WORK/last.out" | sort | diff -q - "$set/want.txt" >/dev/null || fail "$set: digests differ from the files"
    expect_status 0 "$set: extract from s1" "$CABTOOL" extract -d "$set/out" "$set/s1.cab"
    for f in "$set"/files/*; do
      cmp -s "$f" "$set/out/$(basename "$f")" || fail "$set: $(basename "$f") differs after extracting the set"
    done
    expect_status 0 "$set: test --stats from s1" "$CABTOOL" test --stats "$set/s1.cab"
    grep -q ' in 2 folder pass(es)' "$WORK/last.err" || fail "$set: a folder was decoded more than once"
    "$CABTOOL" extract -p -F C.bin "$set/s1.cab" | cmp -s - "$set/files/C.bin" || fail "$set: C.bin piped from s1 differs"

    # The second cabinet alone: C.bin begins inside the continued folder.
    expect_status 1 "$set: test --hash on s2 alone" "$CABTOOL" test --hash "$set/s2.cab"
    grep -q 'C.bin: its data begins in an earlier cabinet of the set' "$WORK/last.err" || fail "$set: C.bin refusal not reported"
    grep -q '^ok .* C.bin$' "$WORK/last.out" && fail "$set: C.bin passed the test without the first cabinet"
    grep -q '^ok .* tail.txt$' "$WORK/last.out" || fail "$set: tail.txt did not come out of s2 alone"
    expect_status 1 "$set: extract on s2 alone" "$CABTOOL" extract -d "$set/late" "$set/s2.cab"
    [ -e "$set/late/C.bin" ] && fail "$set: C.bin was written without the first cabinet"
    cmp -s "$set/files/tail.txt" "$set/late/tail.txt" || fail "$set: tail.txt lost when s2 is alone"
    expect_status 1 "$set: extract -p -F C.bin on s2 alone" "$CABTOOL" extract -p -F C.bin "$set/s2.cab"
    [ -s "$WORK/last.out" ] && fail "$set: bytes piped for C.bin without the first cabinet"
  done
done
finish
