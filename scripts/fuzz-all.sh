#!/usr/bin/env bash
# Builds the fuzz preset and runs every fuzz target in turn for SECONDS each.
#   scripts/fuzz-all.sh SECONDS
# Target X_fuzz starts from its seeds (written by make_X_seeds, when there is
# one) and the inputs kept in tests/data/fuzz-regressions/X; what it finds new
# is kept in build/fuzz/corpus/X_fuzz for the next run. An input that makes a
# target fail is saved in build/fuzz/crashes/X_fuzz/ and fails the script.
set -u
seconds=${1:-}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz-all.sh SECONDS (run time of each target)" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# clang and its libFuzzer come from Debian's packages, on demand.
if ! command -v clang++ >/dev/null 2>&1 ||
  ! compgen -G '/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a' >/dev/null; then
  bash scripts/bootstrap.sh --fuzz || exit 1
fi

mkdir -p build
echo "== configure and build: fuzz"
if ! { cmake --preset fuzz && nice cmake --build --preset fuzz; } >build/fuzz.log 2>&1; then
  tail -n 40 build/fuzz.log
  echo "build of the fuzz preset failed (full log: $root/build/fuzz.log)"
  exit 1
fi

bin=build/fuzz/fuzz
status=0
ran=0
for target in "$bin"/*fuzz; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  stem=${name%_fuzz}
  corpus=build/fuzz/corpus/$name
  seeds=build/fuzz/seeds/$name
  crashes=build/fuzz/crashes/$name
  log=build/fuzz/logs/$name.log
  rm -rf "$seeds"
  mkdir -p "$corpus" "$seeds" "$crashes" "$(dirname "$log")"
  if [ -x "$bin/make_${stem}_seeds" ]; then
    "$bin/make_${stem}_seeds" "$seeds" >/dev/null || { echo "$name: its seed maker failed"; status=1; continue; }
  fi
  inputs=("$corpus" "$seeds")
  [ -d "tests/data/fuzz-regressions/$stem" ] && inputs+=("tests/data/fuzz-regressions/$stem")
  echo "== $name: ${seconds}s"
  if nice "$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
    -artifact_prefix="$crashes/" "${inputs[@]}" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/$name: /"
  else
    status=1
    tail -n 30 "$log"
    echo "$name FAILED: inputs in $crashes/, log in $log"
  fi
  ran=$((ran + 1))
done
if [ "$ran" -eq 0 ]; then
  echo "no fuzz target was built in $bin"
  exit 1
fi
echo "$ran fuzz target(s) run for ${seconds}s each: $([ $status -eq 0 ] && echo 'no failure' || echo 'FAILURES')"
exit $status
