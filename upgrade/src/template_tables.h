// The column lists of the chart-of-accounts and tax-key template tables, seven tables of each kind with one
// structure per kind, and the statements that create and key a template table that is missing.
//
// A template created empty here has the columns, types and key that the embedded scripts give the same table
// when they re-create and fill it, so the application finds one shape whichever created it.
#ifndef CLUBIQA_UPGRADE_TEMPLATE_TABLES_H_
#define CLUBIQA_UPGRADE_TEMPLATE_TABLES_H_

#include <span>
#include <string_view>

#include "schema/statement_runner.h"

namespace upgrade {

struct TemplateColumn {
  std::string_view name;
  std::string_view type;  // as written in the create statement, e.g. "[numeric](19, 8)"
  bool not_null;
};

// The structure of one kind of template: its columns in order and the two columns of its clustered key.
struct TemplateShape {
  std::span<const TemplateColumn> columns;
  std::string_view key_first;
  std::string_view key_second;
};

// 106 columns; key (BUCHJAHR, KONTONR).
const TemplateShape& ChartOfAccountsShape();
// 8 columns; key (STEUERSCHL, LfdNr).
const TemplateShape& TaxKeyShape();

// "CREATE TABLE dbo.<table> (", one line per column, ") ON [PRIMARY]".
schema::Lines TemplateCreateLines(std::string_view table, const TemplateShape& shape);
// The four lines that add the clustered primary key PK_<table>.
schema::Lines TemplateKeyLines(std::string_view table, const TemplateShape& shape);

}  // namespace upgrade

#endif  // CLUBIQA_UPGRADE_TEMPLATE_TABLES_H_
