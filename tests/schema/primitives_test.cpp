// The guarded primitives on a real client database: AddField, AddIndex and DropConstraint probe first, act
// only when needed and report through ColumnAdded and warning boxes. The engine's trace shows what was sent.
#include "schema/primitives.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runner_test_fixture.h"

namespace {

class PrimitivesTest : public schema_test::RunnerTest {
 protected:
  std::string current_catalog_ = "ZENTIX001";
  schema::Primitives primitives_{runner_, current_catalog_};
};

constexpr char kAdresseIban1Probe[] =
    "SELECT * FROM Information_Schema.Columns WHERE Table_Catalog='ZENTIX001' AND Table_Schema='dbo' AND"
    " Table_Name='Adresse' AND Column_Name='IBAN1'";

// ---- AddField -------------------------------------------------------------------------------------------

TEST_F(PrimitivesTest, AddFieldStatementHasTwoBlanksBeforeTheTypeAndAfterAnEmptySize) {
  EXPECT_EQ(schema::AddFieldText("Adresse", "IBAN1", "varchar", "(40)", "Null"),
            "ALTER TABLE dbo.Adresse ADD IBAN1  varchar (40) Null");
  EXPECT_EQ(schema::AddFieldText("Mandstam", "VereinUebUntgliedAbt", "smallint", "", "Null"),
            "ALTER TABLE dbo.Mandstam ADD VereinUebUntgliedAbt  smallint  Null");
  EXPECT_EQ(schema::ColumnProbeText("ZENTIX001", "Adresse", "IBAN1"), kAdresseIban1Probe);
}

TEST_F(PrimitivesTest, AnExistingColumnSendsNothingButTheProbe) {
  Setup("CREATE TABLE Adresse (AdrNr int NOT NULL, IBAN1 varchar (40) NULL)");
  primitives_.AddField("Adresse", "IBAN1", "varchar", "(40)", "Null");
  EXPECT_FALSE(primitives_.ColumnAdded());
  EXPECT_EQ(server_.TraceLog(), "ZENTIX001: " + std::string(kAdresseIban1Probe) + " -> rows 1\n");
  EXPECT_EQ(ui_.Log(), "cursor: wait\ncursor: default\n");
}

TEST_F(PrimitivesTest, AMissingColumnIsAdded) {
  Setup("CREATE TABLE Adresse (AdrNr int NOT NULL)");
  Setup("CREATE TABLE Mandstam (MandNr int NOT NULL)");
  primitives_.AddField("Adresse", "IBAN1", "varchar", "(40)", "Null");
  EXPECT_TRUE(primitives_.ColumnAdded());
  primitives_.AddField("Mandstam", "VereinUebUntgliedAbt", "smallint", "", "Null");
  EXPECT_TRUE(primitives_.ColumnAdded());
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX001: " + std::string(kAdresseIban1Probe) +
                " -> rows 0\n"
                "ZENTIX001: ALTER TABLE dbo.Adresse ADD IBAN1  varchar (40) Null -> rows 0\n"
                "ZENTIX001: SELECT * FROM Information_Schema.Columns WHERE Table_Catalog='ZENTIX001' AND"
                " Table_Schema='dbo' AND Table_Name='Mandstam' AND Column_Name='VereinUebUntgliedAbt' -> rows 0\n"
                "ZENTIX001: ALTER TABLE dbo.Mandstam ADD VereinUebUntgliedAbt  smallint  Null -> rows 0\n");
  EXPECT_EQ(Scalar("SELECT DATA_TYPE + ' ' + IS_NULLABLE FROM Information_Schema.Columns"
                   " WHERE TABLE_NAME='Adresse' AND COLUMN_NAME='IBAN1'"),
            "varchar YES");
  EXPECT_EQ(Scalar("SELECT DATA_TYPE FROM Information_Schema.Columns WHERE COLUMN_NAME='VereinUebUntgliedAbt'"),
            "smallint");
  EXPECT_EQ(ui_.Log(), "cursor: wait\ncursor: default\ncursor: wait\ncursor: default\n");
}

