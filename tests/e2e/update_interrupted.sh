#!/usr/bin/env bash
# An updater killed at any moment never leaves a mixed release for good: the
# folder holds exactly the old or exactly the new release, or a journal from
# which the next start of the updater gets back to one of them. Each round
# installs the old release, kills update.exe after a delay that grows from
# round to round (spread over its whole run and a little beyond; a test hook slows the writing
# and the replacing down so that the stages are wide enough to hit), looks at
# the folder and, where a journal was left, lets a second run mend it
# without installing anything (its first write fails on purpose) and looks
# again; then a last run, neither slowed nor killed, installs the new release
# whole and removes every leftover.
source "$(dirname "$0")/lib.sh"
source "$SOURCE_DIR/tests/support/updater_e2e.sh"

ROUNDS=${ROUNDS:-30}
STEP_DELAY_MS=40

updater_setup
make_shortcut

# 24 files, some in folders, two large ones; the old release has 22 of them.
OLD_DIR="$E2E_DIR/old-release"
rm -rf "$OLD_DIR"; mkdir -p "$OLD_DIR"
RELEASE=()
for i in $(seq -w 1 22); do
  case $i in
    0[1-6]) name="f$i.txt" ;;
    0[7-9] | 1[0-2]) name="data/f$i.dat" ;;
    1[3-6]) name="data/skins/f$i.bmp" ;;
    *) name="docs/f$i.txt" ;;
  esac
  RELEASE+=("$name")
done
RELEASE+=(big1.bin data/big2.bin added1.txt data/added2.txt)
for name in "${RELEASE[@]}"; do
  case $name in
    added*|*/added*) ;;
    big*|*/big*) mkdir -p "$(dirname "$OLD_DIR/$name")"; head -c 3000000 /dev/urandom > "$OLD_DIR/$name"
                 touch -d '2021-01-01 00:00:00' "$OLD_DIR/$name" ;;
    *) mkdir -p "$(dirname "$OLD_DIR/$name")"; printf 'old %s\r\n' "$name" > "$OLD_DIR/$name"
       touch -d '2021-02-03 04:05:06' "$OLD_DIR/$name" ;;
  esac
done
for name in "${RELEASE[@]}"; do
  case $name in
    big*|*/big*) mkdir -p "$(dirname "$STAGE_DIR/$name")"; head -c 4000000 /dev/urandom > "$STAGE_DIR/$name"
                 touch -d '2024-09-10 11:12:14' "$STAGE_DIR/$name" ;;
    *) stage "$name" "new $name, a little longer than the old one" '2024-09-10 11:12:14' ;;
  esac
done
make_cabinet -m mszip -- "${RELEASE[@]}"

install_old() {
  chmod -R u+w "$APP_DIR"
  for name in "${RELEASE[@]}"; do rm -f "$APP_DIR/$name"; done
  find "$APP_DIR" \( -iname '*.tmp' -o -iname 'update.jnl' \) -delete
  cp -a "$OLD_DIR/." "$APP_DIR/"
}
# The folder as the system shows it (attributes, times, sizes) and its bytes,
# leaving out temporary files and the journal, which are counted apart.
snapshot() {
  uprobe list "$(winpath "$APP_DIR")" | grep -viE '\.tmp$|: update\.jnl$'
  (cd "$APP_DIR" && find . -type f ! -iname '*.tmp' ! -iname 'update.jnl' -print0 | sort -z | xargs -0 sha256sum)
}
journal() { [ -f "$APP_DIR/update.jnl" ] && echo 1 || echo 0; }
leftovers() { find "$APP_DIR" \( -iname '*.tmp' -o -iname 'update.jnl' \) | wc -l | tr -d ' '; }
# The updater's processes (a killed one may take a moment to go).
updater_pids() { pgrep -f 'release[/\\]update\.exe'; }
wait_gone() { poll 10 0.1 no_updater; }
no_updater() { [ -z "$(updater_pids)" ]; }

# classify SNAPSHOT: old, new or mixed.
classify() {
  if [ "$1" = "$OLD" ]; then echo old; elif [ "$1" = "$NEW" ]; then echo new; else echo mixed; fi
}

install_old
OLD=$(snapshot)
# One whole run, timed, gives the new release and the span to spread the kills over.
started=$(date +%s%N)
ORVEL_UPDATE_TEST_STEP_DELAY_MS=$STEP_DELAY_MS run_update
if [ -n "${TIMELINE:-}" ]; then
  while kill -0 "$UPDATE_PID" 2>/dev/null && ! uprobe box >/dev/null; do
    note "$(( ($(date +%s%N) - started) / 1000000 )) ms: $(uprobe dialog | grep -E 'status|percent' | tr '\n' ' ')"
    sleep 0.2
  done
