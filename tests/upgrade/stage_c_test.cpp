// Stage C against a client database of the previous release (the fixture's base schema and a small generated
// club) that stages A and B have already upgraded: the statements of a first and a second run as expected
// traces, the schema and data they leave, and the edge cases of the telephone merge, the appointment times
// and the regional confederations.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "fixture/old_release.h"
#include "previous_release.h"
#include "schema/primitives.h"
#include "schema/statement_runner.h"
#include "stage_test_base.h"
#include "stages.h"
#include "trace_outline.h"
#include "ui/recording_ui.h"
#include "upgrade/catalogue.h"
#include "upgrade/text_blocks.h"

namespace {

namespace show = fixture::showcase;

void ExpectSameAsFile(const std::string& actual, std::string_view file) {
  upgrade_test::ExpectSameAsFile(actual, CLUBIQA_UPGRADE_TEST_DIR, file);
}

constexpr int kMembers = 20;

class StageCTest : public upgrade_test::StageTestBase {
 protected:
  StageCTest() {
    PrepareOldRelease(kMembers, {upgrade::RunStageA, upgrade::RunStageB});
    // Profit-and-loss lines of both letters, for the receipts/expenses fill; an appointment at a known time.
    database_.Run(
        "INSERT INTO GuVKennzD (RimNr, Kennz, Nr, Bezeichnung) VALUES ('II', 'A', 1, 'Mitgliedsbeiträge'), "
        "('II', 'B', 1, 'Übungsleiter'), ('VII', 'A', 2, 'Werbung')");
    database_.Run(
        "INSERT INTO W_Vorl (LfdNr, AdrNr, Datum, UhrZeit, Betreff) VALUES (900001, 1, '05.03.2013 17:30', "
        "'30.12.1899 09:05', 'Jahreshauptversammlung')");
    ForgetPreparation();
  }

  std::string RunStageC() {
    return RunOnFreshConnection([this] { upgrade::RunStageC(Stage()); });
  }
};

TEST_F(StageCTest, AFirstRunSendsItsStatementsInOrderWithoutAnyBox) {
  ExpectSameAsFile(RunStageC(), "stage_c_first_run.trace");
  EXPECT_EQ(progress_positions_.size(), 12u);
  EXPECT_EQ(ui_.Log("box "), "");
}

TEST_F(StageCTest, AFirstRunLeavesEveryTableColumnAndKeyOfTheStage) {
  RunStageC();
  const std::string columns = Rows(
      "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, NUMERIC_SCALE, "
      "IS_NULLABLE FROM Information_Schema.Columns WHERE TABLE_NAME IN ('F6KoStGr', 'tblLSB', 'tblBeitassProt', "
      "'tmpJournal', 'MgUeberw', 'MgKontoUms', 'MgUeberwVorl', 'SportartenV', 'PASS', 'F6KOST', 'GuVKennzD', "
      "'W_Vorl', 'F5Kont', 'Mandstam', 'Adresse', 'HyAdresse', 'AdresseZukunft', 'LogAdr', 'Kontakt', 'RECHN', "
      "'MgVert', 'MgSolln', 'Sportarten', 'fachverbaende') ORDER BY TABLE_NAME, ORDINAL_POSITION");
  const std::string keys = Rows(
      "SELECT o.name, p.name, o.xtype FROM sysobjects o JOIN sysobjects p ON p.id = o.parent_obj WHERE o.xtype = 'PK' "
      "AND p.name IN ('F6KoStGr', 'tblLSB', 'tblBeitassProt', 'tmpJournal', 'MgUeberw', 'MgKontoUms', "
      "'MgUeberwVorl', 'd_str', 'd_orte', 'Sportarten', 'fachverbaende') ORDER BY o.name");
  const std::string identities = Rows(
      "SELECT t.name, c.name FROM sys.columns c JOIN sys.tables t ON t.object_id = c.object_id WHERE c.is_identity = 1 "
      "AND t.name IN ('tblBeitassProt', 'tmpJournal', 'MgUeberw', 'MgKontoUms', 'MgUeberwVorl') ORDER BY t.name");
  ExpectSameAsFile(columns + "-- keys\n" + keys + "-- identity columns\n" + identities, "stage_c_schema.txt");
}

TEST_F(StageCTest, AFirstRunConvertsTheClubsDataOnce) {
  RunStageC();
  // Cash books are bank books now, everywhere.
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM F5Kasses WHERE KB='K'"), "0\n");
  EXPECT_EQ(Rows("SELECT (SELECT COUNT(*) FROM F5bew4s WHERE Stapel='Kassenbuch') + (SELECT COUNT(*) FROM F5bew4sg "
                 "WHERE Stapel='Kassenbuch') + (SELECT COUNT(*) FROM F5bw4sga WHERE Stapel='Kassenbuch') + (SELECT "
                 "COUNT(*) FROM F5bw4sa WHERE Stapel='Kassenbuch') + (SELECT COUNT(*) FROM F5bew4 WHERE "
                 "DIALOG_STAP='K')"),
            "0\n");
  // Flags of the run that added them; receipts and expenses from the letter.
  EXPECT_EQ(Rows("SELECT DISTINCT AutoDatSichDeaktiv FROM PASS"), "N\n");
  EXPECT_EQ(Rows("SELECT DISTINCT FibuKost FROM mandstam"), "N\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM Adresse WHERE SEPA_FE IS NULL OR SEPA_FE <> 'N'"), "0\n");
  EXPECT_EQ(Rows("SELECT RimNr, Kennz, EA FROM GuVKennzD ORDER BY RimNr, Kennz"), "II|A|E\nII|B|A\nVII|A|E\n");
  // Booking texts in mixed case.
  EXPECT_EQ(Rows("SELECT DISTINCT [Text] FROM F5BuText WHERE [Text] IN ('AUFNAHMEGEBÜHREN', 'BEITRAG', 'SPENDE') "
                 "ORDER BY [Text]"),
            "Aufnahmegebühren\nBeitrag\nSpende\n");
  // The area code in front of the number; no area code left; a member without either has an empty number.
  EXPECT_EQ(Rows("SELECT AdrNr, Telefon1 FROM Adresse WHERE AdrNr IN (" + std::to_string(show::kAreaCodeOnly) + ", " +
                 std::to_string(show::kNoPhone) + ", " + std::to_string(show::kAreaCodeAndPhone) + ") ORDER BY AdrNr"),
            "10|07621\n11|\n12|07612345678\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM Adresse WHERE Vorwahl IS NOT NULL"), "0\n");
  // 5 March, 09:05 plus 0.03 of a day.
  EXPECT_EQ(Rows("SELECT DatumVon, DatumBis FROM W_Vorl WHERE LfdNr = 900001"),
            "2013-03-05 09:05:00.000|2013-03-05 09:48:12.000\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM W_Vorl WHERE Datum IS NOT NULL AND UhrZeit IS NOT NULL AND "
                 "(DatumBis IS NULL OR DATEDIFF(ss, DatumVon, DatumBis) <> 2592)"),
            "0\n");
  // The eighteen confederations, with their umlauts and the en dash as those characters.
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblLSB"), "18\n");
  EXPECT_EQ(Rows("SELECT Kennung, Bezeichnung FROM tblLSB WHERE Kennung IN ('BSB Süd', 'LSB Thüringen', "
                 "'LSB – Saarland') ORDER BY Bezeichnung"),
            "BSB Süd|Badischer Sportbund Freiburg\nLSB Thüringen|Landessportbund Thüringen\n"
            "LSB – Saarland|Landessportverband für das Saarland\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblLSB WHERE Kennung = 'LSB - Saarland'"), "0\n");
}

