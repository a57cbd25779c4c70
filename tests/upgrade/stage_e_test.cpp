// Stage E against a client database of the previous release (the fixture's base schema and a small generated
// club) that stages A to C have already upgraded: the statements of a first and a second run as expected traces,
// the schema and data they leave, the mandate records of the showcase members, and the edge cases of the DSA
// tables, the one-time flags and the every-run commands.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "db/error.h"
#include "fixture/old_release.h"
#include "previous_release.h"
#include "schema/primitives.h"
#include "schema/statement_runner.h"
#include "stage_test_base.h"
#include "stages.h"
#include "trace_outline.h"
#include "ui/recording_ui.h"
#include "upgrade/mandates.h"
#include "upgrade/text_blocks.h"

namespace {

namespace show = fixture::showcase;

void ExpectSameAsFile(const std::string& actual, std::string_view file) {
  upgrade_test::ExpectSameAsFile(actual, CLUBIQA_UPGRADE_TEST_DIR, file);
}

constexpr int kMembers = 20;
constexpr upgrade::CalendarDay kToday{2024, 3, 15};
// The member of the worked example: address number 1234, member number '815', direct debit.
constexpr int kExample = 1234;

std::string Number(int adr_nr) { return std::to_string(adr_nr); }

// The AdrSepa row (all columns, in table order) of a mandate made on kToday.
std::string MandateRow(int adr_nr, std::string_view reference, std::string_view key) {
  return Number(adr_nr) + "|" + std::string(reference) + "|" + std::string(key) +
         "|Basis|W|Aktiv|2024-03-15 00:00:00.000|2024-03-15 00:00:00.000|2024-03-15 00:00:00.000|NULL|NULL|NULL|NULL\n";
}

class StageETest : public upgrade_test::StageTestBase {
 protected:
  StageETest() {
    PrepareOldRelease(kMembers, {upgrade::RunStageA, upgrade::RunStageB, upgrade::RunStageC, upgrade::RunStageD});
    database_.Run(
        "INSERT INTO Adresse (AdrNr, MitglNr, Name, Vorname, Zahlungsart) VALUES (1234, '815', "
        "'Beispiel', 'Berta', 'L')");
    ForgetPreparation();
  }

  // The stage has no progress step.
  std::string RunStageE() {
    return RunOnFreshConnection([this] { upgrade::RunStageE(Stage(), mandates_); });
  }

  // The member number of a showcase member whose number comes from the seed.
  std::string MemberNumber(int adr_nr) {
    const std::string row = Rows("SELECT MitglNr FROM Adresse WHERE AdrNr = " + Number(adr_nr));
    return row.substr(0, row.size() - 1);
  }

