// The tax-key widening pass over the client databases of a real embedded server: what it sends to a database
// that has not been converted (one expected trace), which columns it widens and which keep their type, and
// which databases it visits or leaves alone.
#include "upgrade/tax_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "db/access_test_support.h"
#include "db/database_access.h"
#include "engine/engine.h"
#include "schema/statement_runner.h"
#include "trace_outline.h"
#include "ui/recording_ui.h"

namespace {

using db_test::TraceEntry;

// The tax keys of a client database as the catalogue leaves them: the tax-key table keyed on tax key and
// running number, nullable and NOT NULL tax-key columns in several spellings, one in an index, one seen through
// a view, and a column that only looks like one.
constexpr std::string_view kClubTables = R"(
CREATE TABLE F5Dat (STEUERSCHL smallint NOT NULL, LfdNr int IDENTITY (1,1) NOT NULL, MWSTKTO int NULL,
  CONSTRAINT PK_F5DAT PRIMARY KEY CLUSTERED (STEUERSCHL, LfdNr))
CREATE TABLE F5Kont (KONTONR int NOT NULL CONSTRAINT PK_F5Kont PRIMARY KEY, STSCHL smallint NULL)
CREATE TABLE F5BEW4 (LfdNr int NOT NULL, MwStSchl int NOT NULL, stschl_alt smallint NULL)
CREATE INDEX iStSchl ON F5BEW4 (MwStSchl)
CREATE TABLE MgArt (Art int NOT NULL, SteuerSchlussel int NULL, STEUERSCHL1 int NULL)
)";
constexpr std::string_view kClubRows = R"(
INSERT INTO F5Dat (STEUERSCHL, MWSTKTO) VALUES (7, 4298)
INSERT INTO F5Dat (STEUERSCHL, MWSTKTO) VALUES (19, 4299)
INSERT INTO F5Kont (KONTONR, STSCHL) VALUES (4111, 7)
INSERT INTO F5Kont (KONTONR, STSCHL) VALUES (1000, NULL)
INSERT INTO F5BEW4 (LfdNr, MwStSchl, stschl_alt) VALUES (1, 19, 16)
)";
constexpr std::string_view kClubView = "CREATE VIEW vKontSteuer AS SELECT KONTONR, STSCHL FROM F5Kont";

constexpr char kSettings[] =
    "[Datenbank]\r\nProvider=Clubiqa.Embedded\r\nData Source=server\r\nUser ID=sa\r\nPersist Security Info=False\r\n";

class TaxKeyPassTest : public ::testing::Test {
 protected:
  TaxKeyPassTest() {
    server_.WriteSettings(kSettings);
    server_.CreateDatabase("Zentix");
  }

  // A client database with the club's tax-key tables, created untraced.
  void CreateClub(const std::string& name) {
    server_.CreateDatabase(name);
    server_.Admin("USE [" + name + "]");
    server_.Admin(kClubTables);
    server_.Admin(kClubRows);
    server_.Admin(kClubView);
    server_.Admin("USE master");
  }

  // The columns of `database` whose names hold StSchl or STEUERSCHL, with type and nullability.
  std::string TaxKeyColumns(const std::string& database) {
    return Query(database,
                 "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, NUMERIC_PRECISION, NUMERIC_SCALE, IS_NULLABLE FROM "
                 "Information_Schema.Columns WHERE COLUMN_NAME LIKE '%StSchl%' OR COLUMN_NAME = 'STEUERSCHL' ORDER "
                 "BY TABLE_NAME, COLUMN_NAME");
  }

  // The rows of `select` on `database`, read untraced on a session of its own: values joined with "|".
  std::string Query(const std::string& database, std::string_view select) {
    engine::OpenOptions options;
    options.data_source = server_.server_dir();
    options.initial_catalog = database;
    const engine::BatchResult result = engine::Session::Open(options)->Execute(select);
    if (const engine::Message* error = result.FirstError()) return "error: " + error->text;
    std::string text;
    for (const auto& row : result.FirstRows()->rows) {
      for (size_t i = 0; i < row.size(); ++i) text += (i == 0 ? "" : "|") + row[i].ToString();
      text += "\n";
    }
    return text;
  }

  // Every batch of the pass on `database`, one outline line each.
  std::string SentTo(std::string_view database) {
    std::vector<TraceEntry> sent;
    for (const TraceEntry& entry : server_.Trace()) {
      if (entry.db == database) sent.push_back(entry);
    }
    return upgrade_test::Outline(sent, {});
  }

  void RunPass() {
    server_.ClearTrace();
    pass_.UpdateAllTaxKeys();
  }

  db_test::AccessServer server_;
  ui::RecordingUi ui_;
  db::DatabaseAccess database_{ui_, server_.base_dir()};
  schema::StatementRunner runner_{database_.ADOConnection(), ui_};
  upgrade::TaxKeyPass pass_{database_, runner_, ui_};
};