TEST_F(StageCTest, TheReferenceTablesHoldExactlyTheScriptsRows) {
  RunStageC();
  EXPECT_EQ(Rows("SELECT 'Kulturverein', COUNT(*) FROM F5KontKulturverein UNION ALL SELECT "
                 "'KulturvereinUndSportverein', COUNT(*) FROM F5KontKulturvereinUndSportverein UNION ALL SELECT "
                 "'MitBezahltenSport', COUNT(*) FROM F5KontMitBezahltenSport UNION ALL SELECT 'Monosportverein', "
                 "COUNT(*) FROM F5KontMonosportverein UNION ALL SELECT 'Sonstiger', COUNT(*) FROM F5KontSonstiger "
                 "UNION ALL SELECT 'SportvereinMitAnlagevermogen', COUNT(*) FROM F5KontSportvereinMitAnlagevermogen "
                 "UNION ALL SELECT 'SportvereinOhneAnlagevermogen', COUNT(*) FROM "
                 "F5KontSportvereinOhneAnlagevermogen"),
            "Kulturverein|192\nKulturvereinUndSportverein|247\nMitBezahltenSport|228\nMonosportverein|104\n"
            "Sonstiger|201\nSportvereinMitAnlagevermogen|183\nSportvereinOhneAnlagevermogen|146\n");
  EXPECT_EQ(Rows("SELECT KONTONR, BEZEICHG, START, Bank FROM F5KontKulturverein WHERE KONTONR IN (55, 920, 9000) "
                 "ORDER BY KONTONR"),
            "55|Bebaute Grundstücke|ohne Steuer|Falsch\n920|Kasse Hauptverein|ohne Steuer|Wahr\n"
            "9000|Saldovorträge Sachkonten|ohne Steuer|Falsch\n");
  for (const char* table :
       {"F5DatKulturUndSportverein", "F5DatKulturverein", "F5DatMitBezahltenSport", "F5DatMonosportverein",
        "F5DatSonstiger", "F5DatSportvereinMitAnlagevermogen", "F5DatSportvereinOhneAnlagevermogen"}) {
    EXPECT_EQ(Rows(std::string("SELECT COUNT(*), SUM(LfdNr), SUM(STEUERSCHL), SUM(MWSTKTO) FROM ") + table),
              "10|55|130|63185\n")
        << table;
  }
  EXPECT_EQ(Rows("SELECT KZ, COUNT(*) FROM Sportarten GROUP BY KZ ORDER BY KZ"), "A|304\nB|312\nW|106\n");
  EXPECT_EQ(Rows("SELECT KZ, COUNT(*) FROM fachverbaende GROUP BY KZ ORDER BY KZ"), "A|102\nB|54\nW|52\n");
  EXPECT_EQ(Rows("SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE FROM "
                 "Information_Schema.Columns WHERE TABLE_NAME IN ('Sportarten', 'fachverbaende') AND COLUMN_NAME IN "
                 "('SPORTART', "
                 "'FACHVERBAN') ORDER BY TABLE_NAME"),
            "fachverbaende|FACHVERBAN|varchar|120|NO\nSportarten|SPORTART|varchar|120|NO\n");
}

