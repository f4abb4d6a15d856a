#!/bin/bash
# Choosing files: -F on list, test and extract; extract -p to standard output;
# test --hash against sha256sum; list --json; and --stats showing that a
# selection decodes each folder once and stops after its last selected byte.
. "$(dirname "$0")/cabtool_common.inc"

cd "$WORK" || exit 1
make_corpus src
seq 1 120000 >src/big.txt
printf 'the small file at the end\n' >src/tail.txt
ctl=$'src/ctl\x1b[1m\n.txt'
printf 'control' >"$ctl"
FILES=(src/docs/numbers.txt src/noise.bin src/docs/empty.txt src/docs/deep/one.txt src/locked.txt src/big.txt
  "$ctl" src/tail.txt)
expect_status 0 "create" "$CABTOOL" create -m mszip -o all.cab "${FILES[@]}"

# -F: any pattern selects; '*' stays in one folder part unless the pattern has no separator.
"$CABTOOL" list -F '*.BIN' -F 'src/docs/*.txt' all.cab >list.out
[ "$(grep -c '  src\\' list.out)" = 3 ] && grep -q 'noise.bin' list.out && grep -q 'empty.txt' list.out ||
  fail "list -F did not show exactly noise.bin and the two text files directly in docs"
grep -q '^3 file(s)$' list.out || fail "list -F counts what it did not show"
expect_status 0 "test -F" "$CABTOOL" test -F 'src\docs\*' all.cab
[ "$(grep -c '^ok' "$WORK/last.out")" = 2 ] && grep -q '^2 file(s) good' "$WORK/last.out" ||
  fail "test -F src\\docs\\* did not test exactly the two files directly in docs"
# A code page 932 name (表示.txt, whose 表 ends in 0x5C) meets UTF-8 patterns as UTF-8 text.
jp=$(printf '\x95\x5c\x8e\xa6.txt')
echo hi >"$jp" && "$CABTOOL" create -o jp.cab "$jp" >/dev/null 2>&1 || fail "create jp.cab"
"$CABTOOL" list -F '表*.TXT' jp.cab | grep -q '^1 file(s)' || fail "a UTF-8 pattern did not find a code page 932 name"
"$CABTOOL" list --json jp.cab | grep -qF '"name": "表示.txt"' || fail "list --json did not give the name as UTF-8"
expect_status 0 "extract -F" "$CABTOOL" extract -d picked -F one.txt -F '?ocked.*' all.cab
[ "$(find picked -type f | wc -l)" = 2 ] && cmp -s src/locked.txt picked/src/locked.txt ||
  fail "extract -F wrote other files than one.txt and locked.txt"

# -p: the bytes alone, in list order, and no file made.
mkdir piped && cd piped || exit 1
expect_status 0 "extract -p" "$CABTOOL" extract -p ../all.cab
cd .. || exit 1
(for f in "${FILES[@]}"; do cat "$f"; done) | cmp -s - last.out || fail "extract -p is not the files one after another"
[ -z "$(ls piped)" ] || fail "extract -p made files"
expect_status 2 "-p with -d" "$CABTOOL" extract -p -d x all.cab

# --hash: the digest of each file as sha256sum gives it.
expect_status 0 "test --hash" "$CABTOOL" test --hash all.cab
for f in src/noise.bin src/docs/empty.txt src/big.txt; do
  want="ok  $(sha256sum "$f" | cut -d' ' -f1)  ${f//\//\\}"
  grep -qxF "$want" "$WORK/last.out" || fail "test --hash: no line \"$want\""
done

# The window of each method, a filter that selects nothing, and what is not a
# cabinet (an error, and no half listing on standard output). The JSON is checked below.
for m in lzx:17 quantum:12 none; do
  "$CABTOOL" create -m "$m" -o "m-${m%%:*}.cab" src/tail.txt >/dev/null 2>&1 || fail "create -m $m"
  "$CABTOOL" list --json -F 'nothing*' "m-${m%%:*}.cab" >"m-${m%%:*}.json" || fail "list --json -m $m"