TEST_F(PrimitivesTest, AMissingTableMakesTheAdditionFailSilentlyButColumnAddedTrue) {
  primitives_.AddField("Fehlt", "IBAN1", "varchar", "(40)", "Null");
  EXPECT_TRUE(primitives_.ColumnAdded());
  const std::vector<db_test::TraceEntry> trace = server_.Trace();
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_EQ(trace[1].sql, "ALTER TABLE dbo.Fehlt ADD IBAN1  varchar (40) Null");
  EXPECT_NE(trace[1].error, 0);
  EXPECT_EQ(ui_.Log(), "cursor: wait\ncursor: default\n");
}

TEST_F(PrimitivesTest, ANotNullColumnOnATableWithRowsIsRejectedSilently) {
  Setup("CREATE TABLE Mandstam (MandNr int NOT NULL); INSERT INTO Mandstam VALUES (1)");
  primitives_.AddField("Mandstam", "Pflicht", "char", "(1)", "NOT NULL");
  EXPECT_TRUE(primitives_.ColumnAdded());
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Information_Schema.Columns WHERE COLUMN_NAME='Pflicht'"), "0");
  EXPECT_EQ(ui_.Log("box "), "");
}

TEST_F(PrimitivesTest, TableNamesThatDifferOnlyInCaseFindTheSameTable) {
  Setup("CREATE TABLE Mandstam (MandNr int NOT NULL)");
  primitives_.AddField("mandstam", "GlaeubigerId", "varchar", "(35)", "Null");
  EXPECT_TRUE(primitives_.ColumnAdded());
  primitives_.AddField("Mandstam", "GlaeubigerId", "varchar", "(35)", "Null");
  EXPECT_FALSE(primitives_.ColumnAdded());
  primitives_.AddField("MANDSTAM", "glaeubigerid", "varchar", "(35)", "Null");
  EXPECT_FALSE(primitives_.ColumnAdded());
  EXPECT_EQ(Scalar("SELECT TABLE_NAME + '.' + COLUMN_NAME FROM Information_Schema.Columns"
                   " WHERE COLUMN_NAME='GlaeubigerId'"),
            "Mandstam.GlaeubigerId");
}

TEST_F(PrimitivesTest, AColumnNameWithATrailingBlankMeetsTheColumnWithoutIt) {
  Setup("CREATE TABLE Interes (AdrNr int NOT NULL, Status varchar (50) NULL)");
  primitives_.AddField("Interes", "Status ", "varchar", "(50)", "Null");
  EXPECT_FALSE(primitives_.ColumnAdded());
  primitives_.AddField("Interes", "Eintritt ", "datetime", "", "Null");
  EXPECT_TRUE(primitives_.ColumnAdded());
  primitives_.AddField("Interes", "Eintritt ", "datetime", "", "Null");
  EXPECT_FALSE(primitives_.ColumnAdded());
  EXPECT_EQ(Scalar("SELECT '[' + COLUMN_NAME + ']' FROM Information_Schema.Columns WHERE ORDINAL_POSITION=3"),
            "[Eintritt]");
  EXPECT_EQ(server_.TracedSql().at(2), "ALTER TABLE dbo.Interes ADD Eintritt   datetime  Null");
}

TEST_F(PrimitivesTest, AnIdentityColumnNumbersTheExistingRows) {
  Setup("CREATE TABLE F5DAT (STEUERSCHL int NOT NULL); INSERT INTO F5DAT VALUES (1190), (1070), (0)");
  primitives_.AddField("F5DAT", "LfdNr", "INT", "IDENTITY (1,1)", "NOT NULL");
  EXPECT_TRUE(primitives_.ColumnAdded());
  EXPECT_EQ(server_.TracedSql().at(1), "ALTER TABLE dbo.F5DAT ADD LfdNr  INT IDENTITY (1,1) NOT NULL");
  Setup("INSERT INTO F5DAT (STEUERSCHL) VALUES (19)");
  EXPECT_EQ(Scalar("SELECT CAST(SUM(LfdNr) AS varchar) + '/' + CAST(MAX(LfdNr) AS varchar) FROM F5DAT"), "10/4");
  EXPECT_EQ(Scalar("SELECT LfdNr FROM F5DAT WHERE STEUERSCHL=19"), "4");
}

