// Stage D against a client database of the previous release (the fixture's base schema and a small generated
// club) that stages A to C have already upgraded: the statements of a first and a second run as expected
// traces, the schema they leave, the two copies of the club's bank accounts with their group rules, the help
// tables and the version replaced on every run, the bank code directory rebuilt once and the flags set once.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "db/error.h"
#include "previous_release.h"
#include "schema/primitives.h"
#include "schema/statement_runner.h"
#include "stage_test_base.h"
#include "stages.h"
#include "trace_outline.h"
#include "ui/recording_ui.h"
#include "upgrade/text_blocks.h"

namespace {

void ExpectSameAsFile(const std::string& actual, std::string_view file) {
  upgrade_test::ExpectSameAsFile(actual, CLUBIQA_UPGRADE_TEST_DIR, file);
}

constexpr int kMembers = 20;

// The club's three bank-account groups: group 1 with blanks around its values and a quote in its bank name,
// group 2 without a bank code (blanks only), group 3 without a posting account.
constexpr std::string_view kAccountGroups =
    "UPDATE Mandstam SET Bank1 = ' Bank d''Or ', Konto1 = ' 1020304050 ', BLZ1 = '68050101 ', Fibukonto1 = 945, "
    "Bank2 = 'Volksbank Breisgau', Konto2 = '7654321', BLZ2 = '   ', Fibukonto2 = 950, "
    "Bank3 = 'Sparkasse Lörrach', Konto3 = '4711', BLZ3 = ' 68350048', Fibukonto3 = NULL";

// The tables the stage creates and those it adds columns to.
constexpr std::string_view kStageTables =
    "'MandKonten', 'MgBuText', 'tblHelp', 'tblHelpGruppe', 'tblVersion', 'SEPA_Protokol', 'SEPA_ProtokolS', "
    "'OnlKontAnm', 'tmpMgKontoUms', 'tblOnlLog', 'OnlKontoStand', 'MgLast', 'Mandstam', 'MgKontoUms', 'F5BW4SGA', "
    "'F5BEW4SG', 'F5Sicht', 'PASS', 'MgUeberw', 'MgUeberwVorl', 'd_blz', 'Adresse'";

// The inserts of the two copies, told apart by their column lists.
constexpr std::string_view kFirstCopy = "INSERT INTO MandKonten (Bank, Konto, BLZ\r\n";
constexpr std::string_view kSecondCopy = "INSERT INTO MandKonten (Bank, Konto, BLZ, Online";

constexpr std::string_view kClubAccounts = "SELECT Bank, Konto, BLZ, FibuKonto, Online, IBAN, BIC FROM MandKonten";

class StageDTest : public upgrade_test::StageTestBase {
 protected:
  StageDTest() {
    PrepareOldRelease(kMembers, {upgrade::RunStageA, upgrade::RunStageB, upgrade::RunStageC});
    database_.Run(kAccountGroups);
    // A transfer and a transfer template, for the SEPA flags.
    database_.Run("INSERT INTO MgUeberw (Empfaenger, Betrag) VALUES ('Sportartikel Huber', 120.5)");
    database_.Run("INSERT INTO MgUeberwVorl (Bezeichnung, Betrag) VALUES ('Hallenmiete', 300)");
    ForgetPreparation();
  }

  std::string RunStageD() {
    return RunOnFreshConnection([this] { upgrade::RunStageD(Stage()); });
  }

  // What the traced statements that begin with `start` affected (or returned), one number each, in order:
  // "1 1" for two inserts of one row each, "" when none was sent.
  std::string Affected(std::string_view start) const {
    std::string text;
    for (const db_test::TraceEntry& entry : database_.Trace()) {
      if (entry.sql.starts_with(start)) text += (text.empty() ? "" : " ") + std::to_string(entry.rows);
    }
    return text;
  }

