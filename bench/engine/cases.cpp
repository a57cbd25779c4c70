#include "cases.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>

#include "backend.h"
#include "case_util.h"
#include "child.h"
#include "workload.h"

namespace bench {

void ExpectEqual(int64_t got, int64_t want, const std::string& what) {
  if (got != want) {
    throw std::runtime_error(what + ": got " + std::to_string(got) + ", expected " + std::to_string(want));
  }
}

std::filesystem::path SideDir(const std::filesystem::path& root, const char* name, const char* side, int size) {
  return root / (std::string(name) + "_" + side + "_" + std::to_string(size));
}

Figure MakeFigure(std::string label, int64_t ops, double engine_s, double sqlite_s) {
  Figure figure;
  figure.label = std::move(label);
  figure.ops = ops;
  figure.engine_s = engine_s;
  figure.sqlite_s = sqlite_s;
  return figure;
}

Figure MakeFigure(std::string label, int64_t ops, const Cost& engine, const Cost& sqlite) {
  Figure figure = MakeFigure(std::move(label), ops, engine.seconds, sqlite.seconds);
  double per = static_cast<double>(ops > 0 ? ops : 1);
  figure.engine_allocs = static_cast<double>(engine.allocations) / per;
  figure.sqlite_allocs = static_cast<double>(sqlite.allocations) / per;
  return figure;
}

std::string Count(int n) {
  char text[32];
  std::snprintf(text, sizeof text, "%d", n);
  return text;
}

namespace {

namespace fs = std::filesystem;

// SQL Server takes at most 1000 rows per VALUES list; set-up stays well below it.
constexpr int kNarrowRowsPerInsert = 500;
constexpr int kWideRowsPerInsert = 100;
constexpr int kRowsPerTransaction = 10000;

// Times only the statement, not the building of its text.
double TimedExecute(Backend& backend, const std::string& sql) {
  auto start = Clock::now();
  backend.Execute(sql);
  return Seconds(start);
}

// Fills `table` with multi-row INSERTs inside explicit transactions; returns the seconds spent.
double Fill(Backend& backend, const Table& table, int rows, int rows_per_insert) {
  double seconds = 0;
  for (int first = 0; first < rows; first += kRowsPerTransaction) {
    int end = std::min(rows, first + kRowsPerTransaction);
    seconds += TimedExecute(backend, "BEGIN TRANSACTION");
    for (int row = first; row < end; row += rows_per_insert) {
      seconds += TimedExecute(backend, InsertSql(table, row, std::min(rows_per_insert, end - row)));
    }
    seconds += TimedExecute(backend, "COMMIT");
  }
  ExpectEqual(backend.QueryInt("SELECT COUNT(*) FROM " + table.name), rows, std::string(backend.name()) + " fill");
  return seconds;
}

// ---------------------------------------------------------------------------------------------
// (a) INSERT INTO Kontenrahmen (KONTO, ... 106 columns) VALUES (...), one row per statement
// ---------------------------------------------------------------------------------------------

Cost InsertOneSide(const Side& side, const fs::path& dir, int inserts) {
  Table table = AccountsTable();
  std::unique_ptr<Backend> backend = side.open(dir, true);
  backend->Execute(CreateTableSql(table));
  Cost cost;
  for (int i = 0; i < inserts; ++i) {
    std::string sql = InsertSql(table, i, 1);
    Measure(cost, [&] { return (backend->Execute(sql), 0); });
  }
  ExpectEqual(backend->QueryInt("SELECT COUNT(*) FROM " + table.name), inserts, std::string(side.name) + " (a)");
  return cost;
}

// ---------------------------------------------------------------------------------------------
// (b) SELECT COUNT(*)+1 AS MaxBr FROM Korrespondenz WHERE AdrNr=<n>
// ---------------------------------------------------------------------------------------------

struct LookupResult {
  double fill_s = 0;
  Cost lookup;
  int64_t checksum = 0;
};

LookupResult LookupOneSide(const Side& side, const fs::path& dir, int rows, int lookups) {
  Table table = LettersTable();
  std::unique_ptr<Backend> backend = side.open(dir, true);
  backend->Execute(CreateTableSql(table));
  LookupResult result;
  result.fill_s = Fill(*backend, table, rows, kNarrowRowsPerInsert);
  // About one lookup in eleven asks for an address without letters.
  uint64_t addresses = static_cast<uint64_t>(rows / kLettersPerAddress + rows / 40 + 1);
  Sequence sequence(42);
  for (int i = 0; i < lookups; ++i) {
    std::string sql = NextLetterNumberSql(static_cast<int64_t>(sequence.Next(addresses)) + 1);
    result.checksum += Measure(result.lookup, [&] { return backend->QueryInt(sql); });
  }
  return result;
}

// ---------------------------------------------------------------------------------------------
// (c) ALTER TABLE Mitglieder ADD NewCol varchar(40) NULL
// ---------------------------------------------------------------------------------------------

constexpr const char* kAlterSql = "ALTER TABLE Mitglieder ADD NewCol varchar(40) NULL";

ChildResult CheckedChild(const std::function<double()>& work, const std::string& what) {
  ChildResult result = RunMeasuredInChild(work);
  if (!result.ok) throw std::runtime_error(what + ": " + result.error);
  return result;
}

struct AlterResult {
  double fill_s = 0;
  double alter_s = 0;
  double alter_rss_mib = 0;
  double open_rss_mib = 0;
};

AlterResult AlterOneSide(const Side& side, const fs::path& dir, int rows) {
  std::string what = std::string(side.name) + " (c)";
  AlterResult result;
  result.fill_s = CheckedChild(
                      [&] {
                        Table table = MembersTable();
                        std::unique_ptr<Backend> backend = side.open(dir, true);
                        backend->Execute(CreateTableSql(table));
                        return Fill(*backend, table, rows, kWideRowsPerInsert);
                      },
                      what + " fill")
                      .seconds;
  // What merely opening the database and reading one row costs, to set the ALTER's peak against.
  result.open_rss_mib = CheckedChild(
                            [&] {
                              std::unique_ptr<Backend> backend = side.open(dir, false);
                              backend->QueryInt("SELECT COUNT(*) FROM Mitglieder WHERE MitgliedNr=1");
                              return 0.0;
                            },
                            what + " open")
                            .peak_rss_mib;
  ChildResult alter = CheckedChild(
      [&] {
        std::unique_ptr<Backend> backend = side.open(dir, false);
        return TimedExecute(*backend, kAlterSql);
      },
      what + " alter");
  result.alter_s = alter.seconds;
  result.alter_rss_mib = alter.peak_rss_mib;
  CheckedChild(
      [&] {
        std::unique_ptr<Backend> backend = side.open(dir, false);
        ExpectEqual(backend->QueryInt("SELECT COUNT(*) FROM Mitglieder WHERE NewCol IS NULL"), rows, what + " check");
        return 0.0;
      },
      what + " check");
  return result;
}

}  // namespace

std::vector<Figure> RunInsertCase(const fs::path& root, int inserts) {
  Cost engine = InsertOneSide(kSides[0], SideDir(root, "a", "engine", inserts), inserts);
  Cost sqlite = InsertOneSide(kSides[1], SideDir(root, "a", "sqlite", inserts), inserts);
  return {MakeFigure("(a) INSERT 1 row, 106 columns, autocommit", inserts, engine, sqlite)};
}

std::vector<Figure> RunLookupCase(const fs::path& root, int rows, int lookups) {
  LookupResult engine = LookupOneSide(kSides[0], SideDir(root, "b", "engine", rows), rows, lookups);
  LookupResult sqlite = LookupOneSide(kSides[1], SideDir(root, "b", "sqlite", rows), rows, lookups);
  ExpectEqual(engine.checksum, sqlite.checksum, "(b) sum of MaxBr, engine vs sqlite");
  Figure fill = MakeFigure("(b) set-up: fill " + Count(rows) + " rows, 7 columns", rows, engine.fill_s, sqlite.fill_s);
  fill.note = "500 rows per INSERT, 10000 per transaction";
  Figure lookup =
      MakeFigure("(b) COUNT(*)+1 WHERE AdrNr=n, " + Count(rows) + " rows", lookups, engine.lookup, sqlite.lookup);
  return {fill, lookup};
}

std::vector<Figure> RunAlterCase(const fs::path& root, int rows) {
  AlterResult engine = AlterOneSide(kSides[0], SideDir(root, "c", "engine", rows), rows);
  AlterResult sqlite = AlterOneSide(kSides[1], SideDir(root, "c", "sqlite", rows), rows);
  Figure fill =
      MakeFigure("(c) set-up: fill " + Count(rows) + " rows, 150 columns", rows, engine.fill_s, sqlite.fill_s);
  fill.note = "100 rows per INSERT, 10000 per transaction";
  Figure alter =
      MakeFigure("(c) ALTER TABLE ADD varchar(40) NULL, " + Count(rows) + " rows", 1, engine.alter_s, sqlite.alter_s);
  alter.engine_rss_mib = engine.alter_rss_mib;
  alter.sqlite_rss_mib = sqlite.alter_rss_mib;
  char note[160];
  std::snprintf(note, sizeof note, "peak RSS after open + one lookup: engine %.1f MiB, sqlite %.1f MiB",
                engine.open_rss_mib, sqlite.open_rss_mib);
  alter.note = note;
  return {fill, alter};
}

}  // namespace bench
