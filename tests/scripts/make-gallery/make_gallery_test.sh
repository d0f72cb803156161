#!/usr/bin/env bash
# scripts/make-gallery at a tiny size into a temporary folder: a PNG of
# every saver at that size (8-bit indexed), an animated GIF of 30 frames at
# half the size for three of them, nothing else; the same bytes on a second
# run; bad arguments write nothing; and the README shows exactly the files
# the script makes, all of which are committed in docs/gallery.
#   make_gallery_test.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
top=$(cd "$(dirname "$0")/../../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
savers=(pattern stain cyclics stars spheres vortex polygon beziers plasma)

# byte_at FILE OFFSET COUNT: the bytes as unsigned decimals, one a line.
bytes_at() { od -An -v -t u1 -j "$2" -N "$3" "$1" | tr -s ' ' '\n' | sed '/^$/d'; }
be32() { bytes_at "$1" "$2" 4 | awk '{ v = v * 256 + $1 } END { print v }'; }
le16() { bytes_at "$1" "$2" 2 | awk '{ b[NR] = $1 } END { print b[1] + 256 * b[2] }'; }

for run in a b; do
  if ! "$top/scripts/make-gallery" --no-build --build "$build" --size 64x40 --out "$work/$run" >"$work/log" 2>&1; then
    cat "$work/log"
    echo "FAIL: make-gallery failed"
    exit 1
  fi
done

pngs=0
gifs=()
for f in "$work/a"/*; do
  name=$(basename "$f")
  cmp -s "$f" "$work/b/$name" || fail "$name differs between two runs"
  case $name in
    *.png)
      pngs=$((pngs + 1))
      [ "$(head -c 8 "$f" | od -An -t x1 | tr -d ' ')" = 89504e470d0a1a0a ] || fail "$name is not a PNG"
      [ "$(be32 "$f" 16)x$(be32 "$f" 20)" = 64x40 ] || fail "$name is $(be32 "$f" 16)x$(be32 "$f" 20), not 64x40"
      [ "$(bytes_at "$f" 24 2 | tr '\n' ' ')" = "8 3 " ] || fail "$name is not 8-bit indexed"
      ;;
    *.gif)
      gifs+=("${name%.gif}")
      [ "$(head -c 6 "$f")" = GIF89a ] || fail "$name is not a GIF89a"
      [ "$(le16 "$f" 6)x$(le16 "$f" 8)" = 32x20 ] || fail "$name is $(le16 "$f" 6)x$(le16 "$f" 8), not 32x20"
      frames=$(identify "$f" 2>/dev/null | wc -l)
      [ "$frames" -eq 30 ] || fail "$name has $frames frames, not 30"
      ;;
    *) fail "unexpected file $name" ;;
  esac
done
for s in "${savers[@]}"; do
  [ -f "$work/a/$s.png" ] || fail "no picture of $s"
done
[ "$pngs" -eq 9 ] || fail "$pngs pictures, not 9"
[ "${#gifs[@]}" -eq 3 ] || fail "${#gifs[@]} animations, not 3"

# Bad arguments: exit 2, a message, no folder made.
for args in "--size 0x40" "--size 64" "--size 64x40x1" "--frobnicate"; do
  # shellcheck disable=SC2086
  "$top/scripts/make-gallery" --no-build --build "$build" $args --out "$work/bad" >/dev/null 2>"$work/err"
  status=$?
  [ $status -eq 2 ] || fail "\"$args\": exit $status, not 2"
  [ ! -e "$work/bad" ] || fail "\"$args\": made $work/bad"
  [ -s "$work/err" ] || fail "\"$args\": no message"
done
"$top/scripts/make-gallery" --no-build --build "$build" --out >/dev/null 2>&1
[ $? -eq 2 ] || fail "--out without a folder is accepted"

# The README shows what the script makes, and it is committed.
grep -o 'docs/gallery/[a-z]*\.\(png\|gif\)' "$top/README.md" | sort -u >"$work/readme"
(cd "$work/a" && ls | sed 's|^|docs/gallery/|' | sort) >"$work/made"
diff "$work/made" "$work/readme" >"$work/readme.diff" || fail "README and script disagree (< made, > in README): $(cat "$work/readme.diff")"
while read -r f; do
  [ -f "$top/$f" ] || fail "$f is not committed"
done <"$work/made"

[ "$failures" -eq 0 ] && echo "ok: gallery of 9 pictures and animations of ${gifs[*]}"
exit $((failures > 0))
