// Stage B against a scratch client database in the shape of the previous release (the bookkeeping table
// F5BEW4 with the Parent column that stage A adds, no templates). The engine's batch trace shows exactly what
// reached the server; the system catalogs show what the stage left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "db/access_test_support.h"
#include "db/command.h"
#include "db/connection.h"
#include "db/error.h"
#include "db/query.h"
#include "schema/primitives.h"
#include "schema/statement_runner.h"
#include "stages.h"
#include "ui/recording_ui.h"

namespace {

constexpr std::array<std::string_view, 7> kChartTemplates{"F5KontMonosportverein",
                                                          "F5KontSportvereinOhneAnlagevermogen",
                                                          "F5KontSportvereinMitAnlagevermogen",
                                                          "F5KontMitBezahltenSport",
                                                          "F5KontKulturverein",
                                                          "F5KontKulturvereinUndSportverein",
                                                          "F5KontSonstiger"};
constexpr std::array<std::string_view, 7> kTaxKeyTemplates{"F5DatMonosportverein",
                                                           "F5DatSportvereinOhneAnlagevermogen",
                                                           "F5DatSportvereinMitAnlagevermogen",
                                                           "F5DatMitBezahltenSport",
                                                           "F5DatKulturverein",
                                                           "F5DatKulturUndSportverein",
                                                           "F5DatSonstiger"};

// The bookkeeping table as the previous release leaves it, after stage A has added Parent.
constexpr std::string_view kPreviousF5BEW4 =
    "CREATE TABLE dbo.F5BEW4 (BUCHJAHR smallint NOT NULL, InterneNr int NOT NULL, LfdNr int NOT NULL,"
    " SUCHTEXT varchar(20) NULL, BETRAG numeric(19, 2) NULL, Parent int NULL)";

// B1's create statement, one line per text line.
constexpr std::string_view kB1Create = R"sql(
CREATE TABLE dbo.F5KontMonosportverein (
[BUCHJAHR] [smallint] NOT NULL,
[KONTONR] [int] NOT NULL,
[BEZEICHG] [varchar](40) NULL,
[ABHABEN] [numeric](19, 8) NULL,
[ABSOLL] [numeric](19, 8) NULL,
[JAHRUMSH] [numeric](19, 8) NULL,
[JAHRUMSS] [numeric](19, 8) NULL,
[BILANZGUV] [varchar](8) NULL,
[KENNZAHL] [varchar](10) NULL,
[KTOART] [varchar](40) NULL,
[START] [varchar](20) NULL,
[STSCHL] [smallint] NULL,
[KREDKONTO] [int] NULL,
[DEBITKTO] [int] NULL,
[MOUMSHJAN] [numeric](19, 8) NULL,
[MOUMSSJAN] [numeric](19, 8) NULL,
[MOUMSHFEB] [numeric](19, 8) NULL,
[MOUMSSFEB] [numeric](19, 8) NULL,
[MOUMSHMÄRZ] [numeric](19, 8) NULL,
[MOUMSSMÄRZ] [numeric](19, 8) NULL,
[MOUMSHAPRIL] [numeric](19, 8) NULL,
[MOUMSSAPRIL] [numeric](19, 8) NULL,
[MOUMSHMAI] [numeric](19, 8) NULL,
[MOUMSSMAI] [numeric](19, 8) NULL,
[MOUMSHJUNI] [numeric](19, 8) NULL,
[MOUMSSJUNI] [numeric](19, 8) NULL,
[MOUMSHJULI] [numeric](19, 8) NULL,
[MOUMSSJULI] [numeric](19, 8) NULL,
[MOUMSHAUG] [numeric](19, 8) NULL,
[MOUMSSAUG] [numeric](19, 8) NULL,
[MOUMSHSEP] [numeric](19, 8) NULL,
[MOUMSSSEP] [numeric](19, 8) NULL,
[MOUMSHOKT] [numeric](19, 8) NULL,
[MOUMSSOKT] [numeric](19, 8) NULL,
[MOUMSHNOV] [numeric](19, 8) NULL,
[MOUMSSNOV] [numeric](19, 8) NULL,
[MOUMSHDEZ] [numeric](19, 8) NULL,
[MOUMSSDEZ] [numeric](19, 8) NULL,
[VERDICHTEN] [varchar](6) NULL,
[KENNZUSTV] [smallint] NULL,
[SEITENZAHL] [smallint] NULL,
[SPERRE] [varchar](6) NULL,
[FÄLLIGKEIT1] [smallint] NULL,
[SKONTO1_] [numeric](19, 8) NULL,
[FÄLLIGKEIT2] [smallint] NULL,
[SKONTO2_] [numeric](19, 8) NULL,
[FÄLLIGKEIT3] [smallint] NULL,
[HAUPTKONTO] [numeric](19, 8) NULL,
[VORLABHAB] [numeric](19, 8) NULL,
[VORLABSOLL] [numeric](19, 8) NULL,
[SEITENANZLE] [numeric](19, 8) NULL,
[VALUTA] [varchar](3) NULL,
[PlanJahrSoll] [numeric](19, 8) NULL,
[PlanJahrHaben] [numeric](19, 8) NULL,
[PlanSollJan] [numeric](19, 8) NULL,
[PlanHabenJan] [numeric](19, 8) NULL,
[PlanSollFeb] [numeric](19, 8) NULL,
[PlanHabenFeb] [numeric](19, 8) NULL,
[PlanSollMaerz] [numeric](19, 8) NULL,
[PlanHabenMaerz] [numeric](19, 8) NULL,
[PlanSollApril] [numeric](19, 8) NULL,
[PlanHabenApril] [numeric](19, 8) NULL,
[PlanSollMai] [numeric](19, 8) NULL,
[PlanHabenMai] [numeric](19, 8) NULL,
[PlanSollJuni] [numeric](19, 8) NULL,
[PlanHabenJuni] [numeric](19, 8) NULL,
[PlanSollJuli] [numeric](19, 8) NULL,
[PlanHabenJuli] [numeric](19, 8) NULL,
[PlanSollAug] [numeric](19, 8) NULL,
[PlanHabenAug] [numeric](19, 8) NULL,
[PlanSollSep] [numeric](19, 8) NULL,
[PlanHabenSep] [numeric](19, 8) NULL,
[PlanSollOkt] [numeric](19, 8) NULL,
[PlanHabenOkt] [numeric](19, 8) NULL,
[PlanSollNov] [numeric](19, 8) NULL,
[PlanHabenNov] [numeric](19, 8) NULL,
[PlanSollDez] [numeric](19, 8) NULL,
[PlanHabenDez] [numeric](19, 8) NULL,
[STSCH_U] [varchar](1) NULL,
[KONTO_WGEWI] [numeric](19, 8) NULL,
[KONTO_WVERL] [numeric](19, 8) NULL,
[KOST_J_N] [varchar](6) NULL,
[KontoArt] [varchar](40) NULL,
[Bank] [varchar](6) NULL,
[Unterkonto] [varchar](1) NULL,
[HauptKto] [int] NULL,
[Bezeich2] [varchar](40) NULL,
[KdLfNr] [varchar](30) NULL,
[KennzGuV] [varchar](10) NULL,
[KennzBilanz] [varchar](10) NULL,
[KennzBWA] [varchar](10) NULL,
[HHRest] [numeric](19, 8) NULL,
[OPS] [varchar](1) NULL,
[Spende] [char](10) NULL,
[KennzEU] [char](10) NULL,
[BenutzerErf] [varchar](20) NULL,
[BenutzerAend] [varchar](20) NULL,
[DatumErf] [datetime] NULL,
[DatumAend] [datetime] NULL,
[Kassenstand] [numeric](18, 8) NULL,
[Anfangsbestand] [numeric](18, 8) NULL,
[AktBelegNr] [numeric](18, 8) NULL,
[KB] [char](1) NULL,
[EINAUS] [char](1) NULL,
[Steuersammelkonto] [varchar](1) NULL,
[KennzEUR] [varchar](7) NULL
) ON [PRIMARY]
)sql";

