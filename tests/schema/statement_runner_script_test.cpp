// SQLExec (the embedded scripts, batch by batch) and AddLsbEntry on a real client database; the engine's trace
// shows which batches reached the server and with which text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runner_test_fixture.h"
#include "schema/statement_runner.h"

namespace {

using schema::Lines;

class ScriptRunnerTest : public schema_test::RunnerTest {
 protected:
  // The plain box of a failing script batch.
  static std::string PlainBox(const std::string& text) { return "box Clubiqa vanta - SQL Update: " + text + "\n"; }
};

// ---- SQLExec ------------------------------------------------------------------------------------------------

TEST_F(ScriptRunnerTest, SeparatorsInAnyCaseAndSpacingButNotWithSemicolonOrCount) {
  runner_.SQLExec(
      "CREATE TABLE tblSport (Nr int, Name varchar(30))\r\n"
      " go \r\n"
      "INSERT INTO tblSport VALUES (1, 'Fussball')\r\n"
      "GO;\r\n"
      "INSERT INTO tblSport VALUES (2, 'Handball')\r\n"
      "GO 2\r\n"
      "\tGo\t\r\n"
      "INSERT INTO tblSport VALUES (3, 'Turnen')\r\n"
      "GO\r\n"
      "\r\n"
      "\r\n");
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX001: CREATE TABLE tblSport (Nr int, Name varchar(30))<LF> -> rows 0\n"
            "ZENTIX001: INSERT INTO tblSport VALUES (1, 'Fussball')<LF>GO;<LF>"
            "INSERT INTO tblSport VALUES (2, 'Handball')<LF>GO 2<LF> -> error 102\n"
            "ZENTIX001: INSERT INTO tblSport VALUES (3, 'Turnen')<LF> -> rows 1\n");
  EXPECT_EQ(ui_.Log(), "cursor: wait\n" + PlainBox(server_.Trace().at(1).message) + "cursor: default\n");
  EXPECT_EQ(ui_.boxes().at(0).kind, ui::BoxKind::kPlain);
  // The two empty lines after the last separator were collected but never sent.
  EXPECT_EQ(runner_.qryExec().text(), "\n\n");
  EXPECT_EQ(Scalar("SELECT MAX(Name) FROM tblSport"), "Turnen");
}

TEST_F(ScriptRunnerTest, TextAfterTheLastSeparatorIsNotSent) {
  runner_.SQLExec("CREATE TABLE tblFachv (Nr int)\nGO\nINSERT INTO tblFachv VALUES (9)\n  \nDELETE FROM tblFachv");
  EXPECT_EQ(server_.TracedSql(), std::vector<std::string>{"CREATE TABLE tblFachv (Nr int)\n"});
  EXPECT_EQ(runner_.qryExec().text(), "INSERT INTO tblFachv VALUES (9)\n  \nDELETE FROM tblFachv\n");
  EXPECT_EQ(ui_.Log(), "cursor: wait\ncursor: default\n");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM tblFachv"), "0");
}

TEST_F(ScriptRunnerTest, FailingMiddleBatchShowsItsBoxAndTheScriptGoesOn) {
  runner_.SQLExec(
      "CREATE TABLE tblFach (Nr int NOT NULL PRIMARY KEY)\n"
      "GO\n"
      "INSERT INTO tblFach VALUES (1)\n"
      "INSERT INTO tblFach VALUES (1)\n"
      "GO\n"
      "INSERT INTO tblFachFehlt VALUES (2)\n"
      "GO\n"
      "INSERT INTO tblFach VALUES (3)\n"
      "GO\n");
  const std::vector<db_test::TraceEntry> trace = server_.Trace();
  ASSERT_EQ(trace.size(), 4u);
  EXPECT_EQ(trace[1].error, 2627);
  EXPECT_EQ(ui_.Log(), "cursor: wait\n" + PlainBox(trace[1].message) + PlainBox("Invalid object name 'tblFachFehlt'.") +
                           "cursor: default\n");
  EXPECT_EQ(runner_.qryExec().text(), "");
  // The first insert of the failing batch stays in effect: nothing is rolled back.
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM tblFach"), "2");
}

TEST_F(ScriptRunnerTest, EmptyBatchesAreStillSent) {
  runner_.SQLExec("GO\ngo\n\nGO\nSELECT 1\nGO");
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX001:  -> rows 0\n"
            "ZENTIX001:  -> rows 0\n"
            "ZENTIX001: <LF> -> rows 0\n"
            "ZENTIX001: SELECT 1<LF> -> rows 1\n");
  EXPECT_EQ(ui_.Log(), "cursor: wait\ncursor: default\n");
}

TEST_F(ScriptRunnerTest, LinesEndAtCrLfLoneCrOrLoneLfAndTravelWithOneLf) {
  runner_.SQLExec("CREATE TABLE tblBLZ (a int,\r b int)\rGO\rINSERT INTO tblBLZ\n VALUES (1, 2)\r\nGO\r\n");
  EXPECT_EQ(server_.TracedSql(), (std::vector<std::string>{"CREATE TABLE tblBLZ (a int,\n b int)\n",
                                                           "INSERT INTO tblBLZ\n VALUES (1, 2)\n"}));
  EXPECT_EQ(ui_.Log(), "cursor: wait\ncursor: default\n");
}

