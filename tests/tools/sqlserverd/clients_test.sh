#!/usr/bin/env bash
# clubiqa-sqlserverd with the real clients: FreeTDS tsql and unixODBC isql (FreeTDS driver by
# path) against a server on a free port over a temporary server directory. Also the command
# line (--help, --version, usage errors, loopback only), a client that requires encryption, a
# wrong password, and SIGTERM with a client connected (exit code 0).
# Usage: clients_test.sh <path to clubiqa-sqlserverd>
set -u

server_bin=${1:?usage: clients_test.sh <clubiqa-sqlserverd>}
work=$(mktemp -d "${TMPDIR:-/tmp}/tds_clients.XXXXXX")
server_pid=
cleanup() {
  [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
driver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so
export FREETDSCONF="$work/freetds.conf"
printf '[global]\n\ttds version = 7.4\n' >"$FREETDSCONF"

fail() {
  echo "FAILED: $1" >&2
  failures=$((failures + 1))
}

# expect_in <name> <text> <file>
expect_in() {
  grep -qF -- "$2" "$3" || {
    fail "$1: '$2' not in output"
    sed 's/^/    /' "$3" >&2
  }
}

# --- command line -------------------------------------------------------------------------------
"$server_bin" --version >"$work/out" 2>&1 || fail "--version exit code"
[[ "$(head -n 1 "$work/out")" == "clubiqa-sqlserverd 1.0.0" ]] || fail "--version prints $(cat "$work/out")"
"$server_bin" --help >"$work/out" 2>&1 || fail "--help exit code"
expect_in "--help" "usage: clubiqa-sqlserverd -S DIR [-a ADDRESS] [-p PORT] [--listen-any]" "$work/out"
expect_in "--help" "--listen-any" "$work/out"
for args in "--bogus" "-S" "-S $work/s -p" "-S $work/s -p abc" ""; do
  # shellcheck disable=SC2086
  "$server_bin" $args >"$work/out" 2>"$work/err"
  [[ $? -eq 1 ]] || fail "usage error '$args': exit code"
  expect_in "usage error '$args'" "usage: clubiqa-sqlserverd -S DIR" "$work/err"
done
"$server_bin" -S "$work/s" -a 0.0.0.0 -p 0 >"$work/out" 2>"$work/err"
[[ $? -eq 1 ]] || fail "0.0.0.0 without --listen-any was accepted"
expect_in "non-loopback address" "only loopback addresses" "$work/err"

# --- a server with two databases and a login ------------------------------------------------------
server="$work/server"
mkdir -p "$server"
"$server_bin" -S "$server" -p 0 2>"$work/server.log" &
server_pid=$!
port=
for _ in $(seq 1 100); do
  port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9][0-9]*\).*/\1/p' "$work/server.log")
  [[ -n "$port" ]] && break
  sleep 0.1
done
[[ -n "$port" ]] || {
  cat "$work/server.log" >&2
  echo "server did not start" >&2
  exit 1
}

tsql_run() {  # tsql_run <user> <password> <database>; commands on stdin
  timeout 30 tsql -H 127.0.0.1 -p "$port" -U "$1" -P "$2" -D "$3" >"$work/out" 2>&1
}

printf 'CREATE DATABASE verein\ngo\n' | tsql_run sa x master
printf "CREATE TABLE Mitglied (Nr int NOT NULL PRIMARY KEY, Name varchar(30) NULL, Ort nvarchar(30) NULL)\n%s\n%s\ngo\n" \
  "INSERT INTO Mitglied VALUES (1, 'Jürgen Müller', N'Köln')" "INSERT INTO Mitglied VALUES (2, NULL, N'Zürich')" |
  tsql_run sa x verein

# --- tsql: rows, an error as SQL Server shows it, USE -----------------------------------------------
printf 'SELECT Nr, Name, Ort FROM Mitglied ORDER BY Nr\ngo\nSELECT * FROM Fehlt\ngo\nUSE master\ngo\nSELECT DB_NAME()\ngo\n' |
  tsql_run sa x verein
