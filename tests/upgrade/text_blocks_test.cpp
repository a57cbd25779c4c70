// The reference text blocks: their text form (Windows-1252, CR LF, the batch layout the script runner relies
// on), and their data as a fresh database holds it after they ran, checked by queries rather than by reading
// the scripts.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "previous_release.h"
#include "schema/script_batches.h"
#include "schema/statement_runner.h"
#include "ui/recording_ui.h"
#include "upgrade/text_blocks.h"

namespace {

using upgrade::EmbeddedTextBlocks;
using upgrade::TextBlockLines;

std::vector<std::string> LinesOf(std::string_view name) {
  std::vector<std::string> lines;
  for (const char* line : TextBlockLines(name)) lines.emplace_back(line);
  return lines;
}

// ---- text form ----------------------------------------------------------------------------------------------

TEST(TextBlockFormTest, EveryBlockHasItsLinesAndBatches) {
  const upgrade::TextBlocks& blocks = EmbeddedTextBlocks();
  std::string rendered;
  auto row = [&](std::string_view name, const std::string& text) {
    rendered += std::string(name) + ": " + std::to_string(TextBlockLines(name).size()) + " lines, " +
                std::to_string(schema::ScriptBatches(text).size()) + " batches\n";
  };
  row("Memo1", blocks.Memo1);
  row("Memo2", blocks.Memo2);
  row("MemoFachv", blocks.MemoFachv);
  row("MemoSport", blocks.MemoSport);
  row("MemoFachWLSB", blocks.MemoFachWLSB);
  row("memoHelp", blocks.memoHelp);
  row("MemoBLZ1", blocks.MemoBLZ1);
  row("MemoDSAFach", blocks.MemoDSAFach);
  EXPECT_EQ(rendered,
            "Memo1: 7340 lines, 1315 batches\n"
            "Memo2: 466 lines, 84 batches\n"
            "MemoFachv: 177 lines, 3 batches\n"
            "MemoSport: 639 lines, 3 batches\n"
            "MemoFachWLSB: 320 lines, 160 batches\n"
            "memoHelp: 11 lines, 0 batches\n"
            "MemoBLZ1: 0 lines, 0 batches\n"
            "MemoDSAFach: 328 lines, 0 batches\n");
  EXPECT_EQ(blocks.MemoBLZ1, "");
  EXPECT_THROW(TextBlockLines("Memo3"), std::out_of_range);
}

TEST(TextBlockFormTest, LinesAreJoinedByCrLfAndCarriedInWindows1252) {
  const std::string& memo1 = EmbeddedTextBlocks().Memo1;
  size_t line_ends = 0;
  for (size_t at = memo1.find('\n'); at != std::string::npos; at = memo1.find('\n', at + 1)) {
    line_ends += at > 0 && memo1[at - 1] == '\r' ? 1 : 0;
  }
  EXPECT_EQ(line_ends, TextBlockLines("Memo1").size() - 1);
  // 'Bebaute Grundstücke': ü is one byte (0xFC) where the program carries it and two bytes of UTF-8 when sent.
  bool carried = false;
  for (const std::string& line : LinesOf("Memo1"))
    carried |= line.find(
                   "Grundst\xFC"
                   "cke") != std::string::npos;
  EXPECT_TRUE(carried);
  EXPECT_NE(memo1.find("'Bebaute Grundstücke'"), std::string::npos);
  // Every column line of a create statement is indented by a tab; no statement ends with a semicolon.
  for (std::string_view name : {"Memo1", "Memo2", "MemoFachv", "MemoSport"}) {
    bool in_create = false;
    for (const std::string& line : LinesOf(name)) {
      if (line.starts_with("CREATE TABLE")) in_create = true;
      if (in_create && line.starts_with("[")) ADD_FAILURE() << name << ": column line without a tab: " << line;
      if (line == "GO") in_create = false;
      if (line.ends_with(";")) ADD_FAILURE() << name << ": " << line;
    }
  }
}

TEST(TextBlockFormTest, TheLastIdentitySwitchOfMemo2StandsAfterTheLastGo) {
  const std::vector<std::string> lines = LinesOf("Memo2");
  size_t last_go = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (schema::IsSeparatorLine(lines[i])) last_go = i;
  }
  ASSERT_EQ(lines.size() - 1 - last_go, 8u);
  std::string after;
  for (size_t i = last_go + 1; i < lines.size(); ++i) after += lines[i] + "|";
  EXPECT_EQ(after, "|SET IDENTITY_INSERT [dbo].[F5DatSportvereinOhneAnlagevermogen] OFF|||||||");
  // Every other switch-off shares its batch with the next template's drop line.
  const std::vector<std::string> batches = schema::ScriptBatches(EmbeddedTextBlocks().Memo2);
  int shared = 0;
  for (const std::string& batch : batches) {
    shared += batch.find("] OFF\nIF EXISTS (SELECT TABLE_NAME FROM") != std::string::npos ? 1 : 0;
  }
  EXPECT_EQ(shared, 6);
  EXPECT_NE(batches[2].find("SET IDENTITY_INSERT [dbo].[F5DatKulturUndSportverein] ON\n"), std::string::npos);
}

