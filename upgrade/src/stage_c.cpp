// Stage C: federations, sports, invoices and transfers.
//
// Cash books become bank books, settings, budget and profit-and-loss columns are added, the area code moves
// into the first telephone number, the chart-of-accounts and tax-key templates and the sports and federation
// tables are reloaded from the embedded scripts (on every run: they hold exactly the scripts' rows afterwards),
// and the tables of the fee assistant, the debit/credit working table, credit transfers, account transactions
// and transfer templates are created when missing. One-time fills hang on the column whose addition they follow.
#include <array>
#include <string>
#include <string_view>

#include "stages.h"
#include "table_statements.h"

namespace upgrade {
namespace {

using schema::FailureClass;

// The eighteen regional sports confederations (code, name), seeded into tblLSB in the run that creates it.
constexpr std::array<std::array<std::string_view, 2>, 18> kRegionalConfederations = {{
    {"BSB Nord", "Badischer Sportbund Nord"},
    {"BSB Süd", "Badischer Sportbund Freiburg"},
    {"WLSB", "Württembergischer Landessportverband"},
    {"BLSV", "Bayerischer Landessportverband"},
    {"HSB", "Hamburger Sportbund"},
    {"LSB Berlin", "Landessportbund Berlin"},
    {"LSB Brandenburg", "Landessportbund Brandenburg"},
    {"LSB Bremen", "Landessportbund Bremen"},
    {"LSB Hessen", "Landessportbund Hessen"},
    {"LSB Mecklenburg-Vorpommern", "Landessportbund Mecklenburg-Vorpommern"},
    {"LSB Niedersachsen", "Landessportbund Niedersachsen"},
    {"LSB NRW", "Landessportbund Nordrhein-Westfalen"},
    {"LSB Rheinland-Pfalz", "Landessportbund Rheinland-Pfalz"},
    {"LSB Sachsen", "Landessportbund Sachsen"},
    {"LSB Sachsen-Anhalt", "Landessportbund Sachsen-Anhalt"},
    {"LSB Thüringen", "Landessportbund Thüringen"},
    {"LSB – Saarland", "Landessportverband für das Saarland"},  // an en dash, not a hyphen
    {"LSB Schleswig-Holstein", "Landessportverband Schleswig-Holstein"},
}};

// One invoice line n of RECHN: (name prefix, type, size). The first thirteen names take an underscore before
// the line number, the last three do not.
struct InvoiceColumn {
  std::string_view prefix;
  std::string_view type;
  std::string_view size;
};
constexpr std::array<InvoiceColumn, 16> kInvoiceLineColumns = {{
    {"ArtikelNr_", "varchar", "(10)"},
    {"Anzahl_", "numeric", "(19,8)"},
    {"Text1_", "varchar", "(60)"},
    {"Text2_", "varchar", "(60)"},
    {"Netto_", "numeric", "(19,8)"},
    {"MwSt_", "numeric", "(19,8)"},
    {"MwSt_Bet_", "numeric", "(19,8)"},
    {"Brutto_", "numeric", "(19,8)"},
    {"EK_Art_", "numeric", "(19,8)"},
    {"Spanne_", "numeric", "(19,8)"},
    {"Rabatt_", "numeric", "(19,8)"},
    {"VK_Art_", "numeric", "(19,8)"},
    {"VK_Preis_", "numeric", "(19,8)"},
    {"Konto", "int", ""},
    {"KoSt", "varchar", "(10)"},
    {"KoTr", "int", ""},
}};

void AddInvoiceLine(const Stage& stage, int line) {
  for (const InvoiceColumn& column : kInvoiceLineColumns) {
    stage.primitives.AddField("RECHN", std::string(column.prefix) + std::to_string(line), column.type, column.size,
                              "Null");
  }
}

// The calendar day of Datum plus the hour and the two-digit minute of UhrZeit.
std::string DatumVonExpression() {
  return std::string("DATEADD(dd, DATEDIFF(dd,0,Datum), 0) +") +
         " CAST(CAST(DATEPART(hh, UhrZeit) AS VarChar)+':'+Right('0'+CAST(DATEPART(mi, UhrZeit) AS VarChar),2) AS "
         "DateTime)";
}

void CreateRegionalConfederations(const Stage& stage) {
  schema::TransactionGroup group(stage.runner);  // the table with its entries, or nothing
  const bool created = stage.runner.CreateTableIfMissing(
      "tblLSB", {CreateTableLines(
                     "tblLSB", {{"Kennung", "varchar (50)", "NOT NULL"}, {"Bezeichnung", "varchar (50)", "NOT NULL"}}),
                 PrimaryKeyLines("tblLSB", "Kennung")});
  // Only in the run that creates the table, whatever its create and key batches reported: a table that exists
  // keeps what it holds, also when that is nothing.
  if (created) {
    for (const auto& [code, name] : kRegionalConfederations) stage.runner.AddLsbEntry(code, name);
  }
  group.Commit();
}

void CreateFeeAssistantLog(const Stage& stage) {
  stage.runner.CreateTableIfMissing("tblBeitassProt",
                                    {CreateTableLines("tblBeitassProt", {{"ID", "INT IDENTITY (1,1)", "NOT NULL"},
                                                                         {"Bezeichnung", "varchar (120)", "NOT NULL"},
                                                                         {"Datum", "datetime", "NOT NULL"},
                                                                         {"AdrNr", "int", "NOT NULL"},
                                                                         {"VertragNr", "VarChar (10)", "NOT NULL"},
                                                                         {"Art", "smallint", "NOT NULL"},
                                                                         {"ArtName", "VarChar (120)", "NULL"},
                                                                         {"Sollstellung", "VarChar (10)", "NULL"},
                                                                         {"VertragBegin", "datetime", "NULL"},
                                                                         {"VertragEnde", "datetime", "NULL"},
                                                                         {"Betrag", "numeric (19,8)", "NULL"}}),
                                     PrimaryKeyLines("tblBeitassProt", "ID")});
}

void CreateCreditTransfers(const Stage& stage) {
  stage.runner.CreateTableIfMissing("MgUeberw",
                                    {CreateTableLines("MgUeberw", {{"LfdNr", "[int] IDENTITY(1,1)", "NOT NULL"},
                                                                   {"Datum", "datetime", "NULL"},
                                                                   {"Auft_BLZ", "varchar(40)", "NULL"},
                                                                   {"Auft_Bank", "varchar(120)", "NULL"},
                                                                   {"Auft_KontoNr", "varchar(40)", "NULL"},
                                                                   {"Auftraggeber", "varchar(120)", "NULL"},
                                                                   {"AdrNr", "integer", "NULL"},
                                                                   {"Auswahl", "char(1)", "NULL"},
                                                                   {"Erl", "char(1)", "NULL"},
                                                                   {"Vorgangsart", "varchar(80)", "NULL"},
                                                                   {"Empfaenger", "varchar(120)", "NULL"},
                                                                   {"BLZ", "varchar(40)", "NULL"},
                                                                   {"Bankname", "varchar(120)", "NULL"},
                                                                   {"Kontonummer", "varchar(40)", "NULL"},
                                                                   {"WZ1", "varchar(40)", "NULL"},
                                                                   {"WZ2", "varchar(40)", "NULL"},
                                                                   {"Betrag", "float", "NULL"},
                                                                   {"Fibukonto", "int", "NULL"},
                                                                   {"AusfArt", "char(1)", "NULL"},
                                                                   {"Benutzer", "varchar(40)", "NULL"},
                                                                   {"BenutzerErl", "varchar(40)", "NULL"},
                                                                   {"DatumErl", "datetime", "NULL"}}),
                                     PrimaryKeyLines("MgUeberw", "LfdNr")});
}

// Werstellung and Empfanger are the client application's spellings.
void CreateAccountTransactions(const Stage& stage) {
  stage.runner.CreateTableIfMissing("MgKontoUms",
                                    {CreateTableLines("MgKontoUms", {{"LfdNr", "[int] IDENTITY(1,1)", "NOT NULL"},
                                                                     {"Status", "VARCHAR (50)", "NULL"},
                                                                     {"Datum", "DateTime", "NULL"},
                                                                     {"Werstellung", "varchar(120)", "NULL"},
                                                                     {"Empfanger", "varchar(120)", "NULL"},
                                                                     {"WZ1", "varchar(120)", "NULL"},
                                                                     {"Soll", "numeric (18,8)", "NULL"},
                                                                     {"Haben", "numeric (18,8)", "NULL"},
                                                                     {"Auswahl", "char(1)", "NULL"},
                                                                     {"Erl", "char(1)", "NULL"},
                                                                     {"Fibukonto", "int", "NULL"},
                                                                     {"Benutzer", "varchar(40)", "NULL"},
                                                                     {"BenutzerErl", "varchar(40)", "NULL"},
                                                                     {"DatumErl", "datetime", "NULL"}}),
                                     PrimaryKeyLines("MgKontoUms", "LfdNr")});
}

void CreateTransferTemplates(const Stage& stage) {
  stage.runner.CreateTableIfMissing("MgUeberwVorl",
                                    {CreateTableLines("MgUeberwVorl", {{"LfdNr", "[int] IDENTITY(1,1)", "NOT NULL"},
                                                                       {"Bezeichnung", "varchar (120)", "NULL"},
                                                                       {"Auftraggeber", "varchar (120)", "NULL"},
                                                                       {"AdrNr", "integer", "NULL"},
                                                                       {"Vorgangsart", "varchar (80)", "NULL"},
                                                                       {"Empfaenger", "varchar (120)", "NULL"},
                                                                       {"BLZ", "varchar (40)", "NULL"},
                                                                       {"Bankname", "varchar (120)", "NULL"},
                                                                       {"Kontonummer", "varchar (40)", "NULL"},
                                                                       {"WZ1", "varchar (40)", "NULL"},
                                                                       {"WZ2", "varchar (40)", "NULL"},
                                                                       {"Betrag", "float", "NULL"},
                                                                       {"Fibukonto", "int", "NULL"},
                                                                       {"AusfArt", "char (1)", "NULL"}}),
                                     PrimaryKeyLines("MgUeberwVorl", "LfdNr")});
}

}  // namespace

void RunStageC(const Stage& stage) {
  schema::StatementRunner& runner = stage.runner;
  schema::Primitives& primitives = stage.primitives;
  const TextBlocks& blocks = stage.blocks;

  // C1: the width travels where the nullability goes, so the column takes the server's default nullability.
  primitives.AddField("SportartenV", "LV", "varchar", "", "(60)");

  // C2: cash books become bank books.
  runner.Batch({"UPDATE F5Kasses SET KB='B' WHERE KB='K'"}, FailureClass::kWarning);
  runner.Batch({"UPDATE F5bew4s SET Stapel='Bankbuch' WHERE Stapel='Kassenbuch'"}, FailureClass::kWarning);
  runner.Batch({"UPDATE F5bew4sg SET Stapel='Bankbuch' WHERE Stapel='Kassenbuch'"}, FailureClass::kWarning);
  runner.Batch({"UPDATE F5bw4sga SET Stapel='Bankbuch' WHERE Stapel='Kassenbuch'"}, FailureClass::kWarning);
  runner.Batch({"UPDATE F5bw4sa SET Stapel='Bankbuch' WHERE Stapel='Kassenbuch'"}, FailureClass::kWarning);
  runner.Batch({"UPDATE F5bew4 SET DIALOG_STAP='B' WHERE DIALOG_STAP='K'"}, FailureClass::kWarning);

  // C3: automatic data backup stays on for existing clubs.
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("PASS", "AutoDatSichDeaktiv", "char", "(1)", "NULL");
    if (primitives.ColumnAdded()) runner.Direct("UPDATE PASS SET AutoDatSichDeaktiv='N'", FailureClass::kUnguarded);
    conversion.Commit();
  }