expect_in "tsql rows" "1	Jürgen Müller	Köln" "$work/out"
expect_in "tsql NULL" "2	NULL	Zürich" "$work/out"
expect_in "tsql row count" "(2 rows affected)" "$work/out"
expect_in "tsql error" "Msg 208 (severity 16, state 1)" "$work/out"
expect_in "tsql error text" "Invalid object name 'Fehlt'." "$work/out"
expect_in "tsql USE" "master" "$work/out"
expect_in "error log line" "Msg 208, Level 16, State 1, Line 1: Invalid object name 'Fehlt'." "$work/server.log"

# --- isql through the FreeTDS ODBC driver -----------------------------------------------------------
isql_run() {  # isql_run <user> <password> <database>; commands on stdin
  timeout 30 isql -v -k "Driver=$driver;Server=127.0.0.1;Port=$port;TDS_Version=7.4;UID=$1;PWD=$2;Database=$3;" \
    >"$work/out" 2>&1
}
printf 'SELECT Name FROM Mitglied WHERE Nr = 1\nSELECT Nr FROM Mitglied WHERE Ort = N'"'"'Zürich'"'"'\nSELECT 1/0\nUSE master\nSELECT DB_NAME()\n' |
  isql_run sa x verein
expect_in "isql rows" "| Jürgen Müller" "$work/out"
expect_in "isql second query" "| 2 " "$work/out"
expect_in "isql error" "[FreeTDS][SQL Server]Divide by zero error encountered." "$work/out"
expect_in "isql USE" "| master" "$work/out"

# --- logins: a [Logins] section makes the server check passwords -------------------------------------
printf '[Logins]\nsa=geheim\n' >"$server/server.ini"
printf 'SELECT 1\n' | isql_run sa falsch verein
expect_in "isql wrong password" "Login failed for user 'sa'." "$work/out"
printf 'SELECT 1\ngo\n' | tsql_run sa falsch verein
expect_in "tsql wrong password" "Msg 18456" "$work/out"
printf 'SELECT 1\ngo\n' | tsql_run sa geheim nichtda
expect_in "missing database" "Msg 4060" "$work/out"
printf 'SELECT 1 AS eins\n' | isql_run sa geheim verein
expect_in "isql right password" "| 1 " "$work/out"

# --- a client that requires encryption fails at once instead of hanging ------------------------------
printf '[needs_tls]\n\thost = 127.0.0.1\n\tport = %s\n\tencryption = require\n' "$port" >>"$FREETDSCONF"
start=$SECONDS
printf 'SELECT 1\ngo\n' | timeout 20 tsql -S needs_tls -U sa -P geheim >"$work/out" 2>&1
[[ $((SECONDS - start)) -lt 15 ]] || fail "encryption = require: the client hung"
grep -q "1>" "$work/out" && fail "encryption = require: the client logged in"
expect_in "encryption log line" "requires encryption" "$work/server.log"

# --- SIGTERM with a client connected: the server closes it and exits 0 -------------------------------
mkfifo "$work/in"
timeout 30 tsql -H 127.0.0.1 -p "$port" -U sa -P geheim -D verein <"$work/in" >"$work/held" 2>&1 &
client_pid=$!
exec 7>"$work/in"
printf 'SELECT 1\ngo\n' >&7
for _ in $(seq 1 50); do
  grep -q "connection opened: login 'sa', database 'verein', application 'TSQL'" "$work/server.log" && break
  sleep 0.1
done
expect_in "connection log line" "connection opened: login 'sa', database 'verein'" "$work/server.log"
kill -TERM "$server_pid"
wait "$server_pid"
rc=$?
server_pid=
[[ $rc -eq 0 ]] || fail "SIGTERM: exit code $rc"
exec 7>&-
wait "$client_pid" 2>/dev/null
expect_in "stop log line" "stopped" "$work/server.log"
expect_in "close log line" "connection closed (login 'sa')" "$work/server.log"

if [[ $failures -ne 0 ]]; then
  echo "--- server log ---" >&2
  cat "$work/server.log" >&2
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all client checks passed"