TEST(TextBlockFormTest, MemoFachvEndsInTwoBlankLinesAfterItsLastGo) {
  const std::vector<std::string> lines = LinesOf("MemoFachv");
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], "GO");
  EXPECT_EQ(lines[lines.size() - 2], "");
  EXPECT_EQ(lines[lines.size() - 1], "");
}

TEST(TextBlockFormTest, DsaNamesRunOverLineBreaks) {
  const std::string& dsa = EmbeddedTextBlocks().MemoDSAFach;
  size_t statements = 0;
  size_t line_breaks = 0;
  for (size_t at = dsa.find("\r\n"); at != std::string::npos; at = dsa.find("\r\n", at + 2)) ++line_breaks;
  for (size_t at = dsa.find("INSERT INTO DSAFachverband (Nr, \r\nBezeichnung) VALUES ("); at != std::string::npos;
       at = dsa.find("INSERT INTO DSAFachverband (Nr, \r\nBezeichnung) VALUES (", at + 1)) {
    ++statements;
  }
  EXPECT_EQ(statements, 108u);
  // 327 line ends between 328 lines: 108 after the first line of each statement, 107 between statements, and
  // 112 inside the names.
  EXPECT_EQ(line_breaks, 327u);
  EXPECT_TRUE(dsa.starts_with("INSERT INTO DSAFachverband (Nr, \r\nBezeichnung) VALUES ('101','"));
  EXPECT_TRUE(dsa.ends_with("Bezeichnung) VALUES ('999','Sonstige Verbände')"));
}

TEST(TextBlockFormTest, Windows1252DecodesToUtf8) {
  EXPECT_EQ(upgrade::Cp1252ToUtf8("Gr\xFC\xDF"
                                  "e \x80 \x91n\x91 \x96 \x81"),
            "Grüße € ‘n‘ – \xC2\x81");
  EXPECT_EQ(upgrade::Cp1252ToUtf8(""), "");
}

// ---- the data, loaded -------------------------------------------------------------------------------------

