#include "ddl/ddl_errors.h"

#include <string>

namespace engine::ddl {
namespace {

std::string S(std::string_view s) { return std::string(s); }

SqlError Make(int number, int state, std::string text) { return SqlError(number, 16, state, std::move(text)); }

}  // namespace

SqlError& FollowConstraintFailed(SqlError& e) {
  return e.Follow(1750, 16, 0, "Could not create constraint. See previous errors.");
}

SqlError IndexColumnMissing(std::string_view column) {
  return Make(1911, 1, "Column name '" + S(column) + "' does not exist in the target table or view.");
}

SqlError IndexTableMissing(std::string_view written) {
  return Make(
      1088, 12,
      "Cannot find the object \"" + S(written) + "\" because it does not exist or you do not have permissions.");
}

SqlError IndexOnView(std::string_view view) {
  return Make(1939, 1, "Cannot create index on view '" + S(view) + "' because the view is not schema bound.");
}

SqlError IndexColumnTwice(std::string_view column) {
  return Make(1909, 1,
              "Cannot use duplicate column names in index. Column name '" + S(column) + "' listed more than once.");
}

SqlError IndexOfConstraint(std::string_view table_dot_index, bool primary) {
  return Make(3723, 4,
              "An explicit DROP INDEX is not allowed on index '" + S(table_dot_index) + "'. It is being used for " +
                  (primary ? "PRIMARY KEY" : "UNIQUE KEY") + " constraint enforcement.");
}

SqlError DatabaseMissing(std::string_view name) { return Make(2702, 2, "Database '" + S(name) + "' does not exist."); }

SqlError SchemaMissing(std::string_view schema) {
  return Make(
      2760, 1,
      "The specified schema name \"" + S(schema) + "\" either does not exist or you do not have permission to use it.");
}

SqlError IdentityTypeInvalid(std::string_view column) {
  return Make(2749, 2,
              "Identity column '" + S(column) +
                  "' must be of data type int, bigint, smallint, tinyint, or decimal or numeric with a scale of 0, "
                  "and constrained to be nonnullable.");
}

SqlError IdentityNullable(std::string_view column, std::string_view table) {
  return Make(8147, 1,
              "Could not create IDENTITY attribute on nullable column '" + S(column) + "', table '" + S(table) + "'.");
}

SqlError WrongDropKind(std::string_view statement, std::string_view name, std::string_view actual,
                       std::string_view use) {
  return Make(3705, 1,
              "Cannot use DROP " + S(statement) + " with '" + S(name) + "' because '" + S(name) + "' is " + S(actual) +
                  ". Use DROP " + S(use) + ".");
}

SqlError ViewColumnUnnamed(int ordinal) {
  return Make(4511, 1,
              "Create View or Function failed because no column name was specified for column " +
                  std::to_string(ordinal) + ".");
}

SqlError ViewColumnTwice(std::string_view column, std::string_view view) {
  return Make(4506, 1,
              "Column names in each view or function must be unique. Column name '" + S(column) +
                  "' in view or function '" + S(view) + "' is specified more than once.");
}

SqlError ViewColumnListTooLong(std::string_view view) {
  return Make(4502, 1, "View or function '" + S(view) + "' has more column names specified than columns defined.");
}

SqlError ViewColumnListTooShort(std::string_view view) {
  return Make(4501, 1, "View or function '" + S(view) + "' has fewer column names specified than columns defined.");
}

SqlError BadDateFormat(std::string_view value) {
  return Make(2741, 1, "SET DATEFORMAT date order '" + S(value) + "' is invalid.");
}

SqlError SystemDatabase(std::string_view name) {
  return Make(3708, 1, "Cannot drop the database '" + S(name) + "' because it is a system database.");
}

SqlError NoPrimaryKeyToReference(std::string_view fk, std::string_view ref_table) {
  SqlError e = Make(1773, 0,
                    "Foreign key '" + S(fk) + "' has implicit reference to object '" + S(ref_table) +
                        "' on which there is no primary key defined.");
  FollowConstraintFailed(e);
  return e;
}

SqlError ForeignKeyColumnMissing(std::string_view fk, std::string_view column, std::string_view table,
                                 bool referenced) {
  SqlError e = Make(referenced ? 1770 : 1769, 1,
                    "Foreign key '" + S(fk) + "' references invalid column '" + S(column) + "' in " +
                        (referenced ? "referenced" : "referencing") + " table '" + S(table) + "'.");
  FollowConstraintFailed(e);
  return e;
}

SqlError ForeignKeyColumnCount(std::string_view table) {
  SqlError e = Make(8139, 0,
                    "Number of referencing columns in foreign key differs from number of referenced columns, table '" +
                        S(table) + "'.");
  FollowConstraintFailed(e);
  return e;
}

SqlError ForeignKeyTypeMismatch(std::string_view ref_column, std::string_view column, std::string_view fk) {
  SqlError e = Make(1778, 0,
                    "Column '" + S(ref_column) + "' is not the same data type as referencing column '" + S(column) +
                        "' in foreign key '" + S(fk) + "'.");
  FollowConstraintFailed(e);
  return e;
}

SqlError OnlyDataColumn(std::string_view column, std::string_view table) {
  return Make(4923, 1,
              "ALTER TABLE DROP COLUMN failed because '" + S(column) + "' is the only data column in table '" +
                  S(table) + "'. A table must have at least one data column.");
}

SqlError ConstraintMissing(std::string_view name) {
  return Make(4917, 1, "Constraint '" + S(name) + "' does not exist.");
}

SqlError DefaultColumnInvalid(std::string_view column, std::string_view table) {
  SqlError e = Make(
      1752, 0, "Column '" + S(column) + "' in table '" + S(table) + "' is invalid for creating a default constraint.");
  FollowConstraintFailed(e);
  return e;
}

SqlError DefaultAlreadyBound(std::string_view /*column*/, std::string_view /*table*/) {
  SqlError e = Make(1781, 1, "Column already has a DEFAULT bound to it.");
  FollowConstraintFailed(e);
  return e;
}

SqlError DefaultOnIdentity(std::string_view table, std::string_view column) {
  SqlError e = Make(1754, 0,
                    "Defaults cannot be created on columns with an IDENTITY attribute. Table '" + S(table) +
                        "', column '" + S(column) + "'.");
  FollowConstraintFailed(e);
  return e;
}

Message ObjectsAccessColumnMessage(std::string_view action, std::string_view column) {
  Message m;
  m.number = 4922;
  m.severity = 16;
  m.state = 9;
  m.text = "ALTER TABLE " + S(action) + " " + S(column) + " failed because one or more objects access this column.";
  return m;
}

SqlError CrossDatabaseForeignKey(std::string_view fk) {
  SqlError e = Make(1763, 0, "Cross-database foreign key references are not supported. Foreign key '" + S(fk) + "'.");
  FollowConstraintFailed(e);
  return e;
}

}  // namespace engine::ddl
