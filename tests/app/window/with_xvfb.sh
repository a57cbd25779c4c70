#!/usr/bin/env bash
# Runs a command on a virtual X server of its own: with_xvfb.sh <command> [args...]
#
# Xvfb picks a free display number itself (-displayfd), so tests that run side by side under ctest -j
# never race for one, as xvfb-run -a can. Exits 77 (skipped) when Xvfb is not installed.
set -u

if ! command -v Xvfb >/dev/null 2>&1; then
  echo "with_xvfb.sh: Xvfb is not installed; skipping" >&2
  exit 77
fi

work=$(mktemp -d)
xvfb_pid=
# shellcheck disable=SC2317  # called by the trap
cleanup() {
  if [[ -n "$xvfb_pid" ]]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s "$work/display" ]] && break
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "with_xvfb.sh: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  sleep 0.1
done
if [[ ! -s "$work/display" ]]; then
  echo "with_xvfb.sh: Xvfb reported no display within 10 s" >&2
  exit 1
fi

DISPLAY=":$(head -n 1 "$work/display")" "$@"
exit $?
