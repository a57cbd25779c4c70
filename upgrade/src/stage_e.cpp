// Stage E: federation reporting and SEPA direct debit.
//
// The tables of the DSA reporting scheme are created (the federation list seeded from MemoDSAFach in the run
// that creates it), fee type names are refreshed on contracts and receivables, the SEPA direct-debit schema is
// completed (mandate tables, pre-notification, the alternative account holder, mandate references, mandate data
// on receivables, debits and invoices, return reasons, lead days) and the missing mandate records are created.
// A few last columns, the removal of the function table's foreign key and the wider creditor identifier close
// the catalogue. Every direct command here is unguarded: a rejected one ends the catalogue for the database.
// The stage has no progress step.
#include <string>
#include <string_view>

#include "stages.h"
#include "table_statements.h"
#include "upgrade/mandates.h"

namespace upgrade {
namespace {

using schema::FailureClass;

void CreateDsaCardData(const Stage& stage) {
  // Two column lines carry two blanks before NULL, as the application has always sent them.
  stage.runner.CreateTableIfMissing(
      "tblDSA7", {CreateTableLinesAfter("CREATE TABLE tblDSA7 (", {{"[LfdNr]", "[int] IDENTITY(1,1)", "NOT NULL"},
                                                                   {"MitglNr", "varchar (15)", "NULL"},
                                                                   {"DSAKennziffer", "varchar (20)", " NULL"},
                                                                   {"DSAMitglNr", "varchar (10)", " NULL"},
                                                                   {"Ausweisnummer", "varchar (20)", "NULL"},
                                                                   {"Gueltigkeitsdatum", "datetime", "NULL"},
                                                                   {"Anrede", "varchar (20)", "NULL"},
                                                                   {"Anredetitel", "varchar (60)", "NULL"},
                                                                   {"Vorname", "varchar (30)", "NULL"},
                                                                   {"Nachname", "varchar (40)", "NULL"},
                                                                   {"Geburtsdatum", "datetime", "NULL"},
                                                                   {"Strasse", "varchar (40)", "NULL"},
                                                                   {"Hausnummer", "varchar (10)", "NULL"},
                                                                   {"LandISO", "varchar (2)", "NULL"},
                                                                   {"PLZ", "varchar (15)", "NULL"},
                                                                   {"Ort", "varchar (40)", "NULL"},
                                                                   {"Telefon1", "varchar (40)", "NULL"},
                                                                   {"Telefon5", "varchar (40)", "NULL"},
                                                                   {"Telefon6", "varchar (40)", "NULL"},
                                                                   {"Fax", "varchar (40)", "NULL"},
                                                                   {"Telefon3", "varchar (40)", "NULL"}}),
                  PrimaryKeyLines("tblDSA7", "LfdNr")});
}

void CreateDsaLogin(const Stage& stage) {
  stage.runner.CreateTableIfMissing(
      "tblDSALogin",
      {CreateTableLinesAfter("CREATE TABLE tblDSALogin (", {{"Benutzer", "varchar (30)", "NOT NULL"},
                                                            {"Passwort", "varchar (30)", "NOT NULL"},
                                                            {"Firmename", "varchar (30)", "NOT NULL"}})});
}

// The seed goes only into the table this run created: a list that exists keeps what the club made of it.
void CreateDsaFederations(const Stage& stage) {
  schema::TransactionGroup group(stage.runner);  // the list with its seed, or nothing
  const bool created = stage.runner.CreateTableIfMissing(
      "DSAFachverband",
      {CreateTableLinesAfter("CREATE TABLE DSAFachverband (",
                             {{"Nr", "VARCHAR (3)", "NOT NULL"}, {"Bezeichnung", "VARCHAR (200)", "NOT NULL"}}),
       PrimaryKeyLines("DSAFachverband", "Nr")});
  // The whole block is one entry of the line list: its CR LF line ends, those inside the quoted names
  // included, reach the server as they are.
  if (created) stage.runner.Batch({stage.blocks.MemoDSAFach}, FailureClass::kWarning);
  group.Commit();
}

void CreateDsaExport(const Stage& stage) {
  stage.runner.CreateTableIfMissing(
      "tblDSAExport", {CreateTableLinesAfter("CREATE TABLE tblDSAExport (", {{"Benutzer", "varchar (50)", "NOT NULL"},
                                                                             {"AdrNr", "int", "NOT NULL"},
                                                                             {"MitglNr", "varchar (15)", "NULL"},
                                                                             {"Anrede", "varchar (20)", "NULL"},
                                                                             {"Anredetitel", "varchar (60)", "NULL"},
                                                                             {"Vorname", "varchar (30)", "NULL"},
                                                                             {"Nachname", "varchar (40)", "NULL"},
                                                                             {"Geburtsdatum", "datetime", "NULL"},
                                                                             {"Strasse", "varchar (40)", "NULL"},
                                                                             {"PLZ", "varchar (15)", "NULL"},
                                                                             {"Ort", "varchar (40)", "NULL"},
                                                                             {"Telefon1", "varchar (40)", "NULL"},
                                                                             {"Telefon5", "varchar (40)", "NULL"},
                                                                             {"Telefon6", "varchar (40)", "NULL"},
                                                                             {"Fax", "varchar (40)", "NULL"},
                                                                             {"Telefon3", "varchar (40)", "NULL"},
                                                                             {"Sportart", "numeric (18,0)", "NULL"},
                                                                             {"Auswahl", "char (1)", "NOT NULL"}}),
                       PrimaryKeyLines("tblDSAExport", {"Benutzer", "AdrNr"})});
}

// The line breaks that the seed carries inside the federation names become blanks; a break after a blank
// leaves two, which the last command makes one (in a single pass: three blanks become two).
void CleanDsaFederationNames(const Stage& stage) {
  constexpr std::string_view kReplace = "UPDATE DSAFachverband SET Bezeichnung=REPLACE(Bezeichnung,'";
  for (std::string_view line_break : {"\r\n", "\n", "\r"}) {
    stage.runner.Direct({kReplace, line_break, "',' ')"}, FailureClass::kUnguarded);
  }
  stage.runner.Direct("UPDATE DSAFachverband SET Bezeichnung=REPLACE(Bezeichnung,'  ',' ')", FailureClass::kUnguarded);
}

// One row per mandate of a member; the mandate number is part of the key, so a member may hold several.
void CreateMandates(const Stage& stage) {
  stage.runner.CreateTableIfMissing(
      "AdrSepa", {CreateTableLinesAfter("CREATE TABLE AdrSepa (", {{"[AdrNr]", "[int]", "NOT NULL"},
                                                                   {"[MandatsNr]", "[varchar](35)", "NOT NULL"},
                                                                   {"[MandKey]", "[varchar](35)", "NOT NULL"},
                                                                   {"[Lastschriftart]", "[varchar](20)", "NOT NULL"},
                                                                   {"[Typ]", "[char] (1)", "NOT NULL"},
                                                                   {"[Status]", "[varchar] (20)", "NOT NULL"},
                                                                   {"[AngelegtAm]", "[datetime]", "NULL"},
                                                                   {"[GultigBis]", "[datetime]", "NULL"},
                                                                   {"[UnterschriftDatum]", "[datetime]", "NULL"},
                                                                   {"[ErsteVerwendung]", "[datetime]", "NULL"},
                                                                   {"[LetzteVerwendung]", "[datetime]", "NULL"},
                                                                   {"[WiderrufenAm]", "[datetime]", "NULL"}}),
                  PrimaryKeyLines("AdrSepa", {"AdrNr", "MandatsNr"})});
}

// The versions of a mandate: the columns of AdrSepa with a running number after MandKey.
void CreateMandateVersions(const Stage& stage) {
  stage.runner.CreateTableIfMissing(
      "AdrSepaVer",
      {CreateTableLinesAfter("CREATE TABLE AdrSepaVer (", {{"[AdrNr]", "[int]", "NOT NULL"},
                                                           {"[MandatsNr]", "[varchar](35)", "NOT NULL"},
                                                           {"[MandKey]", "[varchar](35)", "NOT NULL"},
                                                           {"[LfdNr]", "[int]", "NOT NULL"},
                                                           {"[Lastschriftart]", "[varchar](20)", "NOT NULL"},
                                                           {"[Typ]", "[char] (1)", "NOT NULL"},
                                                           {"[Status]", "[varchar] (20)", "NOT NULL"},
                                                           {"[AngelegtAm]", "[datetime]", "NULL"},
                                                           {"[GultigBis]", "[datetime]", "NULL"},
                                                           {"[UnterschriftDatum]", "[datetime]", "NULL"},
                                                           {"[ErsteVerwendung]", "[datetime]", "NULL"},
                                                           {"[LetzteVerwendung]", "[datetime]", "NULL"},
                                                           {"[WiderrufenAm]", "[datetime]", "NULL"}}),
       PrimaryKeyLines("AdrSepaVer", {"AdrNr", "MandatsNr", "LfdNr"})});
}

// Contracts paid from another member's account take that member's address as the account holder's.
void FillAccountHolderAddresses(const Stage& stage) {
  stage.runner.Direct(
      {"UPDATE MgVert SET\n", "StrasseKIH=(SELECT A.Strasse FROM Adresse AS A WHERE A.AdrNr=MgVert.AbwAdrNr),\n",
       "PlzKIH=(SELECT A.PLZ FROM Adresse AS A WHERE A.AdrNr=MgVert.AbwAdrNr),\n",
       "OrtKIH=(SELECT A.Ort FROM Adresse AS A WHERE A.AdrNr=MgVert.AbwAdrNr),\n",
       "EmailKIH=(SELECT A.Telefon3 FROM Adresse AS A WHERE A.AdrNr=MgVert.AbwAdrNr)\n",
       "WHERE AbwAdrNr IS NOT NULL OR AbwAdrNr<>0"},
      FailureClass::kUnguarded);
}

struct AddedColumn {
  std::string_view table;
  std::string_view column;
  std::string_view type;
  std::string_view size;
  std::string_view nullability;
};

void AddColumns(const Stage& stage, std::initializer_list<AddedColumn> columns) {
  for (const AddedColumn& c : columns) stage.primitives.AddField(c.table, c.column, c.type, c.size, c.nullability);
}

// E21: mandate data on receivables, direct debits and invoices ("Rechn" as written).
void AddMandateDataColumns(const Stage& stage) {
  AddColumns(stage, {{"MgSolln", "MandatsNr", "varchar", "(35)", "Null"},
                     {"MgSolln", "IBAN", "varchar", "(40)", "Null"},
                     {"MgSolln", "BIC", "varchar", "(40)", "Null"},
                     {"MgSolln", "LetzteVerwendung", "datetime", "", "Null"},
                     {"MgSolln", "GultigBis", "datetime", "", "Null"},
                     {"MgLast", "MandatsNr", "varchar", "(35)", "Null"},
                     {"MgLast", "IBAN", "varchar", "(40)", "Null"},
                     {"MgLast", "BIC", "varchar", "(40)", "Null"},
                     {"MgLast", "LetzteVerwendung", "datetime", "", "Null"},
                     {"MgLast", "GultigBis", "datetime", "", "Null"},
                     {"Rechn", "Prenotified", "char", "(1)", "Null"},
                     {"Rechn", "DatumPren", "DateTime", "", "Null"},
                     {"Rechn", "DatumBankeinzug", "DateTime", "", "Null"},
                     {"Rechn", "MandatsNr", "varchar", "(35)", "Null"},
                     {"MgSolln", "ErsteVerwendung", "datetime", "", "Null"},
                     {"MgLast", "ErsteVerwendung", "datetime", "", "Null"},
                     {"MgSolln", "SEPATyp", "char", "(1)", "Null"},
                     {"MgLast", "SEPATyp", "char", "(1)", "Null"},
                     {"MgLast", "Bemerkung", "varchar", "(100)", "Null"}});
}

// E24: lead days of the club, the SEPA file of debits, receivables and invoices ("RECHN" as written), the
// alternative account holder box of members.
void AddSepaFileColumns(const Stage& stage) {
  AddColumns(stage, {{"mandstam", "SEPAErstTage", "integer", "", "Null"},
                     {"mandstam", "SEPAFolgeTage", "integer", "", "Null"},
                     {"MgLast", "BankUeb", "char", "(1)", "Null"},
                     {"MgLast", "DatumBankeinzug", "DateTime", "", "Null"},
                     {"MgLast", "SEPAKenn", "VARCHAR", "(4)", "Null"},
                     {"MgLast", "Ausfuhrungsdatum", "DateTime", "", "Null"},
                     {"MgLast", "SEPAXML", "varchar", "(250)", "Null"},
                     {"MgLast", "GUID", "UNIQUEIDENTIFIER", "", "NULL"},
                     {"MgSolln", "SEPAXML", "varchar", "(250)", "Null"},
                     {"MgSolln", "GUID", "UNIQUEIDENTIFIER", "", "NULL"},
                     {"RECHN", "SEPAXML", "varchar", "(250)", "Null"},
                     {"RECHN", "GUID", "UNIQUEIDENTIFIER", "", "NULL"},
                     {"Adresse", "AbwKtoInhCB", "char", "(1)", "Null"}});
}

}  // namespace

void RunStageE(const Stage& stage, Mandates& mandates) {
  schema::StatementRunner& runner = stage.runner;
  schema::Primitives& primitives = stage.primitives;

  // E1 to E3: card data, login and the federation list of the DSA scheme.
  CreateDsaCardData(stage);
  CreateDsaLogin(stage);
  CreateDsaFederations(stage);

  // E4, E5: the DSA federation of a sport; the export selection.
  primitives.AddField("SportartenV", "DSAFach", "varchar", "(3)", "Null");
  CreateDsaExport(stage);

  // E6: the run that adds Landname cleans the federation names (on a fresh database, the run that seeded them).
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("tblDSAExport", "Landname", "varchar", "(30)", "Null");
    if (primitives.ColumnAdded()) CleanDsaFederationNames(stage);
    conversion.Commit();
  }