// A fresh client database on which every block ran: the five scripts through the script runner, the help
// topics and the DSA federations as one batch each into tables of their shape.
class LoadedBlocksTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    database_ = new upgrade_test::ClientDatabase();
    database_->Run(
        "CREATE TABLE [dbo].[tblHelp](ID INT IDENTITY (1,1) NOT NULL, PARENTID INT NULL, FORM varchar (50) NOT "
        "NULL, CID varchar (50) NOT NULL, Bezeichnung varchar (80) NOT NULL, Memo text NOT NULL, Notes text NULL, "
        "Benutzer varchar (50) NOT NULL, RadDat datetime NOT NULL, Gruppe varchar (50) NULL, PROGRAM varchar (5) NOT "
        "NULL)");
    database_->Run("CREATE TABLE DSAFachverband (Nr VARCHAR (3) NOT NULL, Bezeichnung VARCHAR (200) NOT NULL)");
    database_->Run(
        "INSERT INTO tblHelp (FORM, CID, Bezeichnung, Memo, Benutzer, RadDat, PROGRAM) VALUES ('F_Eigene', "
        "'', 'Eigene Hilfe', 'Text', 'Kassier', '01.12.2012', 'FIBU')");
    db::Connection client;
    database_->Open(client);
    ui::RecordingUi ui;
    schema::StatementRunner runner(client, ui);
    const upgrade::TextBlocks& blocks = EmbeddedTextBlocks();
    for (const std::string* script :
         {&blocks.Memo1, &blocks.Memo2, &blocks.MemoFachv, &blocks.MemoSport, &blocks.MemoFachWLSB}) {
      runner.SQLExec(*script);
    }
    runner.BatchText(blocks.memoHelp, schema::FailureClass::kWarning);
    runner.BatchText(blocks.MemoDSAFach, schema::FailureClass::kWarning);
    boxes_ = new std::string(ui.Log("box "));
  }
  static void TearDownTestSuite() {
    delete database_;
    delete boxes_;
  }

  static std::string Rows(std::string_view select) { return database_->Rows(select); }

  // SELECT <what> over the seven chart-of-accounts templates together (T names the template), then `tail`.
  static std::string AllAccounts(std::string_view what, std::string_view where = "1=1", std::string_view tail = "") {
    std::string union_all;
    for (const char* table :
         {"F5KontKulturverein", "F5KontKulturvereinUndSportverein", "F5KontMitBezahltenSport", "F5KontMonosportverein",
          "F5KontSonstiger", "F5KontSportvereinMitAnlagevermogen", "F5KontSportvereinOhneAnlagevermogen"}) {
      if (!union_all.empty()) union_all += " UNION ALL ";
      union_all += "SELECT '" + std::string(table) + "' AS T, * FROM " + table;
    }
    return Rows("SELECT " + std::string(what) + " FROM (" + union_all + ") a WHERE " + std::string(where) + " " +
                std::string(tail));
  }

  static upgrade_test::ClientDatabase* database_;
  static std::string* boxes_;
};

upgrade_test::ClientDatabase* LoadedBlocksTest::database_ = nullptr;
std::string* LoadedBlocksTest::boxes_ = nullptr;

TEST_F(LoadedBlocksTest, NoBatchFailsOnAFreshDatabase) { EXPECT_EQ(*boxes_, ""); }

TEST_F(LoadedBlocksTest, EachChartOfAccountsTemplateHasItsRowsAndRange) {
  EXPECT_EQ(AllAccounts("T, COUNT(*), COUNT(DISTINCT KONTONR), MIN(KONTONR), MAX(KONTONR), MIN(BUCHJAHR), "
                        "MAX(BUCHJAHR)",
                        "1=1", "GROUP BY T ORDER BY T"),
            "F5KontKulturverein|192|192|55|9000|2010|2010\n"
            "F5KontKulturvereinUndSportverein|247|247|55|9000|2010|2010\n"
            "F5KontMitBezahltenSport|228|228|55|9000|2010|2010\n"
            "F5KontMonosportverein|104|104|705|9000|2010|2010\n"
            "F5KontSonstiger|201|201|55|9000|2010|2010\n"
            "F5KontSportvereinMitAnlagevermogen|183|183|55|9000|2010|2010\n"
            "F5KontSportvereinOhneAnlagevermogen|146|146|705|9000|2010|2010\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM Information_Schema.Columns WHERE TABLE_NAME = 'F5KontSonstiger'"), "106\n");
}

