// Stage D: club bank accounts, help, SEPA log and online banking.
//
// The club's bank accounts get a table of their own, filled from the three bank-account groups of the club
// master data: once with four columns in the run that creates the table, and again with the online flag, IBAN
// and BIC in the run that adds MandKonten.BIC (that second copy replaces every row). The help groups, the help
// topics and the schema version are written on every run; the bank code directory is emptied and re-keyed once,
// in the run that gives it its identity column. The help, version, SEPA log and online-registration tables
// report their failures in error boxes, everything else in warning boxes.
#include <array>
#include <string>
#include <string_view>

#include "stages.h"
#include "table_statements.h"

namespace upgrade {
namespace {

using schema::FailureClass;

// ---- the account copies -------------------------------------------------------------------------------------

// Blanks and control characters removed at both ends, as the copies store bank, account and bank code.
std::string Trimmed(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

// `value` as a string literal. Its quotes are doubled so that a bank named Bank d'Or is copied instead of
// breaking the statement and costing the club that account.
std::string Literal(std::string_view value) { return "'" + schema::QuoteDoubled(value) + "'"; }

// Bank-account group n of the club master data, each value read as text (a number as its digits, NULL as
// empty). Online, IBAN and BIC are read only by the second copy: the first runs before they exist.
struct AccountGroup {
  std::string bank, konto, blz, fibukonto, online, iban, bic;

  // Filled when bank, account and bank code all hold more than blanks.
  [[nodiscard]] bool filled() const {
    return !Trimmed(bank).empty() && !Trimmed(konto).empty() && !Trimmed(blz).empty();
  }
};

// Group `n` of the first row of the probe; every group is empty when Mandstam has no row.
AccountGroup ReadGroup(const db::Query& mandstam, int n, bool with_online_iban_bic) {
  if (mandstam.eof()) return {};
  const std::string suffix = std::to_string(n);
  auto read = [&](std::string_view column) { return mandstam.AsString(std::string(column) + suffix); };
  AccountGroup group{read("Bank"), read("Konto"), read("BLZ"), read("Fibukonto"), "", "", ""};
  if (with_online_iban_bic) {
    group.online = read("Online");
    group.iban = read("IBAN");
    group.bic = read("BIC");
  }
  return group;
}

// The seven lines of the first copy. The posting account goes unquoted, as read, and only when it is there.
schema::Lines FirstCopyLines(const AccountGroup& group) {
  const bool with_fibukonto = !Trimmed(group.fibukonto).empty();
  return {"INSERT INTO MandKonten (Bank, Konto, BLZ",
          with_fibukonto ? ",FibuKonto)" : ")",
          "VALUES",
          "(" + Literal(Trimmed(group.bank)) + ",",
          Literal(Trimmed(group.konto)) + ",",
          Literal(Trimmed(group.blz)),
          with_fibukonto ? "," + group.fibukonto + ")" : ")"};
}

// The trimmed value as a literal, or `otherwise` when it is empty.
std::string LiteralOr(std::string_view value, std::string_view otherwise) {
  const std::string trimmed = Trimmed(value);
  return trimmed.empty() ? std::string(otherwise) : Literal(trimmed);
}

// The nine lines of the second copy: an account without online flag is not online; no IBAN, BIC or posting
// account is NULL.
schema::Lines SecondCopyLines(const AccountGroup& group) {
  return {"INSERT INTO MandKonten (Bank, Konto, BLZ, Online, IBAN, BIC, FibuKonto)",
          "VALUES (",
          Literal(Trimmed(group.bank)) + ",",
          Literal(Trimmed(group.konto)) + ",",
          Literal(Trimmed(group.blz)) + ",",
          LiteralOr(group.online, "'N'") + ",",
          LiteralOr(group.iban, "NULL") + ",",
          LiteralOr(group.bic, "NULL") + ",",
          LiteralOr(group.fibukonto, "NULL") + ")"};
}

// The first copy runs in the run that creates MandKonten, the second in the run that adds its BIC.
enum class Copy { kFirst, kSecond };

// The data probe, then (second copy) the delete of every row, then one [warning] insert per filled group in
// group order; a rejected insert shows its box and the next group follows.
void CopyClubAccounts(const Stage& stage, Copy copy) {
  const bool second = copy == Copy::kSecond;
  const db::Query& mandstam = stage.runner.Probe("SELECT * FROM Mandstam");
  if (second) stage.runner.Batch({"DELETE FROM MandKonten"}, FailureClass::kWarning);
  for (int n = 1; n <= 3; ++n) {
    const AccountGroup group = ReadGroup(mandstam, n, second);
    if (!group.filled()) continue;
    stage.runner.Batch(second ? SecondCopyLines(group) : FirstCopyLines(group), FailureClass::kWarning);
  }
  stage.runner.qrySel().Close();
}

// ---- the tables -----------------------------------------------------------------------------------------------

bool CreateClubAccounts(const Stage& stage) {
  return stage.runner.CreateTableIfMissing(
      "MandKonten", {CreateTableLines("MandKonten", {{"LfdNr", "[int] IDENTITY(1,1)", "NOT NULL"},
                                                     {"Bank", "varchar (80)", "NOT NULL"},
                                                     {"Konto", "varchar (15)", "NOT NULL"},
                                                     {"BLZ", "varchar (10)", "NOT NULL"},
                                                     {"FibuKonto", "int", "NULL"}}),
                     PrimaryKeyLines("MandKonten", "LfdNr")});
}

void CreatePostingTexts(const Stage& stage) {
  stage.runner.CreateTableIfMissing("MgBuText",
                                    {CreateTableLines("MgBuText", {{"Buchungstext", "[varchar] (120)", "NOT NULL"},
                                                                   {"KontoNr", "INT", "NULL"},
                                                                   {"KoSt", "INT", "NULL"}}),
                                     PrimaryKeyLines("MgBuText", "Buchungstext")});
}

void CreateHelpTopics(const Stage& stage) {
  stage.runner.CreateTableIfMissing(
      "tblHelp",
      {CreateTableLinesAfter("CREATE TABLE [dbo].[tblHelp](", {{"ID", "INT IDENTITY (1,1)", "NOT NULL"},
                                                               {"PARENTID", "INT", "NULL"},
                                                               {"FORM", "varchar (50)", "NOT NULL"},
                                                               {"CID", "varchar (50)", "NOT NULL"},
                                                               {"Bezeichnung", "varchar (80)", "NOT NULL"},
                                                               {"Memo", "text", "NOT NULL"},
                                                               {"Notes", "text", "NULL"},
                                                               {"Benutzer", "varchar (50)", "NOT NULL"},
                                                               {"RadDat", "datetime", "NOT NULL"},
                                                               {"Gruppe", "varchar (50)", "NULL"},
                                                               {"PROGRAM", "varchar (5)", "NOT NULL"}}),
       {"ALTER TABLE tblHelp ADD CONSTRAINT [PK_tblHelp1] PRIMARY KEY CLUSTERED (Form, CID, PROGRAM) ON [PRIMARY]"}},
      FailureClass::kError);
}

void CreateHelpGroups(const Stage& stage) {
  stage.runner.CreateTableIfMissing(
      "tblHelpGruppe",
      {CreateTableLinesAfter("CREATE TABLE [dbo].[tblHelpGruppe](",
                             {{"[Kennung]", "[varchar] (50)", "NOT NULL"}, {"[Nr]", "[int]", "NULL"}}),
       {"ALTER TABLE tblHelpGruppe ADD CONSTRAINT [PK_tblHelpGruppe] PRIMARY KEY CLUSTERED (Kennung) ON [PRIMARY]"}},
      FailureClass::kError);
}

// Without a key; the seed row goes in only in the run that creates the table.
void CreateVersion(const Stage& stage) {
  stage.runner.CreateTableIfMissing("tblVersion",
                                    {{"CREATE TABLE [dbo].[tblVersion](", "[Version] [varchar] (50) NOT NULL)"},
                                     {"INSERT INTO tblVersion (Version) VALUES ('0')"}},
                                    FailureClass::kError);
}

void CreateSepaLog(const Stage& stage) {
  stage.runner.CreateTableIfMissing(
      "SEPA_Protokol",
      {CreateTableLinesAfter("CREATE TABLE [dbo].[SEPA_Protokol](", {{"[ID]", "INT IDENTITY (1,1)", "NOT NULL"},
                                                                     {"[Auswahl]", "CHAR (1)", "NOT NULL"},
                                                                     {"[Datum]", "DateTime", "NOT NULL"},
                                                                     {"[Konto]", "varchar (50)", "NOT NULL"},
                                                                     {"[Kontoname]", "varchar (120)", "NULL"},
                                                                     {"[Adr_Nummer]", "INT", "NULL"},
                                                                     {"[Adr_Name]", "varchar (120)", "NULL"},
                                                                     {"[Zweck_1]", "varchar (120)", "NULL"},
                                                                     {"[Zweck_2]", "varchar (120)", "NULL"},
                                                                     {"[Zeile_13]", "varchar (120)", "NULL"},
                                                                     {"[Zeile_14]", "varchar (120)", "NULL"},
                                                                     {"[Betrag_Eu]", "numeric (18,8)", "NULL"},
                                                                     {"[Auft_IBAN]", "varchar (30)", "NULL"},
                                                                     {"[Auft_BIC]", "varchar (30)", "NULL"},
                                                                     {"[Gesamt]", "numeric (18,8)", "NULL"},
                                                                     {"[Erf]", "char (1)", "NOT NULL"},
                                                                     {"[ErfBenutzer]", "varchar (30)", "NULL"},
                                                                     {"[ErfDatum]", "DateTime", "NULL"}}),
       {"ALTER TABLE SEPA_Protokol ADD CONSTRAINT [PK_SEPA_Protokol] PRIMARY KEY CLUSTERED (ID) ON [PRIMARY]"}},
      FailureClass::kError);
}

// The key is named PK_SEPA_UberProtS, not after the table.
void CreateSepaLogEntries(const Stage& stage) {
  stage.runner.CreateTableIfMissing(
      "SEPA_ProtokolS",
      {CreateTableLinesAfter("CREATE TABLE [dbo].[SEPA_ProtokolS](",
                             {{"ID", "INT", "NOT NULL"}, {"LfdNr", "INT", "NOT NULL"}}),
       {"ALTER TABLE SEPA_ProtokolS ADD CONSTRAINT [PK_SEPA_UberProtS] PRIMARY KEY CLUSTERED (ID,LfdNr) ON [PRIMARY]"}},
      FailureClass::kError);
}

// A blank before the first line's parenthesis, and two after the last column's name (the trailing blank of
// its name here).
void CreateOnlineRegistrations(const Stage& stage) {
  stage.runner.CreateTableIfMissing(
      "OnlKontAnm",
      {CreateTableLinesAfter("CREATE TABLE [dbo].[OnlKontAnm] (", {{"Bank", "varchar (80)", "NOT NULL"},
                                                                   {"Konto", "varchar (15)", "NOT NULL"},
                                                                   {"BLZ", "varchar (10)", "NOT NULL"},
                                                                   {"Online", "char (1)", "NOT NULL"},
                                                                   {"Auswahl", "char (1)", "NOT NULL"},
                                                                   {"AuszugeLesenAb", "DateTime", "NULL"},
                                                                   {"LetztesAbholdatum ", "DateTime", "NULL"}}),
       {"ALTER TABLE OnlKontAnm ADD CONSTRAINT [PK_OnlKontAnm] PRIMARY KEY CLUSTERED (Bank,Konto,BLZ) ON [PRIMARY]"}},
      FailureClass::kError);
}

// Werstellung and Empfanger are the client application's spellings, as in MgKontoUms.
void CreateWorkingAccountTransactions(const Stage& stage) {
  stage.runner.CreateTableIfMissing("tmpMgKontoUms",
                                    {CreateTableLines("tmpMgKontoUms", {{"LfdNr", "int IDENTITY (1,1)", "NOT NULL"},
                                                                        {"Benutzer", "varchar(40)", "NOT NULL"},
                                                                        {"Status", "VARCHAR (50)", "NULL"},
                                                                        {"Datum", "DateTime", "NULL"},
                                                                        {"Werstellung", "varchar(120)", "NULL"},
                                                                        {"Empfanger", "varchar(120)", "NULL"},
                                                                        {"WZ1", "varchar(120)", "NULL"},
                                                                        {"Soll", "numeric (18,8)", "NULL"},
                                                                        {"Haben", "numeric (18,8)", "NULL"},
                                                                        {"Fibukonto", "int", "NULL"},
                                                                        {"KoSt", "int", "NULL"},
                                                                        {"AdrNr", "int", "NULL"},
                                                                        {"WZ2", "varchar (120)", "NULL"},
                                                                        {"ID", "varchar (40)", "NULL"},
                                                                        {"Bank", "varchar (80)", "NULL"},
                                                                        {"OnlineBlz", "varchar (40)", "NULL"},
                                                                        {"OnlineKonto", "varchar (40)", "NULL"},
                                                                        {"Lastschrift", "char (1)", "NULL"},
                                                                        {"IBAN", "varchar (30)", "NULL"},
                                                                        {"BIC", "varchar (30)", "NULL"}}),
                                     PrimaryKeyLines("tmpMgKontoUms", "LfdNr")});
}

// Komentar is spelled so.
void CreateOnlineLog(const Stage& stage) {
  stage.runner.CreateTableIfMissing("tblOnlLog",
                                    {CreateTableLines("tblOnlLog", {{"ID", "int IDENTITY (1,1)", "NOT NULL"},
                                                                    {"NR", "int", "NOT NULL"},
                                                                    {"Status", "int", "NOT NULL"},
                                                                    {"Vorgang", "varchar (200)", "NULL"},
                                                                    {"Komentar", "varchar (200)", "NULL"},
                                                                    {"Ergebnis", "varchar (200)", "NULL"}}),
                                     PrimaryKeyLines("tblOnlLog", "ID")});
}

// Each column line begins with a blank (the leading blank of the names here); the key runs over two columns.
void CreateOnlineBalances(const Stage& stage) {
  stage.runner.CreateTableIfMissing(
      "OnlKontoStand", {CreateTableLines("OnlKontoStand", {{" Konto", "varchar (15)", "NOT NULL"},
                                                           {" Datum", "DateTime", "NOT NULL"},
                                                           {" Saldo", "numeric (18,8)", "NOT NULL"}}),
                        {"ALTER TABLE [dbo].[OnlKontoStand]  ADD",
                         "CONSTRAINT [PK_OnlKontoStand] PRIMARY KEY CLUSTERED", "([Konto], [Datum]) ON [PRIMARY]"}});
}

// ---- the bank code directory ----------------------------------------------------------------------------------

// The directory's new columns before its identity column, each nullable.
struct DirectoryColumn {
  std::string_view name, type, size;
};
constexpr std::array<DirectoryColumn, 20> kBankDirectoryColumns = {{
    {"Merkmal", "integer", ""},
    {"Bezeichnung", "VARCHAR", "(255)"},
    {"PAN", "VARCHAR", "(10)"},
    {"PLZ", "VARCHAR", "(10)"},
    {"BIC", "VARCHAR", "(80)"},
    {"Pr_Ziff", "VARCHAR", "(10)"},
    {"Datensatznummer", "VARCHAR", "(10)"},
    {"AendKz", "CHAR", "(1)"},
    {"BLZ_Loe", "integer", ""},
    {"NACHFOLGE_BLZ", "VARCHAR", "(20)"},
    {"Postfach", "VARCHAR", "(20)"},
    {"Bundesland", "VARCHAR", "(50)"},
    {"Email", "VARCHAR", "(255)"},
    {"Telefon", "VARCHAR", "(80)"},
    {"FAx", "VARCHAR", "(80)"},
    {"Homepage", "VARCHAR", "(255)"},
    {"Land", "VARCHAR", "(4)"},
    {"Kennzeichen", "VARCHAR", "(20)"},
    {"Sektor", "VARCHAR", "(50)"},
    {"Strasse", "VARCHAR", "(255)"},
}};

// The directory of this release is emptied and keyed on bank code and identity, once. Its new rows would
// come from MemoBLZ1, which this program carries empty: the block is sent only when it holds text, so an empty
// block sends nothing and shows no box (the database layer would refuse an empty command), and the directory
// stays empty either way.
void RebuildBankDirectory(const Stage& stage) {
  stage.runner.Batch({"DELETE FROM D_BLZ"}, FailureClass::kWarning);
  stage.runner.Direct("ALTER TABLE dbo.D_BLZ ALTER COLUMN BANK varchar(255) NULL", FailureClass::kUnguarded);
  stage.runner.Direct("ALTER TABLE dbo.D_BLZ ALTER COLUMN Ort varchar(255) NULL", FailureClass::kUnguarded);
  stage.runner.Batch(
      {"ALTER TABLE [dbo].[D_BLZ] ADD", "CONSTRAINT [PK_D_BLZ] PRIMARY KEY CLUSTERED", "([BLZ],[ID]) ON [PRIMARY]"},
      FailureClass::kWarning);
  if (!stage.blocks.MemoBLZ1.empty()) stage.runner.BatchText(stage.blocks.MemoBLZ1, FailureClass::kWarning);
}

}  // namespace

void RunStageD(const Stage& stage) {
  schema::StatementRunner& runner = stage.runner;
  schema::Primitives& primitives = stage.primitives;

  // D1: the club's bank accounts, copied from the master data in the run that creates the table, together
  // with it.
  {
    schema::TransactionGroup group(runner);
    if (CreateClubAccounts(stage)) CopyClubAccounts(stage, Copy::kFirst);
    group.Commit();
  }

  // D2: bank account of a direct debit.
  stage.Progress();
  primitives.AddField("MgLast", "Bankkonto", "varchar", "(30)", "Null");
  primitives.AddField("MgLast", "BankBLZ", "varchar", "(30)", "Null");
  primitives.AddField("MgLast", "BankFibuKonto", "int", "", "Null");

  // D3: posting texts with their account and cost centre.
  CreatePostingTexts(stage);

  // D4: leading zeros of bank accounts, off for existing clubs; account 3220 takes donations.
  stage.Progress();
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("Mandstam", "BankKontoFuerendeNull", "char", "(1)", "Null");
    if (primitives.ColumnAdded()) {
      runner.Direct("UPDATE Mandstam SET BankKontoFuerendeNull='N'", FailureClass::kUnguarded);
      runner.Direct("UPDATE F5kont SET Spende='J' WHERE KONTONR=3220", FailureClass::kUnguarded);
    }
    conversion.Commit();
  }

