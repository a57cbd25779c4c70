// Transaction groups on a real client database: the statements of a group take effect together or not at
// all, a guarded failure inside a group is shown as without the group and the rest still commits (also when
// the server rolled the transaction back by itself), and a group cut off by a failure or a killed process
// leaves nothing that the next run's probe would take for done.
#include "schema/transaction_group.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "runner_test_fixture.h"
#include "schema/primitives.h"

namespace {

using schema::FailureClass;
using schema::TransactionGroup;

class TransactionGroupTest : public schema_test::RunnerTest {
 protected:
  TransactionGroupTest() { Setup("CREATE TABLE Pass (Nr int NOT NULL, Name varchar (20) NULL)"); }

  // The one-time conversion the tests run: the marker column Pass.Flag and, in the run that adds it, the flag
  // set for every row, then `then` (a further follow-up, which may fail).
  void Conversion(const std::string& then = "") {
    TransactionGroup conversion(runner_);
    primitives_.AddField("Pass", "Flag", "char", "(1)", "Null");
    if (primitives_.ColumnAdded()) {
      runner_.Direct("UPDATE Pass SET Flag='N'", FailureClass::kUnguarded);
      if (!then.empty()) runner_.Direct(then, FailureClass::kUnguarded);
    }
    conversion.Commit();
  }

  std::string FlagColumns() {
    return Scalar("SELECT COUNT(*) FROM Information_Schema.Columns WHERE TABLE_NAME='Pass' AND COLUMN_NAME='Flag'");
  }

  std::string current_catalog_ = "ZENTIX001";
  schema::Primitives primitives_{runner_, current_catalog_};
};

TEST_F(TransactionGroupTest, ConversionAndMarkerCommitTogetherBetweenBeginAndCommit) {
  Setup("INSERT INTO Pass VALUES (1, 'a')");
  server_.ClearTrace();
  Conversion();
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX001: SELECT * FROM Information_Schema.Columns WHERE Table_Catalog='ZENTIX001' AND "
            "Table_Schema='dbo' AND Table_Name='Pass' AND Column_Name='Flag' -> rows 0\n"
            "ZENTIX001: BEGIN TRANSACTION -> rows 0\n"
            "ZENTIX001: ALTER TABLE dbo.Pass ADD Flag  char (1) Null -> rows 0\n"
            "ZENTIX001: UPDATE Pass SET Flag='N' -> rows 1\n"
            "ZENTIX001: COMMIT TRANSACTION -> rows 0\n");
  EXPECT_EQ(Scalar("SELECT Flag FROM Pass"), "N");
  EXPECT_EQ(ui_.Log("box "), "");
}

TEST_F(TransactionGroupTest, GroupWhoseProbeFindsItsObjectSendsNoTransactionStatements) {
  Setup("ALTER TABLE Pass ADD Flag char (1) NULL");
  server_.ClearTrace();
  Conversion();
  EXPECT_EQ(server_.Trace().size(), 1u);  // the probe alone
  EXPECT_FALSE(runner_.CreateTableIfMissing("Pass", {{"CREATE TABLE Pass (a int)"}}));
  EXPECT_EQ(server_.Trace().size(), 2u);
}

TEST_F(TransactionGroupTest, UnguardedFailureInTheFollowUpTakesTheMarkerWithItAndTheNextRunRetries) {
  Setup("INSERT INTO Pass VALUES (1, 'a')");
  EXPECT_EQ(Failure([&] { Conversion("UPDATE Pass SET Nr=NULL"); }).substr(0, 4), "515:");
  EXPECT_EQ(FlagColumns(), "0");
  EXPECT_EQ(Scalar("SELECT @@TRANCOUNT"), "0");

  // The next run finds the marker missing and sends the whole conversion again.
  Conversion();
  EXPECT_EQ(FlagColumns(), "1");
  EXPECT_EQ(Scalar("SELECT Flag FROM Pass"), "N");
}

TEST_F(TransactionGroupTest, WarningThatKeepsTheTransactionIsShownAndTheGroupCommits) {
  Setup("CREATE TABLE Liste (Nr int NOT NULL CONSTRAINT PK_Liste PRIMARY KEY)");
  server_.ClearTrace();
  {
    TransactionGroup group(runner_);
    runner_.Batch({"INSERT INTO Liste VALUES (1)"}, FailureClass::kWarning);
    runner_.Batch({"INSERT INTO Liste VALUES (1)"}, FailureClass::kWarning);  // duplicate key: the statement ends
    runner_.Batch({"INSERT INTO Liste VALUES (2)"}, FailureClass::kWarning);
    group.Commit();
  }
  EXPECT_EQ(ui_.Log("box "),
            "box Warnung: Violation of PRIMARY KEY constraint 'PK_Liste'. Cannot insert duplicate key in object "
            "'dbo.Liste'. The duplicate key value is (1).\n");
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX001: BEGIN TRANSACTION -> rows 0\n"
            "ZENTIX001: INSERT INTO Liste VALUES (1)<CR><LF> -> rows 1\n"
            "ZENTIX001: INSERT INTO Liste VALUES (1)<CR><LF> -> error 2627\n"
            "ZENTIX001: SELECT @@TRANCOUNT AS TranCount -> rows 1\n"
            "ZENTIX001: INSERT INTO Liste VALUES (2)<CR><LF> -> rows 1\n"
            "ZENTIX001: COMMIT TRANSACTION -> rows 0\n");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Liste"), "2");
}

