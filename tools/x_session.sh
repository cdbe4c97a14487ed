# Sourced by the scripts that drive the window under a virtual X server (the end-to-end test and
# the README's pictures): a wait that polls, and a server of their own.

# Waits until the command succeeds, polling, for at most $1 seconds.
until_true() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || { echo "gave up waiting for: $*" >&2; return 1; }
    sleep 0.1
  done
}

# Starts Xvfb with the screen $2 (WxHxD), keeping its files in the folder $1; sets xvfb_pid and
# exports DISPLAY. The server picks its display itself and holds it by its lock file: other builds
# on the machine start servers of their own at the same time, and a number merely seen free may be
# taken by one of them first. It writes the number once it takes connections. Returns 1 with the
# reason on stdout when no server comes up.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 "$2" -nolisten tcp 3>"$1/display" >"$1/xvfb.log" 2>&1 &
  xvfb_pid=$!
  until_true 60 grep -q '^[0-9]' "$1/display" || { echo "no X server could be started: $(cat "$1/xvfb.log")"; return 1; }
  export DISPLAY=":$(head -1 "$1/display")"
  until_true 60 xdotool getmouselocation || { echo "the X server on $DISPLAY takes no connections"; return 1; }
}
