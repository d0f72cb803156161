#!/usr/bin/env bash
# orvo-xscreensaver-setup as a command: its arguments, exit codes and
# messages, and how it treats the file (missing, a symbolic link, not a file,
# its mode, no rewrite when nothing changes), and where it finds the
# programs by itself.
#   setup_command_test.sh BIN_DIR
set -u
bin=$(cd "$1" && pwd)
setup=$bin/orvo-xscreensaver-setup
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# run HOME ARGS...: runs the command; sets status, out and err.
run() {
  local h=$1
  shift
  HOME=$h "$setup" "$@" >"$work/out" 2>"$work/err"
  status=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}

list_file() {
  printf 'mode:\t\trandom\nprograms:\t\t\\\n\t\t\t\tmaze --root\t\\n\\\n\n'
}

# Arguments: exit code, which stream, what it says.
while IFS='|' read -r args want_status want_stream want_text; do
  # shellcheck disable=SC2086
  run "$work" $args
  [ "$status" -eq "$want_status" ] || fail "\"$args\": exit $status, not $want_status"
  case $want_stream in
    out) [ -z "$err" ] && grep -q -- "$want_text" <<<"$out" || fail "\"$args\": stdout \"$out\", stderr \"$err\"" ;;
    err) [ -z "$out" ] && [ "$(wc -l <<<"$err")" -eq 1 ] && grep -q -- "$want_text" <<<"$err" \
           || fail "\"$args\": wanted one line on stderr with \"$want_text\", got \"$err\" / \"$out\"" ;;
  esac
done <<'CASES'
--help|0|out|^Usage: orvo-xscreensaver-setup \[--remove\]
--version|0|out|^orvo-xscreensaver-setup (Orvo savers) [0-9]
--frobnicate|2|err|unknown argument "--frobnicate"
--libexec-dir|2|err|--libexec-dir needs a folder
--remove --remove --bogus|2|err|unknown argument "--bogus"
CASES

# No file yet: it is made from xscreensaver's defaults (found as the X
# toolkit finds them) as xscreensaver would first save it, mode 0644 whatever
# the umask, with the nine savers after the defaults' programs; only the
# settings xscreensaver saves are kept (not its dialogs' resources, comments
# or preprocessor lines). Without xscreensaver: one line, exit 1, no file.
mkdir -p "$work/fresh" "$work/system/app-defaults"
printf '! comment\n#error not for xrdb\n*timeout:\t0:07:00\n*Dialog.headingFont:\tsans 16\n*lock:  True\n' \
  >"$work/system/app-defaults/XScreenSaver"
printf '*programs:\t\\\n\t\tmaze --root \\n\\\n-\t\tqix --root \\n\n*mode:\t\tone\n' >>"$work/system/app-defaults/XScreenSaver"
export XFILESEARCHPATH="$work/nowhere/%T/%N:$work/system/%T/%N%S"
mask=$(umask)
umask 077
run "$work/fresh" --libexec-dir "$bin"
umask "$mask"
new=$work/fresh/.xscreensaver
[ "$status" -eq 0 ] && [ "$(stat -c %a "$new")" = 644 ] && grep -q -x -P 'timeout:\t+0:07:00' "$new" \
  && grep -q -x -P 'lock:\t+True' "$new" && grep -q -x -P 'mode:\t+one' "$new" && ! grep -q -E 'Dialog|error|comment' "$new" \
  || fail "fresh account: exit $status, \"$err\", $(cat "$new" 2>&1)"
sed -n '/^programs:/,/[^\\]$/p' "$new" | sed -n '2p;3p;$p' | tr -s '\t' ' ' >"$work/list"
printf ' maze --root \\n\\\n- qix --root \\n\\\n "Orvo Plasma" %s/plasma --root \\n\n' "$bin" | cmp -s - "$work/list" \
  || fail "fresh account: the list is not the defaults' then ours: $(cat "$work/list")"
[ "$(ls -A "$work/fresh")" = .xscreensaver ] || fail "temporary files left: $(ls -A "$work/fresh")"
mkdir "$work/bare"
err=$(HOME=$work/bare PATH=$work/nowhere "$setup" --libexec-dir "$bin" 2>&1)
status=$?
[ "$status" -eq 1 ] && [ "$(wc -l <<<"$err")" -eq 1 ] && grep -q "xscreensaver is not installed" <<<"$err" \
  && [ -z "$(ls -A "$work/bare")" ] || fail "no xscreensaver: exit $status, \"$err\", $(ls -A "$work/bare")"
XFILESEARCHPATH=$work/nowhere/%N run "$work/bare" --libexec-dir "$bin"
[ "$status" -eq 1 ] && grep -q "app-defaults" <<<"$err" && [ -z "$(ls -A "$work/bare")" ] \
  || fail "no defaults: exit $status, \"$err\""