done
expect_status 1 "list --json of a non-cabinet" "$CABTOOL" list --json src/tail.txt
[ -s "$WORK/last.out" ] && fail "list --json printed something for a non-cabinet"
expect_status 2 "-F without a pattern" "$CABTOOL" test all.cab -F

# --json: valid JSON with every stored field; a control character in a name is escaped.
chmod u+w src/locked.txt
"$CABTOOL" list --json all.cab >list.json || fail "list --json failed"
grep -q $'\x1b' list.json && fail "list --json lets an escape character through"
# Checks the listing, then prints for two files the 32768-byte blocks up to their last byte.
blocks=$(python3 - list.json <<'PY') || fail "list --json is not JSON, or lacks a field or has a wrong one"
import json, sys
doc = json.load(open(sys.argv[1]))["cabinets"][0]
h, folders, files = doc["header"], doc["folders"], doc["files"]
assert h["index"] == 0 and h["next_cabinet"] is None and h["reserve"] == {"cabinet": 0, "folder": 0, "data_block": 0}
assert folders[0]["method"] == "MSZIP" and folders[0]["method_number"] == 1 and folders[0]["window_bits"] == 15
assert folders[0]["first_block_offset"] > 36 and folders[0]["data_blocks"] > 10
byname = {f["name"]: f for f in files}
assert "src\\ctl\x1b[1m\n.txt" in byname
noise, locked = byname["src\\noise.bin"], byname["src\\locked.txt"]
assert noise["datetime"] == "2001-02-03T04:05:06" and noise["size"] == 250000
assert (noise["date_raw"], noise["time_raw"]) == ((21 << 9) | (2 << 5) | 3, (4 << 11) | (5 << 5) | 3)
assert "readonly" in locked["attribute_names"] and locked["attributes"] & 1
assert files[1]["offset"] == files[0]["size"] and files[1]["folder"] == 0
for name, method, bits in (("lzx", "LZX", 17), ("quantum", "Quantum", 12), ("none", "none", None)):
    doc = json.load(open("m-%s.json" % name))["cabinets"][0]
    assert (doc["folders"][0]["method"], doc["folders"][0]["window_bits"], doc["files"]) == (method, bits, []), doc
