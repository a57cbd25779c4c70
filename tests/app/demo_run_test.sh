#!/usr/bin/env bash
# The upgrader run end to end on the console, as a new user runs it: a demo server built by
# clubiqa-demo-server beside a copy of the upgrader, no display. The run must visit the client databases,
# skip the temporary and the unrelated one, end with the completion message and exit 0.
set -euo pipefail
upgrader=$1
demo_tool=$2

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; echo "--- output:" >&2; cat "$dir/out.txt" >&2 2>/dev/null || true; exit 1; }
# The run ends with the shortcut refresh: it gets an empty home of its own instead of the user's.
export HOME=$dir/home XDG_DATA_DIRS=$dir/share
unset XDG_CONFIG_HOME XDG_DATA_HOME

cp "$upgrader" "$dir/clubiqa-sql-update"
"$demo_tool" "$dir" > "$dir/tool.txt"
grep -q "demo server built" "$dir/tool.txt" || fail "demo server not built"
[ -f "$dir/SysDBAdo.INI" ] || fail "no SysDBAdo.INI beside the upgrader"
# A second call keeps the existing server.
"$demo_tool" "$dir" | grep -q "demo server exists" || fail "existing demo server not kept"

set +e
(cd / && env -u DISPLAY "$dir/clubiqa-sql-update" > "$dir/out.txt" 2>&1)
status=$?
set -e
[ "$status" -eq 0 ] || fail "exit code $status"
[ "$(tail -n 1 "$dir/out.txt")" = "[Informationen] UPDATE erfolgreich ausgeführt!" ] || fail "last line"
visited=$(grep '^== .*/Clubiqa vanta - SQL Update ==$' "$dir/out.txt" | sed 's/^== \(.*\)\/Clubiqa.*/\1/' | tr '\n' ' ')
[ "$visited" = "Zentix ZENTIX001 ZENTIX002 " ] || fail "visited: $visited"
grep -q '\[Warnung\]\|\[Fehler\]' "$dir/out.txt" && fail "unexpected box"
# Every catalogue run takes the gauge to 100 before it falls back to 0.
[ "$(grep -c '\] 100%$' "$dir/out.txt")" -eq 3 ] || fail "the gauge did not reach 100 in each database"

# With the settings file gone the run fails: connection box, then the failure, exit code non-zero.
rm "$dir/SysDBAdo.INI"
set +e
env -u DISPLAY "$dir/clubiqa-sql-update" > "$dir/out.txt" 2>&1
status=$?
set -e
[ "$status" -ne 0 ] || fail "exit code 0 after a failed run"
grep -q "^\[Fehler\] False parameters for database connection.$" "$dir/out.txt" || fail "no connection box"
grep -q "UPDATE erfolgreich" "$dir/out.txt" && fail "completion after failure"
echo "demo run: ok"
