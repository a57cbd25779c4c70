// Stage A of the catalogue against a real previous-release client database: what a first pass adds and
// converts, what a second pass sends, and the failure of the tax-key rebuild.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "db/error.h"
#include "previous_release.h"
#include "schema/primitives.h"
#include "schema/statement_runner.h"
#include "stages.h"
#include "ui/recording_ui.h"
#include "upgrade/catalogue.h"

namespace {

using db_test::TraceEntry;
using db_test::Visible;

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// What kind of statement a traced batch was: the stage's patterns are told apart by their texts alone.
std::string KindOf(std::string_view sql) {
  if (sql == "BEGIN TRANSACTION" || sql == "COMMIT TRANSACTION" || StartsWith(sql, "IF @@TRANCOUNT") ||
      StartsWith(sql, "SELECT @@TRANCOUNT")) {
    return "transaction";
  }
  if (StartsWith(sql, "SELECT * FROM Information_Schema.Columns")) return "column probe";
  if (StartsWith(sql, "SELECT * FROM sysobjects WHERE name='")) return "existence probe";
  if (StartsWith(sql, "SELECT ")) return "data probe";
  if (EndsWith(sql, "\r\n")) return "guarded batch";
  if (StartsWith(sql, "ALTER TABLE dbo.")) return "column addition";
  return "direct command";
}

// The quoted value after `key` in a probe text.
std::string LiteralAfter(std::string_view sql, std::string_view key) {
  size_t start = sql.find(key);
  if (start == std::string_view::npos) return "?";
  start += key.size();
  return std::string(sql.substr(start, sql.find('\'', start) - start));
}

// One line per traced batch: probes by what they look for, every other statement by its text.
std::string Outline(const TraceEntry& entry) {
  const std::string kind = KindOf(entry.sql);
  if (kind == "column probe") {
    return "column " + LiteralAfter(entry.sql, "Table_Name='") + "." + LiteralAfter(entry.sql, "Column_Name='");
  }
  if (kind == "existence probe") return "exists " + LiteralAfter(entry.sql, "name='");
  return Visible(entry.sql);
}

class StageATest : public ::testing::Test {
 protected:
  StageATest() {
    database_.CreatePreviousRelease();
    database_.Open(client_);
    database_.ClearTrace();
  }

  // Stage A alone, with the catalogue's progress step; each progress step is remembered by the number of
  // batches traced before it.
  void RunStageA() {
    const upgrade::Stage stage{runner_, primitives_,
                               [this] {
                                 progress_positions_.push_back(database_.Trace().size());
                                 catalogue_.ProgressStep();
                               },
                               upgrade::EmbeddedTextBlocks()};
    upgrade::RunStageA(stage);
  }

  // The trace since the last ClearTrace as outline lines, with "progress" where a progress step fell.
  std::string OutlineWithProgress() const {
    const std::vector<TraceEntry> trace = database_.Trace();
    std::string text;
    size_t next_progress = 0;
    for (size_t i = 0; i <= trace.size(); ++i) {
      while (next_progress < progress_positions_.size() && progress_positions_[next_progress] == i) {
        text += "progress\n";
        ++next_progress;
      }
      if (i < trace.size()) text += Outline(trace[i]) + "\n";
    }
    return text;
  }

  // The texts of the traced batches of one kind, in order, line ends visible.
  std::vector<std::string> Sent(std::string_view kind) const {
    std::vector<std::string> texts;
    for (const TraceEntry& entry : database_.Trace()) {
      if (KindOf(entry.sql) == kind) texts.push_back(Visible(entry.sql));
    }
    return texts;
  }

  std::string Failures() const {
    std::string text;
    for (const TraceEntry& entry : database_.Trace()) {
      if (entry.error != 0) text += Visible(entry.sql) + " -> " + entry.message + "\n";
    }
    return text;
  }