// A failing foreign key is one of the DDL failures after which the server rolls the whole transaction back:
// the group opens a new one and repeats the create and the key, so that the seed row and everything after the
// box find the table as they would without the group.
TEST_F(TransactionGroupTest, WarningThatRollsTheTransactionBackRepeatsTheGroupSoFarAndGoesOn) {
  server_.ClearTrace();
  EXPECT_TRUE(runner_.CreateTableIfMissing(
      "Kasse", {{"CREATE TABLE Kasse (Nr int NOT NULL)"},
                {"ALTER TABLE Kasse ADD CONSTRAINT PK_Kasse PRIMARY KEY (Nr)"},
                {"ALTER TABLE Kasse ADD CONSTRAINT FK_Kasse_X FOREIGN KEY (Nr)", "REFERENCES Fehlt (Nr)"},
                {"INSERT INTO Kasse VALUES (7)"}}));
  EXPECT_EQ(ui_.Log("box "), "box Warnung: Foreign key 'FK_Kasse_X' references invalid table 'Fehlt'.\n");
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX001: SELECT * FROM sysobjects WHERE name='Kasse' -> rows 0\n"
            "ZENTIX001: BEGIN TRANSACTION -> rows 0\n"
            "ZENTIX001: CREATE TABLE Kasse (Nr int NOT NULL)<CR><LF> -> rows 0\n"
            "ZENTIX001: ALTER TABLE Kasse ADD CONSTRAINT PK_Kasse PRIMARY KEY (Nr)<CR><LF> -> rows 0\n"
            "ZENTIX001: ALTER TABLE Kasse ADD CONSTRAINT FK_Kasse_X FOREIGN KEY (Nr)<CR><LF>REFERENCES Fehlt "
            "(Nr)<CR><LF> -> error 1767\n"
            "ZENTIX001: SELECT @@TRANCOUNT AS TranCount -> rows 1\n"
            "ZENTIX001: BEGIN TRANSACTION -> rows 0\n"
            "ZENTIX001: CREATE TABLE Kasse (Nr int NOT NULL)<CR><LF> -> rows 0\n"
            "ZENTIX001: ALTER TABLE Kasse ADD CONSTRAINT PK_Kasse PRIMARY KEY (Nr)<CR><LF> -> rows 0\n"
            "ZENTIX001: INSERT INTO Kasse VALUES (7)<CR><LF> -> rows 1\n"
            "ZENTIX001: COMMIT TRANSACTION -> rows 0\n");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM sysobjects WHERE name IN ('Kasse', 'PK_Kasse')"), "2");
  EXPECT_EQ(Scalar("SELECT Nr FROM Kasse"), "7");
}

TEST_F(TransactionGroupTest, GroupOpenedInsideAnotherJoinsIt) {
  Setup("INSERT INTO Pass VALUES (1, 'a')");
  server_.ClearTrace();
  EXPECT_EQ(Failure([&] {
              TransactionGroup outer(runner_);
              runner_.CreateTableIfMissing("Neu", {{"CREATE TABLE Neu (a int)"}});  // joins: no COMMIT of its own
              runner_.Direct("UPDATE Pass SET Nr=NULL", FailureClass::kUnguarded);
              outer.Commit();
            }).substr(0, 4),
            "515:");
  EXPECT_EQ(server_.TracedSql().back(), "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM sysobjects WHERE name='Neu'"), "0");
}

TEST_F(TransactionGroupTest, GroupOnALostConnectionLeavesTheRollbackToTheServer) {
  server_.ClearTrace();
  {
    TransactionGroup group(runner_);
    runner_.Batch({"UPDATE Pass SET Name='x'"}, FailureClass::kWarning);
    connection_.Close();  // the session and its transaction are gone
  }
  EXPECT_EQ(server_.TracedSql().back(), "UPDATE Pass SET Name='x'\r\n");
  EXPECT_FALSE(connection_.connected());
}

// The run is killed (SIGKILL) right after the marker column was added: the next run finds no marker and
// converts, as if the killed run had never started the step.
TEST_F(TransactionGroupTest, KillBetweenMarkerAndFollowUpLeavesNoMarker) {
  Setup("INSERT INTO Pass VALUES (1, 'a')");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    db::Connection connection;
    db_test::OpenOn(connection, server_, "ZENTIX001");
    ui::RecordingUi ui;
    schema::StatementRunner runner(connection, ui);
    schema::Primitives primitives(runner, current_catalog_);
    TransactionGroup conversion(runner);
    primitives.AddField("Pass", "Flag", "char", "(1)", "Null");
    kill(getpid(), SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(FlagColumns(), "0");

  Conversion();
  EXPECT_EQ(Scalar("SELECT Flag FROM Pass"), "N");
}

}  // namespace
