#!/usr/bin/env bash
# The checks run in the guest, inside one Wine session (scripts/vm32/guest.sh
# starts it): the test programs named in VM32_TESTS, cabtool round trips over
# every method, and the launcher's and the updater's end-to-end scripts.
# VM32_FILTER (a regular expression) keeps only the checks whose names match.
#
#   checks.sh BUILD       BUILD: the copy of the win32 build in the guest
set -u
build=$1
results="$SHARE/results"
checks="$results/checks.txt"
times="$results/times.txt"

say() { echo "vm32: $*"; }
pass() { echo "PASS $1" >>"$checks"; say "PASS $1"; }
fail() { echo "FAIL $1: $2" >>"$checks"; say "FAIL $1: $2"; }
wanted() { [ -z "${VM32_FILTER:-}" ] || [[ $1 =~ $VM32_FILTER ]]; }

# timed NAME COMMAND...: runs it and notes its time.
timed() {
  local name=$1 start rc; shift
  start=$(date +%s)
  "$@"; rc=$?
  echo "$name $(( $(date +%s) - start ))" >>"$times"
  return $rc
}

winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# The first start of a Wine program in the guest loads most of Wine through
# 9p: it is timed on its own.
timed first-start wine cmd /c exit </dev/null >/dev/null 2>&1

if wanted cabtool.version; then
  out=$(timed cabtool.version wine "$build/cabtool.exe" --version 2>&1 | tr -d '\r')
  if [ -n "$out" ]; then pass cabtool.version; say "cabtool.exe --version: $out"; else fail cabtool.version "no output"; fi
fi

# --- the test programs ------------------------------------------------------

for t in $VM32_TESTS; do
  wanted "$t" || continue
  exe="$build/tests/$t.exe"
  if [ ! -f "$exe" ]; then fail "$t" "not built"; continue; fi
  rm -f "/tmp/vm32/$t.xml"
  say "running $t"
  timed "$t" timeout 1500 wine "$exe" --gtest_output="xml:$(winpath "/tmp/vm32/$t.xml")" \
    </dev/null >"$results/$t.log" 2>&1
  rc=$?
  if [ -f "/tmp/vm32/$t.xml" ]; then
    cp "/tmp/vm32/$t.xml" "$results/$t.xml"
    say "$t: exit $rc, $(grep -o 'tests="[0-9]*" failures="[0-9]*"' "/tmp/vm32/$t.xml" | head -n 1)"
  else
    fail "$t" "exit $rc without results (log: $results/$t.log)"
  fi
done

# --- cabtool round trips: create, test --hash, extract, compare --------------

roundtrip() {
  local method=$1 name="cabtool.roundtrip.${1%%:*}" dir="/tmp/vm32/roundtrip/${1%%:*}"
  wanted "$name" || return 0
  rm -rf "$dir"; mkdir -p "$dir"; cp -a /tmp/vm32/roundtrip-src "$dir/src"
  cd "$dir" || return
  local files=(src/noise.bin src/docs/numbers.txt src/docs/empty.txt src/program.bin src/表示.txt)
  local why=""
  if ! wine "$build/cabtool.exe" create -m "$method" --max-cabinet 400000 -o set/R.cab "${files[@]}" >create.out 2>&1; then
    why="create failed: $(tr -d '\r' <create.out | head -n 3)"
  elif ! wine "$build/cabtool.exe" test --hash set/R.cab >hash.out 2>&1; then
    why="test --hash failed: $(tr -d '\r' <hash.out | tail -n 3)"
  else
    local f
    # Names come out in the ANSI code page (932).
    tr -d '\r' <hash.out | iconv -f CP932 -t UTF-8 >hash.txt
    for f in "${files[@]}"; do
      grep -qF "ok  $(sha256sum "$f" | cut -d' ' -f1)  ${f//\//\\}" hash.txt ||
        why="${why}test --hash: wrong or no digest for $f; "
    done
    if ! wine "$build/cabtool.exe" extract -d out set/R.cab >extract.out 2>&1; then
      why="${why}extract failed: $(tr -d '\r' <extract.out | tail -n 3)"
    else
      for f in "${files[@]}"; do
        cmp -s "$f" "out/$f" || why="${why}$f came back different; "
      done
    fi
  fi
  cd /tmp/vm32 || return
  if [ -z "$why" ]; then pass "$name"; else fail "$name" "$why"; fi
}

mkdir -p /tmp/vm32/roundtrip-src/docs
(
  cd /tmp/vm32/roundtrip-src || exit 1
  head -c 300000 /dev/urandom >noise.bin
  seq 1 60000 >docs/numbers.txt
  : >docs/empty.txt
  # Code with x86 CALLs: the LZX writer rewrites their targets.
  head -c 600000 "$build/cabtool.exe" >program.bin
  echo 表示 >表示.txt
)
for method in none mszip quantum:21 lzx:21; do
  timed "cabtool.roundtrip.${method%%:*}" roundtrip "$method"
done

# --- the launcher and the updater, end to end -------------------------------

# The e2e scripts as ctest runs them, in this session and with this prefix;
# Wine is slow here, so they wait longer.
e2e() {
  local name=$1 script="$SOURCE_DIR/tests/e2e/$1.sh"
  wanted "e2e.$name" || return 0
  say "running e2e.$name"
  if timed "e2e.$name" env BUILD_DIR="$build" ORVEL_E2E_SESSION=1 CABTOOL_E2E_SESSION=1 HARNESS="$SOURCE_DIR/scripts/wine-harness" \
      ORVEL_WINE_ARCH=win32 E2E_PATIENCE=10 timeout 1200 bash "$script" >"$results/e2e.$name.log" 2>&1; then
    pass "e2e.$name"
  else
    fail "e2e.$name" "$(grep -m 3 'FAIL' "$results/e2e.$name.log" | tr '\n' ' ') (log: $results/e2e.$name.log)"
  fi
}

e2e window_geometry
# The launcher's frame with the sample catalogue, as that script saw it.
shot="$build/e2e/window_geometry/all-groups.png"
if wanted e2e.window_geometry && [ -f "$shot" ]; then
  cp "$shot" "$results/launcher32-screen.png"
  convert "$shot" -trim +repage -bordercolor black -border 12 "$results/launcher32.png" 2>/dev/null
fi
e2e update_flow
e2e cabtool_windows
exit 0