print(*(-(-(byname[n]["offset"] + byname[n]["size"]) // 32768) for n in ("src\\tail.txt", "src\\docs\\deep\\one.txt")))
PY

# Decoding: one small file from the end of a large folder takes the folder's
# blocks up to that file once; one from its middle stops after it.
read -r tail_blocks one_blocks <<<"$blocks"
for pick in "src\tail.txt ${tail_blocks:-?}" "src\docs\deep\one.txt ${one_blocks:-?}"; do
  name=${pick% *}
  want="decoded ${pick##* } data block(s)"
  "$CABTOOL" extract -p --stats -F "$name" all.cab >/dev/null 2>stats.err
  grep -q "$want .* in 1 folder pass(es)" stats.err || fail "$name: wanted \"$want\" in one pass, got: $(cat stats.err)"
done

# A file list out of folder order across two folders: a subset still decodes
# each folder once, stops after its last selected byte, and comes out of -p in
# list order.
expect_status 0 "create two folders" "$CABTOOL" create -m mszip --folder-every 4 -o two.cab "${FILES[@]}"
python3 - two.cab <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
first, = struct.unpack_from("<I", data, 16)
count, = struct.unpack_from("<H", data, 28)
entries, at = [], first
for _ in range(count):
    end = data.index(0, at + 16) + 1
    entries.append(bytes(data[at:end]))
    at = end
data[first:at] = b"".join(reversed(entries))
open(sys.argv[1], "wb").write(data)
PY
"$CABTOOL" extract -p --stats -F 'src/docs/*' -F big.txt -F locked.txt two.cab >subset.out 2>stats.err ||
  fail "extract -p of a subset failed: $(cat stats.err)"
cat src/big.txt src/locked.txt src/docs/empty.txt src/docs/numbers.txt | cmp -s - subset.out ||
  fail "the subset did not come out in list order"
# Folder 0 up to numbers.txt's end (empty.txt needs no data), folder 1 up to big.txt's end.
want=$(( ($(stat -c %s src/docs/numbers.txt) + 32767) / 32768 + ($(stat -c %s src/locked.txt) + \
  $(stat -c %s src/big.txt) + 32767) / 32768 ))
grep -q "decoded $want data block(s) .* in 2 folder pass(es)" stats.err ||
  fail "the subset did not decode each folder once up to its last byte (wanted $want blocks): $(cat stats.err)"

# Across a set with reserve areas: the digest and the piped bytes of a file
# that runs on into the next cabinet, and the set links in the JSON header.
expect_status 0 "create a set" "$CABTOOL" create -m mszip --max-cabinet 90000 --reserve 6,4,2 -o set/S.cab src/noise.bin \
  src/docs/numbers.txt src/tail.txt
expect_status 0 "test --hash a set" "$CABTOOL" test --hash set/S.cab
grep -qxF "ok  $(sha256sum src/noise.bin | cut -d' ' -f1)  src\\noise.bin" "$WORK/last.out" ||
  fail "test --hash is wrong for a file that spans cabinets"
"$CABTOOL" extract -p set/S.cab | cmp -s - <(cat src/noise.bin src/docs/numbers.txt src/tail.txt) ||
  fail "extract -p of a set is not byte-exact"
"$CABTOOL" list --json set/S2.cab | python3 -c '
import json, sys
doc = json.load(sys.stdin)["cabinets"][0]
h, f = doc["header"], doc["files"][0]
assert h["index"] == 1 and h["previous_cabinet"] == "S.cab" and h["next_cabinet"] == "S3.cab", h
assert h["reserve"] == {"cabinet": 6, "folder": 4, "data_block": 2} and h["flags"] == 7, h
assert f["name"] == "src\\noise.bin" and f["folder"] in (0xFFFD, 0xFFFF), f
data = open("set/S2.cab", "rb").read()
for folder in doc["folders"]:  # a data block header: checksum, sizes, then the reserve
    at = folder["first_block_offset"]
    assert 36 < at and at + 8 + 2 + int.from_bytes(data[at + 4:at + 6], "little") <= len(data), folder
' || fail "list --json of a later cabinet of a set"

# Cabinets inside another file: -p gives the bytes of both and names the
# cabinets on standard error; the JSON lists both at their offsets.
{ head -c 1000 /dev/zero; cat m-none.cab m-lzx.cab; } >installer.bin
"$CABTOOL" extract -p installer.bin >inst.out 2>inst.err || fail "extract -p of an installer-like file"
cat src/tail.txt src/tail.txt | cmp -s - inst.out || fail "extract -p of an installer-like file is not the bytes alone"
grep -q 'cabinet installer.bin at offset 1000' inst.err || fail "extract -p does not name the cabinets found on stderr"
"$CABTOOL" list --json installer.bin | python3 -c "
import json, sys
doc = json.load(sys.stdin)
assert [c['offset'] for c in doc['cabinets']] == [1000, 1000 + $(stat -c %s m-none.cab)], doc
assert doc['cabinets'][1]['folders'][0]['method'] == 'LZX', doc
" || fail "list --json of an installer-like file"

# A damaged data block: the file is not reported good, nor hashed, nor passed
# as complete; a file of another folder still is.
expect_status 0 "create stored" "$CABTOOL" create -m none --folder-every 2 -o bad.cab src/tail.txt src/big.txt src/locked.txt
python3 - bad.cab <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[len(data) // 2] ^= 0xFF
open(sys.argv[1], "wb").write(data)
PY
expect_status 1 "test --hash a damaged cabinet" "$CABTOOL" test --hash bad.cab
grep -q 'big.txt' "$WORK/last.out" && fail "test --hash reports the damaged file good"
grep -q "ok  $(sha256sum src/locked.txt | cut -d' ' -f1)  src.locked.txt" "$WORK/last.out" ||
  fail "test --hash lost the file after the damaged one"
expect_status 1 "extract -p a damaged cabinet" "$CABTOOL" extract -p -F big.txt bad.cab
grep -q 'big.txt: the cabinet is damaged' "$WORK/last.err" || fail "extract -p did not name the damaged file"

finish