  // D5: account transactions that are direct debits.
  primitives.AddField("MgKontoUms", "Lastschrift", "char", "(1)", "Null");

  // D6, D7: waiver flags of the donation batches, off for existing entries.
  stage.Progress();
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("F5BW4SGA", "Verzicht", "char", "(1)", "NULL");
    if (primitives.ColumnAdded()) runner.Direct("UPDATE F5BW4SGA SET Verzicht='N'", FailureClass::kUnguarded);
    conversion.Commit();
  }
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("F5BEW4SG", "Verzicht", "char", "(1)", "NULL");
    if (primitives.ColumnAdded()) runner.Direct("UPDATE F5BEW4SG SET Verzicht='N'", FailureClass::kUnguarded);
    conversion.Commit();
  }

  // D8: waiver column of the list views.
  primitives.AddField("F5Sicht", "Verzicht_G", "char", "(1)", "NULL");

  // D9: help topics per window.
  stage.Progress();
  CreateHelpTopics(stage);

  // D10: users' help changes, off for existing users.
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("PASS", "HelpAend", "char", "(1)", "NULL");
    if (primitives.ColumnAdded()) runner.Batch({"UPDATE PASS SET HelpAend='N'"}, FailureClass::kError);
    conversion.Commit();
  }

  // D11, D12: the help groups, replaced on every run; a failing insert does not stop the next.
  CreateHelpGroups(stage);
  runner.Batch({"DELETE FROM [dbo].[tblHelpGruppe]"}, FailureClass::kError);
  runner.Batch({"INSERT INTO [dbo].[tblHelpGruppe] (Kennung,Nr) VALUES ('Mitgliederverwaltung',1)"},
               FailureClass::kError);
  runner.Batch({"INSERT INTO [dbo].[tblHelpGruppe] (Kennung,Nr) VALUES ('Beitragsverwaltung',2)"},
               FailureClass::kError);
  runner.Batch({"INSERT INTO [dbo].[tblHelpGruppe] (Kennung,Nr) VALUES ('Finanzbuchhaltung',3)"}, FailureClass::kError);

  // D13: the help topics, replaced on every run. The block's delete and inserts travel as one command with
  // their CR LF line ends.
  runner.BatchText(stage.blocks.memoHelp, FailureClass::kWarning);

  // D14: online flag, IBAN and BIC of the club's accounts (IBAN1 and BIC1 came with the creditor identifier).
  primitives.AddField("mandstam", "Online1", "char", "(1)", "NULL");
  primitives.AddField("mandstam", "IBAN2", "varchar", "(30)", "NULL");
  primitives.AddField("mandstam", "BIC2", "varchar", "(30)", "NULL");
  primitives.AddField("mandstam", "Online2", "char", "(1)", "NULL");
  primitives.AddField("mandstam", "IBAN3", "varchar", "(30)", "NULL");
  primitives.AddField("mandstam", "BIC3", "varchar", "(30)", "NULL");
  primitives.AddField("mandstam", "Online3", "char", "(1)", "NULL");

  // D15, D16: the schema version, '0' when created and '7' after every run.
  CreateVersion(stage);
  runner.Batch({"UPDATE tblVersion SET Version='7'"}, FailureClass::kError);

  // D17: IBAN and BIC of transfers, account transactions and the club's accounts.
  primitives.AddField("MandKonten", "Online", "char", "(1)", "NULL");
  for (std::string_view column : {"IBAN", "BIC", "Auft_IBAN", "Auft_BIC"}) {
    primitives.AddField("MgUeberw", column, "varchar", "(30)", "NULL");
  }
  primitives.AddField("MgKontoUms", "IBAN", "varchar", "(30)", "NULL");
  primitives.AddField("MgKontoUms", "BIC", "varchar", "(30)", "NULL");
  primitives.AddField("MandKonten", "IBAN", "varchar", "(30)", "NULL");

  // D18: in the run that adds MandKonten.BIC, and together with it, the club's accounts are copied again with
  // online flag, IBAN and BIC, replacing every row the table held.
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("MandKonten", "BIC", "varchar", "(30)", "NULL");
    if (primitives.ColumnAdded()) CopyClubAccounts(stage, Copy::kSecond);
    conversion.Commit();
  }

  // D19, D20: the SEPA log and its entries.
  CreateSepaLog(stage);
  CreateSepaLogEntries(stage);

  // D21, D22: IBAN, BIC and the SEPA flag of transfer templates and transfers, the flag off for existing ones.
  for (std::string_view column : {"IBAN", "BIC", "Auft_IBAN", "Auft_BIC"}) {
    primitives.AddField("MgUeberwVorl", column, "varchar", "(30)", "NULL");
  }
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("MgUeberwVorl", "SEPA", "char", "(1)", "NULL");
    if (primitives.ColumnAdded()) runner.Batch({"UPDATE MgUeberwVorl SET SEPA='N'"}, FailureClass::kError);
    conversion.Commit();
  }
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("MgUeberw", "SEPA", "char", "(1)", "NULL");
    if (primitives.ColumnAdded()) runner.Batch({"UPDATE MgUeberw SET SEPA='N'"}, FailureClass::kError);
    conversion.Commit();
  }

  // D23: accounts registered for online banking.
  CreateOnlineRegistrations(stage);

  // D24, D25: the bank code directory's new columns; the identity column numbers the existing rows, and the
  // run that adds it rebuilds the directory.
  for (const DirectoryColumn& column : kBankDirectoryColumns) {
    primitives.AddField("d_blz", column.name, column.type, column.size, "Null");
  }
  {
    schema::TransactionGroup conversion(runner);
    primitives.AddField("d_blz", "ID", "integer", "identity", "NOT NULL");
    if (primitives.ColumnAdded()) RebuildBankDirectory(stage);
    conversion.Commit();
  }

  // D26: the club's certificate and tax-office PIN.
  primitives.AddField("mandstam", "Zertifikat", "VARCHAR", "(250)", "Null");
  primitives.AddField("mandstam", "ElsterPIN", "VARCHAR", "(20)", "Null");

  // D27, D28: the working copy of account transactions and the online-banking log.
  CreateWorkingAccountTransactions(stage);
  CreateOnlineLog(stage);

  // D29: running number of a SEPA log record, with its index.
  primitives.AddField("SEPA_Protokol", "LfdNr", "int", "", "Null");
  primitives.AddIndex("SEPA_Protokol", "i_SEPA_Protokol_LfdNr", "LfdNr");

  // D30: the member's mandate reference (the name is spelled so).
  primitives.AddField("Adresse", "mandatsrefenz", "varchar", "(35)", "Null");

  // D31: online account balances by date.
  CreateOnlineBalances(stage);

  // D32: balance date of account transactions, with its index.
  primitives.AddField("MgKontoUms", "OnlSaldoDat", "DateTime", "", "Null");
  primitives.AddField("tmpMgKontoUms", "OnlSaldoDat", "DateTime", "", "Null");
  primitives.AddIndex("MgKontoUms", "i_MgKontoUms_OnlSaldoDat", "OnlSaldoDat");

  // D33: DSA, house-number and identity-card columns of member addresses.
  primitives.AddField("Adresse", "DSAKennziffer", "varchar", "(30)", "Null");
  primitives.AddField("Adresse", "DSAMitglNr", "varchar", "(30)", "Null");
  primitives.AddField("Adresse", "Hausnummer", "varchar", "(10)", "Null");
  primitives.AddField("Adresse", "Ausweisnummer", "varchar", "(20)", "Null");
  primitives.AddField("Adresse", "Gueltigkeitsdatum", "datetime", "", "Null");
}

}  // namespace upgrade
