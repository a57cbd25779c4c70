// The statement patterns on a real client database: existence and data probes, guarded batches in every
// failure class, direct commands, and create table if missing. The engine's trace shows the exact texts.
#include "schema/statement_runner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runner_test_fixture.h"

namespace {

using schema::FailureClass;
using schema::Lines;

class StatementRunnerTest : public schema_test::RunnerTest {};

// ---- existence probe and data probe ----------------------------------------------------------------------

TEST_F(StatementRunnerTest, ExistenceProbeTextIsPastedAsIs) {
  EXPECT_EQ(schema::ExistenceProbeText("tblLSB"), "SELECT * FROM sysobjects WHERE name='tblLSB'");
  EXPECT_EQ(schema::ExistenceProbeText(""), "SELECT * FROM sysobjects WHERE name=''");
}

TEST_F(StatementRunnerTest, ExistenceProbeFindsTablesViewsAndKeysButNotMissingNames) {
  Setup("CREATE TABLE F5DAT (Nr int NOT NULL CONSTRAINT PK_F5DAT PRIMARY KEY, Text varchar(20))");
  Setup("CREATE VIEW vF5 AS SELECT Nr FROM F5DAT");
  EXPECT_TRUE(runner_.Exists("F5DAT"));
  EXPECT_TRUE(runner_.Exists("vF5"));
  EXPECT_TRUE(runner_.Exists("PK_F5DAT"));
  EXPECT_TRUE(runner_.Exists("f5dat"));  // the server's collation ignores case
  EXPECT_FALSE(runner_.Exists("F5DA"));
  EXPECT_FALSE(runner_.Exists("Mandstam"));
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX001: SELECT * FROM sysobjects WHERE name='F5DAT' -> rows 1\n"
            "ZENTIX001: SELECT * FROM sysobjects WHERE name='vF5' -> rows 1\n"
            "ZENTIX001: SELECT * FROM sysobjects WHERE name='PK_F5DAT' -> rows 1\n"
            "ZENTIX001: SELECT * FROM sysobjects WHERE name='f5dat' -> rows 1\n"
            "ZENTIX001: SELECT * FROM sysobjects WHERE name='F5DA' -> rows 0\n"
            "ZENTIX001: SELECT * FROM sysobjects WHERE name='Mandstam' -> rows 0\n");
  EXPECT_TRUE(runner_.qrySel().active());  // left open on the last probe's rows
  EXPECT_EQ(ui_.Log(), "");
}

TEST_F(StatementRunnerTest, ExistenceProbeKeepsAQuoteOfTheNameInsideTheLiteral) {
  EXPECT_EQ(schema::ExistenceProbeText("O'Brien"), "SELECT * FROM sysobjects WHERE name='O''Brien'");
  EXPECT_FALSE(runner_.Exists("O'Brien"));
  Setup("CREATE TABLE [O'Brien] (a int)");
  EXPECT_TRUE(runner_.Exists("O'Brien"));
  EXPECT_EQ(ui_.Log(), "");
}

TEST_F(StatementRunnerTest, DataProbeStandsOnTheFirstRowAndReadsNumbersAsFloatingPoint) {
  Setup("CREATE TABLE F5Kont (Nr int, STSCHL decimal(6,2)); INSERT INTO F5Kont VALUES (2, 1190), (1, 7.5)");
  db::Query& query = runner_.Probe("SELECT Nr, STSCHL FROM F5Kont ORDER BY Nr");
  EXPECT_EQ(&query, &runner_.qrySel());
  EXPECT_EQ(query.record_count(), 2);
  EXPECT_EQ(query.AsFloat("STSCHL"), 7.5);
  EXPECT_EQ(query.AsInt("nr"), 1);
  EXPECT_EQ(server_.TraceLog(), "ZENTIX001: SELECT Nr, STSCHL FROM F5Kont ORDER BY Nr -> rows 2\n");
}

TEST_F(StatementRunnerTest, DataProbeFailurePassesTheServersErrorOn) {
  EXPECT_EQ(Failure([&] { runner_.Probe("SELECT COUNT(*) FROM Fehlt"); }), "208: Invalid object name 'Fehlt'.");
  EXPECT_EQ(ui_.Log(), "");
}

// ---- guarded batch --------------------------------------------------------------------------------------

