// Stage A: club flags, member bank fields and bookkeeping keys.
//
// The first stage of the catalogue. Its one-time conversion of the tax-key table hangs on the column
// F5Dat.Klasse: the key rebuild and the code conversion run only in the pass that adds that column. The
// profit-and-loss keys are reseeded whenever their last row ('VII') is missing. Each table created if
// missing, the conversion and the seeding take effect as a whole or not at all (schema::TransactionGroup), so a
// pass cut off in the middle of one leaves nothing that the next pass's probe would take for done. Names and statement
// texts are sent exactly as the client schema spells them (mixed case, trailing blanks, double blanks): the server's
// case-insensitive collation and its trimming of trailing blanks in names make them meet the existing objects.
#include <array>
#include <string_view>

#include "stages.h"

namespace upgrade {
namespace {

using schema::FailureClass;

// The three IBAN, three BIC and three further area-code fields that members have in both address tables.
void AddBankAndPhoneFields(const Stage& stage, std::string_view table) {
  for (std::string_view column : {"IBAN1", "IBAN2", "IBAN3", "BIC1", "BIC2", "BIC3"}) {
    stage.primitives.AddField(table, column, "varchar", "(40)", "Null");
  }
  for (std::string_view column : {"Vorwahl2", "Vorwahl3", "Vorwahl4"}) {
    stage.primitives.AddField(table, column, "varchar", "(10)", "Null");
  }
}

// Old four-digit tax codes become the plain percentage: 1190 -> 19, 1170 -> 17, 1070 -> 7, 1160 -> 16.
void ConvertF5DatTaxKeys(const Stage& stage) {
  stage.runner.Direct("UPDATE F5Dat SET STEUERSCHL=19 WHERE STEUERSCHL=1190", FailureClass::kUnguarded);
  stage.runner.Direct("UPDATE F5Dat SET STEUERSCHL=17 WHERE STEUERSCHL=1170", FailureClass::kUnguarded);
  stage.runner.Direct("UPDATE F5Dat SET STEUERSCHL=7 WHERE STEUERSCHL=1070", FailureClass::kUnguarded);
  stage.runner.Direct("UPDATE F5Dat SET STEUERSCHL=16 WHERE STEUERSCHL=1160", FailureClass::kUnguarded);
}

void ConvertF5KontTaxKeys(const Stage& stage) {
  stage.runner.Direct("UPDATE F5Kont SET STSCHL=19 WHERE STSCHL=1190", FailureClass::kUnguarded);
  stage.runner.Direct("UPDATE F5Kont SET STSCHL=17 WHERE STSCHL=1170", FailureClass::kUnguarded);
  stage.runner.Direct("UPDATE F5Kont SET STSCHL=7 WHERE STSCHL=1070", FailureClass::kUnguarded);
  stage.runner.Direct("UPDATE F5Kont SET STSCHL=16 WHERE STSCHL=1160", FailureClass::kUnguarded);
}

// The thirteen profit-and-loss keys, each as its values line. ('VII','A') comes last: the probe of A19
// looks for it, so a seeding cut short is repeated in full.
constexpr std::array<std::string_view, 13> kGuVKennzValues = {
    "VALUES ('I','A','Einnahmen')",
    "VALUES ('I','B','Ausgaben')",
    "VALUES ('II','A','Ideeller Bereich')",
    "VALUES ('II','B','Sonstige wirtschaftliche Geschäftsbetriebe')",
    "VALUES ('III','A','Einnahmen')",
    "VALUES ('III','B','Ausgaben')",
    "VALUES ('IV','A','Zweckbetriebe Sport (umsatzsteuerpflichtig)')",
    "VALUES ('IV','B','Zweckbetriebe Sport (umsatzsteuerfrei)')",
    "VALUES ('V','A','Sonstige Zweckbetriebe (umsatzsteuerpflichtig)')",
    "VALUES ('V','B','Sonstige Zweckbetriebe (umsatzsteuerfrei)')",
    "VALUES ('VI','A','Geschäftsbetriebe Sport (umsatzsteuerpflichtig)')",
    "VALUES ('VI','B','Geschäftsbetriebe Nebentätigkeiten Sport')",
    "VALUES ('VII','A','Sonstige Geschäftsbetriebe')",
};

// Cost-centre plan (K) and actual (E) values per month; February and March keep their historic spelling.
constexpr std::array<std::string_view, 24> kF6KostMonthColumns = {
    "JanuarK",    "FebrurarK", "MarzK",     "AprilK",    "MaiK",       "JuniK",     "JuliK",     "AugustK",
    "SeptemberK", "OktoberK",  "NovemberK", "DezemberK", "JanuarE",    "FebrurarE", "MarzE",     "AprilE",
    "MaiE",       "JuniE",     "JuliE",     "AugustE",   "SeptemberE", "OktoberE",  "NovemberE", "DezemberE",
};

}  // namespace

void RunStageA(const Stage& stage) {
  schema::StatementRunner& runner = stage.runner;
  schema::Primitives& primitives = stage.primitives;

  // A1: club master data: a small-integer setting.
  stage.Progress();
  primitives.AddField("Mandstam", "VereinUebUntgliedAbt", "smallint", "", "Null");

  // A2 to A5: yes/no settings of the club master data.
  stage.Progress();
  primitives.AddField("Mandstam", "Mitgliederverwaltung", "char", "(1)", "Null");
  stage.Progress();
  primitives.AddField("Mandstam", "Beitragseinzug", "char", "(1)", "Null");
  stage.Progress();
  primitives.AddField("Mandstam", "Finanzbuchaltung", "char", "(1)", "Null");
  stage.Progress();
  primitives.AddField("Mandstam", "FinanzbuchaltungMitKoSt", "char", "(1)", "Null");

  // A6: the club's VAT liability and its kind.
  stage.Progress();
  primitives.AddField("Mandstam", "VereinUMStPflichtig", "char", "(1)", "Null");
  primitives.AddField("Mandstam", "Vereinsart", "char", "(1)", "Null");

  // A7: interest groups get a number and their federation; members get bank and phone fields; interest
  // memberships get entry, exit and status (the names end in a blank the server drops).
  stage.Progress();
  primitives.AddField("inter", "Nr", "Int", "", "Null");
  AddBankAndPhoneFields(stage, "Adresse");
  primitives.AddField("Inter", "Landesverband", "varchar", "(30)", "Null");
  primitives.AddField("Inter", "VerbandNr", "integer", "", "Null");
  primitives.AddField("Interes", "Eintritt ", "datetime", "", "Null");
  primitives.AddField("Interes", "Austritt ", "datetime", "", "Null");
  primitives.AddField("Interes", "Status ", "varchar", "(50)", "Null");

  // A8: the same bank and phone fields for the second address table; accounts that collect taxes.
  stage.Progress();
  AddBankAndPhoneFields(stage, "HyAdresse");
  primitives.AddField("F5Kont", "Steuersammelkonto", "varchar", "(1)", "Null");

  // A9, A10: cost type and budget of a cost centre.
  stage.Progress();
  primitives.AddField("F6KOST", "Kostenart", "varchar", "(10)", "Null");
  stage.Progress();
  primitives.AddField("F6KOST", "Etat", "numeric", "(18,8)", "Null");

  // A11: several functions per member, seeded from the single function each member had so far (an empty
  // function is copied too).
  stage.Progress();
  runner.CreateTableIfMissing(
      "AdrFunktion",
      {
          {"CREATE TABLE dbo.AdrFunktion (", "AdrNr integer NOT NULL,", "Funktion Varchar(80) NOT NULL,",
           "Nr integer NULL,", "DatumVon datetime NULL,", "DatumBis datetime NULL)"},
          {"ALTER TABLE [dbo].[AdrFunktion]  ADD", "CONSTRAINT [PK_AdrFunktion] PRIMARY KEY CLUSTERED",
           "([AdrNr],[Funktion]) ON [PRIMARY]"},
          {"ALTER TABLE [dbo].[AdrFunktion]  WITH CHECK ADD  CONSTRAINT [FK_AdrFunktion_Adresse] FOREIGN "
           "KEY([AdrNr])",
           "REFERENCES [dbo].[Adresse] ([AdrNr])"},
          {"INSERT INTO AdrFunktion (AdrNr, Funktion, Nr)",
           "SELECT AdrNr, Funktion, 1 FROM Adresse WHERE (Funktion IS NOT NULL OR Funktion<>'')"},
      });

  // A12, A13: number and date of an interest membership.
  stage.Progress();
  primitives.AddField("Interes1", "Nr", "integer", "", "Null");
  stage.Progress();
  primitives.AddField("Interes1", "Datum", "datetime", "", "Null");

  // A14: the tax-key table gets a class and a server-numbered running number, its key is rebuilt on tax key
  // and running number, and its old codes are converted. Only in the pass that adds Klasse, and together with
  // it: when an unguarded statement fails or the run is cut off, Klasse goes too, and the next pass retries.
  stage.Progress();
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("F5Dat", "Klasse", "char", "(1)", "Null");
    if (primitives.ColumnAdded()) {
      primitives.AddField("F5DAT", "LfdNr", "INT", "IDENTITY (1,1)", "NOT NULL");
      runner.Direct("Alter Table F5DAT Drop Constraint PK_F5DAT", FailureClass::kUnguarded);
      runner.Direct({"ALTER TABLE [dbo].[F5DAT] WITH NOCHECK ADD ", " CONSTRAINT [PK_F5DAT] PRIMARY KEY  CLUSTERED ",
                     "([STEUERSCHL],[LfdNr])  ON [PRIMARY] "},
                    FailureClass::kUnguarded);
      ConvertF5DatTaxKeys(stage);
    }
    conversion.Commit();
  }

