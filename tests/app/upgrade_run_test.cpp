// Whole upgrade runs over client databases of the previous release: what a first run leaves behind, that a
// second run only probes and changes nothing, and that unusual database names are upgraded like any other.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/database_dump.h"
#include "app/main_window.h"
#include "db/access_test_support.h"
#include "fixture/old_release.h"
#include "ui/recording_ui.h"
#include "upgrade/trace_outline.h"

namespace {

using db_test::AccessServer;
using db_test::TraceEntry;

class UpgradeRunTest : public ::testing::Test {
 protected:
  UpgradeRunTest() {
    server_.WriteSettings("[Datenbank]\r\nProvider=Clubiqa.Embedded\r\nData Source=server\r\nUser ID=sa\r\n");
    CreateClub("Zentix", 0);
  }

  void CreateClub(std::string_view name, int members) {
    fixture::Options options;
    options.members = members;
    fixture::CreateOldReleaseDatabase(server_.server_dir(), name, options);
  }

  // One program start: a fresh main window activated once. Returns what the user saw.
  ui::RecordingUi Run() {
    ui::RecordingUi ui;
    app::MainWindow window(ui, server_.base_dir());
    window.Activate();
    return ui;
  }

  std::vector<TraceEntry> Trace() const { return server_.Trace(); }

  std::string Query(std::string_view database, std::string_view sql) {
    return app_test::QueryRows(server_.server_dir(), database, sql);
  }
  std::string Dump(std::string_view database) { return app_test::Dump(server_.server_dir(), database); }

