#!/bin/bash
# create --continue-folders: sets of two and three cabinets, with every method,
# in which files also begin in the folder that runs on from the previous
# cabinet. Checked through list, cabinet by cabinet: every file begins in
# exactly one cabinet, in the order given; the files that go on are the next
# cabinet's continued ones; a later cabinet holds that one folder and begins
# files in it. Then the engine and salvage read them back: walked from the
# first cabinet every file comes out byte-exact, and the second cabinet alone
# refuses the files that begin in its continued folder.
. "$(dirname "$0")/cabtool_common.inc"

cd "$WORK" || exit 1
mkdir -p src
FILES=""
for i in 1 2 3 4; do
  seq "$i" 3 $((40000 + i * 9000)) >"src/text$i.txt"
  head -c $((9000 + i * 1000)) /dev/urandom >"src/noise$i.bin"
  FILES="$FILES src/text$i.txt src/noise$i.bin"
  for j in 1 2 3; do
    seq "$j" "$i" $((j * 3000)) >"src/small$i$j.txt"
    FILES="$FILES src/small$i$j.txt"
  done
done
: >src/empty.txt
FILES="$FILES src/empty.txt"
# shellcheck disable=SC2086
printf '%s\n' $FILES | tr / '\\' >names.txt

# The file entries of one cabinet as NAME<TAB>NOTE, the note empty for a file
# that begins there and goes no further.
entries() {
  "$CABTOOL" list "$1" |
    sed -n 's/^ *[0-9]\{1,\}  [0-9-]\{10\} [0-9:]\{8\}  [-a-z]\{6\}  \([^ ]*\)\(  (\(.*\))\)\{0,1\}$/\1\t\3/p'
}

# check_set DIR PARTS WHAT
check_set() {
  local dir="$1" parts="$2" what="$3" k going="" continued
  local cabs
  mapfile -t cabs < <(ls "$dir" | sort -V)
  [ "${#cabs[@]}" -eq "$parts" ] || { fail "$what: ${#cabs[@]} cabinets, wanted $parts"; return; }
  : >begun.txt
  for k in "${!cabs[@]}"; do
    entries "$dir/${cabs[k]}" >entries.txt
    awk -F'\t' -v k="$k" '$2 !~ /^from the previous/ { print k "\t" $1 }' entries.txt >>begun.txt
    continued=$(awk -F'\t' '$2 ~ /^from the previous/ { print $1 }' entries.txt)
    [ "$continued" = "$going" ] ||
      fail "$what: ${cabs[k]} continues [$continued], the cabinet before sent on [$going]"
    going=$(awk -F'\t' '$2 ~ /goes on/ { print $1 }' entries.txt)
    if [ "$k" -gt 0 ]; then
      "$CABTOOL" list "$dir/${cabs[k]}" | grep -q '^folder 1:' && fail "$what: ${cabs[k]} begins a folder of its own"
      grep -qP '\t$' entries.txt || fail "$what: no file begins in the folder continued into ${cabs[k]}"
    fi
  done
  [ -z "$going" ] || fail "$what: the last cabinet sends files on: $going"
  cut -f2 begun.txt | diff -q - names.txt >/dev/null || fail "$what: the files begun are not every file once, in order"
  cut -f1 begun.txt | sort -n -c 2>/dev/null || fail "$what: a file begins in a cabinet before one listed ahead of it"
  for f in "$dir"/*; do
    [ "$(stat -c %s "$f")" -le "$limit" ] || fail "$what: $f is over the limit"
  done
}

for method in none mszip lzx quantum; do
  # shellcheck disable=SC2086
  "$CABTOOL" create -q -m "$method" -o "whole-$method.cab" $FILES || fail "create whole-$method.cab"
  whole=$(stat -c %s "whole-$method.cab")
  for parts in 2 3; do
    limit=$((whole / parts + 1500))
    # shellcheck disable=SC2086
    expect_status 0 "create $method in $parts" "$CABTOOL" create -q -m "$method" --max-cabinet "$limit" \
      --continue-folders -o "set-$method-$parts/R.cab" $FILES
    check_set "set-$method-$parts" "$parts" "$method in $parts"
    dir="set-$method-$parts"
    expect_status 0 "$method in $parts: test from R.cab" "$CABTOOL" test "$dir/R.cab"
    expect_status 0 "$method in $parts: extract from R.cab" "$CABTOOL" extract -d "$dir/out" "$dir/R.cab"
    # Salvage carries the decoder on from cabinet to cabinet as well.
    expect_status 0 "$method in $parts: extract --salvage from R.cab" "$CABTOOL" extract --salvage -d "$dir/salvaged" "$dir/R.cab"
    for f in $FILES; do
      cmp -s "$f" "$dir/out/$f" || fail "$method in $parts: $f differs after extracting the set"
      cmp -s "$f" "$dir/salvaged/$f" || fail "$method in $parts: $f differs after salvaging the set"
    done
    expect_status 1 "$method in $parts: test R2.cab alone" "$CABTOOL" test "$dir/R2.cab"
  done
done

# Without the option a later cabinet starts a folder of its own for its files.
limit=$(($(stat -c %s whole-mszip.cab) / 3 + 1500))
# shellcheck disable=SC2086
"$CABTOOL" create -q -m mszip --max-cabinet "$limit" -o plain/R.cab $FILES || fail "create plain/R.cab"
"$CABTOOL" list plain/R2.cab | grep -q '^folder 1:' || fail "without --continue-folders R2.cab has one folder"

expect_status 2 "--continue-folders without a limit" "$CABTOOL" create --continue-folders -o x.cab src/empty.txt
grep -q -- '--continue-folders needs --max-cabinet' "$WORK/last.err" || fail "the missing limit is not named"

finish
