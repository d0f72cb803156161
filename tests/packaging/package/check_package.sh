#!/usr/bin/env bash
# The Debian package built by scripts/package from this build tree:
#  - its name and version (the project version of CMakeLists.txt);
#  - its file list (dpkg-deb -c): every file in its place with its mode and
#    root as owner, nothing else, nothing under /usr/local or /usr/etc;
#  - its control data: Depends names the package of every shared library a
#    program loads, the PAM file is a conffile;
#  - unpacked into a scratch root (dpkg -x): the PAM file is the project's,
#    programs are stripped and run, the entries name /usr/libexec/orvo, the
#    man pages render, the setup command finds the programs beside it;
#  - lintian reports no error and no warning (its notes are printed);
#  - the copyright file is machine-readable and gives the MIT licence.
#   check_package.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
top=$(cd "$(dirname "$0")/../../.." && pwd)
if grep -q '^ORVO_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
  echo "SKIP: packages are built from plain builds only"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
savers=(pattern stain cyclics stars spheres vortex polygon beziers plasma)

if ! "$top/scripts/package" --no-build --build "$build" --out "$work" >"$work/log" 2>&1; then
  cat "$work/log"
  echo "FAIL: scripts/package failed"
  exit 1
fi
version=$(sed -n 's/^project(orvo VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
deb=$work/orvo-savers_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$work"; echo "FAIL: no $deb"; exit 1; }
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version), not $version"
[ "$(dpkg-deb -f "$deb" Package)" = orvo-savers ] || fail "package name $(dpkg-deb -f "$deb" Package)"

# The file list: mode, owner and path of every file.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sort -k3 >"$work/files"
{
  echo "-rw-r--r-- root/root ./etc/pam.d/orvo-saver"
  for tool in orvo-render orvo-xscreensaver-setup; do
    echo "-rwxr-xr-x root/root ./usr/bin/$tool"
    echo "-rw-r--r-- root/root ./usr/share/man/man1/$tool.1.gz"
  done
  for s in "${savers[@]}"; do
    echo "-rwxr-xr-x root/root ./usr/libexec/orvo/$s"
    echo "-rw-r--r-- root/root ./usr/share/applications/screensavers/orvo-$s.desktop"
    echo "-rw-r--r-- root/root ./usr/share/man/man6/$s.6.gz"
    echo "-rw-r--r-- root/root ./usr/share/xscreensaver/config/$s.xml"
  done
  echo "-rw-r--r-- root/root ./usr/share/doc/orvo-savers/changelog.gz"
  echo "-rw-r--r-- root/root ./usr/share/doc/orvo-savers/copyright"
} | sort -k3 >"$work/expected"
diff "$work/expected" "$work/files" >"$work/files.diff" || fail "file list differs (< expected, > packaged): $(cat "$work/files.diff")"
dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root") { print }' >"$work/dirs"
[ -s "$work/dirs" ] && fail "folders with other modes or owners: $(cat "$work/dirs")"

# The PAM file is a conffile, and nothing else is.
dpkg-deb --ctrl-tarfile "$deb" | tar -x -C "$work" ./conffiles 2>/dev/null
[ "$(cat "$work/conffiles" 2>/dev/null)" = /etc/pam.d/orvo-saver ] || fail "conffiles: $(cat "$work/conffiles" 2>/dev/null)"

root=$work/root
dpkg -x "$deb" "$root"
cmp -s "$root/etc/pam.d/orvo-saver" "$top/data/pam/orvo-saver" || fail "the PAM file is not data/pam/orvo-saver"

# Depends: for every shared library a program loads, the package that holds
# it on this system.
depends=$(dpkg-deb -f "$deb" Depends)
sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends" >"$work/depends"
programs=("$root"/usr/libexec/orvo/* "$root"/usr/bin/*)
for program in "${programs[@]}"; do
  file -b "$program" | grep -q "ELF.*, stripped" || fail "$program is not a stripped ELF program: $(file -b "$program")"
done
for program in "${programs[@]}"; do
  readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'
done | sort -u >"$work/sonames"
[ -s "$work/sonames" ] || fail "no program loads a shared library"
# soname, then the path of the library this system loads for it and its
# real path (a merged /usr registers some libraries under /lib only).
while read -r soname; do
  path=$(ldconfig -p | awk -v s="$soname" '$1 == s { print $NF; exit }')
  [ -n "$path" ] || { fail "$soname is not on this system"; continue; }
  echo "$soname $path $(readlink -f "$path")"
done <"$work/sonames" >"$work/libraries"
# One dpkg -S for all: "package[:arch]: path" lines.
# shellcheck disable=SC2046
dpkg -S $(cut -d' ' -f2,3 "$work/libraries") 2>/dev/null >"$work/owners"
while read -r soname path real; do
  owner=$(awk -v p="$path" -v r="$real" '$2 == p || $2 == r { sub(/:.*/, "", $1); print $1; exit }' "$work/owners")
  [ -n "$owner" ] || { fail "no package holds $path ($soname)"; continue; }
  grep -q -x -F "$owner" "$work/depends" || fail "a program loads $soname from $owner, which Depends ($depends) lacks"
done <"$work/libraries"

for s in "${savers[@]}"; do
  grep -q -x "Exec=/usr/libexec/orvo/$s --root" "$root/usr/share/applications/screensavers/orvo-$s.desktop" \
    || fail "desktop entry of $s does not run /usr/libexec/orvo/$s --root"
  warnings=$(zcat "$root/usr/share/man/man6/$s.6.gz" | MANWIDTH=80 man --warnings -l - 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man page of $s: $warnings"
done

copyright=$root/usr/share/doc/orvo-savers/copyright
grep -q -x 'License: MIT' "$copyright" && grep -q -F 'Permission is hereby granted, free of charge' "$copyright" \
  && grep -q -x 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright" \
  || fail "the copyright file does not give the MIT licence in the machine-readable format"

# The unpacked programs work: a stripped recorder writes a picture, and the
# setup command adds the programs beside it.
"$root/usr/bin/orvo-render" plasma --size 32x20 --timers 3 --png "$work/p.png" >/dev/null 2>&1 && [ -s "$work/p.png" ] \
  || fail "the unpacked orvo-render wrote no picture"
mkdir "$work/home"
printf 'programs:\t\\\n\t\tmaze --root \\n\\\n\n' >"$work/home/.xscreensaver"
HOME=$work/home "$root/usr/bin/orvo-xscreensaver-setup" >/dev/null 2>&1 \
  && grep -q -F "\"Orvo Vortex\" $(cd "$root" && pwd -P)/usr/libexec/orvo/vortex --root" "$work/home/.xscreensaver" \
  || fail "the unpacked setup command did not add the unpacked programs"

# lintian: no errors or warnings; notes are shown.
if ! command -v lintian >/dev/null; then
  fail "lintian is not installed (Debian package lintian)"
else
  lintian --pedantic "$deb" 2>&1 | grep -v "running with root privileges" >"$work/lintian"
  grep -E '^(I|P|N):' "$work/lintian" | sed 's/^/lintian: /'
  if grep -q -E '^[EXW]:' "$work/lintian"; then
    fail "lintian errors or warnings: $(grep -E '^[EXW]:' "$work/lintian")"
  fi
fi

[ "$failures" -eq 0 ] && echo "ok: $(basename "$deb") ($(stat -c %s "$deb") bytes), Depends: $depends"
exit $((failures > 0))