TEST_F(LoadedBlocksTest, AccountValuesStayInTheirDomains) {
  EXPECT_EQ(AllAccounts("START, COUNT(*)", "1=1", "GROUP BY START ORDER BY START"),
            "MehrwertSteuer|92\nohne Steuer|919\nVorSteuer|290\n");
  EXPECT_EQ(AllAccounts("Bank, COUNT(*)", "1=1", "GROUP BY Bank ORDER BY Bank"), "Falsch|1218\nWahr|83\n");
  EXPECT_EQ(AllAccounts("COUNT(*)", "STSCHL NOT IN (7, 19)"), "0\n");
  EXPECT_EQ(AllAccounts("COUNT(STSCHL), COUNT(KENNZUSTV), COUNT(Spende), COUNT(*) - COUNT(VERDICHTEN)"),
            "128|157|21|2\n");
  EXPECT_EQ(AllAccounts("COUNT(*)",
                        "KENNZUSTV NOT IN (66, 81, 86) OR Spende NOT IN ('J', 'N') OR "
                        "DATALENGTH(Spende) <> 10 OR BILANZGUV NOT IN ('Wahr', '') OR KENNZAHL NOT IN "
                        "('A1', 'A2', 'B1', 'B2', 'C1', 'C2', 'D1', 'D2', '')"),
            "0\n");
  EXPECT_EQ(AllAccounts("Steuersammelkonto, COUNT(*)", "1=1", "GROUP BY Steuersammelkonto ORDER BY Steuersammelkonto"),
            "|1213\nJ|88\n");
  // KennzEUR: a Roman numeral I to VII, A or B, a digit 1 to 8; 66 codes in use.
  EXPECT_EQ(AllAccounts("COUNT(DISTINCT KennzEUR)", "KennzEUR <> ''"), "66\n");
  EXPECT_EQ(AllAccounts("COUNT(*)",
                        "KennzEUR <> '' AND NOT ((LEFT(KennzEUR, LEN(KennzEUR) - 2) IN ('I', 'II', 'III', "
                        "'IV', 'V', 'VI', 'VII')) AND SUBSTRING(KennzEUR, LEN(KennzEUR) - 1, 1) IN ('A', "
                        "'B') AND RIGHT(KennzEUR, 1) LIKE '[1-8]')"),
            "0\n");
  // Every other named column is empty.
  EXPECT_EQ(AllAccounts("COUNT(*)",
                        "KTOART <> '' OR SPERRE <> '' OR VALUTA <> '' OR STSCH_U <> '' OR KOST_J_N <> '' "
                        "OR KontoArt <> '' OR Unterkonto <> '' OR Bezeich2 <> '' OR KdLfNr <> '' OR "
                        "KennzGuV <> '' OR KennzBilanz <> '' OR KennzBWA <> '' OR OPS <> '' OR "
                        "BenutzerErf <> '' OR BenutzerAend <> '' OR VERDICHTEN <> ''"),
            "0\n");
}

TEST_F(LoadedBlocksTest, TheTellingAccountsOfTheCultureClub) {
  auto account = [](int number, std::string_view columns) {
    return Rows("SELECT BEZEICHG, START, " + std::string(columns) +
                " FROM F5KontKulturverein WHERE KONTONR = " + std::to_string(number));
  };
  EXPECT_EQ(account(55, "Bank"), "Bebaute Grundstücke|ohne Steuer|Falsch\n");
  EXPECT_EQ(account(920, "Bank"), "Kasse Hauptverein|ohne Steuer|Wahr\n");
  EXPECT_EQ(account(3220, "BILANZGUV, KENNZAHL, Spende, KennzEUR"), "Spenden|ohne Steuer|Wahr|A1|J         |IIA1\n");
  EXPECT_EQ(account(4111, "STSCHL, KENNZUSTV, KENNZAHL, KennzEUR"),
            "Pachteinnahmen  7 %  USt|MehrwertSteuer|7|86|B1|IIIA2\n");
  EXPECT_EQ(account(4298, "Steuersammelkonto, KENNZAHL, KennzEUR"), "S - Umsatzsteuer  7 %|ohne Steuer|J|B1|IIIA4\n");
  EXPECT_EQ(account(8154, "STSCHL, KENNZAHL, KennzEUR"), "Wareneinkauf 19 % VSt|VorSteuer|19|D2|VIIA4\n");
  EXPECT_EQ(account(9000, "Bank"), "Saldovorträge Sachkonten|ohne Steuer|Falsch\n");
}

