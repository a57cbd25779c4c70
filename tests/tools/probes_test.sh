#!/usr/bin/env bash
# The upgrader's probes, sent through clubiqa-sqlcmd exactly as it sends them, against a server
# that holds the database names and schema objects the probes must tell apart.
# Usage: probes_test.sh <path to clubiqa-sqlcmd>
set -u

tool=${1:?usage: probes_test.sh <clubiqa-sqlcmd>}
work=$(mktemp -d "${TMPDIR:-/tmp}/probes_test.XXXXXX")
trap 'rm -rf "$work"' EXIT
server="$work/server"
failures=0

# check <name> <expected output> <sqlcmd arguments...>: rows only (-h -1 -W), no row counts.
check() {
  local name=$1 expected=$2
  shift 2
  local actual
  actual=$("$tool" -S "$server" -h -1 -W "$@" 2>&1 | grep -v '^$' | grep -v 'rows affected')
  if [[ "$actual" != "$expected" ]]; then
    echo "FAILED: $name" >&2
    echo "expected:" >&2
    printf '%s\n' "$expected" >&2
    echo "actual:" >&2
    printf '%s\n' "$actual" >&2
    failures=$((failures + 1))
  fi
}

for db in ZENTIX001 zentix002 ZENTIXTMP7 ZENTIX ZENTIX_TMP ZENTIX01TMP Buchhaltung; do
  "$tool" -S "$server" -b -Q "CREATE DATABASE $db" || exit 1
done

# --- client databases: the listing without and with the temporary ones ---------------------------
check "client databases" "ZENTIX001
zentix002
ZENTIX
ZENTIX_TMP
ZENTIX01TMP" -Q "SELECT name FROM master.dbo.sysdatabases where UPPER(name) LIKE 'ZENTIX%' AND UPPER(SUBSTRING(name,7,3))<>'TMP'"
check "all client databases" "ZENTIX001
zentix002
ZENTIXTMP7
ZENTIX
ZENTIX_TMP
ZENTIX01TMP" -Q "SELECT name FROM master.dbo.sysdatabases where UPPER(name) LIKE 'ZENTIX%'"
# The listing names the server-wide catalog, so it answers the same from a client database.
check "listing from a client database" "ZENTIXTMP7" -d zentix002 \
  -Q "SELECT name FROM master.dbo.sysdatabases where UPPER(name) LIKE 'ZENTIX%' AND UPPER(SUBSTRING(name,7,3))='TMP'"

"$tool" -S "$server" -d ZENTIX001 -b -Q "
CREATE TABLE Mandstam (Nr int NOT NULL CONSTRAINT PK_Mandstam PRIMARY KEY, Eintritt datetime NULL)
CREATE TABLE Adresse (AdrNr int NOT NULL, Name varchar(40) NULL)
CREATE TABLE F5BEW4 (BUCHJAHR int NULL, InterneNr int NULL, SUCHTEXT varchar(60) NULL)
CREATE NONCLUSTERED INDEX iSuchText ON F5BEW4 (BUCHJAHR, InterneNr, SUCHTEXT)
ALTER TABLE Adresse ADD CONSTRAINT FK_Adresse_Mandstam FOREIGN KEY (AdrNr) REFERENCES Mandstam (Nr)" || exit 1
"$tool" -S "$server" -d ZENTIX001 -b -Q "CREATE VIEW vMitglieder AS SELECT AdrNr, Name FROM Adresse" || exit 1

column_probe() {  # table column
  echo "SELECT COUNT(*) FROM Information_Schema.Columns WHERE Table_Catalog='ZENTIX001' AND Table_Schema='dbo' AND Table_Name='$1' AND Column_Name='$2'"
}

# --- column probe: case-insensitive names, trailing blanks ignored, catalog restricts -------------
check "column found" "1" -d ZENTIX001 -Q "$(column_probe Mandstam Eintritt)"
check "table name in other case" "1" -d ZENTIX001 -Q "$(column_probe mandstam EINTRITT)"
check "column name with a trailing blank" "1" -d ZENTIX001 -Q "$(column_probe Mandstam 'Eintritt ')"
check "missing column" "0" -d ZENTIX001 -Q "$(column_probe Mandstam Austritt)"
check "missing table" "0" -d ZENTIX001 -Q "$(column_probe Mandstamm Eintritt)"
check "view columns are listed too" "1" -d ZENTIX001 -Q "$(column_probe vMitglieder Name)"
check "another catalog finds nothing" "0" -d zentix002 -Q "$(column_probe Mandstam Eintritt)"

# A column added with a trailing blank is the same column for the probe and for the next ALTER.
"$tool" -S "$server" -d ZENTIX001 -b -Q "ALTER TABLE dbo.Mandstam ADD [Austritt ]  datetime  Null" || exit 1
check "added column with a trailing blank" "1" -d ZENTIX001 -Q "$(column_probe Mandstam Austritt)"
msg=$("$tool" -S "$server" -d ZENTIX001 -Q "ALTER TABLE dbo.Mandstam ADD Austritt  datetime  Null" 2>&1 | head -n 1)
if [[ "$msg" != "Msg 2705, Level 16, State 4, Line 1" ]]; then
  echo "FAILED: second addition refused: $msg" >&2
  failures=$((failures + 1))
fi

# --- existence probe: tables, views and constraints are objects; plain indexes are not ------------
for name in Mandstam vMitglieder PK_Mandstam FK_Adresse_Mandstam mandstam; do
  check "object $name" "1" -d ZENTIX001 -Q "SELECT COUNT(*) FROM sysobjects WHERE name='$name'"
done
check "index is not an object" "0" -d ZENTIX001 -Q "SELECT COUNT(*) FROM sysobjects WHERE name='iSuchText'"
check "object kinds" "FK_Adresse_Mandstam|F
PK_Mandstam|PK
vMitglieder|V" -d ZENTIX001 -s "|" \
  -Q "SELECT name, RTRIM(xtype) FROM sysobjects WHERE name IN ('PK_Mandstam','vMitglieder','FK_Adresse_Mandstam') ORDER BY name"

# --- index probe: by name, on any table, primary keys included ------------------------------------
check "index by name" "1" -d ZENTIX001 -Q "SELECT COUNT(*) FROM SysIndexes WHERE Name='iSuchText'"
check "index name in other case" "1" -d ZENTIX001 -Q "SELECT COUNT(*) FROM SysIndexes WHERE Name='ISUCHTEXT'"
check "primary key index" "1" -d ZENTIX001 -Q "SELECT COUNT(*) FROM SysIndexes WHERE Name='PK_Mandstam'"
check "missing index" "0" -d ZENTIX001 -Q "SELECT COUNT(*) FROM SysIndexes WHERE Name='iLfdNr'"

if [[ $failures -gt 0 ]]; then
  echo "$failures probe check(s) failed" >&2
  exit 1
fi
echo "all probe checks passed"
