// (p) The upgrader's catalogue probes: before it adds a column, an index or drops a constraint it
// asks the server whether the thing is there. The engine answers from its system views
// (INFORMATION_SCHEMA.COLUMNS, sysobjects, sysindexes); SQLite answers the same question from its
// own catalogue (pragma_table_info, sqlite_master). Both sides hold the same tables, each with a
// primary key and one index; one probe in four asks for a name that does not exist.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "case_util.h"
#include "workload.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

constexpr int kTablesPerTransaction = 50;

std::string IndexName(int table) { return "IX_" + CatalogTable(table).name; }

std::string CreateIndexSql(int table) {
  return "CREATE INDEX " + IndexName(table) + " ON " + CatalogTable(table).name + " (Feld_01)";
}

// One probe: the table, column and index it asks for (names that do not exist included).
struct Probe {
  std::string table;
  std::string column;
  std::string index;
};

Probe MakeProbe(Sequence& sequence, int tables) {
  int table = static_cast<int>(sequence.Next(static_cast<uint64_t>(tables))) + 1;
  int column = static_cast<int>(sequence.Next(99)) + 1;
  bool missing = sequence.Next(4) == 0;
  char name[32];
  std::snprintf(name, sizeof name, "Feld_%02d", column);
  Probe p{CatalogTable(table).name, name, IndexName(table)};
  if (missing) {
    p.table += "X";
    p.column += "X";
    p.index += "X";
  }
  return p;
}

enum class Shape { kColumn, kObject, kIndex };
constexpr Shape kShapes[] = {Shape::kColumn, Shape::kObject, Shape::kIndex};

// The probe texts as the upgrader sends them, and SQLite's question about its own catalogue.
std::string ProbeSql(Shape shape, const Probe& p, bool engine) {
  switch (shape) {
    case Shape::kColumn:
      if (engine)
        return "SELECT * FROM Information_Schema.Columns WHERE Table_Catalog='bench' AND Table_Schema='dbo' AND "
               "Table_Name='" +
               p.table + "' AND Column_Name='" + p.column + "'";
      return "SELECT * FROM pragma_table_info('" + p.table + "') WHERE name='" + p.column + "'";
    case Shape::kObject:
      if (engine) return "SELECT * FROM sysobjects WHERE NAME='" + p.table + "'";
      return "SELECT * FROM sqlite_master WHERE name='" + p.table + "'";
    case Shape::kIndex:
      if (engine) return "SELECT * FROM SysIndexes WHERE Name='" + p.index + "'";
      return "SELECT * FROM sqlite_master WHERE type='index' AND name='" + p.index + "'";
  }
  return "";
}

const char* ShapeLabel(Shape shape) {
  switch (shape) {
    case Shape::kColumn:
      return "(p) INFORMATION_SCHEMA.COLUMNS probe";
    case Shape::kObject:
      return "(p) sysobjects probe";
    case Shape::kIndex:
      return "(p) SysIndexes probe";
  }
  return "";
}

struct ProbeResult {
  double setup_s = 0;
  Cost shapes[3];
  int64_t rows[3] = {0, 0, 0};
};

double CreateTables(Backend& backend, int tables) {
  double seconds = 0;
  for (int first = 1; first <= tables; first += kTablesPerTransaction) {
    std::vector<std::string> statements;
    for (int t = first; t < first + kTablesPerTransaction && t <= tables; ++t) {
      statements.push_back(CreateTableSql(CatalogTable(t)));
      statements.push_back(CreateIndexSql(t));
    }
    auto start = Clock::now();
    backend.Execute("BEGIN TRANSACTION");
    for (const std::string& sql : statements) backend.Execute(sql);
    backend.Execute("COMMIT");
    seconds += Seconds(start);
  }
  return seconds;
}

ProbeResult ProbeOneSide(const Side& side, const fs::path& dir, int tables, int probes) {
  std::unique_ptr<Backend> backend = side.open(dir, true);
  ProbeResult result;
  result.setup_s = CreateTables(*backend, tables);
  bool engine = std::string(side.name) == "engine";
  for (int s = 0; s < 3; ++s) {
    Sequence sequence(7 + static_cast<uint64_t>(s));
    for (int i = 0; i < probes; ++i) {
      std::string sql = ProbeSql(kShapes[s], MakeProbe(sequence, tables), engine);
      result.rows[s] += Measure(result.shapes[s], [&] { return backend->QueryRowCount(sql); });
    }
  }
  return result;
}

}  // namespace

std::vector<Figure> RunProbeCase(const fs::path& root, int tables, int probes) {
  ProbeResult engine = ProbeOneSide(kSides[0], SideDir(root, "p", "engine", tables), tables, probes);
  ProbeResult sqlite = ProbeOneSide(kSides[1], SideDir(root, "p", "sqlite", tables), tables, probes);
  Figure setup =
      MakeFigure("(p) set-up: " + Count(tables) + " tables of 100 columns", tables, engine.setup_s, sqlite.setup_s);
  setup.note = "CREATE TABLE and CREATE INDEX, 50 tables per transaction";
  std::vector<Figure> figures{setup};
  for (int s = 0; s < 3; ++s) {
    ExpectEqual(engine.rows[s], sqlite.rows[s], std::string(ShapeLabel(kShapes[s])) + " rows, engine vs sqlite");
    figures.push_back(MakeFigure(std::string(ShapeLabel(kShapes[s])) + ", " + Count(tables) + " tables", probes,
                                 engine.shapes[s], sqlite.shapes[s]));
  }
  return figures;
}

}  // namespace bench
