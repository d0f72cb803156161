#!/usr/bin/env bash
# orvo-xscreensaver-setup on a ~/.xscreensaver written by xscreensaver's own
# settings program, then read back by that program and by the daemon:
#  1. the settings program writes the file (after a click in its list);
#  2. setup adds nine lines and changes no other byte; the mode is kept;
#     a second run changes nothing; --remove gives the file back byte for byte;
#  3. setup again, then the settings program rewrites the file in its own
#     format: the nine entries survive, and setup finds them all there;
#  4. the daemon runs "Orvo Plasma" when told to run that entry of its list,
#     and it draws;
#  5. --remove takes the nine lines the settings program wrote out again,
#     and nothing else;
#  6. on a fresh account (no file) setup writes the file from the system's
#     defaults (their whole programs list, then ours, mode 0644), and the
#     daemon runs "Orvo Plasma" from it when told to run that entry.
# Needs an X display (run under xvfb-run).
#   setup_daemon_test.sh BIN_DIR
set -u
bin=$1
setup=$bin/orvo-xscreensaver-setup
# shellcheck source=../../support/xscreensaver_session.sh
source "$(dirname "$0")/../../support/xscreensaver_session.sh"
xss_begin
trap 'xss_end; pkill -f "$bin/plasma --root" 2>/dev/null' EXIT
command -v xscreensaver-settings >/dev/null || { echo "SKIP: xscreensaver-settings is not installed"; exit 0; }
command -v xdotool >/dev/null || { echo "needs xdotool"; exit 1; }

file=$home/.xscreensaver
fail() { echo "FAIL: $*"; exit 1; }
checksum() { [ -f "$file" ] && md5sum < "$file"; }

# The settings program saves the file whenever a setting changes: start it,
# click the check box of the first row of its list of savers (the list's
# top left corner stays in place whatever the size of the window), wait for
# the new file, and close it.
settings_write() {
  local before window _
  before=$(checksum)
  xss_spawn "$home/settings.log" xscreensaver-settings
  local settings=$spawned
  window=$(timeout 20 xdotool search --sync --onlyvisible --classname xscreensaver-settings | head -n 1)
  [ -n "$window" ] || { cat "$home/settings.log"; fail "the settings program showed no window"; }
  sleep 1
  xdotool mousemove --window "$window" 36 160 click 1
  for _ in $(seq 100); do
    [ -s "$file" ] && [ "$(checksum)" != "$before" ] && break
    sleep 0.1
  done
  xss_stop "$settings"
  [ -s "$file" ] && [ "$(checksum)" != "$before" ] || fail "the settings program did not save $file"
}

# The position (from 1) of the entry holding TEXT in the file's programs
# list, one entry a line as the settings program writes it.
list_position() {
  # An entry may span several lines (the settings program wraps long
  # ones); it ends at the line with "\n".
  awk -v text="$1" '
    /^programs:/ { inlist = 1; next }
    inlist { entry = entry $0 }
    inlist && /\\n/ { n++; if (index(entry, text)) { print n; exit } entry = "" }
    inlist && !/\\$/ { exit }' "$file"
}

# FILE without the programs-list entries that run our programs, whole
# entries even where the settings program wrapped one over several lines.
without_ours() {
  awk -v ours="$bin/" '
    /^programs:/ { inlist = 1; print; next }
    !inlist { print; next }
    { entry = entry $0 "\n" }
    /\\n/ || !/\\$/ {
      if (!index(entry, ours)) printf "%s", entry
      entry = ""
      if (!/\\$/) inlist = 0
    }' "$1"
}

xss_start_daemon
xss_daemon_command -time || exit 1

# 1.
settings_write
cp "$file" "$home/written"
chmod 640 "$file"
grep -q -- "--root" "$file" || fail "the written file has no programs list"

# 2.
out=$(xss_run "$setup" --libexec-dir "$bin") || fail "setup failed: $out"
[ "$(grep -c -F "$bin/" "$file")" -eq 9 ] || fail "setup did not add nine lines: $(grep -F "$bin/" "$file")"
for saver in pattern stain cyclics stars spheres vortex polygon beziers plasma; do
  grep -q -E "^[[:space:]]+\"Orvo [A-Z][a-z]+\" $bin/$saver --root \\\\n\\\\\$" "$file" \
    || fail "no list line for $saver"
