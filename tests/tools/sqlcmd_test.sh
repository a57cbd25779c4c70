#!/usr/bin/env bash
# Runs clubiqa-sqlcmd against a fresh server directory and compares what it prints with what
# sqlcmd prints for the same scripts: headers, dashes, padding, NULL, "(N rows affected)", the Msg
# lines on stderr and the exit codes of -b and of a failed login.
# Usage: sqlcmd_test.sh <path to clubiqa-sqlcmd>
set -u

tool=${1:?usage: sqlcmd_test.sh <clubiqa-sqlcmd>}
work=$(mktemp -d "${TMPDIR:-/tmp}/sqlcmd_test.XXXXXX")
trap 'rm -rf "$work"' EXIT
server="$work/server"
failures=0

fail() {
  echo "FAILED: $1" >&2
  failures=$((failures + 1))
}

# expect_file <name> <expected file> <actual file>
expect_file() {
  if ! diff -u "$2" "$3" >"$work/diff" 2>&1; then
    fail "$1"
    cat "$work/diff" >&2
  fi
}

# run <name> <expected exit code> <args...>: output in $work/out, errors in $work/err
run() {
  local name=$1 code=$2
  shift 2
  "$tool" "$@" >"$work/out" 2>"$work/err"
  local rc=$?
  if [[ $rc -ne $code ]]; then
    fail "$name: exit code $rc, expected $code"
    cat "$work/err" >&2
  fi
}

# --- a new directory becomes an empty server; DDL prints nothing --------------------------------
run "create database" 0 -S "$server" -Q "CREATE DATABASE shop"
[[ -d "$server" ]] || fail "server directory not created"
[[ -s "$work/out" ]] && fail "CREATE DATABASE printed something: $(cat "$work/out")"

# --- a script split at GO and lower-case go, default layout ----------------------------------------
cat >"$work/script.sql" <<'SQL'
CREATE TABLE Artikel (Nr int NOT NULL PRIMARY KEY, Name varchar(10) NULL, Preis numeric(8,2) NULL)
GO
INSERT INTO Artikel VALUES (1, 'Ball', 9.50)
INSERT INTO Artikel VALUES (2, NULL, NULL)
  go  
SELECT Nr, Name, Preis FROM Artikel ORDER BY Nr
GO
PRINT 'fertig'
SQL
run "script" 0 -S "$server" -d shop -i "$work/script.sql"
{
  printf '\n(1 rows affected)\n\n(1 rows affected)\n'
  printf '%-11s %-10s %-10s\n' Nr Name Preis
  printf '%s %s %s\n' ----------- ---------- ----------
  printf '%11s %-10s %10s\n' 1 Ball 9.50 2 NULL NULL
  printf '\n(2 rows affected)\nfertig\n'
} >"$work/expected"
expect_file "script output" "$work/expected" "$work/out"
[[ -s "$work/err" ]] && fail "script wrote to stderr: $(cat "$work/err")"

# --- -h -1 -W -s "|" ------------------------------------------------------------------------------
run "-h -1 -W -s" 0 -S "$server" -d shop -h -1 -W -s "|" -Q "SELECT Nr, Name, Preis FROM Artikel ORDER BY Nr"
printf '1|Ball|9.50\n2|NULL|NULL\n\n(2 rows affected)\n' >"$work/expected"
expect_file "-h -1 -W -s output" "$work/expected" "$work/out"

# --- -W keeps the header, with dashes as long as each name ------------------------------------------
run "-W" 0 -S "$server" -d shop -W -Q "SELECT Nr, Name AS Bezeichnung FROM Artikel WHERE Nr = 1"
printf 'Nr Bezeichnung\n-- -----------\n1 Ball\n\n(1 rows affected)\n' >"$work/expected"
expect_file "-W output" "$work/expected" "$work/out"

# --- GO n runs the batch n times --------------------------------------------------------------------
printf 'CREATE TABLE Log (x int NULL)\nGO\nINSERT INTO Log VALUES (1)\nGO 3\nSELECT COUNT(*) AS n FROM Log\n' \
  >"$work/repeat.sql"
run "GO n" 0 -S "$server" -d shop -h -1 -i "$work/repeat.sql"
printf '\n(1 rows affected)\n\n(1 rows affected)\n\n(1 rows affected)\n          3\n\n(1 rows affected)\n' \
  >"$work/expected"
expect_file "GO n output" "$work/expected" "$work/out"

# --- the script from standard input -----------------------------------------------------------------
printf 'SELECT Name FROM Artikel WHERE Nr = 1\ngo\n' | "$tool" -S "$server" -d shop -h -1 -W >"$work/out" 2>"$work/err"
printf 'Ball\n\n(1 rows affected)\n' >"$work/expected"
expect_file "stdin output" "$work/expected" "$work/out"

