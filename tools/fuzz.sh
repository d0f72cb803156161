#!/bin/sh
# Builds the fuzz targets with clang's libFuzzer (plus AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time.
#
#   tools/fuzz.sh [seconds per target, default 60] [target ...]
#
# Targets: ini (the INI text layer), preset (preset texts). The build and
# the growing corpora live in $ORVO_FUZZ_DIR (default /tmp/orvo-fuzz); the
# seeds in fuzz/seeds/ are copied there. Exits non-zero when a target finds
# a crash; the crashing input is left in the work folder.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-"ini preset"}
work=${ORVO_FUZZ_DIR:-/tmp/orvo-fuzz}
cxx=${CXX_FUZZ:-clang++}
flags="-std=c++20 -O1 -g -Wall -Wextra -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined"
flags="$flags -I$repo -I$repo/platform/include -I$repo/platform/src"

mkdir -p "$work"
for target in $targets; do
  case $target in
    ini) sources="$repo/fuzz/ini_fuzz.cpp $repo/platform/src/ini/ini_text.cpp" ;;
    preset) sources="$repo/fuzz/preset_fuzz.cpp $repo/framework/settings/store.cpp $repo/platform/src/ini/ini_text.cpp $repo/platform/src/ini/ini_file.cpp $repo/platform/src/ini/profile.cpp" ;;
    *) echo "fuzz.sh: unknown target '$target' (ini, preset)" >&2; exit 2 ;;
  esac
  echo "== building $target"
  # shellcheck disable=SC2086
  $cxx $flags $sources -o "$work/${target}_fuzz"
  mkdir -p "$work/corpus/$target"
  cp -n "$repo/fuzz/seeds/$target/"* "$work/corpus/$target/" 2>/dev/null || true
  echo "== running $target for $seconds s"
  (cd "$work" && "./${target}_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
      "corpus/$target")
done
echo "== no crash found"