TEST_F(StatementRunnerTest, GuardedBatchReportsByClassAndTheCallerGoesOn) {
  runner_.Batch({"INSERT INTO Fehlt VALUES (1)"}, FailureClass::kWarning);
  runner_.Batch({"INSERT INTO Fehlt VALUES (2)"}, FailureClass::kError);
  runner_.Batch({"INSERT INTO Fehlt VALUES (3)"}, FailureClass::kSilent);
  runner_.Batch({"CREATE TABLE Da (a int)"}, FailureClass::kWarning);
  EXPECT_EQ(ui_.Log(),
            "box Warnung: Invalid object name 'Fehlt'.\n"
            "box Fehler: Invalid object name 'Fehlt'.\n");
  EXPECT_EQ(ui_.boxes().at(0).kind, ui::BoxKind::kWarning);
  EXPECT_EQ(ui_.boxes().at(1).kind, ui::BoxKind::kError);
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX001: INSERT INTO Fehlt VALUES (1)<CR><LF> -> error 208\n"
            "ZENTIX001: INSERT INTO Fehlt VALUES (2)<CR><LF> -> error 208\n"
            "ZENTIX001: INSERT INTO Fehlt VALUES (3)<CR><LF> -> error 208\n"
            "ZENTIX001: CREATE TABLE Da (a int)<CR><LF> -> rows 0\n");
}

TEST_F(StatementRunnerTest, GuardedBatchSendsEveryLineFollowedByCrLfAndKeepsBreaksInsideALine) {
  runner_.Batch(
      {"CREATE TABLE [dbo].[tblLSB] (", "  [Kennung] varchar (20) NOT NULL ,\n  [Bezeichnung] varchar (60) NULL", ")"},
      FailureClass::kWarning);
  EXPECT_EQ(server_.TracedSql(),
            std::vector<std::string>{"CREATE TABLE [dbo].[tblLSB] (\r\n"
                                     "  [Kennung] varchar (20) NOT NULL ,\n  [Bezeichnung] varchar (60) NULL\r\n"
                                     ")\r\n"});
  EXPECT_EQ(runner_.qryUpd_lines().size(), 3u);
  EXPECT_EQ(ui_.Log(), "");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM syscolumns WHERE id = OBJECT_ID('tblLSB')"), "2");
}

TEST_F(StatementRunnerTest, BatchTextSplitsAtCrLfLoneCrAndLoneLf) {
  Setup("CREATE TABLE Verein (a int, b int, c int, d int)");
  runner_.BatchText("UPDATE Verein\r\nSET b = 1\rWHERE c = 2\nAND d = 3\n\nAND a = 4\r\n", FailureClass::kWarning);
  EXPECT_EQ(runner_.qryUpd_lines(), (Lines{"UPDATE Verein", "SET b = 1", "WHERE c = 2", "AND d = 3", "", "AND a = 4"}));
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX001: UPDATE Verein<CR><LF>SET b = 1<CR><LF>WHERE c = 2<CR><LF>AND d = 3<CR><LF><CR><LF>"
            "AND a = 4<CR><LF> -> rows 0\n");
  EXPECT_EQ(ui_.Log(), "");
}

TEST_F(StatementRunnerTest, FailedBatchLeavesNothingThatDisturbsTheNextOne) {
  runner_.Batch({"CREATE TABLE A1 (a int)", "INSERT INTO A1 VALUES ('x')"}, FailureClass::kWarning);
  runner_.Batch({"INSERT INTO A1 VALUES (5)"}, FailureClass::kWarning);
  EXPECT_EQ(ui_.Log(), "box Warnung: Conversion failed when converting the varchar value 'x' to data type int.\n");
  EXPECT_EQ(runner_.qryUpd_lines(), Lines{"INSERT INTO A1 VALUES (5)"});
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM A1"), "1");
}

TEST_F(StatementRunnerTest, BatchHandedUnguardedPassesItsFailureOn) {
  EXPECT_EQ(Failure([&] { runner_.Batch({"INSERT INTO Fehlt VALUES (1)"}, FailureClass::kUnguarded); }),
            "208: Invalid object name 'Fehlt'.");
  EXPECT_EQ(Failure([&] {
              runner_.CreateTableIfMissing("Fehlt", {{"CREATE TABLE Fehlt (a intt)"}}, FailureClass::kUnguarded);
            }),
            "2715: Column, parameter, or variable #1: Cannot find data type intt.");
  EXPECT_FALSE(runner_.qrySel().active());
  EXPECT_EQ(ui_.Log(), "");
}

// ---- direct command ---------------------------------------------------------------------------------------

TEST_F(StatementRunnerTest, DirectCommandJoinsItsPiecesWithoutSeparators) {
  Setup("CREATE TABLE F5DAT (STEUERSCHL int NOT NULL, LfdNr int NOT NULL)");
  runner_.Direct({"ALTER TABLE [dbo].[F5DAT] WITH NOCHECK ADD ", " CONSTRAINT [PK_F5DAT] PRIMARY KEY  CLUSTERED ",
                  "([STEUERSCHL],[LfdNr])  ON [PRIMARY] "},
                 FailureClass::kUnguarded);
  const std::string sent =
      "ALTER TABLE [dbo].[F5DAT] WITH NOCHECK ADD  CONSTRAINT [PK_F5DAT] PRIMARY KEY  CLUSTERED "
      "([STEUERSCHL],[LfdNr])  ON [PRIMARY] ";
  EXPECT_EQ(server_.TracedSql(), std::vector<std::string>{sent});
  EXPECT_EQ(runner_.qryExec().text(), sent);  // stays set until the next assignment
  EXPECT_TRUE(runner_.Exists("PK_F5DAT"));
  EXPECT_EQ(ui_.Log(), "");
}

