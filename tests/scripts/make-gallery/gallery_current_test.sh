#!/usr/bin/env bash
# The committed gallery is what scripts/make-gallery makes from this tree
# at its default size: a change to a saver's picture shows here until the
# gallery is made again and committed.
#   gallery_current_test.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
top=$(cd "$(dirname "$0")/../../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! "$top/scripts/make-gallery" --no-build --build "$build" --out "$work/out" >"$work/log" 2>&1; then
  cat "$work/log"
  echo "FAIL: make-gallery failed"
  exit 1
fi
stale=()
for f in "$work/out"/*; do
  name=$(basename "$f")
  cmp -s "$f" "$top/docs/gallery/$name" || stale+=("$name")
done
# Files in docs/gallery that the script no longer makes.
for f in "$top"/docs/gallery/*; do
  [ -e "$work/out/$(basename "$f")" ] || stale+=("$(basename "$f") (not made any more)")
done
if [ ${#stale[@]} -gt 0 ]; then
  echo "FAIL: docs/gallery is out of date: ${stale[*]}"
  echo "Run scripts/make-gallery and commit docs/gallery."
  exit 1
fi
echo "ok: docs/gallery is what make-gallery makes ($(ls "$work/out" | wc -l) files)"