  upgrade::Mandates mandates_{client_, [] { return kToday; }};
};

TEST_F(StageETest, AFirstRunSendsItsStatementsInOrderWithoutAnyBox) {
  ExpectSameAsFile(RunStageE(), "stage_e_first_run.trace");
  EXPECT_EQ(ui_.Log("box "), "");
}

TEST_F(StageETest, AFirstRunLeavesEveryTableColumnKeyAndIndexOfTheStage) {
  RunStageE();
  const std::string columns = Rows(
      "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, NUMERIC_SCALE, "
      "IS_NULLABLE FROM Information_Schema.Columns WHERE TABLE_NAME IN ('tblDSA7', 'tblDSALogin', 'DSAFachverband', "
      "'tblDSAExport', 'AdrSepa', 'AdrSepaVer', 'RuckLastGrund') OR (TABLE_NAME = 'SportartenV' AND COLUMN_NAME = "
      "'DSAFach') OR (TABLE_NAME = 'MgSolln' AND COLUMN_NAME IN ('ArtName', 'MandatsNr', 'IBAN', 'BIC', "
      "'LetzteVerwendung', 'GultigBis', 'ErsteVerwendung', 'SEPATyp', 'SEPAXML', 'GUID')) OR (TABLE_NAME = "
      "'MgLast' AND COLUMN_NAME IN ('MandatsNr', 'IBAN', 'BIC', 'LetzteVerwendung', 'GultigBis', 'ErsteVerwendung', "
      "'SEPATyp', 'Bemerkung', 'BankUeb', 'DatumBankeinzug', 'SEPAKenn', 'Ausfuhrungsdatum', 'SEPAXML', 'GUID', "
      "'IndSepa')) OR (TABLE_NAME = 'RECHN' AND COLUMN_NAME IN ('Prenotified', 'DatumPren', 'DatumBankeinzug', "
      "'MandatsNr', 'SEPAXML', 'GUID')) OR (TABLE_NAME = 'Adresse' AND COLUMN_NAME IN ('DSAVerband', "
      "'DSASportArt', 'DSA_SMK', 'DSA_SVK', 'DSABeantragt', 'EinzugLastMandLiegtVor', 'StrasseKIH', 'PlzKIH', "
      "'OrtKIH', 'EmailKIH', 'AbwKtoInhCB')) OR (TABLE_NAME = 'MgVert' AND COLUMN_NAME IN ('ArtName', "
      "'Prenotifikation', 'AbwKontoInh', 'StrasseKIH', 'PlzKIH', 'OrtKIH', 'EmailKIH')) OR (TABLE_NAME = "
      "'Mandstam' AND COLUMN_NAME IN ('VereinOhneOnlKonten', 'SEPAErstTage', 'SEPAFolgeTage', 'GlaeubigerId')) "
      "OR (TABLE_NAME = 'EINST' AND COLUMN_NAME IN ('mRef', 'Firma4Vor')) OR (TABLE_NAME IN ('F5bew4sg', "
      "'F5bw4sga') AND COLUMN_NAME = 'Druck') OR (TABLE_NAME = 'SEPA_Protokol' AND COLUMN_NAME IN ('IBAN', 'BIC')) "
      "ORDER BY TABLE_NAME, ORDINAL_POSITION");
  const std::string keys = Rows(
      "SELECT o.name, p.name, o.xtype FROM sysobjects o JOIN sysobjects p ON p.id = o.parent_obj WHERE o.xtype IN "
      "('PK', 'F') AND p.name IN ('tblDSA7', 'tblDSALogin', 'DSAFachverband', 'tblDSAExport', 'AdrSepa', "
      "'AdrSepaVer', 'RuckLastGrund', 'AdrFunktion') ORDER BY o.name");
  const std::string indexes = Rows(
      "SELECT i.name, o.name FROM sysindexes i JOIN sysobjects o ON o.id = i.id WHERE o.name = 'tblDSA7' AND "
      "i.name IS NOT NULL ORDER BY i.name");
  const std::string identities = Rows(
      "SELECT t.name, c.name FROM sys.columns c JOIN sys.tables t ON t.object_id = c.object_id WHERE c.is_identity = 1 "
      "AND t.name IN ('tblDSA7', 'tblDSAExport', 'AdrSepa', 'AdrSepaVer') ORDER BY t.name");
  ExpectSameAsFile(
      columns + "-- keys\n" + keys + "-- indexes of tblDSA7\n" + indexes + "-- identity columns\n" + identities,
      "stage_e_schema.txt");
}

TEST_F(StageETest, TheFederationListIsSeededAndItsNamesCleaned) {
  RunStageE();
  EXPECT_EQ(Rows("SELECT COUNT(*), COUNT(DISTINCT Nr) FROM DSAFachverband"), "108|108\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM DSAFachverband WHERE LEN(Bezeichnung) > 77 OR LEN(Nr) <> 3"), "0\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM DSAFachverband WHERE CHARINDEX(CHAR(13), Bezeichnung) > 0 OR "
                 "CHARINDEX(CHAR(10), Bezeichnung) > 0 OR CHARINDEX('  ', Bezeichnung) > 0"),
            "0\n");
  EXPECT_EQ(Rows("SELECT Nr, Bezeichnung FROM DSAFachverband WHERE Nr IN ('101', '001', '024', '501', '801', '999') "
                 "ORDER BY Nr"),
            "001|American Football Verband Deutschland e.V. (AFVD)\n"
            "024|Deutscher Fussball- Bund e.V. (DFB)\n"
            "101|Allgemeiner Deutscher Hochschulsportverband (ADH)\n"
            "501|Badischer Turner- Bund (BTB)\n"
            "801|Deutscher Rock‘n‘Roll und Boogie Woogie Verband e.V. (DRBV)\n"
            "999|Sonstige Verbände\n");
  // The seed was one entry of the batch's line list, the whole block with its CR LF line ends.
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblDSALogin"), "0\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM RuckLastGrund"), "0\n");
}