fi
wait_box
span_ms=$(( ($(date +%s%N) - started) / 1000000 ))
finish_update || fail "the timed run did not end"
expect "the timed run succeeds" "$DONE" "$BOX_TEXT"
NEW=$(snapshot)
expect "the new release differs from the old" 1 "$([ "$OLD" != "$NEW" ] && echo 1 || echo 0)"
note "a whole run takes $span_ms ms"

killed=0; raw_old=0; raw_new=0; raw_mixed_journal=0; raw_mixed_bare=0
mended_old=0; mended_new=0; mended_mixed=0; left_after=0; left_by_kills=0
for round in $(seq 0 $((ROUNDS - 1))); do
  install_old
  # Up to a third past the timed run, as a loaded machine may be slower now.
  delay_ms=$(( 200 + (span_ms * 4 / 3 - 200) * round / ROUNDS ))
  ORVEL_UPDATE_TEST_STEP_DELAY_MS=$STEP_DELAY_MS run_update
  sleep "$(printf '%d.%03d' $((delay_ms / 1000)) $((delay_ms % 1000)))"
  pids=$(updater_pids)
  [ -n "$pids" ] && kill -9 $pids
  wait "$UPDATE_PID" 2>/dev/null
  wait_gone || fail "round $round: the killed updater did not go"
  [ -n "$pids" ] && killed=$((killed + 1))
  # A run that had finished shows its message box: it counts as killed too.
  now=$(snapshot)
  raw=$(classify "$now")
  had_journal=$(journal)
  temporaries=$(find "$APP_DIR" -iname '*.tmp' | wc -l)
  left_by_kills=$((left_by_kills + temporaries + had_journal))
  [ "$raw" = mixed ] && note "round $round: against the old release:"$'\n'"$(diff <(echo "$OLD") <(echo "$now") | head -20)"
  case $raw in
    old) raw_old=$((raw_old + 1)) ;;
    new) raw_new=$((raw_new + 1)) ;;
    mixed) if [ "$had_journal" = 1 ]; then raw_mixed_journal=$((raw_mixed_journal + 1))
           else raw_mixed_bare=$((raw_mixed_bare + 1)); fail "round $round (${delay_ms} ms): mixed without a journal"; fi ;;
  esac

  # Where a journal was left, the next start mends the folder before it
  # writes; its first write fails here, so it installs nothing and what it
  # leaves is what it mended.
  mended=-
  if [ "$had_journal" = 1 ] || [ "$raw" = mixed ]; then
    ORVEL_UPDATE_TEST_FAIL_WRITE="${RELEASE[0]}" update_once
    mended=$(classify "$(snapshot)")
    case $mended in
      old) mended_old=$((mended_old + 1)) ;;
      new) mended_new=$((mended_new + 1)) ;;
      mixed) mended_mixed=$((mended_mixed + 1)); fail "round $round (${delay_ms} ms): still mixed after the next start" ;;
    esac
    [ "$(leftovers)" = 0 ] || fail "round $round: the mending run left $(leftovers) temporary or journal file(s)"
  fi
  note "round $round: killed after ${delay_ms} ms: $raw (journal $had_journal, $temporaries temporary), after the next start: $mended"

  update_once
  [ "$BOX_TEXT" = "$DONE" ] || fail "round $round: the final run did not succeed: '$BOX_TEXT'"
  [ "$(classify "$(snapshot)")" = new ] || fail "round $round: the final run did not leave the new release"
  left=$(leftovers)
  left_after=$((left_after + left))
  [ "$left" = 0 ] || fail "round $round: $left temporary or journal file(s) after the final run"
done

note "killed $killed of $ROUNDS runs; right after the kill: old $raw_old, new $raw_new," \
  "mixed with a journal $raw_mixed_journal, mixed without one $raw_mixed_bare;" \
  "mended by the next start to: old $mended_old, new $mended_new, mixed $mended_mixed;" \
  "temporary and journal files left by the killed runs: $left_by_kills, after the final runs: $left_after"
expect "every round killed a running updater" "$ROUNDS" "$killed"
expect "some kills hit the replace phase" 1 "$([ "$raw_mixed_journal" -gt 0 ] && echo 1 || echo 0)"
expect "some kills left the old release" 1 "$([ "$raw_old" -gt 0 ] && echo 1 || echo 0)"
finish