TEST_F(StageCTest, ASecondRunReloadsTheReferenceTablesAndKeepsEverythingElse) {
  RunStageC();
  // What a user added outside the reference tables stays.
  database_.Run("INSERT INTO tblLSB (Kennung, Bezeichnung) VALUES ('Eigener LSB', 'Eigener Landessportbund')");
  database_.Run("INSERT INTO F6KoStGr (KoStGr, Bezeichnung) VALUES (1, 'Abteilungen')");
  const std::string expected = database_.Everything();
  // What a user changed in the reference tables is undone.
  database_.Run("INSERT INTO Sportarten (KZ, NUMMER, SPORTART) VALUES ('A', 999, 'Eigene Sportart')");
  database_.Run("INSERT INTO fachverbaende (KZ, NUMMER, FACHVERBAN) VALUES ('B', 999, 'Eigener Verband')");
  database_.Run("INSERT INTO F5KontSonstiger (BUCHJAHR, KONTONR, BEZEICHG) VALUES (2010, 9999, 'Eigenes Konto')");
  database_.Run("DELETE FROM F5DatMonosportverein WHERE LfdNr > 5");

  ExpectSameAsFile(RunStageC(), "stage_c_second_run.trace");
  EXPECT_EQ(ui_.Log("box "), "");
  EXPECT_EQ(database_.Everything(), expected);
}

// ---- edge cases ---------------------------------------------------------------------------------------------

TEST_F(StageCTest, AMergedNumberTooLongForTelefon1KeepsEveryAreaCode) {
  database_.Run("UPDATE Adresse SET Telefon1 = '12345678901234567890123456789012345678' WHERE AdrNr = " +
                std::to_string(show::kAreaCodeAndPhone));
  const std::string before = Rows("SELECT AdrNr, Vorwahl, Telefon1 FROM Adresse ORDER BY AdrNr");
  RunStageC();
  EXPECT_EQ(Rows("SELECT AdrNr, Vorwahl, Telefon1 FROM Adresse ORDER BY AdrNr"), before);
  EXPECT_EQ(ui_.Log("box "), "");
  // Once the number fits, the next run merges every address.
  database_.Run("UPDATE Adresse SET Telefon1 = '2345678' WHERE AdrNr = " + std::to_string(show::kAreaCodeAndPhone));
  RunStageC();
  EXPECT_EQ(Rows("SELECT Vorwahl, Telefon1 FROM Adresse WHERE AdrNr = " + std::to_string(show::kAreaCodeAndPhone)),
            "NULL|07612345678\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM Adresse WHERE Vorwahl IS NOT NULL"), "0\n");
}

TEST_F(StageCTest, AppointmentsWithOnlyOneOfTheNewColumns) {
  // DatumVon there, DatumBis missing: DatumBis is added and both updates run, overwriting DatumVon.
  database_.Run("ALTER TABLE W_Vorl ADD DatumVon datetime NULL");
  database_.Run("UPDATE W_Vorl SET DatumVon = '01.01.2000'");
  RunStageC();
  EXPECT_EQ(Rows("SELECT DatumVon, DatumBis FROM W_Vorl WHERE LfdNr = 900001"),
            "2013-03-05 09:05:00.000|2013-03-05 09:48:12.000\n");

  // DatumBis there, DatumVon missing: DatumVon is added and stays empty.
  database_.Run("ALTER TABLE W_Vorl DROP COLUMN DatumVon");
  database_.Run("UPDATE W_Vorl SET DatumBis = NULL");
  RunStageC();
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM W_Vorl WHERE DatumVon IS NOT NULL OR DatumBis IS NOT NULL"), "0\n");
}

TEST_F(StageCTest, AnExistingEmptyConfederationTableStaysEmpty) {
  database_.Run("CREATE TABLE tblLSB (Kennung varchar (50) NOT NULL, Bezeichnung varchar (50) NOT NULL)");
  const std::string trace = RunStageC();
  EXPECT_EQ(trace.find("tblLSB ("), std::string::npos);
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblLSB"), "0\n");
}

}  // namespace