TEST_F(StageETest, TheSeedReachesTheServerWithItsLineBreaksInsideTheNames) {
  // With Landname there already, nothing cleans the names that the seed brings.
  database_.Run(
      "CREATE TABLE tblDSAExport (Benutzer varchar (50) NOT NULL, AdrNr int NOT NULL, Landname "
      "varchar (30) NULL)");
  RunStageE();
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM DSAFachverband WHERE CHARINDEX(CHAR(13) + CHAR(10), Bezeichnung) > 0"), "106\n");
  EXPECT_EQ(Rows("SELECT REPLACE(REPLACE(Bezeichnung, CHAR(13), '<CR>'), CHAR(10), '<LF>') FROM DSAFachverband "
                 "WHERE Nr = '101'"),
            "Allgemeiner Deutscher <CR><LF>Hochschulsportverband (ADH)\n");
}

TEST_F(StageETest, AnExistingFederationListGetsNoSeedButItsNamesAreCleanedWithLandname) {
  database_.Run("CREATE TABLE DSAFachverband (Nr VARCHAR (3) NOT NULL, Bezeichnung VARCHAR (200) NOT NULL)");
  database_.Run(
      "INSERT INTO DSAFachverband (Nr, Bezeichnung) VALUES ('007', 'Eigener' + CHAR(13) + CHAR(10) + "
      "'Verband'), ('008', 'Drei   Blanks'), ('009', 'Nur' + CHAR(10) + 'LF und' + CHAR(13) + 'CR')");
  RunStageE();
  EXPECT_EQ(Rows("SELECT Nr, Bezeichnung FROM DSAFachverband ORDER BY Nr"),
            "007|Eigener Verband\n008|Drei  Blanks\n009|Nur LF und CR\n");
}

TEST_F(StageETest, CardDataWithoutAdrNrLoseTheirRows) {
  database_.Run("CREATE TABLE tblDSA7 ([LfdNr] [int] IDENTITY(1,1) NOT NULL, MitglNr varchar (15) NULL)");
  database_.Run("INSERT INTO tblDSA7 (MitglNr) VALUES ('1'), ('2')");
  RunStageE();
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblDSA7"), "0\n");
  // With AdrNr there, the rows stay.
  database_.Run("INSERT INTO tblDSA7 (MitglNr, AdrNr) VALUES ('3', 3)");
  RunStageE();
  EXPECT_EQ(Rows("SELECT MitglNr, AdrNr FROM tblDSA7"), "3|3\n");
}

TEST_F(StageETest, TheFlagsAreSetInTheRunThatAddsThem) {
  // Only DSABeantragt missing: the other two flags are overwritten as well.
  database_.Run("ALTER TABLE Adresse ADD DSA_SMK char (1) NULL, DSA_SVK char (1) NULL");
  database_.Run("UPDATE Adresse SET DSA_SMK = 'J', DSA_SVK = 'J'");
  RunStageE();
  EXPECT_EQ(Rows("SELECT DISTINCT DSA_SMK, DSA_SVK, DSABeantragt FROM Adresse"), "N|N|N\n");
  EXPECT_EQ(Rows("SELECT DISTINCT VereinOhneOnlKonten FROM Mandstam"), "N\n");
  EXPECT_EQ(Rows("SELECT DISTINCT Prenotifikation FROM MgVert"), "N\n");
  EXPECT_EQ(Rows("SELECT (SELECT COUNT(*) FROM F5bew4sg WHERE ISNULL(Druck, '') <> 'N') + (SELECT COUNT(*) FROM "
                 "F5bw4sga WHERE ISNULL(Druck, '') <> 'N')"),
            "0\n");
  EXPECT_EQ(Rows("SELECT DISTINCT Firma4Vor FROM EINST"), "J\n");
  // Direct-debit payers have a collection mandate, everyone else none.
  EXPECT_EQ(Rows("SELECT Zahlungsart, EinzugLastMandLiegtVor, COUNT(*) FROM Adresse GROUP BY Zahlungsart, "
                 "EinzugLastMandLiegtVor HAVING (Zahlungsart = 'L' AND EinzugLastMandLiegtVor <> 'J') OR "
                 "(ISNULL(Zahlungsart, '') <> 'L' AND EinzugLastMandLiegtVor <> 'N')"),
            "");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM Adresse WHERE EinzugLastMandLiegtVor = 'J'"),
            Rows("SELECT COUNT(*) FROM Adresse WHERE Zahlungsart = 'L'"));
  // A second run sets none of them again.
  database_.Run("UPDATE Adresse SET DSA_SMK = 'J', EinzugLastMandLiegtVor = 'N'");
  database_.Run("UPDATE EINST SET Firma4Vor = 'N'");
  RunStageE();
  EXPECT_EQ(Rows("SELECT DISTINCT DSA_SMK, EinzugLastMandLiegtVor FROM Adresse"), "J|N\n");
  EXPECT_EQ(Rows("SELECT DISTINCT Firma4Vor FROM EINST"), "N\n");
}

