// The mandate generation on its own, over a client database that holds just what it reads and writes: the
// members' address table with the columns stage E leaves, and the mandate table. What it sends for the worked
// example, which members it passes over, the key's parts, repeated runs and a failure half-way.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <string_view>

#include "db/error.h"
#include "previous_release.h"
#include "trace_outline.h"
#include "upgrade/mandates.h"

namespace {

void ExpectSameAsFile(const std::string& actual, std::string_view file) {
  upgrade_test::ExpectSameAsFile(actual, CLUBIQA_UPGRADE_TEST_DIR, file);
}

constexpr upgrade::CalendarDay kToday{2024, 3, 15};

// Adresse as the generation sees it after stage E; AdrSepa as stage E creates it, with GueltigAb.
constexpr std::string_view kTables = R"(
CREATE TABLE Adresse (AdrNr int NOT NULL PRIMARY KEY, MitglNr varchar (15) NULL, Austritt datetime NULL,
  Zahlungsart char (1) NULL, IBAN1 varchar (30) NULL, BIC1 varchar (30) NULL, mandatsrefenz varchar (35) NULL,
  AbwKtoInhCB char (1) NULL)
CREATE TABLE AdrSepa (AdrNr int NOT NULL, MandatsNr varchar (35) NOT NULL, MandKey varchar (35) NOT NULL,
  Lastschriftart varchar (20) NOT NULL, Typ char (1) NOT NULL, Status varchar (20) NOT NULL,
  AngelegtAm datetime NULL, GultigBis datetime NULL, UnterschriftDatum datetime NULL,
  ErsteVerwendung datetime NULL, LetzteVerwendung datetime NULL, WiderrufenAm datetime NULL,
  GueltigAb datetime NULL, CONSTRAINT PK_AdrSepa PRIMARY KEY CLUSTERED (AdrNr, MandatsNr))
)";

class MandatesTest : public ::testing::Test {
 protected:
  MandatesTest() {
    database_.Run(kTables);
    database_.Open(client_);
    database_.ClearTrace();
  }

  // A member with the given columns; `rest` is the SQL of Austritt, Zahlungsart, mandatsrefenz, AbwKtoInhCB.
  void Member(int adr_nr, std::string_view mitgl_nr, std::string_view rest) {
    database_.Run("INSERT INTO Adresse (AdrNr, MitglNr, Austritt, Zahlungsart, mandatsrefenz, AbwKtoInhCB) VALUES (" +
                  std::to_string(adr_nr) + ", " + std::string(mitgl_nr) + ", " + std::string(rest) + ")");
  }

  std::string Generate() {
    database_.ClearTrace();
    mandates_.pMandatErstellen();
    return upgrade_test::Outline(database_.Trace(), {});
  }

  std::string Mandates() { return database_.Rows("SELECT AdrNr, MandatsNr, MandKey FROM AdrSepa ORDER BY AdrNr"); }

  upgrade_test::ClientDatabase database_;
  db::Connection client_;
  upgrade::Mandates mandates_{client_, [] { return kToday; }};
};

TEST_F(MandatesTest, TheWorkedExampleSendsFourStatements) {
  Member(1234, "'815'", "NULL, 'L', '1234815', NULL");
  ExpectSameAsFile(Generate(), "mandates_worked_example.trace");
  EXPECT_EQ(mandates_.SepaMandKey(), "12348151");
  EXPECT_EQ(database_.Rows("SELECT * FROM AdrSepa"),
            "1234|1234815|12348151|Basis|W|Aktiv|2024-03-15 00:00:00.000|NULL|2024-03-15 00:00:00.000|NULL|NULL|NULL|"
            "2024-03-15 00:00:00.000\n");
}

TEST_F(MandatesTest, OnlyDueMembersGetARecord) {
  Member(1, "'1'", "'31.12.2012', 'L', '11', NULL");  // left
  Member(2, "'2'", "NULL, 'B', '22', NULL");          // pays cash
  Member(3, "'3'", "NULL, 'U', '33', NULL");          // pays by transfer
  Member(4, "'4'", "NULL, NULL, '44', NULL");         // no payment method
  Member(5, "'5'", "NULL, 'L', '55', 'J'");           // alternative account holder
  Member(6, "NULL", "NULL, 'L', NULL, NULL");         // no reference
  Member(7, "'7'", "NULL, 'L', '', NULL");            // empty reference
  Member(8, "'8'", "NULL, 'L', '88', 'N'");           // due
  Member(9, "'9'", "NULL, 'L', '99', NULL");          // due
  Member(10, "'10'", "NULL, 'L', '1010', ''");        // due
  Generate();
  EXPECT_EQ(Mandates(), "8|88|881\n9|99|991\n10|1010|10101\n");
}