TEST_F(PrimitivesTest, TheSecondCallForTheSameColumnFindsIt) {
  Setup("CREATE TABLE F5Dat (STEUERSCHL int NOT NULL)");
  primitives_.AddField("F5Dat", "Klasse", "char", "(1)", "Null");
  EXPECT_TRUE(primitives_.ColumnAdded());
  primitives_.AddField("F5Dat", "Klasse", "char", "(1)", "Null");
  EXPECT_FALSE(primitives_.ColumnAdded());
  EXPECT_EQ(server_.Trace().size(), 3u);  // probe, ALTER, probe
}

TEST_F(PrimitivesTest, AFailingProbePassesTheFailureOnAndLeavesColumnAddedAlone) {
  primitives_.AddField("Fehlt", "IBAN1", "varchar", "(40)", "Null");
  ASSERT_TRUE(primitives_.ColumnAdded());
  LoseConnection();
  ui_.ClearEvents();
  EXPECT_EQ(Failure([&] { primitives_.AddField("Adresse", "IBAN1", "varchar", "(40)", "Null"); }),
            "4060: " + std::string(schema_test::kLostText));
  EXPECT_TRUE(primitives_.ColumnAdded());
  EXPECT_EQ(ui_.cursor(), ui::Cursor::kDefault);
  EXPECT_EQ(ui_.Log(), "cursor: wait\ncursor: default\n");
}

TEST_F(PrimitivesTest, ACatalogNameWithAQuoteAndABlankIsProbedLikeAnyOther) {
  server_.CreateDatabase("ZENTIX O'Brien");
  db_test::OpenOn(connection_, server_, "ZENTIX O'Brien");
  current_catalog_ = "ZENTIX O'Brien";
  server_.Admin("USE [ZENTIX O'Brien]");
  server_.Admin("CREATE TABLE Adresse (AdrNr int NOT NULL, IBAN1 varchar (40) NULL)");
  server_.ClearTrace();
  primitives_.AddField("Adresse", "IBAN1", "varchar", "(40)", "Null");
  EXPECT_FALSE(primitives_.ColumnAdded());
  primitives_.AddField("Adresse", "BIC1", "varchar", "(40)", "Null");
  EXPECT_TRUE(primitives_.ColumnAdded());
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX O'Brien: SELECT * FROM Information_Schema.Columns WHERE Table_Catalog='ZENTIX O''Brien' AND"
            " Table_Schema='dbo' AND Table_Name='Adresse' AND Column_Name='IBAN1' -> rows 1\n"
            "ZENTIX O'Brien: SELECT * FROM Information_Schema.Columns WHERE Table_Catalog='ZENTIX O''Brien' AND"
            " Table_Schema='dbo' AND Table_Name='Adresse' AND Column_Name='BIC1' -> rows 0\n"
            "ZENTIX O'Brien: ALTER TABLE dbo.Adresse ADD BIC1  varchar (40) Null -> rows 0\n");
}

TEST_F(PrimitivesTest, TheProbeLooksOnlyAtTheCurrentCatalog) {
  Setup("CREATE TABLE Adresse (AdrNr int NOT NULL, IBAN1 varchar (40) NULL)");
  current_catalog_ = "ZENTIX002";  // the switch aimed elsewhere than where the connection stands
  primitives_.AddField("Adresse", "IBAN1", "varchar", "(40)", "Null");
  EXPECT_TRUE(primitives_.ColumnAdded());  // not found there, so the addition was attempted (and failed)
  EXPECT_EQ(ui_.Log("box "), "");
}

// ---- AddIndex -------------------------------------------------------------------------------------------

TEST_F(PrimitivesTest, AddIndexStatementSkipsEachEmptyColumnOnItsOwn) {
  EXPECT_EQ(schema::AddIndexText("F5BEW4", "iSuchText", "BUCHJAHR", "InterneNr", "SUCHTEXT", ""),
            "CREATE NONCLUSTERED INDEX iSuchText ON F5BEW4 (BUCHJAHR, InterneNr, SUCHTEXT)");
  EXPECT_EQ(schema::AddIndexText("F5BEW4", "iLfdNr", "LfdNr", "", "", ""),
            "CREATE NONCLUSTERED INDEX iLfdNr ON F5BEW4 (LfdNr)");
  EXPECT_EQ(schema::AddIndexText("F5BEW4", "i", "BUCHJAHR", "", "SUCHTEXT", ""),
            "CREATE NONCLUSTERED INDEX i ON F5BEW4 (BUCHJAHR, SUCHTEXT)");
  EXPECT_EQ(schema::AddIndexText("F5BEW4", "i", "BUCHJAHR", "", "", "LfdNr"),
            "CREATE NONCLUSTERED INDEX i ON F5BEW4 (BUCHJAHR, LfdNr)");
  EXPECT_EQ(schema::AddIndexText("F5BEW4", "i", "", "", "", ""), "CREATE NONCLUSTERED INDEX i ON F5BEW4 ()");
}