  // E7, E8: card data are kept per address from now on; what was there before is dropped.
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("tblDSA7", "AdrNr", "int", "", "Null");
    if (primitives.ColumnAdded()) runner.Direct("DELETE FROM tblDSA7", FailureClass::kUnguarded);
    conversion.Commit();
  }
  primitives.AddIndex("tblDSA7", "IX_tblDSA7_AdrNr", "AdrNr");

  // E9 to E11, on every run: fee type names from the fee types (NULL where the type is unknown), on
  // receivables in a column wide enough for them.
  runner.Direct("UPDATE MgVert SET ArtName=A.Bezeichnung FROM MgVert V LEFT JOIN MgArt A ON A.Art=V.Art",
                FailureClass::kUnguarded);
  runner.Direct("ALTER TABLE MgSolln ALTER COLUMN ArtName varchar(120) NULL", FailureClass::kUnguarded);
  runner.Direct("UPDATE MgSolln SET ArtName=A.Bezeichnung FROM MgSolln V LEFT JOIN MgArt A ON A.Art=V.Art",
                FailureClass::kUnguarded);

  // E12: DSA fields of members; the flags start as 'N' for everyone in the run that adds DSABeantragt.
  {
    schema::TransactionGroup conversion(runner);
    AddColumns(stage, {{"Adresse", "DSAVerband", "varchar", "(250)", "Null"},
                       {"Adresse", "DSASportArt", "varchar", "(3)", "Null"},
                       {"Adresse", "DSA_SMK", "char", "(1)", "Null"},
                       {"Adresse", "DSA_SVK", "char", "(1)", "Null"},
                       {"Adresse", "DSABeantragt", "char", "(1)", "Null"}});
    if (primitives.ColumnAdded()) {
      runner.Direct("UPDATE Adresse SET DSA_SMK='N', DSA_SVK='N', DSABeantragt='N'", FailureClass::kUnguarded);
    }
    conversion.Commit();
  }

  // E13: clubs without online accounts.
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("Mandstam", "VereinOhneOnlKonten", "char", "(1)", "Null");
    if (primitives.ColumnAdded())
      runner.Direct("UPDATE Mandstam SET VereinOhneOnlKonten='N'", FailureClass::kUnguarded);
    conversion.Commit();
  }

  // E14 to E16: mandates, the flag of a collection mandate, mandate versions.
  CreateMandates(stage);
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("Adresse", "EinzugLastMandLiegtVor", "char", "(1)", "Null");
    if (primitives.ColumnAdded()) {
      runner.Direct("UPDATE Adresse SET EinzugLastMandLiegtVor='N'", FailureClass::kUnguarded);
    }
    conversion.Commit();
  }
  CreateMandateVersions(stage);

  // E17: pre-notification of fee contracts.
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("MgVert", "Prenotifikation", "char", "(1)", "Null");
    if (primitives.ColumnAdded()) runner.Direct("UPDATE MgVert SET Prenotifikation='N'", FailureClass::kUnguarded);
    conversion.Commit();
  }

  // E18, E19: the alternative account holder (KIH) on contracts, filled once from the paying address, and on
  // members.
  {
    schema::TransactionGroup conversion(runner);
    AddColumns(stage, {{"MgVert", "AbwKontoInh", "varchar", "(50)", "Null"},
                       {"MgVert", "StrasseKIH", "varchar", "(40)", "Null"},
                       {"MgVert", "PlzKIH", "varchar", "(15)", "Null"},
                       {"MgVert", "OrtKIH", "varchar", "(40)", "Null"},
                       {"MgVert", "EmailKIH", "varchar", "(240)", "Null"}});
    if (primitives.ColumnAdded()) FillAccountHolderAddresses(stage);
    conversion.Commit();
  }
  AddColumns(stage, {{"Adresse", "StrasseKIH", "varchar", "(40)", "Null"},
                     {"Adresse", "PlzKIH", "varchar", "(15)", "Null"},
                     {"Adresse", "OrtKIH", "varchar", "(40)", "Null"},
                     {"Adresse", "EmailKIH", "varchar", "(240)", "Null"}});

  // E20: nothing writes mRef; its addition marks the one run that computes every member's mandate reference
  // (address number directly followed by member number; NULL where the member number is NULL).
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("EINST", "mRef", "char", "(1)", "Null");
    if (primitives.ColumnAdded()) {
      runner.Direct("UPDATE Adresse SET mandatsrefenz=CAST(AdrNr as varchar)+CAST(MitglNr as varchar)",
                    FailureClass::kUnguarded);
    }
    conversion.Commit();
  }

  // E21, E22: mandate data on receivables, debits and invoices; reasons of returned debits, without rows.
  AddMandateDataColumns(stage);
  runner.CreateTableIfMissing("RuckLastGrund", {CreateTableLinesAfter("CREATE TABLE RuckLastGrund (",
                                                                      {{"[Kennung]", "[varchar](50)", "NOT NULL"}}),
                                                PrimaryKeyLines("RuckLastGrund", "Kennung")});

  // E23: every direct-debit payer has a collection mandate, marked once when AdrSepa gets GueltigAb.
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("adrsepa", "GueltigAb", "datetime", "", "Null");
    if (primitives.ColumnAdded()) {
      runner.Direct("UPDATE Adresse SET EinzugLastMandLiegtVor='J' WHERE Zahlungsart='L'", FailureClass::kUnguarded);
    }
    conversion.Commit();
  }

  // E24, E25: SEPA files and lead days; the SEPA indicator of debits, set once from their SEPA file.
  AddSepaFileColumns(stage);
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("MgLast", "IndSepa", "char", "(1)", "NULL");
    if (primitives.ColumnAdded()) {
      runner.Direct("UPDATE MgLast SET IndSepa='J' WHERE SEPAXML IS NOT NULL AND SEPAXML<>''",
                    FailureClass::kUnguarded);
      runner.Direct("UPDATE MgLast SET IndSepa='N' WHERE IndSepa IS NULL", FailureClass::kUnguarded);
    }
    conversion.Commit();
  }

  // E26 to E29, on every run: debits without a SEPA file are not SEPA debits; a bank without a BIC takes the
  // BIC of another branch with the same bank code; lead days of 5 and 2 where the club has none.
  runner.Direct("UPDATE MgLast SET IndSepa='N' WHERE SEPAXML IS NULL OR SEPAXML=''", FailureClass::kUnguarded);
  runner.Direct(
      "UPDATE d_blz SET BIC= (select TOP 1 BIC from d_blz B where B.BLZ=d_blz.BLZ AND ISNULL(bic,'')<>'')  where bic "
      "IS NULL",
      FailureClass::kUnguarded);
  runner.Direct("UPDATE mandstam SET SEPAErstTage=5 WHERE SEPAErstTage IS NULL", FailureClass::kUnguarded);
  runner.Direct("UPDATE mandstam SET SEPAFolgeTage=2 WHERE SEPAFolgeTage IS NULL", FailureClass::kUnguarded);

  // E30, on every run: the mandate records of the members who still lack one, after the references (E20),
  // GueltigAb (E23) and AbwKtoInhCB (E24) exist.
  mandates.pMandatErstellen();

  // E31 to E33: print flags of donation receipts; the fourth company line shown first, on from the start.
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("f5bew4sg", "Druck", "char", "(1)", "NULL");
    if (primitives.ColumnAdded()) runner.Direct("UPDATE f5bew4sg SET Druck='N'", FailureClass::kUnguarded);
    conversion.Commit();
  }
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("f5bw4sgA", "Druck", "char", "(1)", "NULL");
    if (primitives.ColumnAdded()) runner.Direct("UPDATE f5bw4sgA SET Druck='N'", FailureClass::kUnguarded);
    conversion.Commit();
  }
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("EINST", "Firma4Vor", "char", "(1)", "NULL");
    if (primitives.ColumnAdded()) runner.Direct("UPDATE EINST SET Firma4Vor='J'", FailureClass::kUnguarded);
    conversion.Commit();
  }

  // E34: stage A creates the function table with this key; it goes again in the same run.
  primitives.DropConstraint("AdrFunktion", "FK_AdrFunktion_Adresse");

  // E35, E36: account of a SEPA log record; the creditor identifier widened to 35 characters, on every run.
  primitives.AddField("SEPA_Protokol", "IBAN", "varchar", "(35)", "NULL");
  primitives.AddField("SEPA_Protokol", "BIC", "varchar", "(35)", "NULL");
  runner.Direct("ALTER TABLE dbo.mandstam ALTER COLUMN GlaeubigerId varchar(35) Null", FailureClass::kUnguarded);
}

}  // namespace upgrade