  // C4, C5: budget of receipts and costs of a cost centre.
  primitives.AddField("F6KOST", "EtatE", "numeric", "(18,8)", "Null");
  stage.Progress();
  primitives.AddField("F6KOST", "EtatK", "numeric", "(18,8)", "Null");

  // C6, C7: receipts and expenses of the profit-and-loss lines, filled from their letter in the run that adds
  // the column (the progress step between the two leaves ColumnAdded alone).
  stage.Progress();
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("GuVKennzD", "EA", "char", "(1)", "Null");
    stage.Progress();
    if (primitives.ColumnAdded()) {
      runner.Direct("UPDATE GuVKennzD SET EA='E' WHERE Kennz='A'", FailureClass::kUnguarded);
      runner.Direct("UPDATE GuVKennzD SET EA='A' WHERE Kennz='B'", FailureClass::kUnguarded);
    }
    conversion.Commit();
  }

  // C8: booking texts in upper case get their mixed-case form.
  runner.Direct("UPDATE F5BuText SET [Text]='Aufnahmegebühren' WHERE [Text]='AUFNAHMEGEBÜHREN'",
                FailureClass::kUnguarded);
  runner.Direct("UPDATE F5BuText SET [Text]='Beitrag' WHERE [Text]='BEITRAG'", FailureClass::kUnguarded);
  runner.Direct("UPDATE F5BuText SET [Text]='Spende' WHERE [Text]='SPENDE'", FailureClass::kUnguarded);

  // C9: the area code moves in front of the first telephone number (the doubled operator is a concatenation
  // followed by a unary plus). The merge is one statement, so it takes effect for every address or for none:
  // when it fails (a merged number longer than Telefon1 allows) the area codes are kept rather than cleared,
  // and the next run tries again. Merge and clearing go together, so that a run cut off between them does not
  // leave the area codes to be merged a second time.
  {
    schema::TransactionGroup merge(runner);
    if (runner.Direct("UPDATE Adresse SET Telefon1=ISNULL(Vorwahl,'')+ + ISNULL(Telefon1,'')", FailureClass::kSilent)) {
      runner.Direct("UPDATE Adresse SET Vorwahl=NULL", FailureClass::kUnguarded);
    }
    merge.Commit();
  }

  // C10, C11: the chart-of-accounts and tax-key templates, dropped and re-created with their rows.
  stage.Progress();
  runner.SQLExec(blocks.Memo1);
  runner.SQLExec(blocks.Memo2);

  // C12: primary keys of the street and place directories; on later runs they exist and the statements fail
  // unseen.
  runner.Direct("ALTER TABLE d_str ADD CONSTRAINT [PK_d_str] PRIMARY KEY CLUSTERED ([Nr]) ON [PRIMARY]",
                FailureClass::kSilent);
  runner.Direct("ALTER TABLE d_orte ADD CONSTRAINT [PK_d_orte] PRIMARY KEY CLUSTERED ([Nr]) ON [PRIMARY]",
                FailureClass::kSilent);

  // C13: template and directory settings.
  for (std::string_view column : {"Vorlage_V", "Vorl_SB_V", "Rechn_Ver", "Liste_Verz", "VORLAGE_SP"}) {
    primitives.AddField("PASS", column, "varchar", "(240)", "Null");
  }

  // C14: path settings widened to 240 characters.
  runner.Direct("ALTER TABLE dbo.Kontakt ALTER COLUMN WordFile varchar(240) Null", FailureClass::kUnguarded);
  runner.Direct("ALTER TABLE dbo.Pass ALTER COLUMN Vorlage_V varchar(240) Null", FailureClass::kUnguarded);
  runner.Direct("ALTER TABLE dbo.Pass ALTER COLUMN Vorl_SB_V varchar(240) Null", FailureClass::kUnguarded);
  runner.Direct("ALTER TABLE dbo.Pass ALTER COLUMN Rechn_Ver varchar(240) Null", FailureClass::kUnguarded);
  runner.Direct("ALTER TABLE dbo.Pass ALTER COLUMN Liste_Verz varchar(240) Null", FailureClass::kUnguarded);
  runner.Direct("ALTER TABLE dbo.Pass ALTER COLUMN VORLAGE_SP varchar(240) Null", FailureClass::kUnguarded);

  // C15: start and end of the appointments, derived in the run that adds DatumBis (0.03 of a day is 43 minutes
  // 12 seconds).
  const std::string DatumVonExpr = DatumVonExpression();
  primitives.AddField("W_Vorl", "DatumVon", "datetime", "", "NULL");
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("W_Vorl", "DatumBis", "datetime", "", "NULL");
    if (primitives.ColumnAdded()) {
      runner.Direct({"UPDATE W_Vorl SET DatumVon=", DatumVonExpr}, FailureClass::kUnguarded);
      runner.Direct("UPDATE W_Vorl SET DatumBis=DatumVon+0.03", FailureClass::kUnguarded);
    }
    conversion.Commit();
  }

  // C16: cost centre of an account.
  primitives.AddField("F5Kont", "KoSt", "int", "", "NULL");

  // C17: cost-centre groups.
  runner.CreateTableIfMissing(
      "F6KoStGr",
      {CreateTableLines("F6KoStGr", {{"KoStGr", "integer", "NOT NULL"}, {"Bezeichnung", "varchar (60)", "NOT NULL"}}),
       PrimaryKeyLines("F6KoStGr", "KoStGr")});

  // C18: regional sports confederations with their eighteen entries.
  CreateRegionalConfederations(stage);

  // C19, C20: the club's confederation; a longer fourth company line.
  primitives.AddField("mandstam", "LSB", "varchar", "(50)", "NULL");
  runner.Direct("ALTER TABLE dbo.Adresse ALTER COLUMN Firma4 varchar(100) Null", FailureClass::kUnguarded);

  // C21, C22: sports federations and sports of schemes A and B, re-created with their rows.
  runner.SQLExec(blocks.MemoFachv);
  runner.SQLExec(blocks.MemoSport);

  // C23: cost accounting in the bookkeeping, off for existing clubs.
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("mandstam", "FibuKost", "char", "(1)", "NULL");
    if (primitives.ColumnAdded()) runner.Direct("UPDATE mandstam SET FibuKost='N'", FailureClass::kUnguarded);
    conversion.Commit();
  }

  // C24: the third telephone number widened in every address table.
  runner.Direct("ALTER TABLE dbo.Adresse ALTER COLUMN Telefon3 varchar(240) Null", FailureClass::kUnguarded);
  runner.Direct("ALTER TABLE dbo.HyAdresse ALTER COLUMN Telefon3 varchar(240) Null", FailureClass::kUnguarded);
  runner.Direct("ALTER TABLE dbo.AdresseZukunft ALTER COLUMN Telefon3 varchar(240) Null", FailureClass::kUnguarded);
  runner.Direct("ALTER TABLE dbo.LogAdr ALTER COLUMN Telefon3 varchar(240) Null", FailureClass::kUnguarded);

  // C25, C26: date of the mandate signature; the SEPA first-debit flag, off for existing members.
  primitives.AddField("Adresse", "DtOfSgntr", "datetime", "", "Null");
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("Adresse", "SEPA_FE", "char", "(1)", "Null");
    if (primitives.ColumnAdded()) runner.Direct("UPDATE Adresse SET SEPA_FE='N'", FailureClass::kUnguarded);
    conversion.Commit();
  }

  // C27, C28: creditor identifier (the name's trailing blank is dropped by the server) and the club's first
  // IBAN and BIC.
  primitives.AddField("Mandstam", "GlaeubigerId ", "varchar", "(20)", "Null");
  primitives.AddField("mandstam", "IBAN1", "varchar", "(30)", "NULL");
  primitives.AddField("mandstam", "BIC1", "varchar", "(30)", "NULL");

  // C29 to C33: invoices sent by e-mail, and invoice lines 11 to 15.
  primitives.AddField("RECHN", "EMailGesendet", "char", "(1)", "Null");
  primitives.AddField("RECHN", "EMailSendeDatum", "datetime", "", "Null");
  AddInvoiceLine(stage, 11);
  for (int line = 12; line <= 15; ++line) {
    stage.Progress();
    AddInvoiceLine(stage, line);
  }

  // C34, C35: log of the fee assistant; the member number of the account holder.
  stage.Progress();
  CreateFeeAssistantLog(stage);
  primitives.AddField("Adresse", "AdrNrKIH", "int", "", "Null");

  // C36: scheme W widens both name columns and adds its rows. The script runner reports its own failures and
  // lets none out, which is all the silent handler around this run would catch.
  runner.SQLExec(blocks.MemoFachWLSB);

  // C37, C38: department of an invoice ("Rechn" as written); the debit and credit working table, without key.
  primitives.AddField("Rechn", "Abteilung", "varchar", "(50)", "Null");
  runner.CreateTableIfMissing("tmpJournal", {CreateTableLines("tmpJournal", {{"ID", "INT IDENTITY (1,1)", "NOT NULL"},
                                                                             {"Soll", "numeric (19,8)", "NULL"},
                                                                             {"Haben", "numeric (19,8)", "NULL"},
                                                                             {"SollSt", "numeric (19,8)", "NULL"},
                                                                             {"HabenSt", "numeric (19,8)", "NULL"}})});

  // C39, C40: reference lines of the club; invoice numbers of fee contracts and debits.
  for (std::string_view column : {"VerwZw1r", "VerwZw2r", "VerwZw3r", "VerwZw4r"}) {
    primitives.AddField("Mandstam", column, "varchar", "(27)", "Null");
  }
  primitives.AddField("MgVert", "RgNr", "integer", "", "Null");
  primitives.AddField("MgSolln", "AdrNrRg", "integer", "", "Null");

  // C41 to C45: credit transfers, account transactions and transfer templates.
  CreateCreditTransfers(stage);
  stage.Progress();
  primitives.AddField("MgUeberw", "Vorlage", "char", "(1)", "Null");
  CreateAccountTransactions(stage);
  stage.Progress();
  CreateTransferTemplates(stage);
  stage.Progress();
  primitives.AddField("MgKontoUms", "KoSt", "int", "", "Null");
  primitives.AddField("MgKontoUms", "AdrNr", "int", "", "Null");
  primitives.AddField("MgKontoUms", "WZ2", "varchar", "(120)", "Null");
  primitives.AddField("MgKontoUms", "ID", "varchar", "(40)", "Null");
  primitives.AddField("MgKontoUms", "OnlineBlz", "varchar", "(40)", "Null");
  primitives.AddField("MgKontoUms", "OnlineKonto", "varchar", "(40)", "Null");
}

}  // namespace upgrade