  AccessServer server_;
};

TEST_F(UpgradeRunTest, AFirstRunConvertsTheOldReleaseWithoutAnyBox) {
  CreateClub("ZENTIX001", 40);
  const ui::RecordingUi ui = Run();
  EXPECT_EQ(ui.Log("box "), "box Informationen: UPDATE erfolgreich ausgeführt!\n");

  // Per database the gauge climbs by the progress steps of stages A (to 58), B (to 78), C (to 94) and D (to 100);
  // stage E has none and leaves it there; then the end actions set 0.
  const std::string one_database =
      "1 3 4 6 7 8 10 11 12 14 15 17 18 19 21 22 24 25 26 28 29 31 32 33 35 36 38 39 40 42 43 44 46 47 49 50 51 53 54 "
      "56 57 58 60 61 62 64 65 67 68 69 71 72 74 75 76 78 79 81 82 83 85 86 88 89 90 92 93 94 96 97 99 100 0 ";
  std::string gauge;
  for (const std::string& event : ui.events()) {
    if (event.starts_with("gauge: ")) gauge += event.substr(7) + " ";
  }
  EXPECT_EQ(gauge, one_database + one_database);  // Zentix, then ZENTIX001

  namespace show = fixture::showcase;
  // One function row per member whose function is not NULL; the empty one is copied too.
  EXPECT_EQ(Query("ZENTIX001", "SELECT AdrNr, Funktion, Nr FROM AdrFunktion WHERE AdrNr <= 4 ORDER BY AdrNr"),
            std::to_string(show::kChairman) + "|Vorsitzender|1\n" + std::to_string(show::kTreasurer) +
                "|Kassenwart|1\n" + std::to_string(show::kFunctionEmpty) + "||1\n");
  // Old four-digit tax keys are gone from both tables; every tax-key row has its own running number.
  EXPECT_EQ(Query("ZENTIX001", "SELECT COUNT(*) FROM F5Dat WHERE STEUERSCHL IN (1190, 1170, 1070, 1160)"), "0\n");
  EXPECT_EQ(Query("ZENTIX001", "SELECT COUNT(*) FROM F5Kont WHERE STSCHL IN (1190, 1170, 1070, 1160)"), "0\n");
  EXPECT_EQ(Query("ZENTIX001", "SELECT COUNT(*) - COUNT(DISTINCT LfdNr) FROM F5Dat"), "0\n");
  // Postings: search texts and parents filled.
  EXPECT_EQ(
      Query("ZENTIX001", "SELECT LfdNr, SUCHTEXT FROM F5BEW4 WHERE BUCHJAHR = 2013 AND LfdNr <= 4 ORDER BY LfdNr"),
      "1|HAUPT\n2|HAUPT\n3|HAUPT\n4|SPENDE\n");
  EXPECT_EQ(Query("ZENTIX001", "SELECT COUNT(*) FROM F5BEW4 WHERE Parent IS NULL OR ISNULL(SuchText,'')=''"), "0\n");
  EXPECT_EQ(Query("ZENTIX001", "SELECT COUNT(*) FROM GuVKennz"), "13\n");
  EXPECT_EQ(Query("ZENTIX001",
                  "SELECT COUNT(*) FROM sysobjects WHERE xtype='U' AND (name LIKE 'F5KontM%' OR name LIKE "
                  "'F5KontS%' OR name LIKE 'F5KontK%' OR name LIKE 'F5DatM%' OR name LIKE 'F5DatS%' OR name LIKE "
                  "'F5DatK%')"),
            "14\n");
}

TEST_F(UpgradeRunTest, ASecondRunOnlyProbesAndRunsTheEveryRunStatementsAndChangesNoData) {
  CreateClub("ZENTIX001", 40);
  Run();
  const std::string before = Dump("ZENTIX001");
  const size_t first_run_batches = Trace().size();
  const ui::RecordingUi ui = Run();
  EXPECT_EQ(ui.Log("box "), "box Informationen: UPDATE erfolgreich ausgeführt!\n");
  EXPECT_EQ(Dump("ZENTIX001"), before);

  // Per database, what the second run sent besides its probes: the statements of every run, the reference
  // scripts among them. The two directory keys exist already and fail unseen. The help groups, the help topics
  // (their block as one batch) and the version are written again.
  const std::string every_run =
      "UPDATE F5Kont SET STSCHL=19 WHERE STSCHL=1190\n"
      "UPDATE F5Kont SET STSCHL=17 WHERE STSCHL=1170\n"
      "UPDATE F5Kont SET STSCHL=7 WHERE STSCHL=1070\n"
      "UPDATE F5Kont SET STSCHL=16 WHERE STSCHL=1160\n"
      "UPDATE F5BEW4 SET SuchText='HAUPT' WHERE ISNULL(SuchText,'')=''<CR><LF>\n"
      "UPDATE F5BEW4 SET Parent=-1 WHERE Parent IS NULL<CR><LF>\n"
      "UPDATE F5Kasses SET KB='B' WHERE KB='K'<CR><LF>\n"
      "UPDATE F5bew4s SET Stapel='Bankbuch' WHERE Stapel='Kassenbuch'<CR><LF>\n"
      "UPDATE F5bew4sg SET Stapel='Bankbuch' WHERE Stapel='Kassenbuch'<CR><LF>\n"
      "UPDATE F5bw4sga SET Stapel='Bankbuch' WHERE Stapel='Kassenbuch'<CR><LF>\n"
      "UPDATE F5bw4sa SET Stapel='Bankbuch' WHERE Stapel='Kassenbuch'<CR><LF>\n"
      "UPDATE F5bew4 SET DIALOG_STAP='B' WHERE DIALOG_STAP='K'<CR><LF>\n"
      "UPDATE F5BuText SET [Text]='Aufnahmegebühren' WHERE [Text]='AUFNAHMEGEBÜHREN'\n"
      "UPDATE F5BuText SET [Text]='Beitrag' WHERE [Text]='BEITRAG'\n"
      "UPDATE F5BuText SET [Text]='Spende' WHERE [Text]='SPENDE'\n"
      "BEGIN TRANSACTION\n"
      "UPDATE Adresse SET Telefon1=ISNULL(Vorwahl,'')+ + ISNULL(Telefon1,'')\n"
      "UPDATE Adresse SET Vorwahl=NULL\n"
      "COMMIT TRANSACTION\n"
      "script Memo1 (1315 batches)\n"
      "script Memo2 (84 batches)\n"
      "ALTER TABLE d_str ADD CONSTRAINT [PK_d_str] PRIMARY KEY CLUSTERED ([Nr]) ON [PRIMARY] -> error 2714\n"
      "ALTER TABLE d_orte ADD CONSTRAINT [PK_d_orte] PRIMARY KEY CLUSTERED ([Nr]) ON [PRIMARY] -> error 2714\n"
      "ALTER TABLE dbo.Kontakt ALTER COLUMN WordFile varchar(240) Null\n"
      "ALTER TABLE dbo.Pass ALTER COLUMN Vorlage_V varchar(240) Null\n"
      "ALTER TABLE dbo.Pass ALTER COLUMN Vorl_SB_V varchar(240) Null\n"
      "ALTER TABLE dbo.Pass ALTER COLUMN Rechn_Ver varchar(240) Null\n"
      "ALTER TABLE dbo.Pass ALTER COLUMN Liste_Verz varchar(240) Null\n"
      "ALTER TABLE dbo.Pass ALTER COLUMN VORLAGE_SP varchar(240) Null\n"
      "ALTER TABLE dbo.Adresse ALTER COLUMN Firma4 varchar(100) Null\n"
      "script MemoFachv (3 batches)\n"
      "script MemoSport (3 batches)\n"
      "ALTER TABLE dbo.Adresse ALTER COLUMN Telefon3 varchar(240) Null\n"
      "ALTER TABLE dbo.HyAdresse ALTER COLUMN Telefon3 varchar(240) Null\n"
      "ALTER TABLE dbo.AdresseZukunft ALTER COLUMN Telefon3 varchar(240) Null\n"
      "ALTER TABLE dbo.LogAdr ALTER COLUMN Telefon3 varchar(240) Null\n"
      "script MemoFachWLSB (160 batches)\n"
      "DELETE FROM [dbo].[tblHelpGruppe]<CR><LF>\n"
      "INSERT INTO [dbo].[tblHelpGruppe] (Kennung,Nr) VALUES ('Mitgliederverwaltung',1)<CR><LF>\n"
      "INSERT INTO [dbo].[tblHelpGruppe] (Kennung,Nr) VALUES ('Beitragsverwaltung',2)<CR><LF>\n"
      "INSERT INTO [dbo].[tblHelpGruppe] (Kennung,Nr) VALUES ('Finanzbuchhaltung',3)<CR><LF>\n"
      "block memoHelp as one batch\n"
      "UPDATE tblVersion SET Version='7'<CR><LF>\n"
      "UPDATE MgVert SET ArtName=A.Bezeichnung FROM MgVert V LEFT JOIN MgArt A ON A.Art=V.Art\n"
      "ALTER TABLE MgSolln ALTER COLUMN ArtName varchar(120) NULL\n"
      "UPDATE MgSolln SET ArtName=A.Bezeichnung FROM MgSolln V LEFT JOIN MgArt A ON A.Art=V.Art\n"
      "UPDATE MgLast SET IndSepa='N' WHERE SEPAXML IS NULL OR SEPAXML=''\n"
      "UPDATE d_blz SET BIC= (select TOP 1 BIC from d_blz B where B.BLZ=d_blz.BLZ AND ISNULL(bic,'')<>'')  where bic "
      "IS NULL\n"
      "UPDATE mandstam SET SEPAErstTage=5 WHERE SEPAErstTage IS NULL\n"
      "UPDATE mandstam SET SEPAFolgeTage=2 WHERE SEPAFolgeTage IS NULL\n"
      "ALTER TABLE dbo.mandstam ALTER COLUMN GlaeubigerId varchar(35) Null\n";
  // Statements that rewrite rows with the values they hold: the telephone merge rewrites every address with its
  // own value, the booking texts match their mixed-case form under the case-insensitive collation, the fee type
  // names are taken again from the fee types, the version row is set to the '7' it holds, debits without a SEPA file
  // are marked again, and bank branches without a BIC whose bank code has none look again.
  const auto rewrites_rows = [](const std::string& sql) {
    for (std::string_view prefix :
         {"UPDATE Adresse SET", "UPDATE F5BuText", "UPDATE tblVersion", "UPDATE MgVert SET ArtName",
          "UPDATE MgSolln SET ArtName", "UPDATE MgLast SET IndSepa='N'", "UPDATE d_blz"}) {
      if (sql.starts_with(prefix)) return true;
    }
    return false;
  };
  const std::vector<TraceEntry> trace = Trace();
  for (const char* database : {"Zentix", "ZENTIX001"}) {
    std::vector<TraceEntry> sent;
    for (size_t i = first_run_batches; i < trace.size(); ++i) {
      const TraceEntry& entry = trace[i];
      if (entry.db != database || entry.sql.starts_with("SELECT ")) continue;
      sent.push_back(entry);
      // The conversions find nothing left to convert.
      if (entry.sql.starts_with("UPDATE ") && !rewrites_rows(entry.sql)) {
        EXPECT_EQ(entry.rows, 0) << entry.sql;
      }
    }
    EXPECT_EQ(upgrade_test::Outline(sent, {}), every_run) << database;
  }
}

TEST_F(UpgradeRunTest, DatabaseNamesWithAQuoteOrABlankAreUpgradedLikeAnyOther) {
  CreateClub("ZENTIX'01", 20);
  CreateClub("ZENTIX 02", 20);
  const ui::RecordingUi ui = Run();
  EXPECT_EQ(ui.Log("box "), "box Informationen: UPDATE erfolgreich ausgeführt!\n");
  for (const char* database : {"ZENTIX'01", "ZENTIX 02"}) {
    EXPECT_EQ(Query(database,
                    "SELECT COUNT(*) FROM Information_Schema.Columns WHERE Table_Name='F5Dat' AND "
                    "Column_Name IN ('Klasse', 'LfdNr')"),
              "2\n")
        << database;
    EXPECT_EQ(Query(database, "SELECT COUNT(*) FROM GuVKennz"), "13\n") << database;
  }
  // The catalog's quote is doubled inside the column probe's literal.
  bool probed = false;
  for (const TraceEntry& entry : Trace()) {
    probed |= entry.sql.find("Table_Catalog='ZENTIX''01' AND") != std::string::npos;
  }
  EXPECT_TRUE(probed);
}

}  // namespace