  upgrade_test::ClientDatabase database_;
  db::Connection client_;
  ui::RecordingUi ui_;
  std::string current_catalog_{upgrade_test::kClientDatabase};
  schema::StatementRunner runner_{client_, ui_};
  schema::Primitives primitives_{runner_, current_catalog_};
  upgrade::Catalogue catalogue_{client_, runner_, primitives_, ui_};
  std::vector<size_t> progress_positions_;
};

TEST_F(StageATest, AFirstPassCountsEveryKindOfStatement) {
  RunStageA();
  std::map<std::string, int> counts;
  for (const TraceEntry& entry : database_.Trace()) ++counts[KindOf(entry.sql)];
  std::string rendered;
  for (const auto& [kind, count] : counts) rendered += kind + ": " + std::to_string(count) + "\n";
  rendered += "progress step: " + std::to_string(progress_positions_.size()) + "\n";
  EXPECT_EQ(rendered,
            "column addition: 64\n"
            "column probe: 64\n"
            "data probe: 1\n"
            "direct command: 10\n"
            "existence probe: 4\n"
            "guarded batch: 26\n"
            "transaction: 12\n"
            "progress step: 41\n");
  EXPECT_EQ(Failures(), "");
  EXPECT_EQ(ui_.Log("box "), "");
}

TEST_F(StageATest, TheGaugeClimbsFromThreeToFiftyEight) {
  ui_.SetGauge(1);
  ui_.ClearEvents();
  RunStageA();
  EXPECT_EQ(ui_.Log("gauge: "),
            "gauge: 3\ngauge: 4\ngauge: 6\ngauge: 7\ngauge: 8\ngauge: 10\ngauge: 11\ngauge: 12\ngauge: 14\n"
            "gauge: 15\ngauge: 17\ngauge: 18\ngauge: 19\ngauge: 21\ngauge: 22\ngauge: 24\ngauge: 25\ngauge: 26\n"
            "gauge: 28\ngauge: 29\ngauge: 31\ngauge: 32\ngauge: 33\ngauge: 35\ngauge: 36\ngauge: 38\ngauge: 39\n"
            "gauge: 40\ngauge: 42\ngauge: 43\ngauge: 44\ngauge: 46\ngauge: 47\ngauge: 49\ngauge: 50\ngauge: 51\n"
            "gauge: 53\ngauge: 54\ngauge: 56\ngauge: 57\ngauge: 58\n");
  EXPECT_EQ(catalogue_.counter(), 42);
}

TEST_F(StageATest, AFirstPassAddsEveryColumnAndTable) {
  RunStageA();
  EXPECT_EQ(database_.Rows("SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION,"
                           " NUMERIC_SCALE, IS_NULLABLE FROM Information_Schema.Columns"
                           " ORDER BY TABLE_NAME, ORDINAL_POSITION"),
            "Adresse|AdrNr|int|NULL|10|0|NO\n"
            "Adresse|Name|varchar|50|NULL|NULL|YES\n"
            "Adresse|Funktion|varchar|80|NULL|NULL|YES\n"
            "Adresse|IBAN1|varchar|40|NULL|NULL|YES\n"
            "Adresse|IBAN2|varchar|40|NULL|NULL|YES\n"
            "Adresse|IBAN3|varchar|40|NULL|NULL|YES\n"
            "Adresse|BIC1|varchar|40|NULL|NULL|YES\n"
            "Adresse|BIC2|varchar|40|NULL|NULL|YES\n"
            "Adresse|BIC3|varchar|40|NULL|NULL|YES\n"
            "Adresse|Vorwahl2|varchar|10|NULL|NULL|YES\n"
            "Adresse|Vorwahl3|varchar|10|NULL|NULL|YES\n"
            "Adresse|Vorwahl4|varchar|10|NULL|NULL|YES\n"
            "AdrFunktion|AdrNr|int|NULL|10|0|NO\n"
            "AdrFunktion|Funktion|varchar|80|NULL|NULL|NO\n"
            "AdrFunktion|Nr|int|NULL|10|0|YES\n"
            "AdrFunktion|DatumVon|datetime|NULL|NULL|NULL|YES\n"
            "AdrFunktion|DatumBis|datetime|NULL|NULL|NULL|YES\n"
            "F5BEW4|BUCHJAHR|int|NULL|10|0|NO\n"
            "F5BEW4|InterneNr|int|NULL|10|0|NO\n"
            "F5BEW4|LfdNr|int|NULL|10|0|YES\n"
            "F5BEW4|SUCHTEXT|varchar|50|NULL|NULL|YES\n"
            "F5BEW4|Parent|int|NULL|10|0|YES\n"
            "F5Dat|STEUERSCHL|int|NULL|10|0|NO\n"
            "F5Dat|BEZEICHNUNG|varchar|40|NULL|NULL|YES\n"
            "F5Dat|Klasse|char|1|NULL|NULL|YES\n"
            "F5Dat|LfdNr|int|NULL|10|0|NO\n"
            "F5kennz|BILANZ_GUV|varchar|6|NULL|NULL|NO\n"
            "F5kennz|KENNZAHLH|varchar|4|NULL|NULL|NO\n"
            "F5kennz|BEZEICHG|varchar|100|NULL|NULL|YES\n"
            "F5kennzD|BILANZ_GUV|varchar|6|NULL|NULL|NO\n"
            "F5kennzD|KENNZAHLH|varchar|4|NULL|NULL|NO\n"
            "F5kennzD|Nr|int|NULL|10|0|NO\n"
            "F5kennzD|BEZEICHG|varchar|100|NULL|NULL|YES\n"
            "F5Kont|KONTO|int|NULL|10|0|NO\n"
            "F5Kont|STSCHL|int|NULL|10|0|YES\n"
            "F5Kont|Steuersammelkonto|varchar|1|NULL|NULL|YES\n"
            "F5Kont|KennzEUR|varchar|7|NULL|NULL|YES\n"
            "F6KOST|KOSTNR|varchar|10|NULL|NULL|NO\n"
            "F6KOST|BEZEICHNUNG|varchar|50|NULL|NULL|YES\n"
            "F6KOST|Kostenart|varchar|10|NULL|NULL|YES\n"
            "F6KOST|Etat|numeric|NULL|18|8|YES\n"
            "F6KOST|JanuarK|numeric|NULL|19|8|YES\n"
            "F6KOST|FebrurarK|numeric|NULL|19|8|YES\n"
            "F6KOST|MarzK|numeric|NULL|19|8|YES\n"
            "F6KOST|AprilK|numeric|NULL|19|8|YES\n"
            "F6KOST|MaiK|numeric|NULL|19|8|YES\n"
            "F6KOST|JuniK|numeric|NULL|19|8|YES\n"
            "F6KOST|JuliK|numeric|NULL|19|8|YES\n"
            "F6KOST|AugustK|numeric|NULL|19|8|YES\n"
            "F6KOST|SeptemberK|numeric|NULL|19|8|YES\n"
            "F6KOST|OktoberK|numeric|NULL|19|8|YES\n"
            "F6KOST|NovemberK|numeric|NULL|19|8|YES\n"
            "F6KOST|DezemberK|numeric|NULL|19|8|YES\n"
            "F6KOST|JanuarE|numeric|NULL|19|8|YES\n"
            "F6KOST|FebrurarE|numeric|NULL|19|8|YES\n"
            "F6KOST|MarzE|numeric|NULL|19|8|YES\n"
            "F6KOST|AprilE|numeric|NULL|19|8|YES\n"
            "F6KOST|MaiE|numeric|NULL|19|8|YES\n"
            "F6KOST|JuniE|numeric|NULL|19|8|YES\n"
            "F6KOST|JuliE|numeric|NULL|19|8|YES\n"
            "F6KOST|AugustE|numeric|NULL|19|8|YES\n"
            "F6KOST|SeptemberE|numeric|NULL|19|8|YES\n"
            "F6KOST|OktoberE|numeric|NULL|19|8|YES\n"
            "F6KOST|NovemberE|numeric|NULL|19|8|YES\n"
            "F6KOST|DezemberE|numeric|NULL|19|8|YES\n"
            "GuVKennz|RimNr|varchar|4|NULL|NULL|NO\n"
            "GuVKennz|Kennz|varchar|1|NULL|NULL|NO\n"
            "GuVKennz|Bezeichnung|varchar|50|NULL|NULL|NO\n"
            "GuVKennzD|RimNr|varchar|4|NULL|NULL|NO\n"
            "GuVKennzD|Kennz|varchar|1|NULL|NULL|NO\n"
            "GuVKennzD|Nr|int|NULL|10|0|NO\n"
            "GuVKennzD|Bezeichnung|varchar|50|NULL|NULL|NO\n"
            "HyAdresse|AdrNr|int|NULL|10|0|NO\n"
            "HyAdresse|Name|varchar|50|NULL|NULL|YES\n"
            "HyAdresse|IBAN1|varchar|40|NULL|NULL|YES\n"
            "HyAdresse|IBAN2|varchar|40|NULL|NULL|YES\n"
            "HyAdresse|IBAN3|varchar|40|NULL|NULL|YES\n"
            "HyAdresse|BIC1|varchar|40|NULL|NULL|YES\n"
            "HyAdresse|BIC2|varchar|40|NULL|NULL|YES\n"
            "HyAdresse|BIC3|varchar|40|NULL|NULL|YES\n"
            "HyAdresse|Vorwahl2|varchar|10|NULL|NULL|YES\n"
            "HyAdresse|Vorwahl3|varchar|10|NULL|NULL|YES\n"
            "HyAdresse|Vorwahl4|varchar|10|NULL|NULL|YES\n"
            "inter|InterNr|int|NULL|10|0|NO\n"
            "inter|Bezeichnung|varchar|50|NULL|NULL|YES\n"
            "inter|Nr|int|NULL|10|0|YES\n"
            "inter|Landesverband|varchar|30|NULL|NULL|YES\n"
            "inter|VerbandNr|int|NULL|10|0|YES\n"
            "Interes|AdrNr|int|NULL|10|0|NO\n"
            "Interes|InterNr|int|NULL|10|0|NO\n"
            "Interes|Eintritt|datetime|NULL|NULL|NULL|YES\n"
            "Interes|Austritt|datetime|NULL|NULL|NULL|YES\n"
            "Interes|Status|varchar|50|NULL|NULL|YES\n"
            "Interes1|AdrNr|int|NULL|10|0|NO\n"
            "Interes1|InterNr|int|NULL|10|0|NO\n"
            "Interes1|Nr|int|NULL|10|0|YES\n"
            "Interes1|Datum|datetime|NULL|NULL|NULL|YES\n"
            "Mandstam|MandNr|int|NULL|10|0|NO\n"
            "Mandstam|Name|varchar|50|NULL|NULL|YES\n"
            "Mandstam|VereinUebUntgliedAbt|smallint|NULL|5|0|YES\n"
            "Mandstam|Mitgliederverwaltung|char|1|NULL|NULL|YES\n"
            "Mandstam|Beitragseinzug|char|1|NULL|NULL|YES\n"
            "Mandstam|Finanzbuchaltung|char|1|NULL|NULL|YES\n"
            "Mandstam|FinanzbuchaltungMitKoSt|char|1|NULL|NULL|YES\n"
            "Mandstam|VereinUMStPflichtig|char|1|NULL|NULL|YES\n"
            "Mandstam|Vereinsart|char|1|NULL|NULL|YES\n");
}

TEST_F(StageATest, AFirstPassCreatesTheKeysOfTheNewTablesAndRebuildsThatOfTheTaxKeys) {
  RunStageA();
  EXPECT_EQ(database_.Rows("SELECT o.name, o.xtype, t.name FROM sysobjects o JOIN sysobjects t ON t.id = o.parent_obj"
                           " WHERE o.xtype IN ('PK', 'F') ORDER BY o.name"),
            "FK_AdrFunktion_Adresse|F |AdrFunktion\n"
            "FK_F5kennzD_F5kennz|F |F5kennzD\n"
            "FK_GuVKennzD_GuVKennz|F |GuVKennzD\n"
            "PK_Adresse|PK|Adresse\n"
            "PK_AdrFunktion|PK|AdrFunktion\n"
            "PK_F5DAT|PK|F5Dat\n"
            "PK_F5kennz|PK|F5kennz\n"
            "PK_F5kennzD|PK|F5kennzD\n"
            "PK_F5Kont|PK|F5Kont\n"
            "PK_F6KOST|PK|F6KOST\n"
            "PK_GuVKennz|PK|GuVKennz\n"
            "PK_GuVKennzD|PK|GuVKennzD\n"
            "PK_HyAdresse|PK|HyAdresse\n"
            "PK_inter|PK|inter\n"
            "PK_Mandstam|PK|Mandstam\n");
}

TEST_F(StageATest, MemberFunctionsAreCopiedForEveryMemberWithAFunctionEvenAnEmptyOne) {
  RunStageA();
  EXPECT_EQ(database_.Rows("SELECT AdrNr, Funktion, Nr, DatumVon, DatumBis FROM AdrFunktion ORDER BY AdrNr"),
            "2||1|NULL|NULL\n3|Kassenwart|1|NULL|NULL\n");
}

TEST_F(StageATest, AnExistingMemberFunctionTableGetsNoRows) {
  database_.Run("CREATE TABLE AdrFunktion (AdrNr int NOT NULL, Funktion varchar (80) NOT NULL, Nr int NULL)");
  RunStageA();
  EXPECT_EQ(database_.Rows("SELECT COUNT(*) FROM AdrFunktion"), "0\n");
  EXPECT_EQ(Sent("guarded batch").size(), 22u);  // only F5kennzD, GuVKennz with its rows, and GuVKennzD
}

TEST_F(StageATest, TaxKeysGetARunningNumberAndTheFourOldCodesBecomePercentages) {
  RunStageA();
  EXPECT_EQ(database_.Rows("SELECT LfdNr, STEUERSCHL, BEZEICHNUNG, Klasse FROM F5Dat ORDER BY LfdNr"),
            "1|0|ohne Steuer|NULL\n"
            "2|7|Vorsteuer 7|NULL\n"
            "3|7|alt 7|NULL\n"
            "4|1100|alt 10|NULL\n"
            "5|16|alt 16|NULL\n"
            "6|17|alt 17|NULL\n"
            "7|19|alt 19|NULL\n");
  // The key now spans tax key and running number: a tax key may repeat, a running number within it not.
  database_.Run("INSERT INTO F5Dat (STEUERSCHL, BEZEICHNUNG) VALUES (19, 'neu 19')");
  EXPECT_EQ(database_.Rows("SELECT LfdNr FROM F5Dat WHERE BEZEICHNUNG='neu 19'"), "8\n");
  EXPECT_EQ(database_.Rows("SET IDENTITY_INSERT F5Dat ON\n"
                           "INSERT INTO F5Dat (STEUERSCHL, LfdNr) VALUES (19, 7)"),
            "error: Violation of PRIMARY KEY constraint 'PK_F5DAT'. Cannot insert duplicate key in object 'dbo.F5Dat'."
            " The duplicate key value is (19, 7).");
}

TEST_F(StageATest, TheChartOfAccountsLosesItsOldCodesOnEveryPass) {
  RunStageA();
  EXPECT_EQ(database_.Rows("SELECT KONTO, STSCHL FROM F5Kont ORDER BY KONTO"),
            "1000|19\n1010|17\n1020|7\n1030|16\n1040|19\n1050|1100\n1060|NULL\n");
  database_.Run("INSERT INTO F5Kont (KONTO, STSCHL) VALUES (1070, 1190)");
  database_.ClearTrace();
  RunStageA();
  EXPECT_EQ(database_.Rows("SELECT STSCHL FROM F5Kont WHERE KONTO=1070"), "19\n");
}

TEST_F(StageATest, TheProfitAndLossKeysAreSeededInTheirOrder) {
  RunStageA();
  std::vector<std::string> batches = Sent("guarded batch");
  ASSERT_EQ(batches.size(), 26u);
  std::string seeding;
  for (size_t i = 9; i < 23; ++i) seeding += batches[i] + "\n";
  EXPECT_EQ(seeding,
            "DELETE FROM  dbo.GuVKennz<CR><LF>\n"
            "INSERT INTO GuVKennz (RimNr, Kennz, Bezeichnung)<CR><LF>VALUES ('I','A','Einnahmen')<CR><LF>\n"
            "INSERT INTO GuVKennz (RimNr, Kennz, Bezeichnung)<CR><LF>VALUES ('I','B','Ausgaben')<CR><LF>\n"
            "INSERT INTO GuVKennz (RimNr, Kennz, Bezeichnung)<CR><LF>VALUES ('II','A','Ideeller Bereich')<CR><LF>\n"
            "INSERT INTO GuVKennz (RimNr, Kennz, Bezeichnung)<CR><LF>"
            "VALUES ('II','B','Sonstige wirtschaftliche Geschäftsbetriebe')<CR><LF>\n"
            "INSERT INTO GuVKennz (RimNr, Kennz, Bezeichnung)<CR><LF>VALUES ('III','A','Einnahmen')<CR><LF>\n"
            "INSERT INTO GuVKennz (RimNr, Kennz, Bezeichnung)<CR><LF>VALUES ('III','B','Ausgaben')<CR><LF>\n"
            "INSERT INTO GuVKennz (RimNr, Kennz, Bezeichnung)<CR><LF>"
            "VALUES ('IV','A','Zweckbetriebe Sport (umsatzsteuerpflichtig)')<CR><LF>\n"
            "INSERT INTO GuVKennz (RimNr, Kennz, Bezeichnung)<CR><LF>"
            "VALUES ('IV','B','Zweckbetriebe Sport (umsatzsteuerfrei)')<CR><LF>\n"
            "INSERT INTO GuVKennz (RimNr, Kennz, Bezeichnung)<CR><LF>"
            "VALUES ('V','A','Sonstige Zweckbetriebe (umsatzsteuerpflichtig)')<CR><LF>\n"
            "INSERT INTO GuVKennz (RimNr, Kennz, Bezeichnung)<CR><LF>"
            "VALUES ('V','B','Sonstige Zweckbetriebe (umsatzsteuerfrei)')<CR><LF>\n"
            "INSERT INTO GuVKennz (RimNr, Kennz, Bezeichnung)<CR><LF>"
            "VALUES ('VI','A','Geschäftsbetriebe Sport (umsatzsteuerpflichtig)')<CR><LF>\n"
            "INSERT INTO GuVKennz (RimNr, Kennz, Bezeichnung)<CR><LF>"
            "VALUES ('VI','B','Geschäftsbetriebe Nebentätigkeiten Sport')<CR><LF>\n"
            "INSERT INTO GuVKennz (RimNr, Kennz, Bezeichnung)<CR><LF>"
            "VALUES ('VII','A','Sonstige Geschäftsbetriebe')<CR><LF>\n");
  EXPECT_EQ(database_.Rows("SELECT RimNr, Kennz, Bezeichnung FROM GuVKennz"),
            "I|A|Einnahmen\n"
            "I|B|Ausgaben\n"
            "II|A|Ideeller Bereich\n"
            "II|B|Sonstige wirtschaftliche Geschäftsbetriebe\n"
            "III|A|Einnahmen\n"
            "III|B|Ausgaben\n"
            "IV|A|Zweckbetriebe Sport (umsatzsteuerpflichtig)\n"
            "IV|B|Zweckbetriebe Sport (umsatzsteuerfrei)\n"
            "V|A|Sonstige Zweckbetriebe (umsatzsteuerpflichtig)\n"
            "V|B|Sonstige Zweckbetriebe (umsatzsteuerfrei)\n"
            "VI|A|Geschäftsbetriebe Sport (umsatzsteuerpflichtig)\n"
            "VI|B|Geschäftsbetriebe Nebentätigkeiten Sport\n"
            "VII|A|Sonstige Geschäftsbetriebe\n");
}

TEST_F(StageATest, ProfitAndLossKeysWithoutTheLastRowAreReseeded) {
  database_.Run(
      "CREATE TABLE GuVKennz (RimNr varchar (4) NOT NULL, Kennz varchar (1) NOT NULL, Bezeichnung varchar (50) NOT "
      "NULL, CONSTRAINT PK_GuVKennz PRIMARY KEY CLUSTERED (RimNr, Kennz))\n"
      "INSERT INTO GuVKennz VALUES ('I', 'A', 'Einnahmen')\n"
      "INSERT INTO GuVKennz VALUES ('IX', 'Z', 'von Hand')");
  RunStageA();
  EXPECT_EQ(database_.Rows("SELECT COUNT(*) FROM GuVKennz WHERE RimNr='IX'"), "0\n");
  EXPECT_EQ(database_.Rows("SELECT COUNT(*) FROM GuVKennz"), "13\n");
  EXPECT_EQ(ui_.Log("box "), "");
}

TEST_F(StageATest, ProfitAndLossKeysWithTheLastRowAreLeftAlone) {
  database_.Run(
      "CREATE TABLE GuVKennz (RimNr varchar (4) NOT NULL, Kennz varchar (1) NOT NULL, Bezeichnung varchar (50) NOT "
      "NULL, CONSTRAINT PK_GuVKennz PRIMARY KEY CLUSTERED (RimNr, Kennz))\n"
      "INSERT INTO GuVKennz VALUES ('VII', 'A', 'Sonstige Geschäftsbetriebe')");
  RunStageA();
  EXPECT_EQ(database_.Rows("SELECT * FROM GuVKennz"), "VII|A|Sonstige Geschäftsbetriebe\n");
  for (const std::string& batch : Sent("guarded batch")) EXPECT_FALSE(StartsWith(batch, "DELETE")) << batch;
}

TEST_F(StageATest, ColumnAdditionsOfTheFirstStepsAreSentAsWritten) {
  RunStageA();
  std::vector<std::string> additions = Sent("column addition");
  ASSERT_EQ(additions.size(), 64u);
  std::string first;
  for (size_t i = 0; i < 22; ++i) first += additions[i] + "\n";
  EXPECT_EQ(first,
            "ALTER TABLE dbo.Mandstam ADD VereinUebUntgliedAbt  smallint  Null\n"
            "ALTER TABLE dbo.Mandstam ADD Mitgliederverwaltung  char (1) Null\n"
            "ALTER TABLE dbo.Mandstam ADD Beitragseinzug  char (1) Null\n"
            "ALTER TABLE dbo.Mandstam ADD Finanzbuchaltung  char (1) Null\n"
            "ALTER TABLE dbo.Mandstam ADD FinanzbuchaltungMitKoSt  char (1) Null\n"
            "ALTER TABLE dbo.Mandstam ADD VereinUMStPflichtig  char (1) Null\n"
            "ALTER TABLE dbo.Mandstam ADD Vereinsart  char (1) Null\n"
            "ALTER TABLE dbo.inter ADD Nr  Int  Null\n"
            "ALTER TABLE dbo.Adresse ADD IBAN1  varchar (40) Null\n"
            "ALTER TABLE dbo.Adresse ADD IBAN2  varchar (40) Null\n"
            "ALTER TABLE dbo.Adresse ADD IBAN3  varchar (40) Null\n"
            "ALTER TABLE dbo.Adresse ADD BIC1  varchar (40) Null\n"
            "ALTER TABLE dbo.Adresse ADD BIC2  varchar (40) Null\n"
            "ALTER TABLE dbo.Adresse ADD BIC3  varchar (40) Null\n"
            "ALTER TABLE dbo.Adresse ADD Vorwahl2  varchar (10) Null\n"
            "ALTER TABLE dbo.Adresse ADD Vorwahl3  varchar (10) Null\n"
            "ALTER TABLE dbo.Adresse ADD Vorwahl4  varchar (10) Null\n"
            "ALTER TABLE dbo.Inter ADD Landesverband  varchar (30) Null\n"
            "ALTER TABLE dbo.Inter ADD VerbandNr  integer  Null\n"
            "ALTER TABLE dbo.Interes ADD Eintritt   datetime  Null\n"
            "ALTER TABLE dbo.Interes ADD Austritt   datetime  Null\n"
            "ALTER TABLE dbo.Interes ADD Status   varchar (50) Null\n");
  EXPECT_EQ(additions[37], "ALTER TABLE dbo.F5DAT ADD LfdNr  INT IDENTITY (1,1) NOT NULL");
}

TEST_F(StageATest, TheMemberFunctionTableIsMadeOfFourBatches) {
  RunStageA();
  std::vector<std::string> batches = Sent("guarded batch");
  ASSERT_EQ(batches.size(), 26u);
  EXPECT_EQ(
      batches[0] + "\n" + batches[1] + "\n" + batches[2] + "\n" + batches[3] + "\n",
      "CREATE TABLE dbo.AdrFunktion (<CR><LF>AdrNr integer NOT NULL,<CR><LF>Funktion Varchar(80) NOT NULL,<CR><LF>"
      "Nr integer NULL,<CR><LF>DatumVon datetime NULL,<CR><LF>DatumBis datetime NULL)<CR><LF>\n"
      "ALTER TABLE [dbo].[AdrFunktion]  ADD<CR><LF>CONSTRAINT [PK_AdrFunktion] PRIMARY KEY CLUSTERED<CR><LF>"
      "([AdrNr],[Funktion]) ON [PRIMARY]<CR><LF>\n"
      "ALTER TABLE [dbo].[AdrFunktion]  WITH CHECK ADD  CONSTRAINT [FK_AdrFunktion_Adresse] FOREIGN KEY([AdrNr])"
      "<CR><LF>REFERENCES [dbo].[Adresse] ([AdrNr])<CR><LF>\n"
      "INSERT INTO AdrFunktion (AdrNr, Funktion, Nr)<CR><LF>"
      "SELECT AdrNr, Funktion, 1 FROM Adresse WHERE (Funktion IS NOT NULL OR Funktion<>'')<CR><LF>\n");
}

TEST_F(StageATest, TheTaxKeyRebuildAndTheConversionsAreSentAsWritten) {
  RunStageA();
  std::string direct;
  for (const std::string& text : Sent("direct command")) direct += text + "\n";
  EXPECT_EQ(direct,
            "Alter Table F5DAT Drop Constraint PK_F5DAT\n"
            "ALTER TABLE [dbo].[F5DAT] WITH NOCHECK ADD  CONSTRAINT [PK_F5DAT] PRIMARY KEY  CLUSTERED "
            "([STEUERSCHL],[LfdNr])  ON [PRIMARY] \n"
            "UPDATE F5Dat SET STEUERSCHL=19 WHERE STEUERSCHL=1190\n"
            "UPDATE F5Dat SET STEUERSCHL=17 WHERE STEUERSCHL=1170\n"
            "UPDATE F5Dat SET STEUERSCHL=7 WHERE STEUERSCHL=1070\n"
            "UPDATE F5Dat SET STEUERSCHL=16 WHERE STEUERSCHL=1160\n"
            "UPDATE F5Kont SET STSCHL=19 WHERE STSCHL=1190\n"
            "UPDATE F5Kont SET STSCHL=17 WHERE STSCHL=1170\n"
            "UPDATE F5Kont SET STSCHL=7 WHERE STSCHL=1070\n"
            "UPDATE F5Kont SET STSCHL=16 WHERE STSCHL=1160\n");
}

TEST_F(StageATest, ASecondPassSendsOnlyProbesAndTheEveryPassConversions) {
  RunStageA();
  const std::string after_first = database_.Everything();
  database_.ClearTrace();
  progress_positions_.clear();
  ui_.ClearEvents();
  RunStageA();
  EXPECT_EQ(OutlineWithProgress(),
            "progress\n"
            "column Mandstam.VereinUebUntgliedAbt\n"
            "progress\n"
            "column Mandstam.Mitgliederverwaltung\n"
            "progress\n"
            "column Mandstam.Beitragseinzug\n"
            "progress\n"
            "column Mandstam.Finanzbuchaltung\n"
            "progress\n"
            "column Mandstam.FinanzbuchaltungMitKoSt\n"
            "progress\n"
            "column Mandstam.VereinUMStPflichtig\n"
            "column Mandstam.Vereinsart\n"
            "progress\n"
            "column inter.Nr\n"
            "column Adresse.IBAN1\n"
            "column Adresse.IBAN2\n"
            "column Adresse.IBAN3\n"
            "column Adresse.BIC1\n"
            "column Adresse.BIC2\n"
            "column Adresse.BIC3\n"
            "column Adresse.Vorwahl2\n"
            "column Adresse.Vorwahl3\n"
            "column Adresse.Vorwahl4\n"
            "column Inter.Landesverband\n"
            "column Inter.VerbandNr\n"
            "column Interes.Eintritt \n"
            "column Interes.Austritt \n"
            "column Interes.Status \n"
            "progress\n"
            "column HyAdresse.IBAN1\n"
            "column HyAdresse.IBAN2\n"
            "column HyAdresse.IBAN3\n"
            "column HyAdresse.BIC1\n"
            "column HyAdresse.BIC2\n"
            "column HyAdresse.BIC3\n"
            "column HyAdresse.Vorwahl2\n"
            "column HyAdresse.Vorwahl3\n"
            "column HyAdresse.Vorwahl4\n"
            "column F5Kont.Steuersammelkonto\n"
            "progress\n"
            "column F6KOST.Kostenart\n"
            "progress\n"
            "column F6KOST.Etat\n"
            "progress\n"
            "exists AdrFunktion\n"
            "progress\n"
            "column Interes1.Nr\n"
            "progress\n"
            "column Interes1.Datum\n"
            "progress\n"
            "column F5Dat.Klasse\n"
            "UPDATE F5Kont SET STSCHL=19 WHERE STSCHL=1190\n"
            "UPDATE F5Kont SET STSCHL=17 WHERE STSCHL=1170\n"
            "UPDATE F5Kont SET STSCHL=7 WHERE STSCHL=1070\n"
            "UPDATE F5Kont SET STSCHL=16 WHERE STSCHL=1160\n"
            "column F5BEW4.Parent\n"
            "exists F5kennzD\n"
            "exists GuVKennz\n"
            "SELECT * FROM GuVKennz WHERE RimNr='VII'\n"
            "progress\n"
            "exists GuVKennzD\n"
            "progress\n"
            "column F5Kont.KennzEUR\n"
            "column F6KOST.JanuarK\n"
            "progress\n"
            "column F6KOST.FebrurarK\n"
            "progress\n"
            "column F6KOST.MarzK\n"
            "progress\n"
            "column F6KOST.AprilK\n"
            "progress\n"
            "column F6KOST.MaiK\n"
            "progress\n"
            "column F6KOST.JuniK\n"
            "progress\n"
            "column F6KOST.JuliK\n"
            "progress\n"
            "column F6KOST.AugustK\n"
            "progress\n"
            "column F6KOST.SeptemberK\n"
            "progress\n"
            "column F6KOST.OktoberK\n"
            "progress\n"
            "column F6KOST.NovemberK\n"
            "progress\n"
            "column F6KOST.DezemberK\n"
            "progress\n"
            "column F6KOST.JanuarE\n"
            "progress\n"
            "column F6KOST.FebrurarE\n"
            "progress\n"
            "column F6KOST.MarzE\n"
            "progress\n"
            "column F6KOST.AprilE\n"
            "progress\n"
            "column F6KOST.MaiE\n"
            "progress\n"
            "column F6KOST.JuniE\n"
            "progress\n"
            "column F6KOST.JuliE\n"
            "progress\n"
            "column F6KOST.AugustE\n"
            "progress\n"
            "column F6KOST.SeptemberE\n"
            "progress\n"
            "column F6KOST.OktoberE\n"
            "progress\n"
            "column F6KOST.NovemberE\n"
            "progress\n"
            "column F6KOST.DezemberE\n"
            "progress\n"
            "progress\n");
  EXPECT_EQ(database_.Everything(), after_first);
  EXPECT_EQ(ui_.Log("box "), "");
}

// The rebuild of the tax-key table's key fails: the catalogue ends there, and the whole conversion goes with
// it, Klasse and LfdNr included, so that the next pass finds Klasse missing and runs the conversion again.
TEST_F(StageATest, AFailingRebuildOfTheTaxKeyEndsTheCatalogueAndTheNextPassRetriesTheWholeConversion) {
  database_.Run(
      "ALTER TABLE F5Dat DROP CONSTRAINT PK_F5DAT\n"
      "ALTER TABLE F5Dat ADD CONSTRAINT PK_F5Dat_alt PRIMARY KEY CLUSTERED (STEUERSCHL)");
  std::string failure = "no failure";
  try {
    catalogue_.acOKExecute();
  } catch (const db::Error& e) {
    failure = std::to_string(e.number()) + ": " + e.what();
  }
  EXPECT_EQ(failure, "3728: 'PK_F5DAT' is not a constraint.");
  EXPECT_EQ(ui_.gauge(), 21);
  std::vector<TraceEntry> trace = database_.Trace();
  ASSERT_GE(trace.size(), 2u);
  EXPECT_EQ(trace[trace.size() - 2].sql, "Alter Table F5DAT Drop Constraint PK_F5DAT");
  EXPECT_EQ(trace.back().sql, "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION");
  EXPECT_EQ(database_.Rows("SELECT COUNT(*) FROM Information_Schema.Columns WHERE TABLE_NAME='F5Dat'"
                           " AND COLUMN_NAME IN ('Klasse', 'LfdNr')"),
            "0\n");

  // Once the cause is gone, the next pass sends the conversion again and completes it.
  database_.Run(
      "ALTER TABLE F5Dat DROP CONSTRAINT PK_F5Dat_alt\n"
      "ALTER TABLE F5Dat ADD CONSTRAINT PK_F5DAT PRIMARY KEY CLUSTERED (STEUERSCHL)");
  database_.ClearTrace();
  RunStageA();
  EXPECT_EQ(Sent("direct command").size(), 10u);
  EXPECT_EQ(database_.Rows("SELECT STEUERSCHL FROM F5Dat ORDER BY STEUERSCHL"), "0\n7\n7\n16\n17\n19\n1100\n");
  EXPECT_EQ(database_.Rows("SELECT name FROM sysobjects WHERE xtype='PK' AND name LIKE 'PK_F5Dat%'"), "PK_F5DAT\n");
  EXPECT_EQ(ui_.Log("box "), "");
}

}  // namespace