  // Everything of the database, the help topics without their identity numbers: they are deleted and inserted
  // anew on every run, so the numbers move on while the topics stay the same.
  std::string EverythingButHelpNumbers() {
    std::string text = database_.Everything();
    const size_t start = text.find("-- tblHelp\n");
    if (start == std::string::npos) return text;
    const size_t end = text.find("\n-- ", start);
    return text.replace(start, end == std::string::npos ? std::string::npos : end + 1 - start,
                        "-- tblHelp\n" + Rows("SELECT PARENTID, FORM, CID, Bezeichnung, Memo, Notes, Benutzer, "
                                              "RadDat, Gruppe, PROGRAM FROM tblHelp ORDER BY FORM"));
  }
};

TEST_F(StageDTest, AFirstRunSendsItsStatementsInOrderWithoutAnyBox) {
  ExpectSameAsFile(RunStageD(), "stage_d_first_run.trace");
  EXPECT_EQ(progress_positions_.size(), 4u);
  EXPECT_EQ(ui_.Log("box "), "");
}

TEST_F(StageDTest, AFirstRunLeavesEveryTableColumnKeyAndIndexOfTheStage) {
  RunStageD();
  const std::string tables(kStageTables);
  const std::string columns = Rows(
      "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, NUMERIC_SCALE, "
      "IS_NULLABLE FROM Information_Schema.Columns WHERE TABLE_NAME IN (" +
      tables + ") ORDER BY TABLE_NAME, ORDINAL_POSITION");
  const std::string keys = Rows(
      "SELECT o.name, p.name FROM sysobjects o JOIN sysobjects p ON p.id = o.parent_obj WHERE o.xtype = 'PK' AND "
      "p.name IN (" +
      tables + ") ORDER BY o.name");
  const std::string indexes = Rows(
      "SELECT t.name, i.name, i.keycnt FROM sysindexes i JOIN sysobjects t ON t.id = i.id WHERE i.indid > 0 AND "
      "t.name IN (" +
      tables + ") ORDER BY t.name, i.name");
  const std::string identities = Rows(
      "SELECT t.name, c.name FROM sys.columns c JOIN sys.tables t ON t.object_id = c.object_id WHERE c.is_identity = 1 "
      "AND t.name IN (" +
      tables + ") ORDER BY t.name");
  ExpectSameAsFile(
      columns + "-- keys\n" + keys + "-- indexes (key columns)\n" + indexes + "-- identity columns\n" + identities,
      "stage_d_schema.txt");
}

TEST_F(StageDTest, ASecondRunWritesOnlyTheHelpAndTheVersionAgainAndChangesNoData) {
  RunStageD();
  const std::string expected = EverythingButHelpNumbers();
  ExpectSameAsFile(RunStageD(), "stage_d_second_run.trace");
  EXPECT_EQ(progress_positions_.size(), 4u);
  EXPECT_EQ(ui_.Log("box "), "");
  EXPECT_EQ(EverythingButHelpNumbers(), expected);
}

// ---- the club's bank accounts ---------------------------------------------------------------------------------

TEST_F(StageDTest, BothCopiesTakeTheFilledGroupsTrimmedWithTheQuoteKept) {
  RunStageD();
  // Each copy inserted one row per filled group (1 and 3); the second replaced the rows of the first.
  EXPECT_EQ(Affected(kFirstCopy), "1 1");
  EXPECT_EQ(Affected("DELETE FROM MandKonten"), "2");
  EXPECT_EQ(Affected(kSecondCopy), "1 1");
  // No online flag, IBAN or BIC in the master data: not online, no IBAN, no BIC; no posting account in group 3.
  EXPECT_EQ(Rows(std::string(kClubAccounts) + " ORDER BY LfdNr"),
            "Bank d'Or|1020304050|68050101|945|N|NULL|NULL\nSparkasse Lörrach|4711|68350048|NULL|N|NULL|NULL\n");
}

TEST_F(StageDTest, TheSecondCopyTakesOnlineIbanAndBicTrimmed) {
  // A master record that has the online, IBAN and BIC columns already (IBAN1 and BIC1 came with stage C).
  for (std::string_view column : {"Online1 char (1)", "IBAN2 varchar (30)", "BIC2 varchar (30)", "Online2 char (1)",
                                  "IBAN3 varchar (30)", "BIC3 varchar (30)", "Online3 char (1)"}) {
    database_.Run("ALTER TABLE Mandstam ADD " + std::string(column) + " NULL");
  }
  database_.Run(
      "UPDATE Mandstam SET Online1 = 'J', IBAN1 = ' DE02680501010001020304 ', BIC1 = 'FRSPDE66XXX ', "
      "BLZ2 = '68090000', Online2 = ' ', IBAN2 = '', BIC2 = NULL, Fibukonto2 = NULL, "
      "Online3 = 'N', IBAN3 = 'DE89683500480000004711', BIC3 = 'SKLODE66'");
  RunStageD();
  EXPECT_EQ(Rows(std::string(kClubAccounts) + " ORDER BY LfdNr"),
            "Bank d'Or|1020304050|68050101|945|J|DE02680501010001020304|FRSPDE66XXX\n"
            "Volksbank Breisgau|7654321|68090000|NULL|N|NULL|NULL\n"
            "Sparkasse Lörrach|4711|68350048|NULL|N|DE89683500480000004711|SKLODE66\n");
  EXPECT_EQ(ui_.Log("box "), "");
}

TEST_F(StageDTest, AnAccountTableWithoutOnlineIbanAndBicIsReplacedByTheCopies) {
  database_.Run(
      "CREATE TABLE MandKonten (LfdNr int IDENTITY (1,1) NOT NULL, Bank varchar (80) NOT NULL, Konto varchar (15) NOT "
      "NULL, BLZ varchar (10) NOT NULL, FibuKonto int NULL)");
  database_.Run("INSERT INTO MandKonten (Bank, Konto, BLZ, FibuKonto) VALUES ('Eigene Bank', '1', '10000000', 1)");
  RunStageD();
  // The first copy does not run: only the second's two inserts.
  EXPECT_EQ(Affected(kFirstCopy), "");
  EXPECT_EQ(Affected(kSecondCopy), "1 1");
  EXPECT_EQ(Rows(std::string(kClubAccounts) + " ORDER BY LfdNr"),
            "Bank d'Or|1020304050|68050101|945|N|NULL|NULL\nSparkasse Lörrach|4711|68350048|NULL|N|NULL|NULL\n");
}

TEST_F(StageDTest, AnAccountTableWithBicKeepsItsRows) {
  database_.Run(
      "CREATE TABLE MandKonten (LfdNr int IDENTITY (1,1) NOT NULL, Bank varchar (80) NOT NULL, Konto varchar (15) NOT "
      "NULL, BLZ varchar (10) NOT NULL, FibuKonto int NULL, Online char (1) NULL, IBAN varchar (30) NULL, BIC "
      "varchar (30) NULL)");
  database_.Run("INSERT INTO MandKonten (Bank, Konto, BLZ, Online) VALUES ('Eigene Bank', '1', '10000000', 'J')");
  RunStageD();
  EXPECT_EQ(Affected("SELECT * FROM Mandstam") + Affected("INSERT INTO MandKonten"), "");
  EXPECT_EQ(Rows(kClubAccounts), "Eigene Bank|1|10000000|NULL|J|NULL|NULL\n");
}

TEST_F(StageDTest, AClubMasterRecordWithoutRowsCopiesNoAccount) {
  database_.Run("DELETE FROM Mandstam");
  RunStageD();
  EXPECT_EQ(Affected("SELECT * FROM Mandstam"), "0 0");
  EXPECT_EQ(Affected("INSERT INTO MandKonten"), "");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM MandKonten"), "0\n");
  EXPECT_EQ(ui_.Log("box "), "");
}

TEST_F(StageDTest, AClubMasterRecordWithoutAColumnOfTheGroupsEndsTheStageAtTheCopy) {
  database_.Run("ALTER TABLE Mandstam DROP COLUMN Fibukonto3");
  EXPECT_THROW(RunStageD(), db::Error);
  // Group 1 was copied before group 3 was read; nothing after the copy ran, and the table went with its copy,
  // so that the next run creates and fills it again.
  EXPECT_EQ(Affected(kFirstCopy), "1");
  const std::vector<db_test::TraceEntry> trace = database_.Trace();
  ASSERT_GE(trace.size(), 2u);
  EXPECT_TRUE(trace[trace.size() - 2].sql.starts_with(kFirstCopy));
  EXPECT_EQ(trace.back().sql, "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM sysobjects WHERE name='MandKonten'"), "0\n");
  EXPECT_TRUE(progress_positions_.empty());
  EXPECT_EQ(ui_.Log("box "), "");
}