# --- SET NOCOUNT ON: no "(N rows affected)" after DML nor after a SELECT; OFF brings it back ---------
printf 'SET NOCOUNT ON\nINSERT INTO Artikel VALUES (3, NULL, NULL)\nSELECT Nr FROM Artikel WHERE Nr = 3\n%s\n' \
  'DELETE FROM Artikel WHERE Nr = 3 SET NOCOUNT OFF SELECT COUNT(*) FROM Artikel' >"$work/nocount.sql"
run "NOCOUNT" 0 -S "$server" -d shop -h -1 -W -i "$work/nocount.sql"
printf '3\n2\n\n(1 rows affected)\n' >"$work/expected"
expect_file "NOCOUNT output" "$work/expected" "$work/out"

# --- errors: Msg line on stderr, the batch's line number; -b stops with exit code 1 ------------------
printf "PRINT 'vorher'\nSELECT * FROM Fehlt\nGO\nPRINT 'nachher'\nGO\n" >"$work/error.sql"
run "error without -b" 0 -S "$server" -d shop -i "$work/error.sql"
printf 'vorher\nnachher\n' >"$work/expected"
expect_file "error without -b: output" "$work/expected" "$work/out"
printf "Msg 208, Level 16, State 1, Line 2\nInvalid object name 'Fehlt'.\n" >"$work/expected_err"
expect_file "error without -b: stderr" "$work/expected_err" "$work/err"

run "error with -b" 1 -S "$server" -d shop -b -i "$work/error.sql"
printf 'vorher\n' >"$work/expected"
expect_file "error with -b: output" "$work/expected" "$work/out"
expect_file "error with -b: stderr" "$work/expected_err" "$work/err"

# --- a missing database fails the login ------------------------------------------------------------
run "missing database" 1 -S "$server" -d nichtda -Q "SELECT 1"
grep -qF 'Cannot open database "nichtda" requested by the login. The login failed.' "$work/err" ||
  fail "missing database: no 4060 text on stderr: $(cat "$work/err")"
grep -q '^Msg 4060, Level 11, State 1, Line 1$' "$work/err" || fail "missing database: no Msg 4060 line"

# --- -o writes the output to a file ---------------------------------------------------------------
run "-o" 0 -S "$server" -d shop -h -1 -W -o "$work/file.txt" -Q "SELECT Name FROM Artikel WHERE Nr = 1"
[[ -s "$work/out" ]] && fail "-o: output also on stdout"
printf 'Ball\n\n(1 rows affected)\n' >"$work/expected"
expect_file "-o file" "$work/expected" "$work/file.txt"

# --- usage errors ---------------------------------------------------------------------------------
run "missing -S" 1 -Q "SELECT 1"
run "unknown option" 1 -S "$server" -Z
# An unusable command line gets sqlcmd's error line and then the synopsis, on stderr only.
{
  echo "Sqlcmd: '-Z': Unknown Option. Enter '-?' for help."
  "$tool" '-?' | sed -n '1,/^       clubiqa-sqlcmd -? | --help | --version$/p'
} >"$work/expected"
expect_file "unknown option: error and usage lines" "$work/expected" "$work/err"
[[ -s "$work/out" ]] && fail "unknown option: something on stdout"
run "unknown long option" 1 -S "$server" --verbose
[[ "$(head -n 1 "$work/err")" == "Sqlcmd: '--verbose': Unknown Option. Enter '-?' for help." ]] ||
  fail "unknown long option: $(head -n 1 "$work/err")"
sed -n 2p "$work/err" | grep -q '^usage: clubiqa-sqlcmd -S server_dir' || fail "unknown long option: no usage line"
run "missing value" 1 -S "$server" -d
sed -n 2p "$work/err" | grep -q '^usage: clubiqa-sqlcmd ' || fail "missing value: no usage line"

# --- help and version: printed on stdout without touching any server ------------------------------
run "-?" 0 '-?'
cp "$work/out" "$work/help"
head -n 1 "$work/help" | grep -q '^usage: clubiqa-sqlcmd -S server_dir' || fail "-?: no usage line"
grep -q -- '--version  print the release number' "$work/help" || fail "-?: --version not listed"
run "--help" 0 --help
expect_file "--help is -?" "$work/help" "$work/out"
run "--help with other switches" 0 -S "$work/not-created" -Q "SELECT 1" --help
expect_file "--help with other switches" "$work/help" "$work/out"
run "--version" 0 --version -S "$work/not-created"
grep -qx 'clubiqa-sqlcmd [0-9]*\.[0-9]*\.[0-9]*' "$work/out" || fail "--version: $(cat "$work/out")"
[[ -s "$work/err" ]] && fail "--version: something on stderr"
[[ -e "$work/not-created" ]] && fail "help or version created a server directory"
run "missing input file" 1 -S "$server" -i "$work/nichtda.sql"

if [[ $failures -ne 0 ]]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all sqlcmd checks passed"