unset XFILESEARCHPATH
run "$work/bare" --remove
[ "$status" -eq 0 ] && [ -z "$(ls -A "$work/bare")" ] || fail "no file, --remove: exit $status, $(ls -A "$work/bare")"

# Mode and content: the mode survives the rename; a run that changes nothing
# leaves the very same file (same inode); --remove restores the bytes.
mkdir "$work/mode"
list_file >"$work/mode/.xscreensaver"
cp "$work/mode/.xscreensaver" "$work/original"
chmod 604 "$work/mode/.xscreensaver"
run "$work/mode" --libexec-dir "$bin"
[ "$status" -eq 0 ] && grep -q "Added 9 Orvo savers" <<<"$out" || fail "add: exit $status, \"$out\" \"$err\""
[ "$(stat -c %a "$work/mode/.xscreensaver")" = 604 ] || fail "mode became $(stat -c %a "$work/mode/.xscreensaver")"
[ "$(grep -c -F "\"Orvo Poly\" $bin/polygon --root" "$work/mode/.xscreensaver")" -eq 1 ] || fail "no polygon line"
inode=$(stat -c %i "$work/mode/.xscreensaver")
run "$work/mode" --libexec-dir "$bin/"
[ "$status" -eq 0 ] && grep -q "already" <<<"$out" || fail "second add: exit $status, \"$out\""
[ "$(stat -c %i "$work/mode/.xscreensaver")" = "$inode" ] || fail "a run with nothing to do replaced the file"
run "$work/mode" --remove --libexec-dir "$bin"
[ "$status" -eq 0 ] && cmp -s "$work/mode/.xscreensaver" "$work/original" || fail "--remove did not restore the file"
[ "$(stat -c %a "$work/mode/.xscreensaver")" = 604 ] || fail "--remove changed the mode"
[ "$(ls -A "$work/mode")" = .xscreensaver ] || fail "temporary files left: $(ls -A "$work/mode")"

# A symbolic link stays a link; the file it points to is edited.
mkdir -p "$work/link/dotfiles"
list_file >"$work/link/dotfiles/xscreensaver"
ln -s dotfiles/xscreensaver "$work/link/.xscreensaver"
run "$work/link" --libexec-dir "$bin"
[ "$status" -eq 0 ] && [ -L "$work/link/.xscreensaver" ] && grep -q "Orvo Plasma" "$work/link/dotfiles/xscreensaver" \
  || fail "symbolic link: exit $status, $(ls -l "$work/link")"

# Not a file, or programs that are not there: exit 1, one line, nothing written.
mkdir -p "$work/dir/.xscreensaver"
run "$work/dir" --libexec-dir "$bin"
[ "$status" -eq 1 ] && grep -q "cannot read" <<<"$err" || fail "a folder: exit $status, \"$err\""
mkdir -p "$work/missing"
list_file >"$work/missing/.xscreensaver"
run "$work/missing" --libexec-dir "$work/nowhere"
[ "$status" -eq 1 ] && grep -q "$work/nowhere/pattern is not an installed program" <<<"$err" \
  && list_file | cmp -s - "$work/missing/.xscreensaver" || fail "missing programs: exit $status, \"$err\""

# Without --libexec-dir: the programs beside the command (a build tree), or
# in ../libexec/orvo (an install); the entries name them by their real path.
run "$work/missing"
[ "$status" -eq 0 ] && grep -q -F "\"Orvo Stars\" $(cd "$bin" && pwd -P)/stars --root" "$work/missing/.xscreensaver" \
  || fail "build tree: exit $status, \"$err\""
mkdir -p "$work/prefix/bin" "$work/prefix/libexec/orvo" "$work/installed"
cp "$setup" "$work/prefix/bin/"
for saver in pattern stain cyclics stars spheres vortex polygon beziers plasma; do
  printf '#!/bin/sh\n' >"$work/prefix/libexec/orvo/$saver"
  chmod +x "$work/prefix/libexec/orvo/$saver"
done
list_file >"$work/installed/.xscreensaver"
HOME=$work/installed "$work/prefix/bin/orvo-xscreensaver-setup" >/dev/null 2>&1 \
  && grep -q -F "\"Orvo Beziers\" $(cd "$work/prefix" && pwd -P)/libexec/orvo/beziers --root" "$work/installed/.xscreensaver" \
  || fail "installed layout: $(cat "$work/installed/.xscreensaver")"
rm -r "$work/prefix/libexec/orvo"
HOME=$work/installed "$work/prefix/bin/orvo-xscreensaver-setup" >/dev/null 2>"$work/err"
[ $? -eq 1 ] && grep -q "cannot find the Orvo programs" "$work/err" || fail "no programs found: $(cat "$work/err")"

[ "$failures" -eq 0 ] && echo "ok: setup command"
exit $((failures > 0))
