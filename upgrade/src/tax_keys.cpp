// The tax-key widening pass (see tax_keys.h).
#include "upgrade/tax_keys.h"

#include <utility>
#include <vector>

#include "db/error.h"
#include "schema/transaction_group.h"

namespace upgrade {

namespace {

using schema::FailureClass;

constexpr std::string_view kCaptionPrefix = "Clubiqa - SQL Update Datenbank: ";

}  // namespace

std::string TaxKeyColumnsQueryText() {
  // Two blanks after syscolumns and a blank at the end of the condition line are part of the text.
  return "SELECT tbl.name AS TableName, clmns.name AS FieldName, tps.name AS DataType, clmns.length As DataLength, "
         "clmns.isnullable\r\n"
         "FROM dbo.sysobjects AS tbl\r\n"
         "INNER JOIN syscolumns  AS clmns ON clmns.id=tbl.id\r\n"
         "LEFT OUTER JOIN systypes AS tps ON tps.xtype=clmns.xtype\r\n"
         "WHERE (UPPER(clmns.name))='STEUERSCHL' OR (UPPER(clmns.name) LIKE '%StSchl%' ) \r\n"
         "ORDER BY tbl.name,clmns.name ASC";
}

TaxKeyPass::TaxKeyPass(db::DatabaseAccess& database, schema::StatementRunner& runner, ui::Ui& ui)
    : database_(database),
      runner_(runner),
      ui_(ui),
      qryStSchl_(database.ADOConnection()),
      cmd_(database.ADOConnection()) {
  qryStSchl_.set_text(TaxKeyColumnsQueryText());
}

void TaxKeyPass::UpdateAllTaxKeys() {
  database_.pConn(db::kServerCatalog);
  db::Query& qryMandAll = database_.qryMandAll();
  qryMandAll.Close();
  qryMandAll.Open();
  for (qryMandAll.First(); !qryMandAll.eof(); qryMandAll.Next()) {
    const std::string name = qryMandAll.AsString("name");
    ui_.SetCaption(std::string(kCaptionPrefix) + name);
    database_.MandantChange(name);
    const bool converted = runner_.Exists("UpdS");
    runner_.qrySel().Close();
    if (!converted) ConvertDatabase();
  }
  qryMandAll.Close();
}

// The marker comes first: once committed the database counts as converted, whatever the statements after it
// did. Marker, key rebuild and widening are one transaction group, so the marker is committed only with the
// widening: a pass cut off before the end leaves the database unconverted, and the next run converts it.
void TaxKeyPass::ConvertDatabase() {
  schema::TransactionGroup conversion(runner_);
  runner_.Batch({"CREATE TABLE dbo.UpdS (", "ID INT IDENTITY (1,1) NOT NULL)"}, FailureClass::kSilent);
  runner_.Batch({"ALTER TABLE F5Dat DROP CONSTRAINT PK_F5DAT"}, FailureClass::kSilent);
  runner_.Batch({"ALTER TABLE F5Dat ALTER COLUMN STEUERSCHL NUMERIC (19,2) NOT NULL"}, FailureClass::kSilent);
  runner_.Batch({"ALTER TABLE F5Dat ADD CONSTRAINT PK_F5DAT PRIMARY KEY CLUSTERED (STEUERSCHL, LFDNR) ON [PRIMARY]"},
                FailureClass::kSilent);
  WidenTaxKeyColumns();
  conversion.Commit();
}

// The rows are fetched in full at the open, so the schema changes made while walking them do not change the
// list. ANSI warnings are off around each widening only, and always switched back on after it.
void TaxKeyPass::WidenTaxKeyColumns() {
  qryStSchl_.Close();
  qryStSchl_.Open();
  for (qryStSchl_.First(); !qryStSchl_.eof(); qryStSchl_.Next()) {
    Silent("SET ANSI_WARNINGS OFF ");
    Silent("ALTER TABLE " + qryStSchl_.AsString("TableName") + " ALTER COLUMN " + qryStSchl_.AsString("FieldName") +
           " numeric (19,2)" + (qryStSchl_.AsInt("isnullable") != 0 ? " NULL" : " NOT NULL"));
    Silent("SET ANSI_WARNINGS ON ");
  }
  qryStSchl_.Close();
}

// Every conversion statement is silent: the column keeps its type and the pass goes on.
void TaxKeyPass::Silent(std::string text) {
  cmd_.set_text(std::move(text));
  runner_.Send(cmd_, FailureClass::kSilent);
}

}  // namespace upgrade
