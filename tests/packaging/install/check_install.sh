#!/usr/bin/env bash
# check_install.sh BUILD_DIR: installs into a temporary prefix and checks the layout.
set -u
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail=0
if ! cmake --install "$build" --prefix "$prefix" >/dev/null; then
  echo "cmake --install failed"; exit 1
fi
for saver in pattern stain cyclics stars spheres vortex polygon beziers plasma; do
  for f in "libexec/orvo/$saver" "share/man/man6/$saver.6" \
           "share/applications/screensavers/orvo-$saver.desktop" \
           "share/xscreensaver/config/$saver.xml"; do
    [ -e "$prefix/$f" ] || { echo "missing: $f"; fail=1; }
  done
  [ -x "$prefix/libexec/orvo/$saver" ] || { echo "not executable: libexec/orvo/$saver"; fail=1; }
  # The files name the programs where this install put them, whatever
  # prefix the build was configured with.
  grep -q "^Exec=$prefix/libexec/orvo/$saver --root$" "$prefix/share/applications/screensavers/orvo-$saver.desktop" \
    || { echo "desktop entry of $saver does not run $prefix/libexec/orvo/$saver --root"; fail=1; }
  grep -q "Program: $prefix/libexec/orvo/$saver\." "$prefix/share/xscreensaver/config/$saver.xml" \
    || { echo "description of $saver does not name $prefix/libexec/orvo/$saver"; fail=1; }
  grep -q '<command arg="--root"/>' "$prefix/share/xscreensaver/config/$saver.xml" \
    || { echo "description of $saver has no --root command"; fail=1; }
  warnings=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man6/$saver.6" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then echo "man page of $saver: $warnings"; fail=1; fi
  grep -q "^Section .fB\[" "$prefix/share/man/man6/$saver.6" || { echo "man page of $saver names no section"; fail=1; }
done
for tool in orvo-render orvo-xscreensaver-setup; do
  [ -x "$prefix/bin/$tool" ] || { echo "missing: bin/$tool"; fail=1; }
  page=$prefix/share/man/man1/$tool.1
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -e "$page" ] && [ -z "$warnings" ] || { echo "man page of $tool: missing or $warnings"; fail=1; }
done
# Every page answers the usual questions, in sections of these names; a
# saver's page names every exit code a run can end with and every variable
# a run reads.
sections='NAME SYNOPSIS DESCRIPTION OPTIONS EXIT.STATUS ENVIRONMENT FILES SECURITY SEE.ALSO'
section() { sed -n "/^\.SH $2\$/,/^\.SH /p" "$1"; }
for page in "$prefix"/share/man/man6/*.6 "$prefix"/share/man/man1/*.1; do
  for name in $sections; do
    grep -q -x "\.SH $name" "$page" || { echo "$(basename "$page"): no section ${name/./ }"; fail=1; }
  done
done
for page in "$prefix"/share/man/man6/*.6; do
  codes=$(section "$page" "EXIT STATUS" | grep -A1 -x '\.TP' | sed -n 's/^\\fB\([0-9]*\)\\fR$/\1/p' | tr '\n' ' ')
  [ "$codes" = "0 1 2 3 255 " ] || { echo "$(basename "$page"): exit codes \"$codes\""; fail=1; }
  for variable in ORVO_CONFIG_DIR XDG_CONFIG_HOME ORVO_SCALE XSCREENSAVER_WINDOW DISPLAY XSS_SLEEP_LOCK_FD WAYLAND_DISPLAY; do
    section "$page" ENVIRONMENT | grep -q -x -F "\\fB$variable\\fR" || { echo "$(basename "$page"): no $variable"; fail=1; }
  done
  for file in control.ini registry.ini /etc/pam.d/orvo\\-saver; do
    section "$page" FILES | grep -q -F "$file" || { echo "$(basename "$page"): no $file in FILES"; fail=1; }
  done
done
if [ $fail -eq 0 ]; then echo "install layout: all files present, every page with its sections"; fi
exit $fail