TEST_F(ScriptRunnerTest, SecondScriptStartsWithAnEmptyCommandText) {
  runner_.SQLExec("CREATE TABLE tblA (a int)\nGO\nINSERT INTO tblA VALUES (1)\n");
  runner_.SQLExec("CREATE TABLE tblB (b int)\nGO\nINSERT INTO tblB VALUES (2)\nGO\n");
  EXPECT_EQ(server_.TracedSql(), (std::vector<std::string>{"CREATE TABLE tblA (a int)\n", "CREATE TABLE tblB (b int)\n",
                                                           "INSERT INTO tblB VALUES (2)\n"}));
  EXPECT_EQ(ui_.Log(), "cursor: wait\ncursor: default\ncursor: wait\ncursor: default\n");
  EXPECT_EQ(runner_.qryExec().text(), "");
  EXPECT_FALSE(ui_.closed());
}

TEST_F(ScriptRunnerTest, ScriptWithoutSeparatorsSendsNothing) {
  runner_.SQLExec("CREATE TABLE tblNie (a int)\nINSERT INTO tblNie VALUES (1)");
  runner_.SQLExec("");
  EXPECT_EQ(server_.TraceLog(), "");
  EXPECT_EQ(ui_.Log(), "cursor: wait\ncursor: default\ncursor: wait\ncursor: default\n");
}

TEST_F(ScriptRunnerTest, LostConnectionShowsOneBoxPerBatchAndNeverThrows) {
  LoseConnection();
  runner_.SQLExec("SELECT 1\nGO\nSELECT 2\nGO\n");
  const std::string box = PlainBox(std::string(schema_test::kLostText));
  EXPECT_EQ(ui_.Log(), "cursor: wait\n" + box + box + "cursor: default\n");
}

// ---- AddLsbEntry ------------------------------------------------------------------------------------------

class LsbEntryTest : public schema_test::RunnerTest {
 protected:
  LsbEntryTest() {
    Setup(
        "CREATE TABLE tblLSB (Kennung varchar(20) NOT NULL CONSTRAINT PK_tblLSB PRIMARY KEY, "
        "Bezeichnung varchar(60) NULL)");
  }
};

TEST_F(LsbEntryTest, InsertsOneRowWithThreeLines) {
  runner_.AddLsbEntry("BSB Nord", "Badischer Sportbund Nord");
  EXPECT_EQ(runner_.qryUpd_lines(),
            (Lines{"INSERT INTO tblLSB (Kennung, Bezeichnung)", "VALUES", "('BSB Nord', 'Badischer Sportbund Nord')"}));
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX001: INSERT INTO tblLSB (Kennung, Bezeichnung)<CR><LF>VALUES<CR><LF>"
            "('BSB Nord', 'Badischer Sportbund Nord')<CR><LF> -> rows 1\n");
  EXPECT_EQ(ui_.Log(), "");
  EXPECT_EQ(Scalar("SELECT Bezeichnung FROM tblLSB WHERE Kennung = 'BSB Nord'"), "Badischer Sportbund Nord");
}

TEST_F(LsbEntryTest, DuplicateCodeShowsTheServersTextAndTheCallerGoesOn) {
  runner_.AddLsbEntry("WLSB", "Wuerttembergischer Landessportbund");
  runner_.AddLsbEntry("wlsb", "Doppelt");
  runner_.AddLsbEntry("BLSV", "Bayerischer Landes-Sportverband");
  EXPECT_EQ(ui_.Log(),
            "box Warnung: Violation of PRIMARY KEY constraint 'PK_tblLSB'. Cannot insert duplicate key in object "
            "'dbo.tblLSB'. The duplicate key value is (wlsb).\n");
  EXPECT_EQ(ui_.boxes().at(0).kind, ui::BoxKind::kWarning);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM tblLSB"), "2");
}

TEST_F(LsbEntryTest, QuoteInTheNameBreaksTheStatement) {
  runner_.AddLsbEntry("SSB", "Schleswig-Holstein's Sportbund");
  runner_.AddLsbEntry("LSB'", "Landessportbund");
  const std::vector<db_test::TraceEntry> trace = server_.Trace();
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_EQ(trace[0].sql,
            "INSERT INTO tblLSB (Kennung, Bezeichnung)\r\nVALUES\r\n('SSB', 'Schleswig-Holstein's Sportbund')\r\n");
  EXPECT_NE(trace[0].error, 0);
  EXPECT_NE(trace[1].error, 0);
  EXPECT_EQ(ui_.Log(), "box Warnung: " + trace[0].message + "\nbox Warnung: " + trace[1].message + "\n");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM tblLSB"), "0");
}

TEST_F(LsbEntryTest, MissingTableAndLostConnectionGiveWarnings) {
  Setup("DROP TABLE tblLSB");
  runner_.AddLsbEntry("BSB Nord", "Badischer Sportbund Nord");
  LoseConnection();
  runner_.AddLsbEntry("BSB Nord", "Badischer Sportbund Nord");
  EXPECT_EQ(ui_.Log(),
            "box Warnung: Invalid object name 'tblLSB'.\nbox Warnung: " + std::string(schema_test::kLostText) + "\n");
}

}  // namespace
