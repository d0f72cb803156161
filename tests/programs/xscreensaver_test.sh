#!/usr/bin/env bash
# A saver run by the real xscreensaver daemon: activating the daemon makes our
# program draw (the screen is not all black); deactivating it ends our
# process within 2 seconds. Needs an X display (run under xvfb-run).
#   xscreensaver_test.sh BIN_DIR
set -u
bin=$1
command -v xscreensaver >/dev/null || { echo "SKIP: xscreensaver is not installed"; exit 0; }
[ -n "${DISPLAY:-}" ] || { echo "needs an X display"; exit 1; }

home=$(mktemp -d)
daemon=""
cleanup() {
  [ -n "$daemon" ] && kill "$daemon" 2>/dev/null
  [ -n "${user:-}" ] && pkill -u "$user" 2>/dev/null
  pkill -f "$bin/plasma --root" 2>/dev/null
  rm -rf "$home"
}
trap cleanup EXIT

# The daemon refuses to run screen savers as root: run it as a test user.
run_as=()
if [ "$(id -u)" -eq 0 ]; then
  user=orvo-saver-test
  id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$user" || exit 1
  if [ -n "${XAUTHORITY:-}" ] && [ -f "$XAUTHORITY" ]; then
    cp "$XAUTHORITY" "$home/.Xauthority"
  fi
  chown -R "$user" "$home"
  chmod 755 "$home"
  run_as=(runuser -u "$user" --)
fi
cat > "$home/.xscreensaver" <<CONF
timeout:	0:30:00
cycle:	0:00:00
lock:		False
fade:		False
unfade:		False
splash:		False
mode:		one
selected:	0
programs:	"Orvo Plasma" $bin/plasma --root \n
CONF
[ "$(id -u)" -eq 0 ] && chown "${user}" "$home/.xscreensaver"

env_vars=(HOME="$home" ORVO_CONFIG_DIR="$home/orvo" DISPLAY="$DISPLAY")
[ -f "$home/.Xauthority" ] && env_vars+=(XAUTHORITY="$home/.Xauthority")
start_daemon() {
  "${run_as[@]}" env "${env_vars[@]}" xscreensaver --no-splash --verbose >>"$home/daemon.log" 2>&1 &
  daemon=$!
}
start_daemon
starts=1

# The daemon answers once it has set itself up on the display.
activated=""
for _ in $(seq 100); do
  if "${run_as[@]}" env "${env_vars[@]}" xscreensaver-command -activate >/dev/null 2>&1; then
    activated=yes
    break
  fi
  # Now and then the daemon quits silently while starting on a fresh
  # server; start it again (at most three times in all).
  if ! kill -0 "$daemon" 2>/dev/null && [ "$starts" -lt 3 ]; then
    start_daemon
    starts=$((starts + 1))
  fi
  sleep 0.1
done
if [ -z "$activated" ]; then
  echo "the daemon never took -activate"; cat "$home/daemon.log"
  ps -o pid,stat,etime,wchan:20,args -u "${user:-$(id -un)}"
  "${run_as[@]}" env "${env_vars[@]}" xscreensaver-command -activate
  exit 1
fi
started=""
for _ in $(seq 100); do
  if pgrep -f "$bin/plasma --root" >/dev/null; then started=yes; break; fi
  sleep 0.1
done
[ -n "$started" ] || { echo "our program was not started"; cat "$home/daemon.log"; exit 1; }

# Let it draw, then look at the screen.
bright=0
for _ in $(seq 30); do
  sleep 0.2
  bright=$(xwd -root -silent | convert xwd:- -format "%[fx:maxima*255]" info: 2>/dev/null)
  bright=${bright%.*}
  [ "${bright:-0}" -gt 0 ] && break
done
if [ "${bright:-0}" -le 0 ]; then echo "the screen stayed black"; exit 1; fi

"${run_as[@]}" env "${env_vars[@]}" xscreensaver-command -deactivate >/dev/null \
  || { echo "the daemon did not take -deactivate"; exit 1; }
for _ in $(seq 20); do
  pgrep -f "$bin/plasma --root" >/dev/null || { echo "ok: drew (brightest $bright) and ended on deactivate"; exit 0; }
  sleep 0.1
done
echo "our program was still running 2 seconds after -deactivate"
ps -o pid,stat,etime,args -p "$(pgrep -d, -f "$bin/plasma --root")" 2>/dev/null
tail -n 15 "$home/daemon.log"
exit 1