// ---- help, version, directory and flags -----------------------------------------------------------------------

TEST_F(StageDTest, HelpGroupsAndTopicsHoldExactlyTheirRowsAfterEveryRun) {
  RunStageD();
  database_.Run("INSERT INTO tblHelpGruppe (Kennung, Nr) VALUES ('Eigene Gruppe', 4)");
  database_.Run("UPDATE tblHelpGruppe SET Nr = 9 WHERE Kennung = 'Finanzbuchhaltung'");
  database_.Run(
      "INSERT INTO tblHelp (PARENTID, FORM, CID, Bezeichnung, Memo, Benutzer, RadDat, PROGRAM) VALUES (-1, "
      "'F_Eigen', '', 'Eigene Hilfe', 'Text', 'Admin', '01.07.2013', 'FIBU')");
  database_.Run("DELETE FROM tblHelp WHERE FORM = 'F_SQL'");
  RunStageD();
  EXPECT_EQ(Rows("SELECT Kennung, Nr FROM tblHelpGruppe ORDER BY Nr"),
            "Mitgliederverwaltung|1\nBeitragsverwaltung|2\nFinanzbuchhaltung|3\n");
  EXPECT_EQ(Rows("SELECT FORM, Bezeichnung, Gruppe FROM tblHelp ORDER BY FORM"),
            "F_Adresse|Mitgliederverwaltung|Mitgliederverwaltung\n"
            "F_SQL|Auswertungsgenerator|Mitgliederverwaltung\n"
            "Form_Stapel|Einnahmen und Ausgaben buchen|Finanzbuchhaltung\n"
            "frmAssBeit|Assistent Beitragsmanager|Beitragsverwaltung\n"
            "frmAssBeit1_2|Assistent Beitragsmanager|Beitragsverwaltung\n"
            "frmAssBeit1_3|Assistent Beitragsmanager|Beitragsverwaltung\n"
            "frmAssBeit1A|Assistent Beitragsmanager|Beitragsverwaltung\n"
            "frmAssistent|Einrichtungsassistent|Mitgliederverwaltung\n"
            "frmMgArtDat|Beitragsartenstamm|Beitragsverwaltung\n"
            "frmMgOP|Lastschriften/Beitragseinzug|Beitragsverwaltung\n");
  // The help block travels whole, with the CR LF line ends it is carried with.
  const std::string& help = upgrade::EmbeddedTextBlocks().memoHelp;
  int sent = 0;
  for (const db_test::TraceEntry& entry : database_.Trace()) sent += entry.sql == help + "\r\n" ? 1 : 0;
  EXPECT_EQ(sent, 1);
}

