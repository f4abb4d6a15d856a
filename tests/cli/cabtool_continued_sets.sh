#!/bin/bash
# Sets whose folder runs on into the later cabinets with files beginning inside
# it there: walked from s1.cab every file comes out byte-exact, also with
# --salvage; a later cabinet alone refuses the files of the continued folder,
# names why, and still gives the others, also with --salvage.
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
    # Salvage follows the folder too, also past a file that ends exactly at an edge (s3's E.bin).
    expect_status 0 "$set: extract --salvage from s1" "$CABTOOL" extract --salvage -d "$set/salvaged" "$set/s1.cab"
    for f in "$set"/files/*; do
      cmp -s "$f" "$set/salvaged/$(basename "$f")" || fail "$set: $(basename "$f") differs after salvaging the set"
    done

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
    # Every later cabinet alone, by the engine and by salvage: the first file
    # that begins in its part of the folder fails, named, and is not written.
    for k in $(seq 2 "$count"); do
      first=$([ "$k" -eq 2 ] && echo C.bin || echo E.bin)
      expect_status 1 "$set: test on s$k alone" "$CABTOOL" test "$set/s$k.cab"
      grep -q "$first: its data begins in an earlier cabinet of the set" "$WORK/last.err" || fail "$set: $first not refused on s$k alone"
      expect_status 1 "$set: extract --salvage on s$k alone" "$CABTOOL" extract --salvage -d "$set/salvaged$k" "$set/s$k.cab"
      grep -q "$first: refused, its data begins in an earlier cabinet of the set" "$WORK/last.err" ||
        fail "$set: salvage on s$k alone does not refuse $first"
      [ -e "$set/salvaged$k/$first" ] && fail "$set: salvage wrote $first without the first cabinet"
    done
  done
done
finish
