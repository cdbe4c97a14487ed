#!/usr/bin/env bash
# The program as a user meets it, under a real X server driven by the mouse and the keyboard:
# the start form, a preset, START, the clear graph style from the plot's menu, a long run cancelled
# with a mouse click on its progress dialog, and the clear graph's horizontal axis labels inside
# the visible plot area, read from a screenshot.
#   e2e_mouse.sh ZARN_EXECUTABLE
set -euo pipefail
zarn=$(realpath "$1")
for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool (tools/deps.sh installs it)"; exit 1; }
done

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

fail() {
  echo "FAIL: $*"
  [ -s "$work/zarn.log" ] && sed 's/^/zarn: /' "$work/zarn.log"  # why the program ended, if it did
  [ -n "${DISPLAY:-}" ] && import -display "$DISPLAY" -window root "$work/failure.png" 2>/dev/null &&
    cp "$work/failure.png" "${E2E_SHOTS:-/tmp}/zarn-e2e-failure.png" 2>/dev/null || true
  exit 1
}

# The window of that name that is shown, with its place: sets WID, X, Y, WIDTH, HEIGHT.
visible() { xdotool search --onlyvisible --name "$1" | head -1; }
# The start form is shown, or the program has ended.
visible_or_gone() { [ -n "$(visible "Zarn vers.1.1")" ] || ! kill -0 "$zarn_pid" 2>/dev/null; }

source "$(dirname "$0")/../../tools/x_session.sh"

# The runs write into the work folder; the step file of the long run goes nowhere.
cd "$work"
ln -s /dev/null "Zarn Daten.txt"
# A server of its own, and the program on it. On a busy machine a fresh server has been seen to
# take xdotool's connection and then refuse the program's; that is the server's fault, not the
# program's, and a second server is tried once (the log says so) before the test fails.
start_program() {
  start_xvfb "$work" 1280x1024x24 >"$work/why" || fail "$(cat "$work/why")"
  QT_QPA_PLATFORM=xcb "$zarn" >"$work/zarn.log" 2>&1 &
  zarn_pid=$!
}
start_program
until_true 30 visible_or_gone || true
if ! kill -0 "$zarn_pid" 2>/dev/null && grep -q "could not connect to display" "$work/zarn.log"; then
  echo "the X server on $DISPLAY refused the program: a second server"
  wait "$zarn_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  start_program
fi

place() {
  WID=$1
  eval "$(xdotool getwindowgeometry --shell "$WID")"
}
click() { # x y [button]
  xdotool mousemove --sync "$1" "$2" click "${3:-1}"
}

until_true 30 visible "Zarn vers.1.1" || fail "the start form does not show"
place "$(visible "Zarn vers.1.1")"
click $((X + 282)) $((Y + 252))  # the language: English
click $((X + 66)) $((Y + 160))   # the task
click $((X + 100)) $((Y + 287))  # the first preset
click $((X + 732)) $((Y + 36))   # START
until_true 30 visible "^Zarn 1.1. \(Beta\)$" || fail "the calculation form does not show"
place "$(visible "^Zarn 1.1. \(Beta\)$")"
FX=$X FY=$Y

click $((FX + 1184)) $((FY + 30))  # START of the calculation form
until_true 60 test -s Zarn_500.txt || fail "the first preset's run wrote no sample file"

# The plot's menu, its fourth entry: "Clear graph style".
menus_before=$(xdotool search --onlyvisible --name "" 2>/dev/null | wc -l)
click $((FX + 740)) $((FY + 376)) 3
until_true 10 test "$(xdotool search --onlyvisible --name "" 2>/dev/null | wc -l)" -gt "$menus_before" ||
  fail "no menu on a right click of the plot"
xdotool key Down Down Down Down Return

# A long run: a microsecond step up to 30 s.
for field in "185 417 0.000001" "185 614 30"; do
  read -r fx fy text <<<"$field"
  click $((FX + fx)) $((FY + fy))
  xdotool key ctrl+a type "$text"
done
rm -f Zarn_500.txt
click $((FX + 1184)) $((FY + 30))
two_windows() { test "$(xdotool search --onlyvisible --name "^Zarn 1.1. \(Beta\)$" | wc -l)" -ge 2; }
until_true 30 two_windows || fail "no progress dialog for the long run"
dialog=""
for w in $(xdotool search --onlyvisible --name "^Zarn 1.1. \(Beta\)$"); do
  place "$w"
  ((WIDTH < 800)) && dialog=$w && break
done
[ -n "$dialog" ] || fail "no progress dialog among the windows"
place "$dialog"
# Cancel stands at the dialog's bottom right.
click $((X + WIDTH - 50)) $((Y + HEIGHT - 24))
# The run stops: its thread ends and the window reports "Run cancelled" in a message box, long
# before thirty million steps a pass could.
until_true 20 visible "^zarn$" || fail "Cancel clicked with the mouse did not stop the run"
! two_windows || fail "the progress dialog stays after Cancel"
[ ! -e Zarn_500.txt ] || fail "the cancelled run wrote a sample file"
place "$(visible "^zarn$")"
click $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) # the box takes the keys
xdotool key Return
until_true 10 bash -c '! xdotool search --onlyvisible --name "^zarn$"' || fail "the message box stays"

# The clear graph of the first run is still on show; its horizontal axis labels lie in the
# bottom band of the visible plot area (769 x 513 at (440, 176) of the form): near-black text.
import -window root "$work/shot.png"
dark=$(convert "$work/shot.png" -crop "689x45+$((FX + 480))+$((FY + 176 + 513 - 45))" +repage \
  -fx 'max(r,max(g,b)) < 0.31 ? 1 : 0' -format '%[fx:round(mean*w*h)]' info:)
echo "dark pixels in the horizontal axis band: $dark"
[ -n "${E2E_SHOTS:-}" ] && cp "$work/shot.png" "$E2E_SHOTS/zarn-e2e.png"
((dark > 60)) || fail "the clear graph's horizontal axis labels are not in the visible plot area"
echo "PASS"