// B14's create statement.
constexpr std::string_view kB14Create = R"sql(
CREATE TABLE dbo.F5DatSonstiger (
[STEUERSCHL] [smallint] NOT NULL,
[MWSTKTO] [int] NULL,
[VORST_KTO] [int] NULL,
[BFG_BASIS] [smallint] NULL,
[BFB_GGKTO] [smallint] NULL,
[BEG] [varchar](5) NULL,
[Klasse] [char](1) NULL,
[LfdNr] [int] IDENTITY(1,1) NOT NULL
) ON [PRIMARY]
)sql";

// The lines of one of the literals above (which begin with a line break of their own).
std::vector<std::string> LinesOf(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = text.starts_with('\n') ? 1 : 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// A guarded batch travels with CR LF after every line, the last included.
std::string AsBatch(std::string_view text) {
  std::string batch;
  for (const std::string& line : LinesOf(text)) batch += line + "\r\n";
  return batch;
}

// The column lines of a create statement as the catalog should describe them afterwards: brackets and the
// closing comma dropped ("[ABHABEN] [numeric](19, 8) NULL," gives "ABHABEN numeric(19, 8) NULL").
std::string ColumnsOf(std::string_view create) {
  std::vector<std::string> lines = LinesOf(create);
  std::string columns;
  for (size_t i = 1; i + 1 < lines.size(); ++i) {
    std::string line = lines[i];
    std::erase_if(line, [](char c) { return c == '[' || c == ']'; });
    if (line.ends_with(',')) line.pop_back();
    columns += line + "\n";
  }
  return columns;
}

// One statement of trace.jsonl: its text, and whether the server rejected it.
struct Sent {
  std::string sql;
  bool rejected = false;
};

// The statements of trace.jsonl, in order.
std::vector<Sent> ReadTrace(const std::filesystem::path& file) {
  std::vector<Sent> sent;
  for (const db_test::TraceEntry& entry : db_test::ReadTrace(file)) sent.push_back({entry.sql, entry.error != 0});
  return sent;
}

// One line per statement: a CREATE TABLE as its first line and its line count (the whole texts are compared
// on their own), every other statement whole with CR and LF made visible.
std::string Shown(const Sent& sent) {
  std::string shown;
  if (sent.sql.starts_with("CREATE TABLE")) {
    auto lines = std::count(sent.sql.begin(), sent.sql.end(), '\n');
    shown = sent.sql.substr(0, sent.sql.find("\r\n")) + " [" + std::to_string(lines) + " lines]";
  } else {
    for (char c : sent.sql)
      shown += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return shown + (sent.rejected ? " -> rejected" : "");
}

std::string Probed(std::string_view table) {
  return "SELECT * FROM sysobjects WHERE name='" + std::string(table) + "'\n";
}

// The probe, then the create and key statements of a template that was missing, in one transaction.
std::string Created(std::string_view table, int create_lines, std::string_view key_first, std::string_view key_second) {
  std::string name(table);
  return Probed(table) + "BEGIN TRANSACTION\n" + "CREATE TABLE dbo." + name + " ( [" + std::to_string(create_lines) +
         " lines]\n" + "ALTER TABLE [dbo].[" + name + "]  ADD CONSTRAINT [PK_" + name +
         "] PRIMARY KEY CLUSTERED (\\r\\n[" + std::string(key_first) + "] ASC,\\r\\n[" + std::string(key_second) +
         "] ASC\\r\\n)WITH (IGNORE_DUP_KEY = OFF) ON [PRIMARY]\\r\\n\n" + "COMMIT TRANSACTION\n";
}
std::string ChartCreated(std::string_view table) { return Created(table, 108, "BUCHJAHR", "KONTONR"); }
std::string TaxKeyCreated(std::string_view table) { return Created(table, 10, "STEUERSCHL", "LfdNr"); }

std::string AllTemplatesCreated() {
  std::string sent;
  for (std::string_view table : kChartTemplates) sent += ChartCreated(table);
  for (std::string_view table : kTaxKeyTemplates) sent += TaxKeyCreated(table);
  return sent;
}

std::string AllTemplatesProbed() {
  std::string sent;
  for (std::string_view table : kChartTemplates) sent += Probed(table);
  for (std::string_view table : kTaxKeyTemplates) sent += Probed(table);
  return sent;
}

constexpr std::string_view kIndexesCreated =
    "SELECT * FROM SysIndexes WHERE Name='iSuchText'\n"
    "CREATE NONCLUSTERED INDEX iSuchText ON F5BEW4 (BUCHJAHR, InterneNr, SUCHTEXT)\n"
    "SELECT * FROM SysIndexes WHERE Name='iLfdNr'\n"
    "CREATE NONCLUSTERED INDEX iLfdNr ON F5BEW4 (LfdNr)\n"
    "SELECT * FROM SysIndexes WHERE Name='iParent'\n"
    "CREATE NONCLUSTERED INDEX iParent ON F5BEW4 (Parent)\n";
constexpr std::string_view kIndexesProbed =
    "SELECT * FROM SysIndexes WHERE Name='iSuchText'\n"
    "SELECT * FROM SysIndexes WHERE Name='iLfdNr'\n"
    "SELECT * FROM SysIndexes WHERE Name='iParent'\n";
constexpr std::string_view kUpdates =
    "UPDATE F5BEW4 SET SuchText='HAUPT' WHERE ISNULL(SuchText,'')=''\\r\\n\n"
    "UPDATE F5BEW4 SET Parent=-1 WHERE Parent IS NULL\\r\\n\n";

class StageBTest : public ::testing::Test {
 protected:
  StageBTest() {
    server_.CreateDatabase("ZENTIX001");
    Setup(kPreviousF5BEW4);
    // Sessions read server.ini when they open: the administrator's stays untraced, the client's is traced.
    std::ofstream(server_.base_dir() / db_test::kServerDir / "server.ini", std::ios::binary)
        << "[Server]\r\nTrace=1\r\n";
    db_test::OpenOn(client_, server_, "ZENTIX001");
  }

  // Runs `batch` on ZENTIX001 as the administrator, outside the trace.
  void Setup(std::string_view batch) {
    server_.Admin("USE ZENTIX001");
    server_.Admin(batch);
  }

  // Runs stage B and keeps what it sent: the trace starts empty for each run.
  void RunStage() {
    std::filesystem::remove(TracePath());
    progress_before_.clear();
    upgrade::RunStageB(stage_);
    sent_ = ReadTrace(TracePath());
  }

  std::string SentLog() const {
    std::string log;
    for (const Sent& sent : sent_) log += Shown(sent) + "\n";
    return log;
  }

  // The rows of `select`, each as its fields joined by blanks, on a connection of its own (traced: call it
  // after RunStage has read the trace).
  std::string Rows(std::string select, std::initializer_list<std::string_view> fields) {
    db::Connection connection;
    db_test::OpenOn(connection, server_, "ZENTIX001");
    db::Query query(connection);
    query.set_text(std::move(select));
    query.Open();
    std::string rows;
    for (; !query.eof(); query.Next()) {
      std::string row;
      for (std::string_view field : fields) row += (row.empty() ? "" : " ") + query.AsString(field);
      rows += row + "\n";
    }
    return rows;
  }

  // "ok", or the server's text when it rejects `statement`.
  std::string Outcome(std::string statement) {
    db::Connection connection;
    db_test::OpenOn(connection, server_, "ZENTIX001");
    db::Command command(connection);
    command.set_text(std::move(statement));
    try {
      command.Execute();
    } catch (const db::Error& e) {
      return e.what();
    }
    return "ok";
  }

  // The columns of `table` in order, written as ColumnsOf writes the lines of a create statement.
  std::string Columns(std::string_view table) {
    std::string identity = Rows("SELECT c.name FROM syscolumns c JOIN sysobjects o ON o.id = c.id WHERE o.name = '" +
                                    std::string(table) + "' AND c.colstat & 1 = 1",
                                {"name"});
    db::Connection connection;
    db_test::OpenOn(connection, server_, "ZENTIX001");
    db::Query query(connection);
    query.set_text("SELECT * FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = '" + std::string(table) +
                   "' ORDER BY ORDINAL_POSITION");
    query.Open();
    std::string columns;
    for (; !query.eof(); query.Next()) {
      std::string name = query.AsString("COLUMN_NAME");
      std::string type = query.AsString("DATA_TYPE");
      if (!query.IsNull("CHARACTER_MAXIMUM_LENGTH")) {
        type += "(" + query.AsString("CHARACTER_MAXIMUM_LENGTH") + ")";
      } else if (type == "numeric" || type == "decimal") {
        type += "(" + query.AsString("NUMERIC_PRECISION") + ", " + query.AsString("NUMERIC_SCALE") + ")";
      }
      if (identity == name + "\n") type += " IDENTITY(1,1)";
      columns += name + " " + type + (query.AsString("IS_NULLABLE") == "YES" ? " NULL" : " NOT NULL") + "\n";
    }
    return columns;
  }

  // Per table of `tables`, its primary key and that key's index (indid 1 = clustered) with its key count;
  // a table without a key shows only its table name.
  std::string Keys(std::initializer_list<std::string_view> tables) {
    std::string keys;
    for (std::string_view table : tables) {
      std::string name(table);
      keys += name + ":" +
              Rows(
                  "SELECT k.name FROM sysobjects k JOIN sysobjects t ON t.id = k.parent_obj WHERE k.xtype = 'PK'"
                  " AND t.name = '" +
                      name + "'",
                  {"name"}) +
              Rows(
                  "SELECT i.name, i.indid, i.keycnt FROM sysindexes i JOIN sysobjects t ON t.id = i.id"
                  " WHERE t.name = '" +
                      name + "' AND i.indid > 0",
                  {"name", "indid", "keycnt"});
    }
    return keys;
  }

  db_test::TestServer server_;
  db::Connection client_;
  ui::RecordingUi ui_;
  std::string current_catalog_{"ZENTIX001"};
  schema::StatementRunner runner_{client_, ui_};
  schema::Primitives primitives_{runner_, current_catalog_};
  // Per progress step, how many statements had been sent before it.
  std::vector<size_t> progress_before_;
  upgrade::Stage stage_{runner_, primitives_, [this] { progress_before_.push_back(ReadTrace(TracePath()).size()); },
                        upgrade::EmbeddedTextBlocks()};
  std::vector<Sent> sent_;

 private:
  std::filesystem::path TracePath() const { return server_.base_dir() / db_test::kServerDir / "trace.jsonl"; }
};

TEST_F(StageBTest, AFirstRunCreatesEveryTemplateWithItsKeyThenTheIndexesAndFillsTheBookkeepingTable) {
  RunStage();
  EXPECT_EQ(SentLog(), AllTemplatesCreated() + std::string(kIndexesCreated) + std::string(kUpdates));
  EXPECT_EQ(ui_.Log("box "), "");
  EXPECT_EQ(progress_before_.size(), 14u);
  EXPECT_EQ(Rows("SELECT i.name, i.keycnt FROM sysindexes i JOIN sysobjects t ON t.id = i.id"
                 " WHERE t.name = 'F5BEW4' AND i.indid > 0 ORDER BY i.indid",
                 {"name", "keycnt"}),
            "iSuchText 3\niLfdNr 1\niParent 1\n");
}

TEST_F(StageBTest, TheCreateStatementsTravelLineForLine) {
  RunStage();
  ASSERT_EQ(sent_.size(), 14u * 5 + 6 + 2);  // probe, BEGIN, create, key, COMMIT per template
  EXPECT_EQ(sent_[2].sql, AsBatch(kB1Create));
  EXPECT_EQ(sent_[13 * 5 + 2].sql, AsBatch(kB14Create));
  EXPECT_EQ(LinesOf(kB1Create).size(), 108u);
  EXPECT_EQ(LinesOf(kB14Create).size(), 10u);
}

TEST_F(StageBTest, EveryChartOfAccountsTemplateHasTheColumnsOfTheCreateStatement) {
  RunStage();
  for (std::string_view table : kChartTemplates) EXPECT_EQ(Columns(table), ColumnsOf(kB1Create)) << table;
}

TEST_F(StageBTest, EveryTaxKeyTemplateHasTheColumnsOfTheCreateStatement) {
  RunStage();
  for (std::string_view table : kTaxKeyTemplates) EXPECT_EQ(Columns(table), ColumnsOf(kB14Create)) << table;
}

TEST_F(StageBTest, EveryTemplateHasItsClusteredTwoColumnKey) {
  RunStage();
  for (std::string_view table : kChartTemplates) {
    std::string name(table);
    EXPECT_EQ(Keys({table}), name + ":PK_" + name + "\nPK_" + name + " 1 2\n");
  }
  for (std::string_view table : kTaxKeyTemplates) {
    std::string name(table);
    EXPECT_EQ(Keys({table}), name + ":PK_" + name + "\nPK_" + name + " 1 2\n");
  }
}

TEST_F(StageBTest, TheChartOfAccountsKeyIsBookingYearAndAccount) {
  RunStage();
  EXPECT_EQ(Outcome("INSERT INTO F5KontSonstiger (BUCHJAHR, KONTONR) VALUES (2024, 4000)"), "ok");
  EXPECT_EQ(Outcome("INSERT INTO F5KontSonstiger (BUCHJAHR, KONTONR) VALUES (2024, 4010)"), "ok");
  EXPECT_EQ(Outcome("INSERT INTO F5KontSonstiger (BUCHJAHR, KONTONR) VALUES (2025, 4000)"), "ok");
  EXPECT_NE(Outcome("INSERT INTO F5KontSonstiger (BUCHJAHR, KONTONR) VALUES (2024, 4000)").find("PK_F5KontSonstiger"),
            std::string::npos);
}

TEST_F(StageBTest, TheTaxKeyTemplatesNumberTheirRowsThemselves) {
  RunStage();
  EXPECT_EQ(Outcome("INSERT INTO F5DatSonstiger (STEUERSCHL, BEG) VALUES (1, 'USt')"), "ok");
  EXPECT_EQ(Outcome("INSERT INTO F5DatSonstiger (STEUERSCHL, BEG) VALUES (1, 'VSt')"), "ok");
  EXPECT_EQ(Outcome("INSERT INTO F5DatSonstiger (STEUERSCHL) VALUES (2)"), "ok");
  EXPECT_EQ(Rows("SELECT STEUERSCHL, LfdNr, BEG FROM F5DatSonstiger ORDER BY LfdNr", {"STEUERSCHL", "LfdNr", "BEG"}),
            "1 1 USt\n1 2 VSt\n2 3 \n");
}

TEST_F(StageBTest, WhenEverythingExistsOnlyProbesAndTheTwoUpdatesAreSent) {
  RunStage();
  ui_.ClearEvents();
  RunStage();
  EXPECT_EQ(SentLog(), AllTemplatesProbed() + std::string(kIndexesProbed) + std::string(kUpdates));
  EXPECT_EQ(ui_.Log("box "), "");
  EXPECT_EQ(progress_before_.size(), 14u);
}

TEST_F(StageBTest, OnlyAMissingTemplateIsCreated) {
  RunStage();
  Setup("DROP TABLE F5DatSonstiger");
  RunStage();
  std::string expected;
  for (std::string_view table : kChartTemplates) expected += Probed(table);
  for (std::string_view table : kTaxKeyTemplates) {
    expected += table == "F5DatSonstiger" ? TaxKeyCreated(table) : Probed(table);
  }
  EXPECT_EQ(SentLog(), expected + std::string(kIndexesProbed) + std::string(kUpdates));
  EXPECT_EQ(sent_[13 + 2].sql, AsBatch(kB14Create));
  EXPECT_EQ(Keys({"F5DatSonstiger"}), "F5DatSonstiger:PK_F5DatSonstiger\nPK_F5DatSonstiger 1 2\n");
  EXPECT_EQ(progress_before_.size(), 14u);
}

TEST_F(StageBTest, ATemplateThatExistsWithoutItsKeyIsLeftAsItIs) {
  Setup("CREATE TABLE dbo.F5KontSonstiger (BUCHJAHR smallint NOT NULL, KONTONR int NOT NULL)");
  RunStage();
  EXPECT_EQ(sent_[6 * 5].sql, "SELECT * FROM sysobjects WHERE name='F5KontSonstiger'");
  EXPECT_EQ(sent_[6 * 5 + 1].sql, "SELECT * FROM sysobjects WHERE name='F5DatMonosportverein'");
  EXPECT_EQ(Keys({"F5KontSonstiger"}), "F5KontSonstiger:");
  EXPECT_EQ(Columns("F5KontSonstiger"), "BUCHJAHR smallint NOT NULL\nKONTONR int NOT NULL\n");
}

TEST_F(StageBTest, AnIndexNamedIParentOnAnotherTableKeepsB17FromCreatingOne) {
  Setup("CREATE TABLE dbo.FiBuStruktur (Parent int NULL)");
  Setup("CREATE INDEX iParent ON FiBuStruktur (Parent)");
  RunStage();
  EXPECT_EQ(SentLog(), AllTemplatesCreated() +
                           "SELECT * FROM SysIndexes WHERE Name='iSuchText'\n"
                           "CREATE NONCLUSTERED INDEX iSuchText ON F5BEW4 (BUCHJAHR, InterneNr, SUCHTEXT)\n"
                           "SELECT * FROM SysIndexes WHERE Name='iLfdNr'\n"
                           "CREATE NONCLUSTERED INDEX iLfdNr ON F5BEW4 (LfdNr)\n"
                           "SELECT * FROM SysIndexes WHERE Name='iParent'\n" +
                           std::string(kUpdates));
  EXPECT_EQ(Rows("SELECT t.name FROM sysindexes i JOIN sysobjects t ON t.id = i.id WHERE i.name = 'iParent'", {"name"}),
            "FiBuStruktur\n");
}

TEST_F(StageBTest, PostingsWithoutSearchTextOrParentAreFilledAndTheOthersKept) {
  Setup(
      "INSERT INTO F5BEW4 (BUCHJAHR, InterneNr, LfdNr, SUCHTEXT, Parent) VALUES (2024, 1, 1, NULL, NULL)\n"
      "INSERT INTO F5BEW4 (BUCHJAHR, InterneNr, LfdNr, SUCHTEXT, Parent) VALUES (2024, 2, 2, '', 7)\n"
      "INSERT INTO F5BEW4 (BUCHJAHR, InterneNr, LfdNr, SUCHTEXT, Parent) VALUES (2024, 3, 3, '  ', 0)\n"
      "INSERT INTO F5BEW4 (BUCHJAHR, InterneNr, LfdNr, SUCHTEXT, Parent) VALUES (2024, 4, 4, 'BANK', NULL)");
  RunStage();
  // Trailing blanks do not count in a comparison, so a search text of blanks is empty too.
  EXPECT_EQ(Rows("SELECT LfdNr, SUCHTEXT, Parent FROM F5BEW4 ORDER BY LfdNr", {"LfdNr", "SUCHTEXT", "Parent"}),
            "1 HAUPT -1\n2 HAUPT 7\n3 HAUPT 0\n4 BANK -1\n");
  EXPECT_EQ(ui_.Log("box "), "");
}

TEST_F(StageBTest, WithoutTheParentColumnB17AndB19WarnAndTheStageGoesOn) {
  Setup("DROP TABLE F5BEW4");
  Setup(
      "CREATE TABLE dbo.F5BEW4 (BUCHJAHR smallint NOT NULL, InterneNr int NOT NULL, LfdNr int NOT NULL,"
      " SUCHTEXT varchar(20) NULL)");
  Setup("INSERT INTO F5BEW4 (BUCHJAHR, InterneNr, LfdNr) VALUES (2024, 1, 1)");
  RunStage();
  ASSERT_GE(sent_.size(), 4u);
  std::string tail;
  for (size_t i = sent_.size() - 4; i < sent_.size(); ++i) tail += Shown(sent_[i]) + "\n";
  EXPECT_EQ(tail,
            "SELECT * FROM SysIndexes WHERE Name='iParent'\n"
            "CREATE NONCLUSTERED INDEX iParent ON F5BEW4 (Parent) -> rejected\n"
            "UPDATE F5BEW4 SET SuchText='HAUPT' WHERE ISNULL(SuchText,'')=''\\r\\n\n"
            "UPDATE F5BEW4 SET Parent=-1 WHERE Parent IS NULL\\r\\n -> rejected\n");
  EXPECT_EQ(ui_.Log("box "),
            "box Warnung: Column name 'Parent' does not exist in the target table or view.\n"
            "box Warnung: Invalid column name 'Parent'.\n");
  EXPECT_EQ(Rows("SELECT SUCHTEXT FROM F5BEW4", {"SUCHTEXT"}), "HAUPT\n");
}

TEST_F(StageBTest, AProgressStepComesRightBeforeEachOfB2ToB15) {
  RunStage();
  std::string next_after_progress;
  for (size_t before : progress_before_) {
    next_after_progress += before < sent_.size() ? Shown(sent_[before]) + "\n" : "(nothing)\n";
  }
  std::string expected;
  for (size_t i = 1; i < kChartTemplates.size(); ++i) expected += Probed(kChartTemplates[i]);
  for (std::string_view table : kTaxKeyTemplates) expected += Probed(table);
  EXPECT_EQ(next_after_progress, expected + "SELECT * FROM SysIndexes WHERE Name='iSuchText'\n");
}

}  // namespace