done
grep -v -F "$bin/" "$file" | cmp -s - "$home/written" || fail "setup changed other lines: $(diff "$home/written" "$file")"
[ "$(stat -c %a "$file")" = 640 ] || fail "setup did not keep the mode 640: $(stat -c %a "$file")"
[ -z "${user:-}" ] || [ "$(stat -c %U "$file")" = "$user" ] || fail "setup changed the owner"
cp "$file" "$home/added"
inode=$(stat -c %i "$file")
out=$(xss_run "$setup" --libexec-dir "$bin") || fail "second setup failed: $out"
cmp -s "$file" "$home/added" && [ "$(stat -c %i "$file")" = "$inode" ] || fail "a second setup rewrote the file"
xss_run "$setup" --remove --libexec-dir "$bin" >/dev/null || fail "--remove failed"
cmp -s "$file" "$home/written" || fail "--remove did not restore the file: $(diff "$home/written" "$file")"

# 3.
xss_run "$setup" --libexec-dir "$bin" >/dev/null || fail "setup failed"
settings_write
[ "$(grep -c -F "$bin/" "$file")" -eq 9 ] || fail "the settings program dropped our lines: $(grep -F "$bin/" "$file")"
cp "$file" "$home/rewritten"
out=$(xss_run "$setup" --libexec-dir "$bin") || fail "setup failed: $out"
cmp -s "$file" "$home/rewritten" || fail "setup did not find its entries in the settings program's format: $(diff "$home/rewritten" "$file")"

# 4. A daemon started now reads the file as it is (a running one notices
# the change only when it next looks at the file).
position=$(list_position "\"Orvo Plasma\"")
[ -n "$position" ] || fail "no Orvo Plasma in the list"
xss_stop "$daemon"
xss_start_daemon
xss_daemon_command -select "$position" || exit 1
xss_wait_process "$bin/plasma --root" || { tail -n 20 "$home/daemon.log"; fail "the daemon did not run entry $position, Orvo Plasma"; }
bright=$(xss_brightness)
[ "$bright" -gt 0 ] || fail "the screen stayed black"
xss_run xscreensaver-command -deactivate >/dev/null || fail "the daemon did not take -deactivate"
xss_wait_gone "$bin/plasma --root" || fail "plasma still runs after -deactivate"

# 5.
xss_run "$setup" --remove --libexec-dir "$bin" >/dev/null || fail "--remove failed"
without_ours "$home/rewritten" | cmp -s - "$file" || fail "--remove changed other lines: $(without_ours "$home/rewritten" | diff - "$file")"
# 6.
xss_stop "$daemon"
rm "$file"
out=$(xss_run "$setup" --libexec-dir "$bin") || fail "setup on a fresh account failed: $out"
[ "$(stat -c %a "$file")" = 644 ] || fail "the new file's mode is $(stat -c %a "$file")"
[ -z "${user:-}" ] || [ "$(stat -c %U "$file")" = "$user" ] || fail "the new file is not the user's"
system_entries=$(sed -n '/^\*programs:/,/[^\\]$/p' /etc/X11/app-defaults/XScreenSaver | grep -c '\\n')
entries=$(sed -n '/^programs:/,/[^\\]$/p' "$file" | grep -c '\\n')
[ "$entries" -eq $((system_entries + 9)) ] || fail "the new list holds $entries entries, not $system_entries + 9"
fresh_position=$(list_position "\"Orvo Plasma\"")
[ "$fresh_position" = "$entries" ] || fail "Orvo Plasma is entry $fresh_position, not the last ($entries)"
xss_start_daemon
xss_daemon_command -select "$fresh_position" || exit 1
xss_wait_process "$bin/plasma --root" || { tail -n 20 "$home/daemon.log"; fail "the daemon did not run Orvo Plasma from the new file"; }
xss_run xscreensaver-command -deactivate >/dev/null || fail "the daemon did not take -deactivate"
xss_wait_gone "$bin/plasma --root" || fail "plasma still runs after -deactivate"

echo "ok: nine lines added and removed byte for byte; the settings program kept them; the daemon ran entry $position (brightest $bright); a fresh account's file ran entry $fresh_position"
exit 0