TEST_F(LoadedBlocksTest, TaxKeysPointAtAccountsOfTheCultureClub) {
  EXPECT_EQ(Rows("SELECT STEUERSCHL, MWSTKTO, VORST_KTO, Klasse, LfdNr FROM F5DatSonstiger ORDER BY LfdNr"),
            "7|4298|4905|4|1\n7|5198|5684|5|2\n7|6098|6374|6|3\n7|7848|7876|7|4\n7|8148|8381|8|5\n"
            "19|4299|4906|4|6\n19|5199|5685|5|7\n19|6099|6375|6|8\n19|7849|7877|7|9\n19|8149|8382|8|10\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM F5DatSonstiger d WHERE NOT EXISTS (SELECT * FROM F5KontKulturverein k WHERE "
                 "k.KONTONR = d.MWSTKTO) OR NOT EXISTS (SELECT * FROM F5KontKulturverein k WHERE k.KONTONR = "
                 "d.VORST_KTO)"),
            "0\n");
}

TEST_F(LoadedBlocksTest, SportsAndFederationsOfTheThreeSchemes) {
  // Names fit the columns the scripts create (31 and 36 characters); scheme W reaches 40 and 74.
  EXPECT_EQ(
      Rows("SELECT KZ, COUNT(*), MIN(NUMMER), MAX(NUMMER), COUNT(VerbandNr), CASE WHEN KZ = 'W' THEN "
           "MAX(LEN(SPORTART)) WHEN MAX(LEN(SPORTART)) <= 31 THEN 31 END FROM Sportarten GROUP BY KZ ORDER BY KZ"),
      "A|304|0|303|3|31\nB|312|0|311|312|31\nW|106|0|201|52|40\n");
  EXPECT_EQ(Rows("SELECT KZ, COUNT(*), MIN(NUMMER), MAX(NUMMER), CASE WHEN KZ = 'W' THEN MAX(LEN(FACHVERBAN)) WHEN "
                 "MAX(LEN(FACHVERBAN)) <= 36 THEN 36 END FROM fachverbaende GROUP BY KZ ORDER BY KZ"),
            "A|102|0|101|36\nB|54|1|99|36\nW|52|1|63|74\n");
  // Every federation number of a sport is a federation of its own scheme.
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM Sportarten s WHERE VerbandNr IS NOT NULL AND NOT EXISTS (SELECT * FROM "
                 "fachverbaende f WHERE f.KZ = s.KZ AND f.NUMMER = s.VerbandNr)"),
            "0\n");
  EXPECT_EQ(Rows("SELECT KZ, NUMMER, SPORTART, VerbandNr FROM Sportarten WHERE (KZ = 'A' AND NUMMER IN (0, 1)) OR (KZ "
                 "= 'B' AND NUMMER IN (1, 311)) OR SPORTART LIKE 'RKB%' ORDER BY KZ, NUMMER"),
            Rows("SELECT KZ, NUMMER, SPORTART, VerbandNr FROM (SELECT 'A' AS KZ, 0 AS NUMMER, 'Gesamtmitglieder' AS "
                 "SPORTART, 59 AS VerbandNr UNION ALL SELECT 'A', 1, 'Aerobic, Sport-Aerobic', NULL UNION ALL SELECT "
                 "'B', 1, 'Aikido', 51 UNION ALL SELECT 'B', 311, 'Zipfelbob', 5) x UNION ALL SELECT KZ, NUMMER, "
                 "SPORTART, VerbandNr FROM Sportarten WHERE SPORTART = 'RKB &quot;Solidarität&quot;'"));
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM Sportarten WHERE KZ = 'W' AND SPORTART = 'RKB &quot;Solidarität&quot;'"), "1\n");
  EXPECT_EQ(Rows("SELECT KZ, NUMMER, FACHVERBAN FROM fachverbaende WHERE (KZ = 'A' AND NUMMER IN (0, 1, 101)) OR (KZ "
                 "= 'B' AND NUMMER IN (1, 51)) OR (KZ = 'W' AND NUMMER = 1) ORDER BY KZ, NUMMER"),
            "A|0|Gesamtmitglieder\nA|1|ADAC\nA|101|Special Olympics\nB|1|Badminton\nB|51|Aikido\n"
            "W|1|Baden-Württembergischer Badmintonverband e.V.\n");
}

