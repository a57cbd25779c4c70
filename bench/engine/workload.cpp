#include "workload.h"

#include <cstdio>

namespace bench {
namespace {

void AddAll(std::vector<Column>& columns, const char* prefix, int count, Kind kind, int length = 0) {
  char name[64];
  for (int i = 1; i <= count; ++i) {
    std::snprintf(name, sizeof name, "%s_%02d", prefix, i);
    columns.push_back({name, kind, length});
  }
}

std::string TypeSql(const Column& column) {
  switch (column.kind) {
    case Kind::kRowNumber:
    case Kind::kAdrNr:
    case Kind::kLfdNr:
    case Kind::kInt:
      return "int";
    case Kind::kRowText:
      return "varchar(10)";
    case Kind::kVarChar:
      return "varchar(" + std::to_string(column.length) + ")";
    case Kind::kChar1:
      return "char(1)";
    case Kind::kNumeric:
      return "numeric(18,2)";
    case Kind::kDateTime:
      return "datetime";
  }
  return "int";
}

bool IsKey(Kind kind) {
  return kind == Kind::kRowNumber || kind == Kind::kRowText || kind == Kind::kAdrNr || kind == Kind::kLfdNr;
}

// Dates as yyyymmdd, which SQL Server reads the same under every DATEFORMAT.
std::string DateLiteral(int64_t n) {
  char text[16];
  std::snprintf(text, sizeof text, "'%04d%02d%02d'", static_cast<int>(2005 + n % 15), static_cast<int>(1 + n % 12),
                static_cast<int>(1 + n % 28));
  return text;
}

std::string TextLiteral(const Column& column, int64_t row, size_t index) {
  std::string text = column.name + " " + std::to_string(row * 7 + static_cast<int64_t>(index));
  if (text.size() > static_cast<size_t>(column.length)) text.resize(static_cast<size_t>(column.length));
  return "'" + text + "'";
}

std::string Literal(const Column& column, int64_t row, size_t index) {
  // Templates leave many fields empty; a third of the non-key values are NULL.
  if (!IsKey(column.kind) && (row + static_cast<int64_t>(index)) % 3 == 0) return "NULL";
  switch (column.kind) {
    case Kind::kRowNumber:
      return std::to_string(row);
    case Kind::kRowText:
      return "'" + std::to_string(1000000 + row) + "'";
    case Kind::kAdrNr:
      return std::to_string(row / kLettersPerAddress + 1);
    case Kind::kLfdNr:
      return std::to_string(row % kLettersPerAddress + 1);
    case Kind::kVarChar:
      return TextLiteral(column, row, index);
    case Kind::kChar1:
      return (row + static_cast<int64_t>(index)) % 2 == 0 ? "'J'" : "'N'";
    case Kind::kInt:
      return std::to_string((row * 31 + static_cast<int64_t>(index)) % 100000);
    case Kind::kNumeric: {
      int64_t cents = (row * 977 + static_cast<int64_t>(index) * 13) % 10000000;
      return std::to_string(cents / 100) + "." + std::to_string(cents % 100 / 10) + std::to_string(cents % 10);
    }
    case Kind::kDateTime:
      return DateLiteral(row + static_cast<int64_t>(index));
  }
  return "NULL";
}

}  // namespace

Table AccountsTable() {
  Table t{"Kontenrahmen", {}, "KONTO"};
  auto& c = t.columns;
  c = {{"KONTO", Kind::kRowText},
       {"BEZEICHNUNG", Kind::kVarChar, 60},
       {"BEZEICHNUNG2", Kind::kVarChar, 60},
       {"KONTOART", Kind::kChar1},
       {"KONTOKLASSE", Kind::kInt},
       {"KONTOGRUPPE", Kind::kInt},
       {"STEUERSCHLUESSEL", Kind::kVarChar, 10},
       {"UST_SATZ", Kind::kNumeric},
       {"KOSTENSTELLE", Kind::kVarChar, 20},
       {"KOSTENTRAEGER", Kind::kVarChar, 20},
       {"GESPERRT", Kind::kChar1},
       {"SAMMELKONTO", Kind::kChar1},
       {"AUTOMATIKKONTO", Kind::kChar1},
       {"WAEHRUNG", Kind::kVarChar, 3},
       {"ANLAGEDATUM", Kind::kDateTime},
       {"AENDERUNGSDATUM", Kind::kDateTime},
       {"BENUTZER", Kind::kVarChar, 30},
       {"BILANZPOSITION", Kind::kVarChar, 20},
       {"GUV_POSITION", Kind::kVarChar, 20},
       {"SORTIERUNG", Kind::kInt}};
  AddAll(c, "SALDO", 12, Kind::kNumeric);
  AddAll(c, "BUDGET", 12, Kind::kNumeric);
  AddAll(c, "VORJAHR", 12, Kind::kNumeric);
  AddAll(c, "BUCHUNGEN", 12, Kind::kInt);
  AddAll(c, "TEXT", 10, Kind::kVarChar, 40);
  AddAll(c, "KENNZEICHEN", 10, Kind::kChar1);
  AddAll(c, "DATUM", 6, Kind::kDateTime);
  AddAll(c, "ZAHL", 6, Kind::kInt);
  AddAll(c, "VERWEIS", 6, Kind::kVarChar, 20);
  return t;
}

Table LettersTable() {
  return Table{"Korrespondenz",
               {{"AdrNr", Kind::kAdrNr},
                {"LfdNr", Kind::kLfdNr},
                {"Datum", Kind::kDateTime},
                {"Betreff", Kind::kVarChar, 60},
                {"Bearbeiter", Kind::kVarChar, 20},
                {"Erledigt", Kind::kChar1},
                {"Kosten", Kind::kNumeric}},
               "AdrNr, LfdNr"};
}

Table MembersTable() {
  Table t{"Mitglieder", {}, "MitgliedNr"};
  auto& c = t.columns;
  c = {{"MitgliedNr", Kind::kRowNumber},  {"Name", Kind::kVarChar, 40},  {"Vorname", Kind::kVarChar, 40},
       {"Strasse", Kind::kVarChar, 40},   {"PLZ", Kind::kVarChar, 10},   {"Ort", Kind::kVarChar, 40},
       {"Geburtsdatum", Kind::kDateTime}, {"Eintritt", Kind::kDateTime}, {"Austritt", Kind::kDateTime},
       {"Beitrag", Kind::kNumeric},       {"Geschlecht", Kind::kChar1},  {"Aktiv", Kind::kChar1}};
  AddAll(c, "Telefon", 4, Kind::kVarChar, 30);
  AddAll(c, "Abteilung", 10, Kind::kInt);
  AddAll(c, "Funktion", 10, Kind::kVarChar, 40);
  AddAll(c, "Ehrung", 10, Kind::kDateTime);
  AddAll(c, "Lizenz", 10, Kind::kVarChar, 20);
  AddAll(c, "Beitragsart", 10, Kind::kChar1);
  AddAll(c, "Zahlung", 24, Kind::kNumeric);
  AddAll(c, "Bemerkung", 20, Kind::kVarChar, 60);
  AddAll(c, "Merkmal", 20, Kind::kChar1);
  AddAll(c, "Zaehler", 20, Kind::kInt);
  return t;
}

Table CatalogTable(int number) {
  char name[32];
  std::snprintf(name, sizeof name, "Tab%04d", number);
  Table t{name, {{"Nr", Kind::kRowNumber}}, "Nr"};
  const Kind kinds[] = {Kind::kVarChar, Kind::kInt, Kind::kNumeric, Kind::kDateTime, Kind::kChar1};
  for (int i = 1; i <= 99; ++i) {
    std::snprintf(name, sizeof name, "Feld_%02d", i);
    Kind kind = kinds[i % 5];
    t.columns.push_back({name, kind, kind == Kind::kVarChar ? 40 : 0});
  }
  return t;
}

std::string CreateTableSql(const Table& table) {
  std::string sql = "CREATE TABLE " + table.name + " (";
  for (const Column& column : table.columns) {
    sql += column.name + " " + TypeSql(column) + (IsKey(column.kind) ? " NOT NULL, " : " NULL, ");
  }
  return sql + "PRIMARY KEY (" + table.primary_key + "))";
}

std::string InsertSql(const Table& table, int64_t first_row, int count) {
  std::string sql = "INSERT INTO " + table.name + " (";
  for (size_t i = 0; i < table.columns.size(); ++i) sql += (i > 0 ? ", " : "") + table.columns[i].name;
  sql += ") VALUES ";
  for (int r = 0; r < count; ++r) {
    sql += r > 0 ? ", (" : "(";
    for (size_t i = 0; i < table.columns.size(); ++i) {
      if (i > 0) sql += ", ";
      sql += Literal(table.columns[i], first_row + r, i);
    }
    sql += ")";
  }
  return sql;
}

std::string NextLetterNumberSql(int64_t adr_nr) {
  return "SELECT COUNT(*)+1 AS MaxBr FROM Korrespondenz WHERE AdrNr=" + std::to_string(adr_nr);
}

}  // namespace bench