TEST_F(StatementRunnerTest, UnguardedDirectCommandThrowsWithTheServersNumber) {
  EXPECT_EQ(Failure([&] { runner_.Direct("Alter Table F5DAT Drop Constraint PK_F5DAT", FailureClass::kUnguarded); }),
            "4902: Cannot find the object \"F5DAT\" because it does not exist or you do not have permissions.");
  EXPECT_EQ(ui_.Log(), "");
}

TEST_F(StatementRunnerTest, SilentDirectCommandDropsItsFailureAndSaysSo) {
  EXPECT_FALSE(runner_.Direct({"DROP TABLE ", "Fehlt"}, FailureClass::kSilent));
  EXPECT_TRUE(runner_.Direct("CREATE TABLE Danach (a int)", FailureClass::kSilent));
  EXPECT_EQ(ui_.Log(), "");
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX001: DROP TABLE Fehlt -> error 3701\n"
            "ZENTIX001: CREATE TABLE Danach (a int) -> rows 0\n");
}

// ---- create table if missing ------------------------------------------------------------------------------

const std::vector<Lines>& LsbStatements() {
  static const std::vector<Lines> statements = {
      {"CREATE TABLE [dbo].[tblLSB] (", "[Kennung] [varchar] (20) NOT NULL ,", "[Bezeichnung] [varchar] (60) NULL",
       ")"},
      {"ALTER TABLE [dbo].[tblLSB] WITH NOCHECK ADD", "CONSTRAINT [PK_tblLSB] PRIMARY KEY  CLUSTERED", "([Kennung])"},
      {"INSERT INTO tblLSB (Kennung, Bezeichnung) VALUES ('WLSB', 'Wuerttembergischer LSB')"}};
  return statements;
}

TEST_F(StatementRunnerTest, CreateTableIfMissingSendsEveryStatementWhenMissing) {
  EXPECT_TRUE(runner_.CreateTableIfMissing("tblLSB", LsbStatements()));
  EXPECT_FALSE(runner_.qrySel().active());
  EXPECT_EQ(ui_.Log(), "");
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX001: SELECT * FROM sysobjects WHERE name='tblLSB' -> rows 0\n"
            "ZENTIX001: BEGIN TRANSACTION -> rows 0\n"
            "ZENTIX001: CREATE TABLE [dbo].[tblLSB] (<CR><LF>[Kennung] [varchar] (20) NOT NULL ,<CR><LF>"
            "[Bezeichnung] [varchar] (60) NULL<CR><LF>)<CR><LF> -> rows 0\n"
            "ZENTIX001: ALTER TABLE [dbo].[tblLSB] WITH NOCHECK ADD<CR><LF>CONSTRAINT [PK_tblLSB] PRIMARY KEY  "
            "CLUSTERED<CR><LF>([Kennung])<CR><LF> -> rows 0\n"
            "ZENTIX001: INSERT INTO tblLSB (Kennung, Bezeichnung) VALUES ('WLSB', 'Wuerttembergischer LSB')<CR><LF>"
            " -> rows 1\n"
            "ZENTIX001: COMMIT TRANSACTION -> rows 0\n");

  server_.ClearTrace();
  EXPECT_FALSE(runner_.CreateTableIfMissing("tblLSB", LsbStatements()));
  EXPECT_FALSE(runner_.qrySel().active());
  EXPECT_EQ(server_.TraceLog(), "ZENTIX001: SELECT * FROM sysobjects WHERE name='tblLSB' -> rows 1\n");
}

TEST_F(StatementRunnerTest, CreateTableIfMissingSendsNothingWhenTheNameIsAViewOrAConstraint) {
  Setup("CREATE TABLE Basis (a int NOT NULL CONSTRAINT tblKey PRIMARY KEY)");
  Setup("CREATE VIEW tblLSB AS SELECT a FROM Basis");
  EXPECT_FALSE(runner_.CreateTableIfMissing("tblLSB", LsbStatements()));
  EXPECT_FALSE(runner_.CreateTableIfMissing("tblKey", {{"CREATE TABLE tblKey (a int)"}}));
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX001: SELECT * FROM sysobjects WHERE name='tblLSB' -> rows 1\n"
            "ZENTIX001: SELECT * FROM sysobjects WHERE name='tblKey' -> rows 1\n");
  EXPECT_EQ(ui_.Log(), "");
}

