#!/bin/bash
# Stored names that would leave the output folder are reported and skipped;
# nothing is written outside -d DIR, not even through symbolic links already
# in it, and the harmless files still come out.
. "$(dirname "$0")/cabtool_common.inc"

cd "$WORK" || exit 1
mkdir -p in/zz/zz in/CC in/zq in/qq/zz/zz
echo climb >in/zz/zz/evil1.txt
echo drive >in/CC/evil2.txt
echo root >in/zq/evil3.txt
echo middle >in/qq/zz/zz/evil4.txt
echo fine >in/fine.txt
(cd in && "$CABTOOL" create -m none -o ../names.cab zz/zz/evil1.txt CC/evil2.txt zq/evil3.txt qq/zz/zz/evil4.txt \
  fine.txt >/dev/null) || fail "create"

python3 "$SOURCE_DIR/tests/support/plant_hostile_names.py" names.cab

"$CABTOOL" list names.cab >listing.txt || fail "list of the patched cabinet"
grep -qF '..\..\evil1.txt' listing.txt || fail "the patch did not take"

mkdir -p sandbox/a/b
touch marker
sleep 1
expect_status 1 "extract with hostile names" "$CABTOOL" extract -d sandbox/a/b/out names.cab
for name in '..\..\evil1.txt' 'C:\evil2.txt' '\q\evil3.txt' 'qq\..\..\evil4.txt'; do
  grep -qF "$name: refused" "$WORK/last.err" || fail "$name was not reported as refused"
done
[ "$(cat sandbox/a/b/out/fine.txt 2>/dev/null)" = fine ] || fail "the harmless file was not extracted"
outside=$(find "$WORK" -newer marker -type f ! -path "$WORK/sandbox/a/b/out/*" ! -name 'last.*' -print)
[ -z "$outside" ] || fail "written outside the output folder: $outside"
[ -e /q/evil3.txt ] && fail "wrote to /q"

# Links planted in the output folder: a link where a file goes is replaced by
# the file (its target untouched); a file below a linked folder is refused.
mkdir -p lin/sub outside lout
echo new-a >lin/a.txt
echo new-b >lin/sub/b.txt
echo new-c >lin/c.txt
(cd lin && "$CABTOOL" create -m none -o ../links.cab a.txt sub/b.txt c.txt >/dev/null) || fail "create links.cab"
echo victim >outside/victim.txt
ln -s ../outside/victim.txt lout/a.txt
ln -s ../outside lout/sub
expect_status 1 "extract over planted links" "$CABTOOL" extract -d lout links.cab
[ "$(cat outside/victim.txt)" = victim ] || fail "extract wrote through a link to a file"
[ -e outside/b.txt ] && fail "extract wrote through a linked folder"
grep -qF 'sub\b.txt: refused' "$WORK/last.err" || fail "the file below a linked folder was not reported as refused"
[ ! -L lout/a.txt ] && [ "$(cat lout/a.txt)" = new-a ] || fail "the link at a.txt was not replaced by the file"
[ "$(cat lout/c.txt 2>/dev/null)" = new-c ] || fail "the file after the refused one was not extracted"

finish
