// AddField, AddIndex and DropConstraint (see primitives.h).
#include "schema/primitives.h"

#include "db/error.h"

namespace schema {

std::string ColumnProbeText(std::string_view catalog, std::string_view table, std::string_view column) {
  return "SELECT * FROM Information_Schema.Columns" + (" WHERE Table_Catalog='" + QuoteDoubled(catalog) + "' AND") +
         " Table_Schema='dbo' AND" + (" Table_Name='" + QuoteDoubled(table) + "' AND") +
         (" Column_Name='" + QuoteDoubled(column) + "'");
}

std::string AddFieldText(std::string_view table, std::string_view column, std::string_view type, std::string_view size,
                         std::string_view nullability) {
  std::string text = "ALTER TABLE dbo." + std::string(table);
  text += " ADD " + std::string(column) + " ";
  text += " " + std::string(type) + " " + std::string(size) + " " + std::string(nullability);
  return text;
}

std::string AddIndexText(std::string_view table, std::string_view index, std::string_view column1,
                         std::string_view column2, std::string_view column3, std::string_view column4) {
  std::string text = "CREATE NONCLUSTERED INDEX " + std::string(index);
  text += " ON " + std::string(table) + " (" + std::string(column1);
  for (std::string_view column : {column2, column3, column4}) {
    if (!column.empty()) text += ", " + std::string(column);
  }
  return text + ")";
}

// A rejected addition is dropped: the catalogue learns of it only through ColumnAdded and the failure of
// its own follow-up statements.
void Primitives::AddField(std::string_view table, std::string_view column, std::string_view type, std::string_view size,
                          std::string_view nullability) {
  ui::WaitCursor wait(runner_.ui());
  if (runner_.Probe(ColumnProbeText(current_catalog_, table, column)).record_count() > 0) {
    column_added_ = false;
    return;
  }
  column_added_ = true;
  runner_.Direct(AddFieldText(table, column, type, size, nullability), FailureClass::kSilent);
}

void Primitives::AddIndex(std::string_view table, std::string_view index, std::string_view column1,
                          std::string_view column2, std::string_view column3, std::string_view column4) {
  ui::WaitCursor wait(runner_.ui());
  if (runner_.Probe("SELECT * FROM SysIndexes WHERE Name='" + QuoteDoubled(index) + "'").record_count() > 0) return;
  runner_.qrySel().Close();
  runner_.Direct(AddIndexText(table, index, column1, column2, column3, column4), FailureClass::kWarning);
}

void Primitives::DropConstraint(std::string_view table, std::string_view constraint) {
  ui::WaitCursor wait(runner_.ui());
  if (runner_.Probe("SELECT * FROM sysobjects WHERE NAME='" + QuoteDoubled(constraint) + "'").record_count() == 0) {
    column_added_ = false;
    return;
  }
  column_added_ = true;
  runner_.Batch({"ALTER TABLE dbo." + std::string(table), " DROP CONSTRAINT " + std::string(constraint)},
                FailureClass::kWarning);
}

}  // namespace schema