  // A15: old codes of the chart of accounts, on every pass; once none is left the updates change nothing.
  ConvertF5KontTaxKeys(stage);

  // A16: a parent column for the bookkeeping table.
  primitives.AddField("F5BEW4", "Parent", "int", "", "Null");

  // A17: numbered detail lines of the key figures.
  runner.CreateTableIfMissing(
      "F5kennzD", {
                      {"CREATE TABLE dbo.F5kennzD (", "BILANZ_GUV varchar (6) NOT NULL,",
                       "KENNZAHLH varchar (4) NOT NULL,", "Nr int NOT NULL,", "BEZEICHG varchar (100) NULL)"},
                      {"ALTER TABLE [dbo].[F5kennzD]  ADD", "CONSTRAINT [PK_F5kennzD] PRIMARY KEY CLUSTERED",
                       "([BILANZ_GUV],[KENNZAHLH],[Nr]) ON [PRIMARY]"},
                      {"ALTER TABLE [dbo].[F5kennzD]  WITH CHECK ADD  CONSTRAINT [FK_F5kennzD_F5kennz] FOREIGN "
                       "KEY([BILANZ_GUV],[KENNZAHLH])",
                       "REFERENCES [dbo].[F5kennz] ([BILANZ_GUV],[KENNZAHLH])"},
                  });

