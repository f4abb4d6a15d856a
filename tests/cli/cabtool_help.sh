#!/bin/bash
# Help, version and usage errors as people expect them, and the progress line:
# on a terminal only, wiped before other lines, silenced by -q.
. "$(dirname "$0")/cabtool_common.inc"

cd "$WORK" || exit 1
make_corpus src
"$CABTOOL" create -m mszip -o good.cab src/noise.bin src/docs/numbers.txt >/dev/null || fail "create"

expect_status 0 "--help" "$CABTOOL" --help
for command in list test extract create; do
  grep -q "^  $command " "$WORK/last.out" || fail "--help does not name $command"
done
for command in list test extract create; do
  expect_status 0 "$command --help" "$CABTOOL" $command --help
  head -n 1 "$WORK/last.out" | grep -q "^usage: cabtool $command " || fail "$command --help has no usage line"
  grep -q "^  cabtool $command " "$WORK/last.out" || fail "$command --help has no example"
done
expect_status 0 "--version" "$CABTOOL" --version
head -n 1 "$WORK/last.out" | grep -Eqx 'cabtool [0-9]+\.[0-9]+\.[0-9]+' || fail "--version does not start with the version"
grep -q '^reads: .*LZX' "$WORK/last.out" && grep -q '^writes: .*Quantum' "$WORK/last.out" ||
  fail "--version does not name the methods"

# expect_usage MESSAGE COMMAND ARGS...: exit 2, the mistake named, the command's help pointed at.
expect_usage() {
  local message="$1"
  shift
  expect_status 2 "$*" "$CABTOOL" "$@"
  grep -qxF "cabtool: $message (see cabtool $1 --help)" "$WORK/last.err" ||
    fail "$*: wanted \"$message\", got: $(cat "$WORK/last.err")"
}
expect_usage "unknown option --foo for extract" extract --foo good.cab
expect_usage "-d needs a folder" extract good.cab -d
expect_usage "missing cabinet file" list
expect_usage "test takes one cabinet file" test good.cab good.cab
expect_usage "unknown option --bar for create" create --bar -o x.cab src/noise.bin

# Not a terminal: no progress line, and -q drops the line per file but not the count.
expect_status 0 "test" "$CABTOOL" test good.cab
[ -s "$WORK/last.err" ] && fail "test wrote to stderr although it is not a terminal"
expect_status 0 "test -q" "$CABTOOL" test -q good.cab
[ "$(cat "$WORK/last.out")" = "2 file(s) good, 0 failure(s)" ] || fail "test -q printed: $(cat "$WORK/last.out")"

# On a pseudo-terminal the line shows the total and is wiped before the next line.
total=$(stat -c %s src/noise.bin src/docs/numbers.txt | awk '{ sum += $1 } END { printf "%.1f KiB", sum / 1024 }')
script -qec "'$CABTOOL' test good.cab" /dev/null >tty.out </dev/null || fail "test on a terminal"
tr '\r' '\n' <tty.out | grep -q "^   0%  0 B of $total" || fail "no progress line of $total on a terminal"
grep -q $'\r *\rok  src' tty.out || fail "the progress line is not wiped before a file's line"
script -qec "'$CABTOOL' test -q good.cab" /dev/null >tty-quiet.out </dev/null
grep -q '%' tty-quiet.out && fail "-q still shows the progress line"

finish
