#!/usr/bin/env bash
# The upgrader killed (SIGKILL) at random moments of a console run over a demo server of three client databases
# (and a temporary one for the tax-key pass), then run again to its end: every table of every database must end
# up as after uninterrupted runs, schema and rows alike. A database whose tax-key conversion the killed run had
# committed (UpdS exists) has been through one whole run already, so the rerun is its second run: it must equal
# the state after two uninterrupted runs (the second run rebuilds the reference tables, whose tax-key columns the
# conversion does not widen again). Every other database must equal the state after one uninterrupted run.
#
#   kill_run_test.sh UPGRADER DEMO_TOOL SQLCMD [RUNS]
#
# RUNS defaults to 10 (the test command); CLUBIQA_KILL_RUNS overrides it for the long form (100 and more, run
# by hand). Each moment is printed with the stage it hit. Identity columns are left out of the comparison: the
# help topics are deleted and inserted on every run, so their numbers move on with every run, killed or not.
set -euo pipefail
upgrader=$1
demo_tool=$2
sqlcmd=$3
runs=${CLUBIQA_KILL_RUNS:-${4:-10}}

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export HOME=$dir/home XDG_DATA_DIRS=$dir/share
unset XDG_CONFIG_HOME XDG_DATA_HOME

cp "$upgrader" "$dir/clubiqa-sql-update"
"$demo_tool" "$dir" > /dev/null
# The batch trace tells where a killed run was: the console output may still sit in the killed process's buffer.
printf '[Server]\nTrace=1\n' > "$dir/demo-server/server.ini"
cp -r "$dir/demo-server" "$dir/pristine"

restore() { rm -rf "$dir/demo-server" && cp -r "$dir/pristine" "$dir/demo-server"; }

# Starts the upgrader in the background; its pid is in $run_pid.
start_run() {
  (cd / && exec env -u DISPLAY "$dir/clubiqa-sql-update") > "$1" 2>&1 &
  run_pid=$!
}

# The rows of `select` in database $1, one line each, fields joined by "|".
q() { "$sqlcmd" -S "$dir/demo-server" -d "$1" -h -1 -W -s '|' -Q "$2" | grep -Ev '^$|^\([0-9]+ rows? affected\)$' || true; }

databases() { q master "SELECT name FROM master.dbo.sysdatabases WHERE name <> 'master' ORDER BY name"; }

# Schema (columns, objects, indexes) and rows of every table of every database, rows sorted within each table:
# one file per database, $1.<database>.
dump() {
  local out
  for db in $(databases); do
    out=$1.$db
    : > "$out"
    {
      echo "#### $db"
      q "$db" "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, NUMERIC_SCALE,
               IS_NULLABLE FROM INFORMATION_SCHEMA.COLUMNS ORDER BY TABLE_NAME, ORDINAL_POSITION"
      q "$db" "SELECT name, xtype FROM sysobjects WHERE xtype IN ('U','V','PK','F','UQ','D') ORDER BY name"
      q "$db" "SELECT o.name, i.name, i.keycnt FROM sysindexes i JOIN sysobjects o ON o.id = i.id WHERE i.indid > 0
               ORDER BY o.name, i.name"
    } >> "$out"
    # One SELECT per table over its columns without identity, each behind a line naming the table.
    q "$db" "SELECT t.name, c.name, c.is_identity FROM sys.tables t JOIN sys.columns c ON c.object_id = t.object_id
             ORDER BY t.name, c.column_id" |
      awk -F'|' '
        $3 == "0" { cols[$1] = (cols[$1] == "" ? "" : cols[$1] ", ") "[" $2 "]" }
        { if (!($1 in seen)) { seen[$1] = 1; order[++n] = $1 } }
        END {
          print "SET NOCOUNT ON"
          for (i = 1; i <= n; i++) {
            t = order[i]
            print "SELECT '\''### " t "'\''"
            if (cols[t] != "") print "SELECT " cols[t] " FROM [" t "]"
            print "GO"
          }
        }' > "$dir/select.sql"
    "$sqlcmd" -S "$dir/demo-server" -d "$db" -h -1 -W -s '|' -i "$dir/select.sql" |
      awk -v db="$db" '/^### /{ t = substr($0, 5); next } /^$|^\([0-9]+ rows? affected\)$/ { next } { print db "." t "\t" $0 }' |
      LC_ALL=C sort >> "$out"
  done
}