TEST_F(MandatesTest, AMemberWithAnyMandateGetsNoOther) {
  Member(1, "'1'", "NULL, 'L', '11', NULL");
  Member(2, "'2'", "NULL, 'L', '22', NULL");
  database_.Run(
      "INSERT INTO AdrSepa (AdrNr, MandatsNr, MandKey, Lastschriftart, Typ, Status, WiderrufenAm) VALUES "
      "(1, 'ALT-1', 'ALT-1-1', 'Basis', 'W', 'Widerrufen', '01.02.2014')");
  Generate();
  EXPECT_EQ(Mandates(), "1|ALT-1|ALT-1-1\n2|22|221\n");
}

TEST_F(MandatesTest, ASecondRunOnlyAsksForTheMembersDue) {
  Member(1, "'1'", "NULL, 'L', '11', NULL");
  Generate();
  const std::string first = Mandates();
  const std::string second_run = Generate();
  EXPECT_EQ(second_run, second_run.substr(0, second_run.find('\n') + 1));
  EXPECT_TRUE(second_run.starts_with("SELECT A.AdrNr, A.MITGLNR")) << second_run;
  EXPECT_EQ(Mandates(), first);
}

TEST_F(MandatesTest, NoMemberDueRunsTheMemberQueryAlone) {
  Member(1, "'1'", "NULL, 'B', '11', NULL");
  const std::string run = Generate();
  EXPECT_EQ(run, upgrade_test::Outline({database_.Trace().at(0)}, {}));
  EXPECT_EQ(database_.Trace().size(), 1u);
  EXPECT_EQ(Mandates(), "");
}

TEST_F(MandatesTest, TheKeyTakesTrimmedPartsAndTheNextOrdinal) {
  // Blanks and control characters around the member number go; the reference stays as the column holds it.
  Member(9, "' 815 '", "NULL, 'L', '9 815 ', NULL");
  Member(12, "CHAR(9) + '42' + CHAR(13) + CHAR(10)", "NULL, 'L', '12x', NULL");
  Generate();
  EXPECT_EQ(database_.Rows("SELECT AdrNr, '[' + MandatsNr + ']', MandKey FROM AdrSepa ORDER BY AdrNr"),
            "9|[9 815 ]|98151\n12|[12x]|12421\n");
  // The ordinal counts the member's rows: with two, the next key ends in 3.
  mandates_.CalcSepaMandatsNr(9, "815");
  EXPECT_EQ(mandates_.SepaMandKey(), "98152");
  database_.Run(
      "INSERT INTO AdrSepa (AdrNr, MandatsNr, MandKey, Lastschriftart, Typ, Status) VALUES (9, 'B', 'B', "
      "'Basis', 'W', 'Aktiv')");
  mandates_.CalcSepaMandatsNr(9, "");
  EXPECT_EQ(mandates_.SepaMandKey(), "93");
}

TEST_F(MandatesTest, AFailureLeavesTheRecordsPostedBeforeIt) {
  // Member 1 with number '23' and member 12 with number '3' would both get the key 1231.
  database_.Run("CREATE UNIQUE INDEX IX_AdrSepa_MandKey ON AdrSepa (MandKey)");
  Member(1, "'23'", "NULL, 'L', '123', NULL");
  Member(12, "'3'", "NULL, 'L', '123', NULL");
  Member(13, "'4'", "NULL, 'L', '134', NULL");
  EXPECT_THROW(mandates_.pMandatErstellen(), db::Error);
  EXPECT_EQ(Mandates(), "1|123|1231\n");
  // The next run closes what the failed one left open and goes on after the member that failed.
  database_.Run("DROP INDEX IX_AdrSepa_MandKey ON AdrSepa");
  Generate();
  EXPECT_EQ(Mandates(), "1|123|1231\n12|123|1231\n13|134|1341\n");
}

TEST(MandateDatesTest, TodayIsTheLocalDateAtMidnight) {
  const std::time_t now = std::time(nullptr);
  const std::tm local = *std::localtime(&now);
  const upgrade::CalendarDay today = upgrade::LocalToday();
  // Around midnight the two reads may straddle the change of day.
  if (today.day == local.tm_mday) {
    EXPECT_EQ(today, (upgrade::CalendarDay{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday}));
  }
  EXPECT_EQ(upgrade::DateValue(kToday).ToString(), "2024-03-15 00:00:00.000");
  EXPECT_EQ(upgrade::DateValue({1900, 1, 1}).as_datetime().ms, 0);
  EXPECT_EQ(upgrade::DateValue({2000, 2, 29}).ToString(), "2000-02-29 00:00:00.000");
}

}  // namespace
