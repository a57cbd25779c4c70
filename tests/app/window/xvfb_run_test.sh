#!/usr/bin/env bash
# End to end on a display: the program in a directory of its own, beside the SysDBAdo.INI and the embedded
# demo server that clubiqa-demo-server builds there (client databases of the previous release), runs to the
# completion message, which is checked on a screenshot (ImageVanta shown, Gauge1 at 0) and confirmed; the
# program must then end with exit code 0. No other box may come up on the way.
#
# usage: xvfb_run_test.sh <clubiqa-sql-update> <clubiqa-demo-server> <picture_dump> <output dir>
# Needs DISPLAY (run it through with_xvfb.sh). Exits 77 (skipped) when a tool it needs is missing.
# The screenshot is left in <output dir>/window_screenshot.png for a human to look at.
set -u

if [[ $# -ne 4 ]]; then
  echo "usage: $0 <clubiqa-sql-update> <clubiqa-demo-server> <picture_dump> <output dir>" >&2
  exit 2
fi
program=$1 demo_tool=$2 picture_dump=$3 out_dir=$4
here=$(cd "$(dirname "$0")" && pwd)
readonly application_title='Clubiqa vanta - SQL Update'

for tool in xdotool xwd python3; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "xvfb_run_test.sh: $tool is not installed; skipping" >&2
    exit 77
  fi
done
if [[ -z "${DISPLAY:-}" ]]; then
  echo "xvfb_run_test.sh: no DISPLAY; run me through with_xvfb.sh" >&2
  exit 2
fi

work=$(mktemp -d)
pid=
cleanup() {
  if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [[ -s "$work/output.txt" ]]; then
    echo "--- program output:" >&2
    cat "$work/output.txt" >&2
  fi
  exit 1
}

# Prints "X Y WIDTH HEIGHT" of a window.
geometry() {
  xdotool getwindowgeometry --shell "$1" | sed -n 's/^\(X\|Y\|WIDTH\|HEIGHT\)=//p' | tr '\n' ' '
}

# --- the installation: program, settings file, server with the client databases --------------------
cp "$program" "$work/clubiqa-sql-update"
"$demo_tool" "$work" >"$work/demo.txt" 2>&1 || { cat "$work/demo.txt" >&2; fail "cannot build the demo server"; }

(cd "$work" && exec ./clubiqa-sql-update) >"$work/output.txt" 2>&1 &
pid=$!

main=$(timeout 30 xdotool search --sync --class "^${application_title}\$" 2>/dev/null | head -n 1)
[[ -n "$main" ]] || fail "the main window did not appear within 30 s"

# --- the run: wait for the completion message; any other box is confirmed and fails the test --------
info=
confirmed=0
deadline=$((SECONDS + 240))
while [[ -z "$info" ]]; do
  ((SECONDS < deadline)) || fail "no completion message within 240 s"
  kill -0 "$pid" 2>/dev/null || fail "the program ended before the completion message"
  # The boxes share the main window's class.
  for box in $(xdotool search --onlyvisible --class "^${application_title}\$" 2>/dev/null); do
    [[ "$box" == "$main" ]] && continue
    name=$(xdotool getwindowname "$box" 2>/dev/null) || continue
    if [[ "$name" == Informationen ]]; then
      info=$box
      break
    fi
    [[ "$name" == "$application_title" ]] && fail "the run ended with a failure box"
    xdotool key --window "$box" Return 2>/dev/null
    confirmed=$((confirmed + 1))
  done
  [[ -n "$info" ]] || sleep 0.2
done
[[ $confirmed -eq 0 ]] || fail "the run showed $confirmed box(es) before the completion message"

caption=$(xdotool getwindowname "$main")
[[ "$caption" == "$application_title" ]] || fail "main window caption is '$caption'"

# --- the screenshot -----------------------------------------------------------------------------------
sleep 0.3  # let the box finish painting
xwd -root -silent >"$work/shot.xwd" || fail "xwd failed"
"$picture_dump" "$work" || fail "picture_dump failed"
mkdir -p "$out_dir"
read -r main_x main_y _ _ <<<"$(geometry "$main")"
read -r box_x box_y box_w box_h <<<"$(geometry "$info")"
python3 "$here/check_screenshot.py" "$work/shot.xwd" "$work" "$out_dir/window_screenshot.png" \
  "$main_x" "$main_y" "$box_x" "$box_y" "$box_w" "$box_h" || fail "the screenshot does not show the window as expected"

# --- confirming the completion message ends the program --------------------------------------------
# The box is gone after the key press, so the key release fails with BadWindow: that noise is dropped.
xdotool key --window "$info" Return 2>/dev/null
for _ in $(seq 200); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the program did not end within 20 s of the completion message"
wait "$pid"
status=$?
pid=
[[ $status -eq 0 ]] || fail "exit code $status"
echo "PASS"