TEST_F(StageDTest, TheVersionIsZeroWhenCreatedAndSevenAfterEveryRun) {
  RunStageD();
  // The seed row '0' went in, and the very next statement after the table's transaction, the one update of
  // the stage, set it to '7'.
  EXPECT_EQ(Affected("INSERT INTO tblVersion"), "1");
  EXPECT_EQ(Affected("UPDATE tblVersion"), "1");
  const std::vector<db_test::TraceEntry> trace = database_.Trace();
  for (size_t i = 0; i + 2 < trace.size(); ++i) {
    if (trace[i].sql.starts_with("INSERT INTO tblVersion")) {
      EXPECT_TRUE(trace[i].sql.find("('0')") != std::string::npos);
      EXPECT_EQ(trace[i + 1].sql, "COMMIT TRANSACTION");
      EXPECT_TRUE(trace[i + 2].sql.starts_with("UPDATE tblVersion"));
    }
  }
  EXPECT_EQ(Rows("SELECT Version FROM tblVersion"), "7\n");
  // A table that exists gets no seed row: a version of its own becomes '7', an empty table stays empty.
  database_.Run("UPDATE tblVersion SET Version = '5'");
  RunStageD();
  EXPECT_EQ(Rows("SELECT Version FROM tblVersion"), "7\n");
  database_.Run("DELETE FROM tblVersion");
  RunStageD();
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblVersion"), "0\n");
}