TEST_F(LoadedBlocksTest, HelpTopicsReplaceWhatTheTableHeld) {
  EXPECT_EQ(Rows("SELECT COUNT(*), COUNT(DISTINCT FORM), MIN(PARENTID), MAX(PARENTID), MIN(Benutzer), MAX(PROGRAM) "
                 "FROM tblHelp"),
            "10|10|-1|-1|Morva|FIBU\n");
  EXPECT_EQ(Rows("SELECT Gruppe, COUNT(*) FROM tblHelp GROUP BY Gruppe ORDER BY Gruppe"),
            "Beitragsverwaltung|6\nFinanzbuchhaltung|1\nMitgliederverwaltung|3\n");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblHelp WHERE FORM = 'F_Eigene'"), "0\n");
}

TEST_F(LoadedBlocksTest, DsaFederationsKeepTheirLineBreaksUntilCleaned) {
  EXPECT_EQ(Rows("SELECT COUNT(*), COUNT(DISTINCT Nr) FROM DSAFachverband"), "108|108\n");
  EXPECT_EQ(Rows("SELECT SUM(LEN(Bezeichnung) - LEN(REPLACE(Bezeichnung, CHAR(10), ''))), SUM(CASE WHEN Bezeichnung "
                 "LIKE '%' + CHAR(13) + CHAR(10) + '%' THEN 1 ELSE 0 END) FROM DSAFachverband"),
            "112|106\n");
  // 21 breaks follow a hyphen, the others a blank.
  EXPECT_EQ(
      Rows("SELECT SUM(LEN(Bezeichnung) - LEN(REPLACE(Bezeichnung, '-' + CHAR(13), ''))) / 2, SUM(LEN(Bezeichnung) "
           "- LEN(REPLACE(Bezeichnung, ' ' + CHAR(13), ''))) / 2 FROM DSAFachverband"),
      "21|91\n");
  EXPECT_EQ(Rows("SELECT MIN(Nr), MAX(Nr), SUM(CASE WHEN Nr LIKE '0%' THEN 1 ELSE 0 END), SUM(CASE WHEN Nr LIKE '1%' "
                 "THEN 1 ELSE 0 END), SUM(CASE WHEN Nr LIKE '5%' THEN 1 ELSE 0 END), SUM(CASE WHEN Nr LIKE '8%' THEN 1 "
                 "ELSE 0 END) FROM DSAFachverband"),
            "001|999|61|20|22|4\n");
  // Cleaned as stage E cleans them: line breaks become blanks, then double blanks one.
  database_->Run("UPDATE DSAFachverband SET Bezeichnung=REPLACE(Bezeichnung,CHAR(13)+CHAR(10),' ')");
  database_->Run("UPDATE DSAFachverband SET Bezeichnung=REPLACE(Bezeichnung,'  ',' ')");
  EXPECT_EQ(Rows("SELECT Nr, Bezeichnung FROM DSAFachverband WHERE Nr IN ('001', '024', '101', '501', '801', '999') "
                 "ORDER BY Nr"),
            "001|American Football Verband Deutschland e.V. (AFVD)\n"
            "024|Deutscher Fussball- Bund e.V. (DFB)\n"
            "101|Allgemeiner Deutscher Hochschulsportverband (ADH)\n"
            "501|Badischer Turner- Bund (BTB)\n"
            "801|Deutscher Rock‘n‘Roll und Boogie Woogie Verband e.V. (DRBV)\n"
            "999|Sonstige Verbände\n");
  EXPECT_EQ(Rows("SELECT MAX(LEN(Bezeichnung)) FROM DSAFachverband WHERE LEN(Bezeichnung) > 77"), "NULL\n");
}

}  // namespace
