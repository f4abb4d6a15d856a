#!/bin/bash
# Stored names that would leave the output folder are reported and skipped;
# nothing is written outside -d DIR, and the harmless files still come out.
. "$(dirname "$0")/cabtool_common.inc"

cd "$WORK" || exit 1
mkdir -p in/zz/zz in/CC in/zq
echo climb >in/zz/zz/evil1.txt
echo drive >in/CC/evil2.txt
echo root >in/zq/evil3.txt
echo fine >in/fine.txt
(cd in && "$CABTOOL" create -m none -o ../names.cab zz/zz/evil1.txt CC/evil2.txt zq/evil3.txt fine.txt >/dev/null) ||
  fail "create"

python3 "$SOURCE_DIR/tests/support/plant_hostile_names.py" names.cab

"$CABTOOL" list names.cab >listing.txt || fail "list of the patched cabinet"
grep -qF '..\..\evil1.txt' listing.txt || fail "the patch did not take"

mkdir -p sandbox/a/b
touch marker
sleep 1
expect_status 1 "extract with hostile names" "$CABTOOL" extract -d sandbox/a/b/out names.cab
for name in '..\..\evil1.txt' 'C:\evil2.txt' '\q\evil3.txt'; do
  grep -qF "$name: refused" "$WORK/last.err" || fail "$name was not reported as refused"
done
[ "$(cat sandbox/a/b/out/fine.txt 2>/dev/null)" = fine ] || fail "the harmless file was not extracted"
outside=$(find "$WORK" -newer marker -type f ! -path "$WORK/sandbox/a/b/out/*" ! -name 'last.*' -print)
[ -z "$outside" ] || fail "written outside the output folder: $outside"
[ -e /q/evil3.txt ] && fail "wrote to /q"

finish