TEST_F(StatementRunnerTest, FailingCreateIsStillFollowedByKeyAndSeedEachWithItsOwnBox) {
  std::vector<Lines> statements = LsbStatements();
  statements[0] = {"CREATE TABLE [dbo].[tblLSB] (", "[Kennung] [varchr] (20) NOT NULL", ")"};
  EXPECT_TRUE(runner_.CreateTableIfMissing("tblLSB", statements));
  EXPECT_EQ(ui_.Log(),
            "box Warnung: Column, parameter, or variable #1: Cannot find data type varchr.\n"
            "box Warnung: Cannot find the object \"dbo.tblLSB\" because it does not exist or you do not have "
            "permissions.\n"
            "box Warnung: Invalid object name 'tblLSB'.\n");
  EXPECT_FALSE(runner_.qrySel().active());
  // Each failure is followed by the question whether the server rolled the table's transaction back; where it
  // did, a new one is begun for the rest (nothing before the failure succeeded, so nothing is repeated).
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX001: SELECT * FROM sysobjects WHERE name='tblLSB' -> rows 0\n"
            "ZENTIX001: BEGIN TRANSACTION -> rows 0\n"
            "ZENTIX001: CREATE TABLE [dbo].[tblLSB] (<CR><LF>[Kennung] [varchr] (20) NOT NULL<CR><LF>)<CR><LF>"
            " -> error 2715\n"
            "ZENTIX001: SELECT @@TRANCOUNT AS TranCount -> rows 1\n"
            "ZENTIX001: BEGIN TRANSACTION -> rows 0\n"
            "ZENTIX001: ALTER TABLE [dbo].[tblLSB] WITH NOCHECK ADD<CR><LF>CONSTRAINT [PK_tblLSB] PRIMARY KEY  "
            "CLUSTERED<CR><LF>([Kennung])<CR><LF> -> error 4902\n"
            "ZENTIX001: SELECT @@TRANCOUNT AS TranCount -> rows 1\n"
            "ZENTIX001: BEGIN TRANSACTION -> rows 0\n"
            "ZENTIX001: INSERT INTO tblLSB (Kennung, Bezeichnung) VALUES ('WLSB', 'Wuerttembergischer LSB')<CR><LF>"
            " -> error 208\n"
            "ZENTIX001: SELECT @@TRANCOUNT AS TranCount -> rows 1\n"
            "ZENTIX001: BEGIN TRANSACTION -> rows 0\n"
            "ZENTIX001: COMMIT TRANSACTION -> rows 0\n");
}

TEST_F(StatementRunnerTest, CreateTableIfMissingUsesTheClassItIsGiven) {
  EXPECT_TRUE(runner_.CreateTableIfMissing("tblX", {{"CREATE TABLE tblX (a intt)"}, {"INSERT INTO tblX VALUES (1)"}},
                                           FailureClass::kError));
  EXPECT_TRUE(runner_.CreateTableIfMissing("tblY", {{"CREATE TABLE tblY (a intt)"}}, FailureClass::kSilent));
  EXPECT_EQ(ui_.Log(),
            "box Fehler: Column, parameter, or variable #1: Cannot find data type intt.\n"
            "box Fehler: Invalid object name 'tblX'.\n");
}

// ---- a lost connection --------------------------------------------------------------------------------

TEST_F(StatementRunnerTest, LostConnectionFailsEveryPatternInItsOwnClass) {
  LoseConnection();
  const std::string lost = "4060: " + std::string(schema_test::kLostText);
  EXPECT_EQ(Failure([&] { runner_.Exists("tblLSB"); }), lost);
  EXPECT_EQ(Failure([&] { runner_.Probe("SELECT 1 AS a"); }), lost);
  EXPECT_EQ(Failure([&] { runner_.CreateTableIfMissing("tblLSB", LsbStatements()); }), lost);
  EXPECT_EQ(Failure([&] { runner_.Direct("DROP TABLE X", FailureClass::kUnguarded); }), lost);
  EXPECT_EQ(ui_.Log(), "");

  runner_.Direct("DROP TABLE X", FailureClass::kSilent);
  runner_.Batch({"DROP TABLE X"}, FailureClass::kSilent);
  runner_.Batch({"DROP TABLE X"}, FailureClass::kWarning);
  runner_.BatchText("DROP TABLE X", FailureClass::kError);
  EXPECT_EQ(ui_.Log(), "box Warnung: " + std::string(schema_test::kLostText) +
                           "\nbox Fehler: " + std::string(schema_test::kLostText) + "\n");
  EXPECT_FALSE(connection_.connected());
  EXPECT_EQ(server_.TraceLog(), "");  // nothing reached the server
}

}  // namespace