TEST_F(StageDTest, TheBankDirectoryIsEmptiedAndKeyedOnce) {
  const int old_rows = std::stoi(Rows("SELECT COUNT(*) FROM d_blz"));
  ASSERT_GT(old_rows, 0);
  RunStageD();
  // The identity column numbered the old rows, then all of them were deleted.
  EXPECT_EQ(Affected("DELETE FROM D_BLZ"), std::to_string(old_rows));
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM d_blz"), "0\n");
  // Rows added afterwards are numbered on from there, keyed with their bank code, and stay.
  database_.Run("INSERT INTO d_blz (BLZ, BANK, Ort) VALUES ('68050101', 'Sparkasse Freiburg', 'Freiburg')");
  database_.Run("INSERT INTO d_blz (BLZ, BANK, Ort) VALUES ('68050101', 'Sparkasse Freiburg', 'Emmendingen')");
  RunStageD();
  EXPECT_EQ(Affected("DELETE FROM D_BLZ") + Affected("ALTER TABLE dbo.D_BLZ"), "");
  EXPECT_EQ(Rows("SELECT BLZ, ID - " + std::to_string(old_rows) + ", Ort FROM d_blz ORDER BY ID"),
            "68050101|1|Freiburg\n68050101|2|Emmendingen\n");
}

TEST_F(StageDTest, FlagsAreSetOnlyInTheRunThatAddsThem) {
  RunStageD();
  const std::string flags =
      "SELECT 'Mandstam', COUNT(*) FROM Mandstam WHERE ISNULL(BankKontoFuerendeNull, '') <> 'N' UNION ALL "
      "SELECT 'F5BW4SGA', COUNT(*) FROM F5BW4SGA WHERE ISNULL(Verzicht, '') <> 'N' UNION ALL "
      "SELECT 'F5BEW4SG', COUNT(*) FROM F5BEW4SG WHERE ISNULL(Verzicht, '') <> 'N' UNION ALL "
      "SELECT 'PASS', COUNT(*) FROM PASS WHERE ISNULL(HelpAend, '') <> 'N' UNION ALL "
      "SELECT 'MgUeberwVorl', COUNT(*) FROM MgUeberwVorl WHERE ISNULL(SEPA, '') <> 'N' UNION ALL "
      "SELECT 'MgUeberw', COUNT(*) FROM MgUeberw WHERE ISNULL(SEPA, '') <> 'N'";
  EXPECT_EQ(Rows(flags), "Mandstam|0\nF5BW4SGA|0\nF5BEW4SG|0\nPASS|0\nMgUeberwVorl|0\nMgUeberw|0\n");
  for (const char* table : {"F5BW4SGA", "F5BEW4SG", "PASS"}) {
    EXPECT_NE(Rows(std::string("SELECT COUNT(*) FROM ") + table), "0\n") << table << " has rows to flag";
  }
  EXPECT_EQ(Rows("SELECT DISTINCT RTRIM(Spende) FROM F5kont WHERE KONTONR = 3220"), "J\n");

  // Flags changed afterwards stay as they are.
  database_.Run("UPDATE Mandstam SET BankKontoFuerendeNull = 'J'");
  database_.Run("UPDATE F5BW4SGA SET Verzicht = NULL");
  database_.Run("UPDATE F5BEW4SG SET Verzicht = 'J'");
  database_.Run("UPDATE PASS SET HelpAend = 'J'");
  database_.Run("UPDATE MgUeberwVorl SET SEPA = 'J'");
  database_.Run("UPDATE MgUeberw SET SEPA = NULL");
  database_.Run("UPDATE F5kont SET Spende = 'N' WHERE KONTONR = 3220");
  const std::string changed = EverythingButHelpNumbers();
  RunStageD();
  EXPECT_EQ(EverythingButHelpNumbers(), changed);
}

}  // namespace
