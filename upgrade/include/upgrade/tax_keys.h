// The one-time widening of every tax-key column to numeric (19,2), over all client databases of the server,
// temporary ones included, after the catalogue has run over them.
//
// A database counts as converted once its marker table UpdS exists: the marker is created first, then the key of
// the tax-key table F5Dat is rebuilt around the widened STEUERSCHL, then every column named STEUERSCHL or with
// StSchl in its name is widened, keeping its nullability. Every conversion statement is silent: a column that
// cannot be altered (a view's, one in an index) keeps its type and is never tried again. The conversion of one
// database is one transaction group (schema/transaction_group.h): UpdS is committed together with the widening,
// so a pass cut off in the middle leaves the database unconverted and the next run converts it whole. The
// listing, the UpdS probe and the column query are not guarded: their db::Error ends the run.
#ifndef CLUBIQA_UPGRADE_TAX_KEYS_H_
#define CLUBIQA_UPGRADE_TAX_KEYS_H_

#include <string>

#include "db/command.h"
#include "db/database_access.h"
#include "db/query.h"
#include "schema/statement_runner.h"
#include "ui/ui.h"

namespace upgrade {

// The column query of the pass: six lines joined by CR LF, sent exactly so.
std::string TaxKeyColumnsQueryText();

class TaxKeyPass {
 public:
  // None of the references is owned; `runner` works on database.ADOConnection(). All must outlive the pass.
  TaxKeyPass(db::DatabaseAccess& database, schema::StatementRunner& runner, ui::Ui& ui);
  TaxKeyPass(const TaxKeyPass&) = delete;
  TaxKeyPass& operator=(const TaxKeyPass&) = delete;

  // Every client database that has no UpdS yet is converted.
  void UpdateAllTaxKeys();
  // Widens every tax-key column of the database the client connection is open on.
  void WidenTaxKeyColumns();

 private:
  void ConvertDatabase();
  void Silent(std::string text);

  db::DatabaseAccess& database_;
  schema::StatementRunner& runner_;
  ui::Ui& ui_;
  db::Query qryStSchl_;
  db::Command cmd_;
};

}  // namespace upgrade

#endif  // CLUBIQA_UPGRADE_TAX_KEYS_H_
