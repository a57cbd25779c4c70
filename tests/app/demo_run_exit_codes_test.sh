#!/usr/bin/env bash
# The exit codes a script reads after a console run of the upgrader over the demo server:
#   --help, --version   0, printed before anything is read: the settings file here is a FIFO, which would block
#   an error box        3: a client database whose own tblVersion lacks the column the catalogue sets; the run
#                       goes on and ends with the completion message (arguments the program does not know
#                       are ignored; demo_run_test.sh has the clean run that exits 0)
#   a corrupt file      1: the client database cannot be opened (connection error box), and when the tax-key
#                       pass probes it again the failure ends the run
set -euo pipefail
upgrader=$1
demo_tool=$2
sqlcmd=$3

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; echo "--- output:" >&2; cat "$dir/out.txt" "$dir/err.txt" >&2 2>/dev/null || true; exit 1; }
export HOME=$dir/home XDG_DATA_DIRS=$dir/share
unset XDG_CONFIG_HOME XDG_DATA_HOME DISPLAY
cp "$upgrader" "$dir/clubiqa-sql-update"

# run <expected exit code> <args...>: the upgrader's output in out.txt and err.txt
run() {
  local expected=$1 status=0
  shift
  (cd / && timeout 120 "$dir/clubiqa-sql-update" "$@" > "$dir/out.txt" 2> "$dir/err.txt") || status=$?
  [ "$status" -eq "$expected" ] || fail "$* exit code $status, expected $expected"
}

# --- --help and --version read nothing ------------------------------------------------------------------
mkfifo "$dir/SysDBAdo.INI"
run 0 --help
[ "$(head -n 1 "$dir/out.txt")" = "usage: clubiqa-sql-update [--help | --version]" ] || fail "--help: usage line"
grep -qx "  $dir/SysDBAdo.INI" "$dir/out.txt" || fail "--help does not name the settings file beside the program"
[ -s "$dir/err.txt" ] && fail "--help wrote to stderr"
run 0 extra --version --help
grep -qx "clubiqa-sql-update [0-9]*\.[0-9]*\.[0-9]*" "$dir/out.txt" || fail "--version: $(cat "$dir/out.txt")"
[ "$(wc -l < "$dir/out.txt")" -eq 1 ] || fail "--version prints more than one line"
rm "$dir/SysDBAdo.INI"

# --- an error box: the run completes, exit code 3 -------------------------------------------------------
"$demo_tool" "$dir" > /dev/null || fail "demo server not built"
cp -a "$dir/demo-server" "$dir/pristine-server"
"$sqlcmd" -S "$dir/demo-server" -d ZENTIX001 -b -Q "CREATE TABLE tblVersion (Nr int NULL)" > /dev/null ||
  fail "cannot prepare ZENTIX001"
run 3 -h --unknown
[ "$(grep -c '^\[Fehler\]' "$dir/out.txt")" -eq 1 ] || fail "error box: not exactly one [Fehler]"
grep -qx "\[Fehler\] Invalid column name 'Version'." "$dir/out.txt" || fail "error box: text"
[ "$(tail -n 1 "$dir/out.txt")" = "[Informationen] UPDATE erfolgreich ausgeführt!" ] || fail "error box: last line"

# --- a corrupt database file: the run ends, exit code 1 -------------------------------------------------
rm -rf "$dir/demo-server" && cp -a "$dir/pristine-server" "$dir/demo-server"
file=$("$sqlcmd" -S "$dir/demo-server" -h -1 -W \
  -Q "SELECT filename FROM master.dbo.sysdatabases WHERE name = 'ZENTIX002'" | head -n 1)
[ -f "$file" ] || fail "no file for ZENTIX002: $file"
printf "no database in here %.0s" {1..200} > "$file"
run 1
grep -q "^\[Fehler\] False parameters for database connection.$" "$dir/out.txt" || fail "corrupt: no connection box"
grep -q "^  Unable to connect to database 'ZENTIX002'.$" "$dir/out.txt" || fail "corrupt: box names another database"
grep -q "^\[Clubiqa vanta - SQL Update\] " "$dir/out.txt" || fail "corrupt: no unhandled-failure box"
grep -q "UPDATE erfolgreich" "$dir/out.txt" && fail "corrupt: completion message after the failure"
echo "exit codes: ok"
