// The wording of every message the engine sends, with SQL Server's numbers, severities and
// states, and the scope that decides how the batch goes on.
#include "errors.h"

#include <string>

namespace engine::err {
namespace {

std::string Q(std::string_view s) { return "'" + std::string(s) + "'"; }
std::string DQ(std::string_view s) { return "\"" + std::string(s) + "\""; }

// Every factory below builds its error here, so number, severity, state and scope are always
// given together; informational messages take the Message part of the result.
SqlError Make(int number, int severity, int state, std::string text, ErrorScope scope) {
  return {number, severity, state, std::move(text), scope};
}

constexpr const char* kCouldNotCreateConstraint = "Could not create constraint. See previous errors.";
constexpr const char* kCouldNotDropConstraint = "Could not drop constraint. See previous errors.";
constexpr const char* kStatementTerminated = "The statement has been terminated.";

SqlError WithCreateConstraint(SqlError e) {
  FollowConstraintFailed(e);
  return e;
}

SqlError WithDropConstraint(SqlError e) {
  e.Follow(3727, 16, 0, kCouldNotDropConstraint);
  return e;
}

SqlError WithTerminated(SqlError e) {
  e.Follow(3621, 10, 0, kStatementTerminated);
  return e;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

}  // namespace

// ---- Syntax -------------------------------------------------------------------------------

SqlError SyntaxNear(std::string_view token) {
  return Make(102, 15, 1, "Incorrect syntax near " + Q(token) + ".", ErrorScope::kCompile);
}

SqlError SyntaxNearKeyword(std::string_view keyword) {
  return Make(156, 15, 1, "Incorrect syntax near the keyword " + Q(keyword) + ".", ErrorScope::kCompile);
}

SqlError UnclosedQuote(std::string_view rest) {
  SqlError e =
      Make(105, 15, 1, "Unclosed quotation mark after the character string " + Q(rest) + ".", ErrorScope::kCompile);
  e.Follow(102, 15, 1, "Incorrect syntax near " + Q(rest) + ".");
  return e;
}

SqlError MissingEndComment() { return Make(113, 15, 1, "Missing end comment mark '*/'.", ErrorScope::kCompile); }

SqlError IdentifierTooLong(std::string_view prefix) {
  return Make(103, 15, 4, "The identifier that starts with " + Q(prefix) + " is too long. Maximum length is 128.",
              ErrorScope::kCompile);
}

SqlError TooManyRowValues() {
  return Make(10738, 15, 1,
              "The number of row value expressions in the INSERT statement exceeds the maximum allowed number of 1000 "
              "row values.",
              ErrorScope::kCompile);
}

SqlError NestedTooDeeply() {
  return Make(191, 15, 1,
              "Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into smaller "
              "queries.",
              ErrorScope::kCompile);
}

SqlError CreateViewNotFirst() {
  return Make(111, 15, 1, "'CREATE VIEW' must be the first statement in a query batch.", ErrorScope::kCompile);
}

SqlError DropIndexNeedsTable() {
  return Make(159, 15, 1, "Must specify the table name and index name for the DROP INDEX statement.",
              ErrorScope::kCompile);
}

SqlError NonBooleanNear(std::string_view token) {
  return Make(
      4145, 15, 1,
      "An expression of non-boolean type specified in a context where a condition is expected, near " + Q(token) + ".",
      ErrorScope::kCompile);
}

// ---- Names --------------------------------------------------------------------------------

SqlError InvalidColumn(std::string_view column) {
  return Make(207, 16, 1, "Invalid column name " + Q(column) + ".", ErrorScope::kBatch);
}

SqlError InvalidObject(std::string_view name) {
  return Make(208, 16, 1, "Invalid object name " + Q(name) + ".", ErrorScope::kBatch);
}

SqlError TooManyTableNames(size_t limit) {
  return Make(106, 16, 1, "Too many table names in the query. The maximum allowable is " + std::to_string(limit) + ".",
              ErrorScope::kBatch);
}

SqlError AmbiguousColumn(std::string_view column) {
  return Make(209, 16, 1, "Ambiguous column name " + Q(column) + ".", ErrorScope::kBatch);
}

SqlError UnknownFunction(std::string_view name) {
  return Make(195, 15, 10, Q(name) + " is not a recognized built-in function name.", ErrorScope::kCompile);
}

SqlError UnknownType(std::string_view type) {
  return Make(2715, 16, 6, "Column, parameter, or variable #1: Cannot find data type " + std::string(type) + ".",
              ErrorScope::kBatch);
}

SqlError MultiPartNotBound(std::string_view written) {
  return Make(4104, 16, 1, "The multi-part identifier " + DQ(written) + " could not be bound.", ErrorScope::kBatch);
}

SqlError WrongArgumentCount(std::string_view function, int n) {
  return Make(174, 15, 1, "The " + Lower(function) + " function requires " + std::to_string(n) + " argument(s).",
              ErrorScope::kCompile);
}

SqlError NotInGroupBy(std::string_view column) {
  return Make(8120, 16, 1,
              "Column " + Q(column) +
                  " is invalid in the select list because it is not contained in either an aggregate function or "
                  "the GROUP BY clause.",
              ErrorScope::kBatch);
}

SqlError AggregateInWhere() {
  return Make(147, 15, 1,
              "An aggregate may not appear in the WHERE clause unless it is in a subquery contained in a HAVING "
              "clause or a select list, and the column being aggregated is an outer reference.",
              ErrorScope::kCompile);
}

SqlError OrderByPositionOutOfRange(int n) {
  return Make(108, 15, 1,
              "The ORDER BY position number " + std::to_string(n) +
                  " is out of range of the number of items in the select list.",
              ErrorScope::kCompile);
}

// ---- Data ---------------------------------------------------------------------------------

SqlError ConversionFailed(std::string_view from_type, std::string_view value, std::string_view to_type) {
  return Make(245, 16, 1,
              "Conversion failed when converting the " + std::string(from_type) + " value " + Q(value) +
                  " to data type " + std::string(to_type) + ".",
              ErrorScope::kBatch);
}

SqlError DateConversionFailed() {
  return Make(241, 16, 1, "Conversion failed when converting date and/or time from character string.",
              ErrorScope::kBatch);
}

SqlError DateOutOfRange(std::string_view from_type, std::string_view to_type) {
  return Make(242, 16, 3,
              "The conversion of a " + std::string(from_type) + " data type to a " + std::string(to_type) +
                  " data type resulted in an out-of-range value.",
              ErrorScope::kBatch);
}

SqlError ConvertError(std::string_view from_type, std::string_view to_type) {
  return Make(8114, 16, 5, "Error converting data type " + std::string(from_type) + " to " + std::string(to_type) + ".",
              ErrorScope::kBatch);
}

SqlError ArithmeticOverflow(std::string_view to_type) { return ArithmeticOverflowFrom("expression", to_type); }

SqlError ArithmeticOverflowFrom(std::string_view from_type, std::string_view to_type) {
  return Make(
      8115, 16, 2,
      "Arithmetic overflow error converting " + std::string(from_type) + " to data type " + std::string(to_type) + ".",
      ErrorScope::kStatement);
}

SqlError ArithmeticOverflowValue(std::string_view type, int64_t value) {
  return Make(
      220, 16, 2,
      "Arithmetic overflow error for data type " + std::string(type) + ", value = " + std::to_string(value) + ".",
      ErrorScope::kStatement);
}

SqlError ConversionOverflow(std::string_view from_type, std::string_view value) {
  return Make(248, 16, 1,
              "The conversion of the " + std::string(from_type) + " value " + Q(value) + " overflowed an int column.",
              ErrorScope::kBatch);
}

SqlError DivideByZero() { return Make(8134, 16, 1, "Divide by zero error encountered.", ErrorScope::kStatement); }

SqlError Truncation() {
  return WithTerminated(Make(8152, 16, 14, "String or binary data would be truncated.", ErrorScope::kStatement));
}

SqlError SubqueryMultipleRows() {
  return Make(512, 16, 1,
              "Subquery returned more than 1 value. This is not permitted when the subquery follows =, !=, <, <= , "
              ">, >= or when the subquery is used as an expression.",
              ErrorScope::kStatement);
}

SqlError NullNotAllowed(std::string_view column, std::string_view three_part_table, std::string_view verb) {
  return WithTerminated(Make(515, 16, 2,
                             "Cannot insert the value NULL into column " + Q(column) + ", table " +
                                 Q(three_part_table) + "; column does not allow nulls. " + std::string(verb) +
                                 " fails.",
                             ErrorScope::kStatement));
}

SqlError InvalidLength(std::string_view function) {
  return Make(536, 16, 1, "Invalid length parameter passed to the " + std::string(function) + " function.",
              ErrorScope::kStatement);
}

SqlError InvalidLengthLeftSubstring() {
  return Make(537, 16, 2, "Invalid length parameter passed to the LEFT or SUBSTRING function.", ErrorScope::kStatement);
}

SqlError OperandTypeClash(std::string_view a, std::string_view b) {
  return Make(206, 16, 2, "Operand type clash: " + std::string(a) + " is incompatible with " + std::string(b),
              ErrorScope::kBatch);
}

SqlError InvalidOperandType(std::string_view type, std::string_view op) {
  return Make(8117, 16, 1,
              "Operand data type " + std::string(type) + " is invalid for " + std::string(op) + " operator.",
              ErrorScope::kBatch);
}

SqlError DataTypesIncompatible(std::string_view a, std::string_view b, std::string_view op) {
  return Make(402, 16, 1,
              "The data types " + std::string(a) + " and " + std::string(b) + " are incompatible in the " +
                  std::string(op) + " operator.",
              ErrorScope::kBatch);
}

SqlError GuidConversionFailed() {
  return Make(8169, 16, 2, "Conversion failed when converting from a character string to uniqueidentifier.",
              ErrorScope::kBatch);
}

SqlError DateAddOverflow() {
  return Make(517, 16, 1, "Adding a value to a 'datetime' column caused an overflow.", ErrorScope::kStatement);
}

SqlError DateDiffOverflow() {
  return Make(535, 16, 0,
              "The datediff function resulted in an overflow. The number of dateparts separating two date/time "
              "instances is too large. Try to use datediff with a less precise datepart.",
              ErrorScope::kStatement);
}

SqlError InvalidDatePart(std::string_view name, std::string_view function) {
  return Make(155, 15, 1, Q(name) + " is not a recognized " + Lower(function) + " option.", ErrorScope::kCompile);
}

SqlError InvalidFloatOperation() {
  return Make(3623, 16, 1, "An invalid floating point operation occurred.", ErrorScope::kStatement);
}

// ---- Keys and constraints -----------------------------------------------------------------

SqlError DuplicateKey(bool primary, std::string_view constraint, std::string_view object, std::string_view key) {
  return WithTerminated(Make(2627, 14, 1,
                             "Violation of " + std::string(primary ? "PRIMARY KEY" : "UNIQUE KEY") + " constraint " +
                                 Q(constraint) + ". Cannot insert duplicate key in object " + Q(object) +
                                 ". The duplicate key value is " + std::string(key) + ".",
                             ErrorScope::kStatement));
}

SqlError DuplicateIndexKey(std::string_view object, std::string_view index, std::string_view key) {
  return WithTerminated(Make(2601, 14, 1,
                             "Cannot insert duplicate key row in object " + Q(object) + " with unique index " +
                                 Q(index) + ". The duplicate key value is " + std::string(key) + ".",
                             ErrorScope::kStatement));
}

SqlError DuplicateOnCreateIndex(std::string_view object, std::string_view index, std::string_view key,
                                bool constraint) {
  SqlError e =
      Make(1505, 16, 1,
           "The CREATE UNIQUE INDEX statement terminated because a duplicate key was found for the object "
           "name " +
               Q(object) + " and the index name " + Q(index) + ". The duplicate key value is " + std::string(key) + ".",
           ErrorScope::kBatch);
  if (constraint) FollowConstraintFailed(e);
  return WithTerminated(std::move(e));
}

SqlError ConstraintConflict(std::string_view verb, std::string_view kind, std::string_view constraint,
                            std::string_view db, std::string_view table, std::string_view column) {
  std::string text = "The " + std::string(verb) + " statement conflicted with the " + std::string(kind) +
                     " constraint " + DQ(constraint) + ". The conflict occurred in database " + DQ(db) + ", table " +
                     DQ(table);
  if (!column.empty()) text += ", column " + Q(column);
  text += ".";
  bool dml = verb == "INSERT" || verb == "UPDATE" || verb == "DELETE" || verb == "MERGE";
  SqlError e = Make(547, 16, 0, std::move(text), dml ? ErrorScope::kStatement : ErrorScope::kBatch);
  if (dml) return WithTerminated(std::move(e));
  return e;
}

SqlError AlreadyHasPrimaryKey(std::string_view table) {
  return WithCreateConstraint(
      Make(1779, 16, 0, "Table " + Q(table) + " already has a primary key defined on it.", ErrorScope::kBatch));
}

SqlError MultiplePrimaryKeys(std::string_view table) {
  return Make(8110, 16, 0, "Cannot add multiple PRIMARY KEY constraints to table " + Q(table) + ".",
              ErrorScope::kBatch);
}

SqlError NullablePrimaryKey(std::string_view table) {
  return WithCreateConstraint(Make(8111, 16, 1,
                                   "Cannot define PRIMARY KEY constraint on nullable column in table " + Q(table) + ".",
                                   ErrorScope::kBatch));
}

SqlError NoCandidateKey(std::string_view ref_table, std::string_view fk) {
  return WithCreateConstraint(Make(1776, 16, 0,
                                   "There are no primary or candidate keys in the referenced table " + Q(ref_table) +
                                       " that match the referencing column list in the foreign key " + Q(fk) + ".",
                                   ErrorScope::kBatch));
}

SqlError ForeignKeyInvalidTable(std::string_view fk, std::string_view ref_table) {
  return WithCreateConstraint(Make(
      1767, 16, 0, "Foreign key " + Q(fk) + " references invalid table " + Q(ref_table) + ".", ErrorScope::kBatch));
}

SqlError NotAConstraint(std::string_view name) {
  return WithDropConstraint(Make(3728, 16, 1, Q(name) + " is not a constraint.", ErrorScope::kBatch));
}

SqlError ConstraintReferenced(std::string_view constraint, std::string_view table, std::string_view fk) {
  return WithDropConstraint(Make(3725, 16, 0,
                                 "The constraint " + Q(constraint) + " is being referenced by table " + Q(table) +
                                     ", foreign key constraint " + Q(fk) + ".",
                                 ErrorScope::kBatch));
}

SqlError ReferencedByForeignKey(std::string_view table) {
  return Make(3726, 16, 1,
              "Could not drop object " + Q(table) + " because it is referenced by a FOREIGN KEY constraint.",
              ErrorScope::kBatch);
}

SqlError IndexExists(std::string_view index, std::string_view table) {
  return Make(1913, 16, 1,
              "The operation failed because an index or statistics with name " + Q(index) +
                  " already exists on table " + Q(table) + ".",
              ErrorScope::kBatch);
}

// `index` names the clustered index the table already has.
SqlError SecondClusteredIndex(std::string_view index, std::string_view table) {
  return Make(1902, 16, 3,
              "Cannot create more than one clustered index on table " + Q(table) +
                  ". Drop the existing clustered index " + Q(index) + " before creating another.",
              ErrorScope::kBatch);
}

SqlError IndexNotFound(std::string_view table_dot_index) {
  return Make(
      3701, 11, 7,
      "Cannot drop the index " + Q(table_dot_index) + ", because it does not exist or you do not have permission.",
      ErrorScope::kStatement);
}

// ---- Objects and columns ------------------------------------------------------------------

SqlError ObjectExists(std::string_view name) {
  return Make(2714, 16, 6, "There is already an object named " + Q(name) + " in the database.", ErrorScope::kBatch);
}

SqlError ColumnSpecifiedTwice(std::string_view column, std::string_view table) {
  return Make(2705, 16, 4,
              "Column names in each table must be unique. Column name " + Q(column) + " in table " + Q(table) +
                  " is specified more than once.",
              ErrorScope::kBatch);
}

SqlError CannotDrop(std::string_view kind, std::string_view name) {
  return Make(3701, 11, 5,
              "Cannot drop the " + std::string(kind) + " " + Q(name) +
                  ", because it does not exist or you do not have permission.",
              ErrorScope::kStatement);
}

SqlError CannotFindObject(std::string_view name) {
  return Make(4902, 16, 1,
              "Cannot find the object " + DQ(name) + " because it does not exist or you do not have permissions.",
              ErrorScope::kBatch);
}

SqlError NotATable(std::string_view name) {
  return Make(4909, 16, 1, "Cannot alter " + Q(name) + " because it is not a table.", ErrorScope::kBatch);
}

SqlError ColumnCannotBeAdded(std::string_view column, std::string_view table) {
  return Make(4901, 16, 1,
              "ALTER TABLE only allows columns to be added that can contain nulls, or have a DEFAULT definition "
              "specified, or the column being added is an identity or timestamp column, or alternatively if none of "
              "the previous conditions are satisfied the table must be empty to allow addition of this column. "
              "Column " +
                  Q(column) + " cannot be added to non-empty table " + Q(table) +
                  " because it does not satisfy these conditions.",
              ErrorScope::kBatch);
}

SqlError ColumnDoesNotExist(std::string_view action, std::string_view column, std::string_view table) {
  return Make(
      4924, 16, 1,
      std::string(action) + " failed because column " + Q(column) + " does not exist in table " + Q(table) + ".",
      ErrorScope::kBatch);
}

SqlError DependentObject(std::string_view kind, std::string_view object, std::string_view column) {
  return Make(5074, 16, 1, "The " + std::string(kind) + " " + Q(object) + " is dependent on column " + Q(column) + ".",
              ErrorScope::kBatch);
}

SqlError MultipleIdentity(std::string_view table) {
  return Make(
      2744, 16, 2,
      "Multiple identity columns specified for table " + Q(table) + ". Only one identity column per table is allowed.",
      ErrorScope::kBatch);
}

SqlError InsertCountMismatch() {
  return Make(213, 16, 1, "Column name or number of supplied values does not match table definition.",
              ErrorScope::kStatement);
}

SqlError MoreColumnsThanValues(bool values_clause) {
  if (values_clause) {
    return Make(109, 15, 1,
                "There are more columns in the INSERT statement than values specified in the VALUES clause. The "
                "number of values in the VALUES clause must match the number of columns specified in the INSERT "
                "statement.",
                ErrorScope::kCompile);
  }
  return Make(120, 15, 1,
              "The select list for the INSERT statement contains fewer items than the insert list. The number of "
              "SELECT values must match the number of INSERT columns.",
              ErrorScope::kCompile);
}

SqlError MoreValuesThanColumns(bool values_clause) {
  if (values_clause) {
    return Make(110, 15, 1,
                "There are fewer columns in the INSERT statement than values specified in the VALUES clause. The "
                "number of values in the VALUES clause must match the number of columns specified in the INSERT "
                "statement.",
                ErrorScope::kCompile);
  }
  return Make(121, 15, 1,
              "The select list for the INSERT statement contains more items than the insert list. The number of "
              "SELECT values must match the number of INSERT columns.",
              ErrorScope::kCompile);
}

SqlError ColumnNotUpdatable(std::string_view column) {
  return Make(8102, 16, 1, "Cannot update identity column " + Q(column) + ".", ErrorScope::kBatch);
}

// ---- Identity -----------------------------------------------------------------------------

SqlError IdentityInsertOff(std::string_view table) {
  return Make(
      544, 16, 1,
      "Cannot insert explicit value for identity column in table " + Q(table) + " when IDENTITY_INSERT is set to OFF.",
      ErrorScope::kStatement);
}

SqlError IdentityValueRequired(std::string_view table) {
  return Make(545, 16, 1,
              "Explicit value must be specified for identity column in table " + Q(table) +
                  " either when IDENTITY_INSERT is set to ON or when a replication user is inserting into a NOT FOR "
                  "REPLICATION identity column.",
              ErrorScope::kStatement);
}

SqlError IdentityColumnListRequired(std::string_view table) {
  return Make(8101, 16, 1,
              "An explicit value for the identity column in table " + Q(table) +
                  " can only be specified when a column list is used and IDENTITY_INSERT is ON.",
              ErrorScope::kBatch);
}

SqlError NoIdentityProperty(std::string_view table) {
  return Make(8106, 16, 1, "Table " + Q(table) + " does not have the identity property. Cannot perform SET operation.",
              ErrorScope::kBatch);
}

SqlError IdentityInsertAlreadyOn(std::string_view three_part, std::string_view table) {
  return Make(8107, 16, 1,
              "IDENTITY_INSERT is already ON for table " + Q(three_part) + ". Cannot perform SET operation for table " +
                  Q(table) + ".",
              ErrorScope::kBatch);
}

// ---- Databases, logins, sessions ----------------------------------------------------------

SqlError DatabaseExists(std::string_view name) {
  return Make(1801, 16, 3, "Database " + Q(name) + " already exists. Choose a different database name.",
              ErrorScope::kBatch);
}

SqlError DatabaseNotFound(std::string_view name) {
  return Make(911, 16, 1, "Database " + Q(name) + " does not exist. Make sure that the name is entered correctly.",
              ErrorScope::kBatch);
}

SqlError CannotOpenDatabase(std::string_view name) {
  return Make(4060, 11, 1, "Cannot open database " + DQ(name) + " requested by the login. The login failed.",
              ErrorScope::kFatal);
}

SqlError LoginFailed(std::string_view user) {
  return Make(18456, 14, 1, "Login failed for user " + Q(user) + ".", ErrorScope::kFatal);
}

SqlError DatabaseInUse(std::string_view name) {
  return Make(3702, 16, 4, "Cannot drop database " + DQ(name) + " because it is currently in use.", ErrorScope::kBatch);
}

SqlError ServerUnusable(std::string_view detail) { return Make(2, 16, 1, std::string(detail), ErrorScope::kFatal); }

SqlError DatabaseFileUnusable(std::string_view db, std::string_view detail) {
  return Make(5172, 16, 1, "The file of database " + Q(db) + " cannot be used: " + std::string(detail),
              ErrorScope::kBatch)
      .set_detail(std::string(detail));
}

SqlError NoTransaction(bool commit) {
  if (commit) {
    return Make(3902, 16, 1, "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.",
                ErrorScope::kStatement);
  }
  return Make(3903, 16, 1, "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.",
              ErrorScope::kStatement);
}

SqlError ProcedureNotFound(std::string_view name) {
  return Make(2812, 16, 62, "Could not find stored procedure '" + std::string(name) + "'.", ErrorScope::kBatch);
}

SqlError ParameterNotSupplied(std::string_view procedure, std::string_view parameter) {
  return Make(201, 16, 4,
              "Procedure or function '" + std::string(procedure) + "' expects parameter '" + std::string(parameter) +
                  "', which was not supplied.",
              ErrorScope::kStatement);
}

SqlError AppLockNotHeld(std::string_view resource) {
  return Make(1223, 16, 1,
              "Cannot release the application lock (Database Principal: 'public', Resource: '" + std::string(resource) +
                  "') because it is not currently held.",
              ErrorScope::kStatement);
}

SqlError AppLockFileUnusable(std::string_view file) {
  return Make(40000, 16, 1, "The application lock file '" + std::string(file) + "' cannot be opened.",
              ErrorScope::kBatch);
}

// The fault's own text goes to detail() only: SQL Server's message names no cause.
SqlError InternalQueryProcessorError(std::string_view fault) {
  return Make(8630, 16, 1,
              "Internal Query Processor Error: The query processor encountered an unexpected error during execution.",
              ErrorScope::kBatch)
      .set_detail(std::string(fault));
}

SqlError NotSupported(std::string_view what) { return Make(40000, 16, 1, std::string(what), ErrorScope::kBatch); }

SqlError FeatureNotSupported(std::string_view feature) {
  return NotSupported(std::string(feature) + " is not supported by this server.");
}

// The message keeps its number, severity, state and text; the error gets the default (batch) scope.
SqlError FromMessage(const Message& m) { return Make(m.number, m.severity, m.state, m.text, ErrorScope::kBatch); }

// ---- DDL ----------------------------------------------------------------------------------

SqlError& FollowConstraintFailed(SqlError& e) { return e.Follow(1750, 16, 0, kCouldNotCreateConstraint); }

SqlError IndexColumnMissing(std::string_view column) {
  return Make(1911, 16, 1, "Column name " + Q(column) + " does not exist in the target table or view.",
              ErrorScope::kBatch);
}

SqlError IndexTableMissing(std::string_view written) {
  return Make(1088, 16, 12,
              "Cannot find the object " + DQ(written) + " because it does not exist or you do not have permissions.",
              ErrorScope::kBatch);
}

SqlError IndexOnView(std::string_view view) {
  return Make(1939, 16, 1, "Cannot create index on view " + Q(view) + " because the view is not schema bound.",
              ErrorScope::kBatch);
}

SqlError IndexColumnTwice(std::string_view column) {
  return Make(1909, 16, 1,
              "Cannot use duplicate column names in index. Column name " + Q(column) + " listed more than once.",
              ErrorScope::kBatch);
}

SqlError IndexOfConstraint(std::string_view table_dot_index, bool primary) {
  return Make(3723, 16, 4,
              "An explicit DROP INDEX is not allowed on index " + Q(table_dot_index) + ". It is being used for " +
                  (primary ? "PRIMARY KEY" : "UNIQUE KEY") + " constraint enforcement.",
              ErrorScope::kBatch);
}

SqlError DatabaseMissing(std::string_view name) {
  return Make(2702, 16, 2, "Database " + Q(name) + " does not exist.", ErrorScope::kBatch);
}

SqlError SchemaMissing(std::string_view schema) {
  return Make(
      2760, 16, 1,
      "The specified schema name " + DQ(schema) + " either does not exist or you do not have permission to use it.",
      ErrorScope::kBatch);
}

SqlError IdentityTypeInvalid(std::string_view column) {
  return Make(2749, 16, 2,
              "Identity column " + Q(column) +
                  " must be of data type int, bigint, smallint, tinyint, or decimal or numeric with a scale of 0, "
                  "and constrained to be nonnullable.",
              ErrorScope::kBatch);
}

SqlError IdentityNullable(std::string_view column, std::string_view table) {
  return Make(8147, 16, 1,
              "Could not create IDENTITY attribute on nullable column " + Q(column) + ", table " + Q(table) + ".",
              ErrorScope::kBatch);
}

SqlError WrongDropKind(std::string_view statement, std::string_view name, std::string_view actual,
                       std::string_view use) {
  return Make(3705, 16, 1,
              "Cannot use DROP " + std::string(statement) + " with " + Q(name) + " because " + Q(name) + " is " +
                  std::string(actual) + ". Use DROP " + std::string(use) + ".",
              ErrorScope::kBatch);
}

SqlError ViewColumnUnnamed(int ordinal) {
  return Make(
      4511, 16, 1,
      "Create View or Function failed because no column name was specified for column " + std::to_string(ordinal) + ".",
      ErrorScope::kBatch);
}

SqlError ViewColumnTwice(std::string_view column, std::string_view view) {
  return Make(4506, 16, 1,
              "Column names in each view or function must be unique. Column name " + Q(column) +
                  " in view or function " + Q(view) + " is specified more than once.",
              ErrorScope::kBatch);
}

SqlError ViewColumnListTooLong(std::string_view view) {
  return Make(4502, 16, 1, "View or function " + Q(view) + " has more column names specified than columns defined.",
              ErrorScope::kBatch);
}

SqlError ViewColumnListTooShort(std::string_view view) {
  return Make(4501, 16, 1, "View or function " + Q(view) + " has fewer column names specified than columns defined.",
              ErrorScope::kBatch);
}

SqlError BadDateFormat(std::string_view value) {
  return Make(2741, 16, 1, "SET DATEFORMAT date order " + Q(value) + " is invalid.", ErrorScope::kBatch);
}

SqlError SystemDatabase(std::string_view name) {
  return Make(3708, 16, 1, "Cannot drop the database " + Q(name) + " because it is a system database.",
              ErrorScope::kBatch);
}

SqlError NoPrimaryKeyToReference(std::string_view fk, std::string_view ref_table) {
  return WithCreateConstraint(Make(1773, 16, 0,
                                   "Foreign key " + Q(fk) + " has implicit reference to object " + Q(ref_table) +
                                       " on which there is no primary key defined.",
                                   ErrorScope::kBatch));
}

SqlError ForeignKeyColumnMissing(std::string_view fk, std::string_view column, std::string_view table,
                                 bool referenced) {
  return WithCreateConstraint(Make(referenced ? 1770 : 1769, 16, 1,
                                   "Foreign key " + Q(fk) + " references invalid column " + Q(column) + " in " +
                                       (referenced ? "referenced" : "referencing") + " table " + Q(table) + ".",
                                   ErrorScope::kBatch));
}

SqlError ForeignKeyColumnCount(std::string_view table) {
  return WithCreateConstraint(Make(
      8139, 16, 0,
      "Number of referencing columns in foreign key differs from number of referenced columns, table " + Q(table) + ".",
      ErrorScope::kBatch));
}

SqlError ForeignKeyTypeMismatch(std::string_view ref_column, std::string_view column, std::string_view fk) {
  return WithCreateConstraint(Make(1778, 16, 0,
                                   "Column " + Q(ref_column) + " is not the same data type as referencing column " +
                                       Q(column) + " in foreign key " + Q(fk) + ".",
                                   ErrorScope::kBatch));
}

SqlError OnlyDataColumn(std::string_view column, std::string_view table) {
  return Make(4923, 16, 1,
              "ALTER TABLE DROP COLUMN failed because " + Q(column) + " is the only data column in table " + Q(table) +
                  ". A table must have at least one data column.",
              ErrorScope::kBatch);
}

SqlError ConstraintMissing(std::string_view name) {
  return Make(4917, 16, 1, "Constraint " + Q(name) + " does not exist.", ErrorScope::kBatch);
}

SqlError DefaultColumnInvalid(std::string_view column, std::string_view table) {
  return WithCreateConstraint(Make(
      1752, 16, 0, "Column " + Q(column) + " in table " + Q(table) + " is invalid for creating a default constraint.",
      ErrorScope::kBatch));
}

SqlError DefaultAlreadyBound(std::string_view /*column*/, std::string_view /*table*/) {
  return WithCreateConstraint(Make(1781, 16, 1, "Column already has a DEFAULT bound to it.", ErrorScope::kBatch));
}

SqlError DefaultOnIdentity(std::string_view table, std::string_view column) {
  return WithCreateConstraint(Make(1754, 16, 0,
                                   "Defaults cannot be created on columns with an IDENTITY attribute. Table " +
                                       Q(table) + ", column " + Q(column) + ".",
                                   ErrorScope::kBatch));
}

Message ObjectsAccessColumn(std::string_view action, std::string_view column) {
  return Make(4922, 16, 9,
              "ALTER TABLE " + std::string(action) + " " + std::string(column) +
                  " failed because one or more objects access this column.",
              ErrorScope::kBatch)
      .message();
}

SqlError CrossDatabaseForeignKey(std::string_view fk) {
  return WithCreateConstraint(
      Make(1763, 16, 0, "Cross-database foreign key references are not supported. Foreign key " + Q(fk) + ".",
           ErrorScope::kBatch));
}

// ---- Storage ------------------------------------------------------------------------------

SqlError StorageFailure(std::string_view db, std::string_view detail) {
  return Make(823, 16, 1, "The database file of " + Q(db) + " could not be used: " + std::string(detail) + ".",
              ErrorScope::kBatch);
}

// ---- Informational messages ---------------------------------------------------------------

Message Printed(std::string text) { return Make(0, 0, 1, std::move(text), ErrorScope::kStatement).message(); }

Message Info(int number, std::string text) {
  return Make(number, 10, 1, std::move(text), ErrorScope::kStatement).message();
}

}  // namespace engine::err