class AddIndexTest : public PrimitivesTest {
 protected:
  AddIndexTest() {
    Setup(
        "CREATE TABLE F5BEW4 (BUCHJAHR int NOT NULL, InterneNr int NOT NULL, LfdNr int NULL, Parent int NULL,"
        " SUCHTEXT varchar (50) NULL)");
  }
};

TEST_F(AddIndexTest, AMissingIndexIsCreatedOnItsColumns) {
  primitives_.AddIndex("F5BEW4", "iSuchText", "BUCHJAHR", "InterneNr", "SUCHTEXT");
  primitives_.AddIndex("F5BEW4", "iLfdNr", "LfdNr");
  EXPECT_EQ(server_.TraceLog(),
            "ZENTIX001: SELECT * FROM SysIndexes WHERE Name='iSuchText' -> rows 0\n"
            "ZENTIX001: CREATE NONCLUSTERED INDEX iSuchText ON F5BEW4 (BUCHJAHR, InterneNr, SUCHTEXT) -> rows 0\n"
            "ZENTIX001: SELECT * FROM SysIndexes WHERE Name='iLfdNr' -> rows 0\n"
            "ZENTIX001: CREATE NONCLUSTERED INDEX iLfdNr ON F5BEW4 (LfdNr) -> rows 0\n");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM SysIndexes WHERE Name IN ('iSuchText', 'iLfdNr')"), "2");
  EXPECT_FALSE(runner_.qrySel().active());  // closed before the creation
  EXPECT_EQ(ui_.Log(), "cursor: wait\ncursor: default\ncursor: wait\ncursor: default\n");
}

TEST_F(AddIndexTest, AnEmptySecondColumnDoesNotHideTheThird) {
  primitives_.AddIndex("F5BEW4", "iJahrText", "BUCHJAHR", "", "SUCHTEXT");
  EXPECT_EQ(server_.TracedSql().at(1), "CREATE NONCLUSTERED INDEX iJahrText ON F5BEW4 (BUCHJAHR, SUCHTEXT)");
  EXPECT_EQ(ui_.Log("box "), "");
}

TEST_F(AddIndexTest, AnIndexOfThatNameOnAnotherTableCountsAsPresent) {
  Setup("CREATE TABLE tblDSA7 (AdrNr int NULL); CREATE INDEX iParent ON tblDSA7 (AdrNr)");
  primitives_.AddIndex("F5BEW4", "iParent", "Parent");
  EXPECT_EQ(server_.TraceLog(), "ZENTIX001: SELECT * FROM SysIndexes WHERE Name='iParent' -> rows 1\n");
  EXPECT_TRUE(runner_.qrySel().active());  // left open on the probe's rows
  EXPECT_EQ(ui_.Log(), "cursor: wait\ncursor: default\n");
}

TEST_F(AddIndexTest, AMissingTableShowsTheServersTextAndLeavesColumnAddedAlone) {
  primitives_.AddField("F5BEW4", "Neu", "int", "", "Null");
  ASSERT_TRUE(primitives_.ColumnAdded());
  ui_.ClearEvents();
  primitives_.AddIndex("Fehlt", "iFehlt", "LfdNr");
  EXPECT_TRUE(primitives_.ColumnAdded());
  primitives_.AddField("F5BEW4", "Neu", "int", "", "Null");
  ASSERT_FALSE(primitives_.ColumnAdded());
  primitives_.AddIndex("F5BEW4", "iFehltSpalte", "Fehlt");
  EXPECT_FALSE(primitives_.ColumnAdded());
  EXPECT_EQ(ui_.Log("box "),
            "box Warnung: Cannot find the object \"Fehlt\" because it does not exist or you do not have "
            "permissions.\n"
            "box Warnung: Column name 'Fehlt' does not exist in the target table or view.\n");
  EXPECT_EQ(ui_.cursor(), ui::Cursor::kDefault);
}

