#!/usr/bin/env bash
# Takes the README's pictures of the window from the real program under a virtual X server,
# driven by the mouse and the keyboard as a user drives it:
#   bash tools/readme_pictures.sh [build dir, default build]
# writes docs/calculation-form.png, docs/kept-runs.png, docs/rocket-example.png and
# docs/vehicle-example.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
zarn="$root/${1:-build}/ui/zarn"
work=$(mktemp -d)
xvfb_pid="" zarn_pid=""
cleanup() {
  local status=$?
  set +e
  [ -n "$zarn_pid" ] && kill "$zarn_pid" 2>/dev/null && wait "$zarn_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

source "$root/tools/x_session.sh"
start_xvfb "$work" 1400x900x24 || exit 1
cd "$work"

visible() { xdotool search --onlyvisible --name "$1" | head -1; }
place() { eval "$(xdotool getwindowgeometry --shell "$1")"; }
click() { xdotool mousemove --sync "$1" "$2" click "${3:-1}"; }
start() { # [file]
  QT_QPA_PLATFORM=xcb "$zarn" "$@" >/dev/null 2>&1 &
  zarn_pid=$!
  until_true 30 visible "Zarn vers.1.1"
  place "$(visible "Zarn vers.1.1")"
  click $((X + 282)) $((Y + 252))  # English
}
stop() { kill "$zarn_pid"; wait "$zarn_pid" 2>/dev/null || true; zarn_pid=""; }
to_calculation_form() {
  click $((X + 732)) $((Y + 36))
  until_true 30 visible "^Zarn 1.1. \(Beta\)$"
  place "$(visible "^Zarn 1.1. \(Beta\)$")"
  FX=$X FY=$Y
}
run() {
  rm -f Zarn_500.txt
  click $((FX + 1184)) $((FY + 30))
  until_true 120 test -s Zarn_500.txt
  until_true 10 bash -c "[ \$(xdotool search --onlyvisible --name '^Zarn 1.1. \(Beta\)$' | wc -l) -eq 1 ]"
}
type_into() { click $((FX + $1)) $((FY + $2)); xdotool key ctrl+a type "$3"; }
shoot() { sleep 0.5; import -window root -crop "1216x696+$FX+$FY" +repage "$root/docs/$1"; echo "docs/$1"; }

# The first preset after its run.
start
click $((X + 66)) $((Y + 160))
click $((X + 100)) $((Y + 287))
to_calculation_form
run
shoot calculation-form.png

# Kept runs at 30, 45 and 60 degrees: V and H over X.
for angle in 30 45 60; do
  type_into 185 477 "$angle"
  run
  [ "$angle" = 60 ] || xdotool key ctrl+k
done
click $((FX + 779)) $((FY + 64))  # V, H = f (x)
shoot kept-runs.png
stop

# The two-stage sounding rocket, the pointer over the plot.
start "$root/examples/sounding-rocket-2-stage.zarn"
to_calculation_form
run
xdotool mousemove --sync $((FX + 900)) $((FY + 330)) mousemove_relative --sync 1 1
# The tooltip shows after the toolkit's delay, in its pale yellow below the pointer.
tooltip_shown() {
  local pale
  pale=$(import -window root -crop "240x120+$((FX + 900))+$((FY + 330))" +repage png:- |
    convert png:- -fx 'r > 0.98 && g > 0.98 && b > 0.8 && b < 0.9 ? 1 : 0' -format '%[fx:mean]' info:)
  awk -v p="$pale" 'BEGIN { exit !(p > 0.2) }'
}
until_true 20 tooltip_shown
shoot rocket-example.png
stop

# The model rocket on its own motor file, drag table, rail and parachute: the stage block names the
# motor, the figures give the rail exit and the landing.
start "$root/examples/vehicle/model-rocket.zarn"
to_calculation_form
run
shoot vehicle-example.png
