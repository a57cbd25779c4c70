// Stage-by-stage figures and the script-insert comparison (see stage_figures.h).
#include "stage_figures.h"

#include <sqlite3.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "db/command.h"
#include "db/connection.h"
#include "db/connection_items.h"
#include "engine/engine.h"
#include "schema/primitives.h"
#include "schema/script_batches.h"
#include "schema/statement_runner.h"
#include "stages.h"  // the catalogue's stages, internal to the upgrade library
#include "ui/recording_ui.h"
#include "upgrade/catalogue.h"
#include "upgrade/mandates.h"
#include "upgrade/text_blocks.h"

namespace bench_upgrade {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

long long TraceLines(const fs::path& server_dir) {
  std::ifstream file(server_dir / "trace.jsonl", std::ios::binary);
  long long lines = 0;
  for (std::string line; std::getline(file, line);) ++lines;
  return lines;
}

void OpenClient(db::Connection& connection, const fs::path& dir, const fs::path& server_dir,
                std::string_view database) {
  db::ConnectionSettings settings;
  settings.provider = db::kEmbeddedProvider;
  settings.user_id = "sa";
  settings.persist_security_info = "False";
  settings.data_source = server_dir.filename().string();
  connection.set_connection_string(db::JoinItems(db::ClientConnectionItems(settings, "", database)));
  connection.Open(dir);
}

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
  }
}

// SQLite's form of the template's create batch: the same column lines, the key as a table constraint.
std::string SqliteCreate(const std::string& create_batch) {
  std::string text;
  for (const std::string& line : schema::SplitLines(create_batch)) {
    if (line.find("CONSTRAINT") != std::string::npos) break;
    text += line + "\n";
  }
  return text + "PRIMARY KEY ([BUCHJAHR], [KONTONR]))";
}

}  // namespace

std::vector<StageFigures> RunStagesOnce(const fs::path& dir, const fs::path& server_dir, std::string_view database) {
  const upgrade::TextBlocks& blocks = upgrade::EmbeddedTextBlocks();  // decoded before the clock starts
  db::Connection client;
  OpenClient(client, dir, server_dir, database);
  ui::RecordingUi ui;
  const std::string catalog(database);
  schema::StatementRunner runner(client, ui);
  schema::Primitives primitives(runner, catalog);
  upgrade::Catalogue catalogue(client, runner, primitives, ui);
  upgrade::Mandates mandates(client, upgrade::LocalToday);
  const upgrade::Stage stage{runner, primitives, [&catalogue] { catalogue.ProgressStep(); }, blocks};
  db::Command command(client);
  const std::pair<const char*, std::function<void()>> stages[] = {
      {"A", [&] { upgrade::RunStageA(stage); }},
      {"B", [&] { upgrade::RunStageB(stage); }},
      {"C", [&] { upgrade::RunStageC(stage); }},
      {"D", [&] { upgrade::RunStageD(stage); }},
      {"E", [&] { upgrade::RunStageE(stage, mandates); }},
      // The mandate generation alone: every record of E made again after they were deleted (the delete untimed).
      {"E30", [&] { mandates.pMandatErstellen(); }},
  };
  std::vector<StageFigures> figures;
  for (const auto& [name, run] : stages) {
    if (std::string_view(name) == "E30") {
      command.set_text("DELETE FROM AdrSepa");
      command.Execute();
    }
    const long long before = TraceLines(server_dir);
    const Clock::time_point start = Clock::now();
    run();
    const double seconds = SecondsSince(start);
    figures.push_back({name, seconds, TraceLines(server_dir) - before});
  }
  return figures;
}

InsertFigures CompareScriptInserts(const fs::path& scratch_dir) {
  const std::vector<std::string> batches = schema::ScriptBatches(upgrade::EmbeddedTextBlocks().Memo1);
  std::vector<const std::string*> inserts;
  std::vector<const std::string*> schema_batches;
  for (const std::string& batch : batches) {
    (batch.find("INSERT INTO") != std::string::npos ? inserts : schema_batches).push_back(&batch);
  }
  InsertFigures figures;
  figures.rows = static_cast<long long>(inserts.size());

  // The engine, through the database layer as the script runner sends them.
  {
    const fs::path server_dir = scratch_dir / "server";
    engine::OpenOptions options;
    options.data_source = server_dir;
    options.create_server = true;
    const engine::BatchResult created = engine::Session::Open(options)->Execute("CREATE DATABASE ZENTIX900");
    if (const engine::Message* error = created.FirstError()) throw std::runtime_error(error->text);
    db::Connection client;
    OpenClient(client, scratch_dir, server_dir, "ZENTIX900");
    db::Command command(client);
    for (const std::string* batch : schema_batches) {
      command.set_text(*batch);
      command.Execute();
    }
    const Clock::time_point start = Clock::now();
    for (const std::string* batch : inserts) {
      command.set_text(*batch);
      command.Execute();
    }
    figures.engine_seconds = SecondsSince(start);
  }

  // SQLite, one autocommit statement per row, each prepared afresh; "dbo" is an attached file so that the
  // [dbo].[table] names of the script stand as they are.
  {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open((scratch_dir / "sqlite-main.db").string().c_str(), &raw);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    Check(rc, raw, "open");
    const std::string attach = "ATTACH '" + (scratch_dir / "sqlite-dbo.db").string() + "' AS dbo";
    for (const std::string& sql :
         {attach, std::string("PRAGMA dbo.journal_mode=WAL"), std::string("PRAGMA dbo.synchronous=NORMAL")}) {
      Check(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), raw, sql.c_str());
    }
    for (const std::string* batch : schema_batches) {
      if (batch->find("CREATE TABLE") == std::string::npos) continue;
      Check(sqlite3_exec(raw, SqliteCreate(*batch).c_str(), nullptr, nullptr, nullptr), raw, "create");
    }
    const Clock::time_point start = Clock::now();
    for (const std::string* batch : inserts) {
      Check(sqlite3_exec(raw, batch->c_str(), nullptr, nullptr, nullptr), raw, "insert");
    }
    figures.sqlite_seconds = SecondsSince(start);
  }
  return figures;
}

}  // namespace bench_upgrade