TEST_F(StageETest, ContractsPaidFromAnotherAccountTakeItsAddress) {
  RunStageE();
  // Every contract of the child is paid from the parent's account and names the parent's address.
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM MgVert V JOIN Adresse A ON A.AdrNr = V.AbwAdrNr WHERE V.AdrNr = " +
                 Number(show::kAlternativeHolder) + " AND V.AbwAdrNr = " + Number(show::kPayingParent) +
                 " AND V.StrasseKIH = A.Strasse AND V.PlzKIH = A.PLZ AND V.OrtKIH = A.Ort AND "
                 "ISNULL(V.EmailKIH, '') = ISNULL(A.Telefon3, '')"),
            Rows("SELECT COUNT(*) FROM MgVert WHERE AdrNr = " + Number(show::kAlternativeHolder)));
  EXPECT_NE(Rows("SELECT COUNT(*) FROM MgVert WHERE AdrNr = " + Number(show::kAlternativeHolder)), "0\n");
  // Every other contract names no account holder's address.
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM MgVert V WHERE NOT EXISTS (SELECT * FROM Adresse A WHERE A.AdrNr = "
                 "V.AbwAdrNr) AND (StrasseKIH IS NOT NULL OR PlzKIH IS NOT NULL OR OrtKIH IS NOT NULL OR EmailKIH IS "
                 "NOT NULL)"),
            "0\n");
}

TEST_F(StageETest, MandateReferencesAreAddressNumberAndMemberNumber) {
  RunStageE();
  EXPECT_EQ(Rows("SELECT AdrNr, mandatsrefenz FROM Adresse WHERE AdrNr IN (1234, " + Number(show::kMemberNumberNull) +
                 ", " + Number(show::kMemberNumberBlanks) + ") ORDER BY AdrNr"),
            "8|NULL\n9|9 815 \n1234|1234815\n");
}

TEST_F(StageETest, TheShowcaseMembersGetAMandateAsTheRulesSay) {
  RunStageE();
  // The worked example; the left member, NULL member number, cash payer, transfer payer and the company get none.
  // Nothing sets AbwKtoInhCB, so the child paid from a parent's account gets one too.
  const std::string columns =
      "AdrNr, MandatsNr, MandKey, Lastschriftart, Typ, Status, AngelegtAm, UnterschriftDatum, GueltigAb, GultigBis, "
      "ErsteVerwendung, LetzteVerwendung, WiderrufenAm";
  EXPECT_EQ(Rows("SELECT " + columns + " FROM AdrSepa WHERE AdrNr IN (1234, 5, 6, 7, 8, 9, 10, 11, 14) ORDER BY AdrNr"),
            MandateRow(show::kAlternativeHolder, "6" + MemberNumber(show::kAlternativeHolder),
                       "6" + MemberNumber(show::kAlternativeHolder) + "1") +
                MandateRow(show::kPayingParent, "7" + MemberNumber(show::kPayingParent),
                           "7" + MemberNumber(show::kPayingParent) + "1") +
                MandateRow(show::kMemberNumberBlanks, "9 815 ", "98151") + MandateRow(kExample, "1234815", "12348151"));
  // Every direct-debit payer who has not left and has a member number has exactly one mandate, nobody else any.
  EXPECT_EQ(Rows("SELECT COUNT(*), COUNT(DISTINCT AdrNr) FROM AdrSepa"),
            Rows("SELECT COUNT(*), COUNT(*) FROM Adresse WHERE Austritt IS NULL AND Zahlungsart = 'L' AND MitglNr IS "
                 "NOT NULL"));
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM AdrSepaVer"), "0\n");
}

