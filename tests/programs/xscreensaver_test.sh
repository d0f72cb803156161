#!/usr/bin/env bash
# A saver run by the real xscreensaver daemon: activating the daemon makes our
# program draw (the screen is not all black); deactivating it ends our
# process within 2 seconds. Needs an X display (run under xvfb-run).
#   xscreensaver_test.sh BIN_DIR
set -u
bin=$1
# shellcheck source=../support/xscreensaver_session.sh
source "$(dirname "$0")/../support/xscreensaver_session.sh"
xss_begin
trap 'xss_end; pkill -f "$bin/plasma --root" 2>/dev/null' EXIT

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
[ -n "${user:-}" ] && chown "$user" "$home/.xscreensaver"

xss_start_daemon
xss_daemon_command -activate || exit 1
xss_wait_process "$bin/plasma --root" || { echo "our program was not started"; cat "$home/daemon.log"; exit 1; }

# Let it draw, then look at the screen.
bright=$(xss_brightness)
if [ "$bright" -le 0 ]; then echo "the screen stayed black"; exit 1; fi

xss_run xscreensaver-command -deactivate >/dev/null || { echo "the daemon did not take -deactivate"; exit 1; }
if xss_wait_gone "$bin/plasma --root"; then
  echo "ok: drew (brightest $bright) and ended on deactivate"
  exit 0
fi
echo "our program was still running 2 seconds after -deactivate"
ps -o pid,stat,etime,args -p "$(pgrep -d, -f "$bin/plasma --root")" 2>/dev/null
tail -n 15 "$home/daemon.log"
exit 1
