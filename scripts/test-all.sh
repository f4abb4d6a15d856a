#!/usr/bin/env bash
# Every test: installs what is missing, builds the configurations
# (host, host with AddressSanitizer/UBSan, 32-bit Linux, 32-bit Windows) and runs all their
# tests, the Windows ones under Wine. Prints the counts of each and a total.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/bootstrap.sh || exit 1

status=0
summary=()

build() {
  local preset=$1
  echo "== configure and build: $preset"
  mkdir -p build
  cmake --preset "$preset" >"build/$preset.log" 2>&1 &&
    cmake --build --preset "$preset" >>"build/$preset.log" 2>&1
  local rc=$?
  if [ $rc -ne 0 ]; then
    tail -n 60 "build/$preset.log"
    echo "build of $preset failed (full log: $root/build/$preset.log)"
  fi
  return $rc
}

# Counts a ctest run: gtest programs that ran under Wine report their own
# tests through their XML files; every other ctest entry counts as one test.
count() {
  local dir=$1 junit=$2
  python3 - "$dir" "$junit" <<'PY'
import sys, os, xml.etree.ElementTree as ET
build, junit = sys.argv[1], sys.argv[2]
passed = failed = skipped = 0
results = os.path.join(build, "test-results")
for case in ET.parse(junit).getroot().iter("testcase"):
    name, status = case.get("name"), case.get("status", "run")
    xml_path = os.path.join(results, name + ".xml")
    if os.path.isfile(xml_path) and status != "fail":
        r = ET.parse(xml_path).getroot()
        t, f = int(r.get("tests", 0)), int(r.get("failures", 0)) + int(r.get("errors", 0))
        s = int(r.get("disabled", 0)) + int(r.get("skipped", 0))
        passed += t - f - s; failed += f; skipped += s
    elif status == "fail" or case.find("failure") is not None:
        failed += 1
    elif status in ("notrun", "disabled") or case.find("skipped") is not None:
        skipped += 1
    else:
        passed += 1
print(passed, failed, skipped)
PY
}

# With filter set, runs only the ctest entries it matches.
run_tests() {
  local label=$1 preset=$2; shift 2
  local dir="$root/build/$preset"
  local junit="$dir/ctest-junit.xml"
  rm -rf "$dir/test-results"; mkdir -p "$dir/test-results"
  echo "== tests: $label"
  "$@" ctest --test-dir "$dir" ${filter:+-R "$filter"} --output-on-failure --output-junit "$junit" -j2 || status=1
  if [ -f "$junit" ]; then
    read -r p f s < <(count "$dir" "$junit")
    summary+=("$label: $p passed, $f failed, $s skipped")
    total_p=$((total_p + p)); total_f=$((total_f + f)); total_s=$((total_s + s))
  else
    summary+=("$label: no results"); status=1
  fi
}

# The programs are 32-bit. On a machine that cannot run 32-bit code the
# Windows tests run as a 64-bit build of the same sources under 64-bit Wine.
wine_arch=$(bash scripts/wine-arch)
presets=(host asan win32)
win_label="windows (Wine)"
if [ "$wine_arch" = win64 ]; then
  echo "== this machine cannot run 32-bit programs: the Windows tests run as a 64-bit build under 64-bit Wine"
  presets+=(win64)
  win_label="windows (64-bit Wine)"
fi

total_p=0; total_f=0; total_s=0
for preset in "${presets[@]}"; do
  build "$preset" || status=1
done

run_tests "host" host
ASAN_OPTIONS=detect_leaks=1 run_tests "host (ASan+UBSan)" asan
# The portable code as 32-bit Linux programs: natively where the kernel runs
# them, otherwise under qemu-i386-static (the configure step decides).
if build i386; then
  i386_run=$(sed -n 's/^ORVEL_I386_RUN:INTERNAL=//p' build/i386/CMakeCache.txt)
  run_tests "i386 (${i386_run:-native})" i386
else
  status=1
fi
run_tests "$win_label" "$wine_arch" scripts/wine-harness --arch="$wine_arch" --prefix="$root/build/$wine_arch/wineprefix" session
# The shipped 32-bit programs' own files are checked even where they cannot
# run here, and the programs themselves run under 32-bit Wine in a virtual
# machine (scripts/vm32/run).
if [ "$wine_arch" = win64 ]; then
  filter='^pe\.' run_tests "windows 32-bit build (files)" win32
  vm_label="windows 32-bit (Wine in a VM)"
  echo "== tests: $vm_label"
  bash scripts/vm32/run "${filter:-}" || status=1
  if read -r p f <build/vm32/counts 2>/dev/null; then
    summary+=("$vm_label: $p passed, $f failed")
    total_p=$((total_p + p)); total_f=$((total_f + f))
  else
    summary+=("$vm_label: no results"); status=1
  fi
fi

echo
echo "== summary"
for line in "${summary[@]}"; do echo "$line"; done
[ "$total_f" -eq 0 ] || status=1
echo "Total: $total_p passed, $total_f failed, $total_s skipped"
exit $status