# Where a killed run was, from the server's trace (the console output may still sit in the killed process's
# buffer): the database of the last batch and the last stage begun, known by the first probe of each stage
# (A: Mandstam.VereinUebUntgliedAbt, B: F5KontMonosportverein, C: SportartenV.LV, D: MandKonten, E: tblDSA7)
# and of the tax-key pass (UpdS); "in a transaction" when the last batch left a group open.
stage_of() {
  local trace=$dir/demo-server/trace.jsonl
  if [ ! -s "$trace" ]; then echo "before the first statement"; return; fi
  awk '
    { db = $0; sub(/^\{"db":"/, "", db); sub(/".*/, "", db) }
    /Column_Name=.VereinUebUntgliedAbt/ { stage[db] = "stage A" }
    /name=.F5KontMonosportverein/ { stage[db] = "stage B" }
    /Table_Name=.SportartenV. AND Column_Name=.LV/ { stage[db] = "stage C" }
    /name=.MandKonten./ { stage[db] = "stage D" }
    /name=.tblDSA7./ { stage[db] = "stage E" }
    /name=.UpdS./ { stage[db] = "tax-key pass" }
    /"sql":"BEGIN TRANSACTION"/ { open = 1 }
    /"sql":"COMMIT TRANSACTION"/ { open = 0 }
    { last = db }
    END {
      where = (last in stage) ? stage[last] : "listing"
      if (last == "master") where = "run lock"
      printf "%s %s%s", last, where, open ? " (in a transaction)" : ""
    }' "$trace"
}

# The references: one run without interruption, and a second one after it.
restore
begin=$(date +%s%N)
start_run "$dir/reference.txt"
wait "$run_pid" || fail "the uninterrupted run failed: $(tail -n 3 "$dir/reference.txt")"
duration_ms=$(( ($(date +%s%N) - begin) / 1000000 ))
dump "$dir/one_run"
[ "$(cat "$dir"/one_run.* | grep -c .)" -gt 1000 ] || fail "the reference dump is too small"
start_run "$dir/reference.txt"
wait "$run_pid" || fail "the second uninterrupted run failed: $(tail -n 3 "$dir/reference.txt")"
dump "$dir/two_runs"
echo "uninterrupted run: ${duration_ms} ms"

differences=0
for i in $(seq 1 "$runs"); do
  restore
  delay_ms=$(( (RANDOM * 32768 + RANDOM) % (duration_ms + 1) ))
  start_run "$dir/killed.txt"
  sleep "$(awk -v ms="$delay_ms" 'BEGIN { printf "%.3f", ms / 1000 }')"
  kill -KILL "$run_pid" 2> /dev/null || true
  wait "$run_pid" 2> /dev/null || true
  stage=$(stage_of)
  converted=""
  for db in $(databases); do
    [ "$(q "$db" "SELECT COUNT(*) FROM sysobjects WHERE name='UpdS'")" = "1" ] && converted="$converted $db"
  done

  start_run "$dir/rerun.txt"
  wait "$run_pid" || fail "moment $i (${delay_ms} ms, $stage): the rerun failed: $(tail -n 3 "$dir/rerun.txt")"
  dump "$dir/after"
  result="identical"
  for db in $(databases); do
    expected=$dir/one_run.$db
    case " $converted " in *" $db "*) expected=$dir/two_runs.$db ;; esac
    if ! cmp -s "$expected" "$dir/after.$db"; then
      result="DIFFERENT"
      echo "--- $db differs from $(basename "$expected"):"
      diff "$expected" "$dir/after.$db" | head -n 20
    fi
  done
  [ "$result" = "identical" ] || differences=$((differences + 1))
  echo "moment $i: ${delay_ms} ms, at $stage; converted before the rerun:${converted:- none}; $result"
done
echo "kill run: $runs moments, $differences with differences"
[ "$differences" -eq 0 ] || fail "$differences of $runs interrupted runs ended differently"
