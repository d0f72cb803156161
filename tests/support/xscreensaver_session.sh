# Helpers for tests that run the real xscreensaver daemon and settings
# program on the X display of the test (run under xvfb-run), in a home
# folder of their own. Sourced by test scripts:
#   source xscreensaver_session.sh; xss_begin; ...; (cleanup runs on exit)
# Every process is started in a session of its own and ended by its group.

# xss_begin: makes $home, and when run as root, a test user to run the
# daemon as (it refuses to run screen savers as root). Sets run_as (the
# command prefix) and env_vars (the environment of every command).
xss_begin() {
  command -v xscreensaver >/dev/null || { echo "SKIP: xscreensaver is not installed"; exit 0; }
  [ -n "${DISPLAY:-}" ] || { echo "needs an X display"; exit 1; }
  home=$(mktemp -d)
  xss_groups=()
  trap xss_end EXIT
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
  env_vars=(HOME="$home" ORVO_CONFIG_DIR="$home/orvo" DISPLAY="$DISPLAY")
  [ -f "$home/.Xauthority" ] && env_vars+=(XAUTHORITY="$home/.Xauthority")
  return 0
}

xss_end() {
  local g
  for g in "${xss_groups[@]}"; do kill -- "-$g" 2>/dev/null; done
  rm -rf "$home"
}

# xss_run COMMAND...: runs a command as the test user with the test's
# environment, in the foreground.
xss_run() {
  "${run_as[@]}" env "${env_vars[@]}" "$@"
}

# xss_spawn LOG COMMAND...: starts a command in the background in a session
# of its own; sets spawned to its process (and group) id.
xss_spawn() {
  local log=$1
  shift
  setsid "${run_as[@]}" env "${env_vars[@]}" "$@" >>"$log" 2>&1 &
  spawned=$!
  xss_groups+=("$spawned")
}

xss_stop() {
  kill -- "-$1" 2>/dev/null
  wait "$1" 2>/dev/null
  return 0
}

# xss_start_daemon: starts the daemon and waits until it answers a command
# (xss_daemon_command ARGS...); now and then the daemon quits silently while
# starting on a fresh server, so it is started again (at most three times).
xss_start_daemon() {
  xss_spawn "$home/daemon.log" xscreensaver --no-splash --verbose
  daemon=$spawned
  xss_starts=1
}

# xss_daemon_command ARGS...: sends a command to the daemon, retrying for up
# to 10 s while it starts.
xss_daemon_command() {
  local _
  for _ in $(seq 100); do
    if xss_run xscreensaver-command "$@" >/dev/null 2>&1; then return 0; fi
    if ! kill -0 "$daemon" 2>/dev/null && [ "$xss_starts" -lt 3 ]; then
      xss_start_daemon
      xss_starts=$((xss_starts + 1))
    fi
    sleep 0.1
  done
  echo "the daemon never took $*"
  cat "$home/daemon.log"
  ps -o pid,stat,etime,wchan:20,args -u "${user:-$(id -un)}"
  xss_run xscreensaver-command "$@"
  return 1
}

# xss_wait_process PATTERN [TENTHS]: waits until a process matches.
xss_wait_process() {
  local _
  for _ in $(seq "${2:-100}"); do
    pgrep -f "$1" >/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# xss_wait_gone PATTERN [TENTHS]: waits until no process matches.
xss_wait_gone() {
  local _
  for _ in $(seq "${2:-20}"); do
    pgrep -f "$1" >/dev/null || return 0
    sleep 0.1
  done
  return 1
}

# xss_brightness: the brightest channel value on the screen (0..255),
# waiting up to 6 s for anything but black.
xss_brightness() {
  local bright=0 _
  for _ in $(seq 30); do
    sleep 0.2
    bright=$(xwd -root -silent | convert xwd:- -format "%[fx:maxima*255]" info: 2>/dev/null)
    bright=${bright%.*}
    [ "${bright:-0}" -gt 0 ] && break
  done
  echo "${bright:-0}"
}