TEST_F(TaxKeyPassTest, AFirstPassMarksTheDatabaseRebuildsTheKeyAndWidensEveryTaxKeyColumn) {
  CreateClub("ZENTIX001");
  RunPass();
  upgrade_test::ExpectSameAsFile(SentTo("ZENTIX001"), CLUBIQA_UPGRADE_TEST_DIR, "tax_keys_first_pass.trace");
  EXPECT_EQ(ui_.Log("box "), "");
  // Nullability kept; the column in an index keeps its type, and so does the view (a view cannot be altered
  // and keeps the column types it was created with); a name that only holds STEUERSCHL followed by more is no
  // tax key.
  EXPECT_EQ(TaxKeyColumns("ZENTIX001"),
            "F5BEW4|MwStSchl|int|10|0|NO\n"
            "F5BEW4|stschl_alt|numeric|19|2|YES\n"
            "F5Dat|STEUERSCHL|numeric|19|2|NO\n"
            "F5Kont|STSCHL|numeric|19|2|YES\n"
            "vKontSteuer|STSCHL|smallint|5|0|YES\n");
  EXPECT_EQ(Query("ZENTIX001", "SELECT STEUERSCHL, MWSTKTO, LfdNr FROM F5Dat ORDER BY LfdNr"),
            "7.00|4298|1\n19.00|4299|2\n");
  EXPECT_EQ(Query("ZENTIX001", "SELECT KONTONR, STSCHL FROM F5Kont ORDER BY KONTONR"), "1000|NULL\n4111|7.00\n");
  EXPECT_EQ(Query("ZENTIX001",
                  "SELECT o.name, p.name FROM sysobjects o JOIN sysobjects p ON p.id = o.parent_obj WHERE o.xtype = "
                  "'PK' AND p.name = 'F5Dat'"),
            "PK_F5DAT|F5Dat\n");
  EXPECT_EQ(Query("ZENTIX001", "SELECT COUNT(*) FROM sysobjects WHERE name = 'UpdS' AND xtype = 'U'"), "1\n");
}

TEST_F(TaxKeyPassTest, AConvertedDatabaseIsOnlySwitchedToAndProbed) {
  CreateClub("ZENTIX001");
  RunPass();
  const std::string columns = TaxKeyColumns("ZENTIX001");
  RunPass();
  EXPECT_EQ(SentTo("ZENTIX001"), "exists UpdS\n");
  EXPECT_EQ(TaxKeyColumns("ZENTIX001"), columns);
}

TEST_F(TaxKeyPassTest, EveryClientDatabaseIsVisitedTemporaryOnesIncludedOthersNot) {
  CreateClub("ZENTIX001");
  CreateClub("ZENTIXTMP1");
  server_.CreateDatabase("Vereinsarchiv");
  RunPass();
  EXPECT_EQ(ui_.Log("caption: "),
            "caption: Clubiqa - SQL Update Datenbank: Zentix\n"
            "caption: Clubiqa - SQL Update Datenbank: ZENTIX001\n"
            "caption: Clubiqa - SQL Update Datenbank: ZENTIXTMP1\n");
  EXPECT_EQ(TaxKeyColumns("ZENTIXTMP1"), TaxKeyColumns("ZENTIX001"));
  EXPECT_EQ(SentTo("Vereinsarchiv"), "");
}

// Zentix has no tables at all: the three statements of the tax-key table fail unseen, the marker is still
// made, and the column query finds nothing to widen.
TEST_F(TaxKeyPassTest, ADatabaseWithoutTheTaxKeyTableIsMarkedAndItsOtherColumnsWidened) {
  server_.Admin("USE Zentix");
  server_.Admin("CREATE TABLE F5Kont (KONTONR int NOT NULL, STSCHL smallint NOT NULL)");
  server_.Admin("USE master");
  RunPass();
  EXPECT_EQ(ui_.Log("box "), "");
  EXPECT_EQ(TaxKeyColumns("Zentix"), "F5Kont|STSCHL|numeric|19|2|NO\n");
  EXPECT_EQ(Query("Zentix", "SELECT COUNT(*) FROM sysobjects WHERE name = 'UpdS'"), "1\n");
  std::string failures;
  for (const TraceEntry& entry : server_.Trace()) {
    if (entry.error != 0) failures += db_test::Visible(entry.sql) + " -> " + std::to_string(entry.error) + "\n";
  }
  EXPECT_EQ(failures,
            "ALTER TABLE F5Dat DROP CONSTRAINT PK_F5DAT<CR><LF> -> 4902\n"
            "ALTER TABLE F5Dat ALTER COLUMN STEUERSCHL NUMERIC (19,2) NOT NULL<CR><LF> -> 4902\n"
            "ALTER TABLE F5Dat ADD CONSTRAINT PK_F5DAT PRIMARY KEY CLUSTERED (STEUERSCHL, LFDNR) ON [PRIMARY]<CR><LF> "
            "-> 4902\n");
}

}  // namespace