  // A18: the profit-and-loss keys (Roman area number and letter).
  runner.CreateTableIfMissing(
      "GuVKennz", {
                      {"CREATE TABLE dbo.GuVKennz (", "RimNr varchar (4) NOT NULL,", "Kennz Varchar (1) NOT NULL,",
                       "Bezeichnung varchar (50) NOT NULL)"},
                      {"ALTER TABLE [dbo].[GuVKennz]  ADD", "CONSTRAINT [PK_GuVKennz] PRIMARY KEY CLUSTERED",
                       "([RimNr],[Kennz]) ON [PRIMARY]"},
                  });

  // A19: the keys are seeded afresh until the last of them is there, all of them or none.
  {
    schema::TransactionGroup seeding(runner);
    if (runner.Probe("SELECT * FROM GuVKennz WHERE RimNr='VII'").record_count() == 0) {
      runner.Batch({"DELETE FROM  dbo.GuVKennz"}, FailureClass::kWarning);
      for (std::string_view values : kGuVKennzValues) {
        runner.Batch({"INSERT INTO GuVKennz (RimNr, Kennz, Bezeichnung)", std::string(values)}, FailureClass::kWarning);
      }
    }
    seeding.Commit();
  }

  // A20: numbered detail lines of the profit-and-loss keys, updated and deleted with their key.
  stage.Progress();
  runner.CreateTableIfMissing(
      "GuVKennzD", {
                       {"CREATE TABLE dbo.GuVKennzD (", "RimNr varchar (4) NOT NULL,", "Kennz Varchar (1) NOT NULL,",
                        "Nr int NOT NULL,", "Bezeichnung varchar (50) NOT NULL)"},
                       {"ALTER TABLE [dbo].[GuVKennzD]  ADD", "CONSTRAINT [PK_GuVKennzD] PRIMARY KEY CLUSTERED",
                        "([Nr], [RimNr], [Kennz]) ON [PRIMARY]"},
                       {"ALTER TABLE [dbo].[GuVKennzD]  WITH CHECK ADD  CONSTRAINT [FK_GuVKennzD_GuVKennz] FOREIGN "
                        "KEY([RimNr],[Kennz])",
                        "REFERENCES [dbo].[GuVKennz] ([RimNr],[Kennz]) ON UPDATE CASCADE ON DELETE CASCADE"},
                   });

  // A21: the KennzEUR key of the chart of accounts.
  stage.Progress();
  primitives.AddField("F5Kont", "KennzEUR", "varchar", "(7)", "Null");

  // A22: monthly plan and actual values of a cost centre; one progress step per month but the first.
  bool first_month = true;
  for (std::string_view column : kF6KostMonthColumns) {
    if (!first_month) stage.Progress();
    first_month = false;
    primitives.AddField("F6KOST", column, "numeric", "(19,8)", "Null");
  }

  // A23: two progress steps close the stage.
  stage.Progress();
  stage.Progress();
}

}  // namespace upgrade
