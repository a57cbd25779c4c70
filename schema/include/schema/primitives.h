// The guarded primitives of the catalogue: AddField adds a column unless it exists, AddIndex creates a
// non-clustered index unless an index of that name exists anywhere in the database, DropConstraint removes
// a constraint when an object of that name exists. Each probes first, so a second run changes nothing.
//
// ColumnAdded reports whether the last AddField or DropConstraint got past its probe and attempted its
// statement, whether or not the server accepted it: the catalogue's one-time conversions hang on it.
//
// Failures: a failing probe leaves as db::Error (ColumnAdded unchanged). A rejected ALTER of AddField is
// dropped silently; a rejected CREATE INDEX or DROP CONSTRAINT shows a warning box. Names are pasted into
// the statements as given; inside the string literals of the probes their single quotes are doubled, so a
// database named O'Brien is probed like any other.
#ifndef CLUBIQA_SCHEMA_PRIMITIVES_H_
#define CLUBIQA_SCHEMA_PRIMITIVES_H_

#include <string>
#include <string_view>

#include "schema/statement_runner.h"

namespace schema {

// The probe of AddField: Information_Schema.Columns restricted to catalog, schema dbo, table and column.
std::string ColumnProbeText(std::string_view catalog, std::string_view table, std::string_view column);
// "ALTER TABLE dbo." + table + " ADD " + column + " " + " " + type + " " + size + " " + nullability
std::string AddFieldText(std::string_view table, std::string_view column, std::string_view type, std::string_view size,
                         std::string_view nullability);
// "CREATE NONCLUSTERED INDEX name ON table (c1[, c2][, c3][, c4])": empty columns after the first skipped.
std::string AddIndexText(std::string_view table, std::string_view index, std::string_view column1,
                         std::string_view column2, std::string_view column3, std::string_view column4);

class Primitives {
 public:
  // `current_catalog` is read at each AddField (the database the client connection was last switched to);
  // it and `runner` must outlive this object.
  Primitives(StatementRunner& runner, const std::string& current_catalog)
      : runner_(runner), current_catalog_(current_catalog) {}

  void AddField(std::string_view table, std::string_view column, std::string_view type, std::string_view size,
                std::string_view nullability);
  void AddIndex(std::string_view table, std::string_view index, std::string_view column1, std::string_view column2 = "",
                std::string_view column3 = "", std::string_view column4 = "");
  void DropConstraint(std::string_view table, std::string_view constraint);

  [[nodiscard]] bool ColumnAdded() const { return column_added_; }

 private:
  StatementRunner& runner_;
  const std::string& current_catalog_;
  bool column_added_ = false;
};

}  // namespace schema

#endif  // CLUBIQA_SCHEMA_PRIMITIVES_H_