TEST_F(StageETest, TheEveryRunCommandsActOnTheirRows) {
  RunStageE();
  // Bank directory: a branch without BIC takes that of its bank code; an empty BIC and a bank code without any
  // BIC stay.
  database_.Run(
      "INSERT INTO d_blz (BLZ, BANK, BIC) VALUES ('99990000', 'Testbank', 'TESTDEFFXXX'), ('99990000', "
      "'Testbank Filiale', NULL), ('99990000', 'Testbank Leer', ''), ('99991111', 'Ohne BIC', NULL)");
  // Lead days: NULL becomes 5 and 2, a stored 0 stays.
  database_.Run("UPDATE mandstam SET SEPAErstTage = NULL, SEPAFolgeTage = 0");
  // SEPA indicator: 'N' wherever there is no SEPA file, also over a user's 'J'.
  database_.Run("UPDATE MgLast SET IndSepa = 'J', SEPAXML = NULL");
  database_.Run(
      "UPDATE MgLast SET SEPAXML = 'sepa.xml' WHERE LfdNr IN (SELECT TOP 1 LfdNr FROM MgLast ORDER BY "
      "LfdNr)");
  database_.Run(
      "UPDATE MgLast SET SEPAXML = '' WHERE LfdNr IN (SELECT TOP 1 LfdNr FROM MgLast ORDER BY LfdNr "
      "DESC)");
  // Fee type names: from the fee type, NULL for a type without a row.
  database_.Run("UPDATE MgVert SET ArtName = 'alt'");
  database_.Run("UPDATE MgSolln SET ArtName = 'alt'");
  RunStageE();
  EXPECT_EQ(Rows("SELECT BANK, BIC FROM d_blz WHERE BLZ LIKE '9999%' ORDER BY BANK"),
            "Ohne BIC|NULL\nTestbank|TESTDEFFXXX\nTestbank Filiale|TESTDEFFXXX\nTestbank Leer|\n");
  EXPECT_EQ(Rows("SELECT DISTINCT SEPAErstTage, SEPAFolgeTage FROM mandstam"), "5|0\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM MgLast WHERE IndSepa = 'J' AND SEPAXML = 'sepa.xml'"), "1\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM MgLast WHERE IndSepa <> 'N' AND ISNULL(SEPAXML, '') = ''"), "0\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM MgVert V LEFT JOIN MgArt A ON A.Art = V.Art WHERE ISNULL(V.ArtName, '?') <> "
                 "ISNULL(A.Bezeichnung, '?')"),
            "0\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM MgSolln V LEFT JOIN MgArt A ON A.Art = V.Art WHERE ISNULL(V.ArtName, '?') <> "
                 "ISNULL(A.Bezeichnung, '?')"),
            "0\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM MgVert V WHERE ArtName IS NULL AND NOT EXISTS (SELECT * FROM MgArt A WHERE "
                 "A.Art = V.Art)"),
            Rows("SELECT COUNT(*) FROM MgVert V WHERE NOT EXISTS (SELECT * FROM MgArt A WHERE A.Art = V.Art)"));
}

TEST_F(StageETest, TheFunctionTableLosesItsForeignKey) {
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM sysobjects WHERE name = 'FK_AdrFunktion_Adresse'"), "1\n");
  RunStageE();
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM sysobjects WHERE name = 'FK_AdrFunktion_Adresse'"), "0\n");
  // Members without an address row can now hold functions.
  database_.Run("INSERT INTO AdrFunktion (AdrNr, Funktion, Nr) VALUES (999999, 'Gast', 1)");
}

TEST_F(StageETest, ASecondRunChangesNoDataAndCreatesNoMandate) {
  RunStageE();
  const std::string expected = database_.Everything();
  ExpectSameAsFile(RunStageE(), "stage_e_second_run.trace");
  EXPECT_EQ(ui_.Log("box "), "");
  EXPECT_EQ(database_.Everything(), expected);
}

TEST_F(StageETest, AMemberWhoBecomesDueGetsAMandateInTheNextRun) {
  RunStageE();
  database_.Run("INSERT INTO Adresse (AdrNr, MitglNr, Zahlungsart, mandatsrefenz) VALUES (4321, '77', 'L', '432177')");
  RunStageE();
  EXPECT_EQ(Rows("SELECT AdrNr, MandatsNr, MandKey FROM AdrSepa WHERE AdrNr = 4321"), "4321|432177|4321771\n");
}

TEST_F(StageETest, AFailingFollowUpEndsTheStageThere) {
  // Without the donation receipts table its print flag cannot be set: the later steps do not run.
  database_.Run("DROP TABLE F5bew4sg");
  EXPECT_THROW(RunStageE(), db::Error);
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM sysobjects WHERE name = 'FK_AdrFunktion_Adresse'"), "1\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM AdrSepa WHERE AdrNr = 1234"), "1\n");  // E30 came before
}

}  // namespace
