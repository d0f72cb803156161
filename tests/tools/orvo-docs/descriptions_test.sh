#!/usr/bin/env bash
# The xscreensaver description of every saver, as orvo-docs writes it and
# the real settings program reads it (the test binds its own folder of
# descriptions over the settings program's in a mount namespace):
#  1. it is well-formed XML, and the program takes every option its
#     controls can give (each slider at both ends, each choice, the box);
#  2. the settings program, started on a ~/.xscreensaver whose entry sets
#     every control away from its default, reads the description without a
#     warning and builds the very same command back from its controls;
#  3. (as root, through a test user) its preview runs that command and the
#     program does not die.
# Needs an X display (run under xvfb-run).
#   descriptions_test.sh BIN_DIR ORVO_DOCS
# Options are split into words on purpose.
# shellcheck disable=SC2206,SC2086,SC2207
set -u
bin=$1
docs=$2
# shellcheck source=../../support/xscreensaver_session.sh
source "$(dirname "$0")/../../support/xscreensaver_session.sh"
xss_begin
command -v xscreensaver-settings >/dev/null || { echo "SKIP: xscreensaver-settings is not installed"; exit 0; }
command -v xmllint >/dev/null || { echo "needs xmllint (Debian package libxml2-utils)"; exit 1; }
system_folder=/usr/share/xscreensaver/config
if [ "$(id -u)" -eq 0 ]; then namespace=(unshare --mount); else namespace=(unshare --map-root-user --mount); fi
"${namespace[@]}" true 2>/dev/null || { echo "SKIP: no mount namespace to show the settings program our descriptions"; exit 77; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
mkdir -m 755 "$home/config"

# options COMMAND: its options, one a line with its value, sorted.
options() { sed 's/ --/\n--/g' <<<"$1" | sort; }

# xpath FILE EXPR: the string value of EXPR.
xpath() { xmllint --xpath "$2" "$1" 2>/dev/null; }

for saver in pattern stain cyclics stars spheres vortex polygon beziers plasma; do
  xml=$home/config/$saver.xml
  "$docs" xscreensaver "$saver" "$bin" >"$xml" || { fail "orvo-docs xscreensaver $saver"; continue; }
  xmllint --noout "$xml" 2>"$home/xmllint.log" || { fail "$saver.xml: $(cat "$home/xmllint.log")"; continue; }

  # 1. Every value the controls give, and a command that moves each away
  # from its default.
  lows=() highs=() chosen=()
  for n in $(seq "$(xpath "$xml" 'count(//number)')"); do
    arg=$(xpath "$xml" "string(//number[$n]/@arg)")
    low=$(xpath "$xml" "string(//number[$n]/@low)")
    high=$(xpath "$xml" "string(//number[$n]/@high)")
    default=$(xpath "$xml" "string(//number[$n]/@default)")
    lows+=(${arg/\%/$low}) highs+=(${arg/\%/$high})
    [ "$low" != "$default" ] && value=$low || value=$high
    chosen+=(${arg/\%/$value})
  done
  choices=$(xpath "$xml" 'count(//select/option[@arg-set])')
  for n in $(seq "$choices"); do
    lows+=($(xpath "$xml" "string((//select/option[@arg-set])[$n]/@arg-set)"))
  done
  chosen+=($(xpath "$xml" 'string((//select/option[@arg-set])[1]/@arg-set)'))
  # The boxes: "Shifted", and a row of two values.
  boxes=$(xpath "$xml" 'count(//boolean)')
  for n in $(seq "$boxes"); do
    box=$(xpath "$xml" "string(//boolean[$n]/@arg-set | //boolean[$n]/@arg-unset)")
    lows+=($box) chosen+=($box)
  done
  [ $(($(xpath "$xml" 'count(//number)') + boxes)) -eq 6 ] && [ "$choices" -eq 4 ] \
    && xpath "$xml" '//boolean[@id="shifted"]' >/dev/null || fail "$saver.xml: not five rows, four choices and Shifted: ${lows[*]}"
  for args in "${lows[*]}" "${highs[*]}"; do
    out=$("$bin/$saver" --version $args 2>&1) || fail "$saver does not take its options $args: $out"
  done

  # 2. The settings program on an entry that sets every control.
  command="$bin/$saver --root ${chosen[*]}"
  printf 'mode:\t\tone\nselected:\t0\nprograms:\t"%s" %s \\n\n' "$(xpath "$xml" 'string(/screensaver/@_label)')" \
    "$command" >"$home/.xscreensaver"
  [ -n "${user:-}" ] && chown "$user" "$home/.xscreensaver"
  log=$home/settings-$saver.log
  setsid "${namespace[@]}" sh -c 'mount --bind "$0" '"$system_folder"' && exec "$@"' "$home/config" \
    "${run_as[@]}" env "${env_vars[@]}" xscreensaver-settings --debug >"$log" 2>&1 &
  settings=$!
  xss_groups+=("$settings")
  for _ in $(seq 100); do
    grep -q "reading $system_folder/$saver.xml" "$log" && grep -q "forked .* ($saver)" "$log" && break
    sleep 0.1
  done
  sleep 1.5
  xss_stop "$settings"
  grep -q "reading $system_folder/$saver.xml" "$log" || { fail "$saver: the settings program did not read $saver.xml"; cat "$log"; continue; }
  grep -i -E "warning|$saver.xml: |not a valid|is required|must be" "$log" && fail "$saver: the settings program warned about its description"
  built=$(sed -n 's/.*scheduling preview "\(.*\)"$/\1/p' "$log" | tail -n 1)
  [ "$(options "$built")" = "$(options "$command")" ] || fail "$saver: the settings program built \"$built\" from \"$command\""

  # 3. Its preview, where it may run one (never as root).
  if [ -n "${user:-}" ]; then
    grep -q "forked .* ($saver)" "$log" || fail "$saver: the settings program started no preview"
    grep -q "($saver) died" "$log" && fail "$saver: its preview died: $(grep -A3 "($saver) died" "$log")"
  fi
done
[ "$failures" -eq 0 ] && echo "ok: nine descriptions read by the settings program, every control's option taken"
exit $((failures > 0))