TEST_F(AddIndexTest, AFailingProbePassesTheFailureOn) {
  LoseConnection();
  EXPECT_EQ(Failure([&] { primitives_.AddIndex("F5BEW4", "iLfdNr", "LfdNr"); }),
            "4060: " + std::string(schema_test::kLostText));
  EXPECT_EQ(ui_.Log(), "cursor: wait\ncursor: default\n");
}

// ---- DropConstraint -------------------------------------------------------------------------------------

class DropConstraintTest : public PrimitivesTest {
 protected:
  DropConstraintTest() {
    Setup("CREATE TABLE Adresse (AdrNr int NOT NULL CONSTRAINT PK_Adresse PRIMARY KEY)");
    Setup(
        "CREATE TABLE AdrFunktion (AdrNr int NOT NULL, Funktion varchar (80) NOT NULL,"
        " CONSTRAINT FK_AdrFunktion_Adresse FOREIGN KEY (AdrNr) REFERENCES Adresse (AdrNr))");
  }
};

TEST_F(DropConstraintTest, AnExistingConstraintIsRemovedByATwoLineBatch) {
  primitives_.DropConstraint("AdrFunktion", "FK_AdrFunktion_Adresse");
  EXPECT_TRUE(primitives_.ColumnAdded());
  EXPECT_EQ(
      server_.TraceLog(),
      "ZENTIX001: SELECT * FROM sysobjects WHERE NAME='FK_AdrFunktion_Adresse' -> rows 1\n"
      "ZENTIX001: ALTER TABLE dbo.AdrFunktion<CR><LF> DROP CONSTRAINT FK_AdrFunktion_Adresse<CR><LF> -> rows 0\n");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM sysobjects WHERE name='FK_AdrFunktion_Adresse'"), "0");
  EXPECT_EQ(ui_.Log(), "cursor: wait\ncursor: default\n");
}

TEST_F(DropConstraintTest, TheSecondCallFindsNothingAndSaysSoQuietly) {
  primitives_.DropConstraint("AdrFunktion", "FK_AdrFunktion_Adresse");
  ASSERT_TRUE(primitives_.ColumnAdded());
  server_.ClearTrace();
  ui_.ClearEvents();
  primitives_.DropConstraint("AdrFunktion", "FK_AdrFunktion_Adresse");
  EXPECT_FALSE(primitives_.ColumnAdded());
  EXPECT_EQ(server_.TraceLog(), "ZENTIX001: SELECT * FROM sysobjects WHERE NAME='FK_AdrFunktion_Adresse' -> rows 0\n");
  EXPECT_EQ(ui_.Log(), "cursor: wait\ncursor: default\n");
}

TEST_F(DropConstraintTest, AConstraintOfAnotherTableIsRejectedWithAWarning) {
  primitives_.DropConstraint("Adresse", "FK_AdrFunktion_Adresse");
  EXPECT_TRUE(primitives_.ColumnAdded());
  EXPECT_EQ(ui_.Log("box "), "box Warnung: 'FK_AdrFunktion_Adresse' is not a constraint.\n");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM sysobjects WHERE name='FK_AdrFunktion_Adresse'"), "1");
  EXPECT_EQ(ui_.cursor(), ui::Cursor::kDefault);
}

TEST_F(DropConstraintTest, AFailingProbePassesTheFailureOnAndLeavesColumnAddedAlone) {
  primitives_.DropConstraint("AdrFunktion", "FK_Fehlt");
  ASSERT_FALSE(primitives_.ColumnAdded());
  LoseConnection();
  ui_.ClearEvents();
  EXPECT_EQ(Failure([&] { primitives_.DropConstraint("AdrFunktion", "FK_AdrFunktion_Adresse"); }),
            "4060: " + std::string(schema_test::kLostText));
  EXPECT_FALSE(primitives_.ColumnAdded());
  EXPECT_EQ(ui_.Log(), "cursor: wait\ncursor: default\n");
}

}  // namespace
