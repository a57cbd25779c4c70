// Named factories for every error the engine raises, so that the wording of SQL Server's
// messages lives in one place. Each returns a SqlError carrying number, severity, state, text
// and the scope that decides how the batch goes on; the follow-up messages SQL Server sends
// (1750, 3621, 3727, 4922) are attached where it sends them.
#pragma once

#include <string>
#include <string_view>

#include "engine/engine.h"

namespace engine::err {

// Syntax (compile-time: nothing in the batch runs).
SqlError SyntaxNear(std::string_view token);           // 102
SqlError SyntaxNearKeyword(std::string_view keyword);  // 156
SqlError UnclosedQuote(std::string_view rest);         // 105 (+ 102 follows in SQL Server)
SqlError MissingEndComment();                          // 113
SqlError IdentifierTooLong(std::string_view prefix);   // 103 (prefix: the first 128 characters)
SqlError TooManyRowValues();                           // 10738 (more than 1000 rows in VALUES)
SqlError NestedTooDeeply();                            // 191
SqlError CreateViewNotFirst();                         // 111
SqlError DropIndexNeedsTable();                        // 159
SqlError NonBooleanNear(std::string_view token);       // 4145

// Names.
SqlError InvalidColumn(std::string_view column);       // 207
SqlError InvalidObject(std::string_view name);         // 208
SqlError AmbiguousColumn(std::string_view column);     // 209
SqlError TooManyTableNames(size_t limit);              // 106
SqlError UnknownFunction(std::string_view name);       // 195 "'%s' is not a recognized built-in function name."
SqlError UnknownType(std::string_view type);           // 2715 (column #n)
SqlError MultiPartNotBound(std::string_view written);  // 4104
SqlError WrongArgumentCount(std::string_view function, int n);  // 174
SqlError NotInGroupBy(std::string_view column);                 // 8120
SqlError AggregateInWhere();                                    // 147
SqlError OrderByPositionOutOfRange(int n);                      // 108

// Data.
SqlError ConversionFailed(std::string_view from_type, std::string_view value, std::string_view to_type);  // 245
SqlError DateConversionFailed();                                                                          // 241
SqlError DateOutOfRange(std::string_view from_type, std::string_view to_type);                            // 242
SqlError ConvertError(std::string_view from_type, std::string_view to_type);                              // 8114
SqlError ArithmeticOverflow(std::string_view to_type);  // 8115 "...converting expression to data type %s."
SqlError ArithmeticOverflowValue(std::string_view type, int64_t value);  // 220
SqlError DivideByZero();                                                 // 8134
SqlError Truncation();                                                   // 8152 (+3621)
SqlError SubqueryMultipleRows();                                         // 512
SqlError NullNotAllowed(std::string_view column, std::string_view three_part_table,
                        std::string_view verb);                                               // 515 (+3621)
SqlError InvalidLength(std::string_view function);                                            // 536
SqlError InvalidLengthLeftSubstring();                                                        // 537
SqlError OperandTypeClash(std::string_view a, std::string_view b);                            // 206
SqlError InvalidOperandType(std::string_view type, std::string_view op);                      // 8117
SqlError DataTypesIncompatible(std::string_view a, std::string_view b, std::string_view op);  // 402

// Keys and constraints.
SqlError DuplicateKey(bool primary, std::string_view constraint, std::string_view object,
                      std::string_view key);                                                        // 2627 (+3621)
SqlError DuplicateIndexKey(std::string_view object, std::string_view index, std::string_view key);  // 2601 (+3621)
SqlError DuplicateOnCreateIndex(std::string_view object, std::string_view index, std::string_view key,
                                bool constraint);  // 1505 (+1750 for a constraint, +3621)
SqlError ConstraintConflict(std::string_view verb, std::string_view kind, std::string_view constraint,
                            std::string_view db, std::string_view table, std::string_view column);        // 547 (+3621)
SqlError AlreadyHasPrimaryKey(std::string_view table);                                                    // 1779 + 1750
SqlError MultiplePrimaryKeys(std::string_view table);                                                     // 8110
SqlError NullablePrimaryKey(std::string_view table);                                                      // 8111 + 1750
SqlError NoCandidateKey(std::string_view ref_table, std::string_view fk);                                 // 1776 + 1750
SqlError ForeignKeyInvalidTable(std::string_view fk, std::string_view ref_table);                         // 1767 + 1750
SqlError NotAConstraint(std::string_view name);                                                           // 3728 + 3727
SqlError ConstraintReferenced(std::string_view constraint, std::string_view table, std::string_view fk);  // 3725 + 3727
SqlError ReferencedByForeignKey(std::string_view table);                                                  // 3726
SqlError IndexExists(std::string_view index, std::string_view table);                                     // 1913
SqlError SecondClusteredIndex(std::string_view index, std::string_view table);                            // 1902
SqlError IndexNotFound(std::string_view table_dot_index);  // 3701 for DROP INDEX ("index")

// Objects and columns.
SqlError ObjectExists(std::string_view name);                                    // 2714
SqlError ColumnSpecifiedTwice(std::string_view column, std::string_view table);  // 2705
SqlError CannotDrop(std::string_view kind, std::string_view name);               // 3701 ("table", "view", "database")
SqlError CannotFindObject(std::string_view name);                                // 4902
SqlError NotATable(std::string_view name);                                       // 4909
SqlError ColumnCannotBeAdded(std::string_view column, std::string_view table);   // 4901
SqlError ColumnDoesNotExist(std::string_view action, std::string_view column, std::string_view table);  // 4924
SqlError DependentObject(std::string_view kind, std::string_view object, std::string_view column);      // 5074
SqlError MultipleIdentity(std::string_view table);                                                      // 2744
SqlError InsertCountMismatch();                                                                         // 213
SqlError ColumnNotUpdatable(std::string_view column);  // 8102 (identity)

// Identity.
SqlError IdentityInsertOff(std::string_view table);                                     // 544
SqlError IdentityValueRequired(std::string_view table);                                 // 545
SqlError IdentityColumnListRequired(std::string_view table);                            // 8101
SqlError NoIdentityProperty(std::string_view table);                                    // 8106
SqlError IdentityInsertAlreadyOn(std::string_view three_part, std::string_view table);  // 8107

// Databases, logins, sessions.
SqlError DatabaseExists(std::string_view name);      // 1801
SqlError DatabaseNotFound(std::string_view name);    // 911 (USE)
SqlError CannotOpenDatabase(std::string_view name);  // 4060
SqlError LoginFailed(std::string_view user);         // 18456
SqlError DatabaseInUse(std::string_view name);       // 3702
SqlError SystemDatabase(std::string_view name);      // 3708 (DROP DATABASE master)
SqlError ServerUnusable(std::string_view detail);    // 2 (fatal): server directory missing/unusable
// 5172 style, clear text; detail() carries `detail` for callers that wrap the error.
SqlError DatabaseFileUnusable(std::string_view db, std::string_view detail);
SqlError NoTransaction(bool commit);  // 3902 / 3903
// Procedures.
SqlError ProcedureNotFound(std::string_view name);                                      // 2812
SqlError ParameterNotSupplied(std::string_view procedure, std::string_view parameter);  // 201
SqlError AppLockNotHeld(std::string_view resource);                                     // 1223
SqlError AppLockFileUnusable(std::string_view file);                                    // 40000 range, batch scope
// 8630: a statement failed with an engine bug (a C++ exception other than SqlError); batch scope,
// detail() holds the exception's text.
SqlError InternalQueryProcessorError(std::string_view fault);
SqlError NotSupported(std::string_view what);            // 40000 range: clear text, batch scope
SqlError FeatureNotSupported(std::string_view feature);  // 40000 "<feature> is not supported by this server."
// An error reported in a batch result, thrown again by Session::ExecuteOrThrow (batch scope).
SqlError FromMessage(const Message& m);

// Informational messages (severity 10; PRINT output 0).
Message Info(int number, std::string text);
Message Printed(std::string text);  // PRINT output: number 0, severity 0

// Added with the value layer (conversions and functions need these as well).
SqlError ConversionOverflow(std::string_view from_type, std::string_view value);  // 248 "...overflowed an int column."
SqlError ArithmeticOverflowFrom(std::string_view from_type,
                                std::string_view to_type);                   // 8115 "converting %s to data type %s"
SqlError GuidConversionFailed();                                             // 8169
SqlError DateAddOverflow();                                                  // 517
SqlError DateDiffOverflow();                                                 // 535
SqlError InvalidDatePart(std::string_view name, std::string_view function);  // 155
SqlError MoreColumnsThanValues(bool values_clause);                          // 109 (VALUES) / 120 (SELECT)
SqlError MoreValuesThanColumns(bool values_clause);                          // 110 (VALUES) / 121 (SELECT)
SqlError InvalidFloatOperation();                                            // 3623 (SQRT(-1), LOG(0))

// DDL executors.
SqlError& FollowConstraintFailed(SqlError& e);                               // + 1750 after a constraint failure
SqlError IndexColumnMissing(std::string_view column);                        // 1911
SqlError IndexTableMissing(std::string_view written);                        // 1088
SqlError IndexOnView(std::string_view view);                                 // 1939
SqlError IndexColumnTwice(std::string_view column);                          // 1909
SqlError IndexOfConstraint(std::string_view table_dot_index, bool primary);  // 3723
SqlError DatabaseMissing(std::string_view name);                             // 2702
SqlError SchemaMissing(std::string_view schema);                             // 2760
SqlError IdentityTypeInvalid(std::string_view column);                       // 2749
SqlError IdentityNullable(std::string_view column, std::string_view table);  // 8147
SqlError WrongDropKind(std::string_view statement, std::string_view name, std::string_view actual,
                       std::string_view use);                                       // 3705
SqlError ViewColumnUnnamed(int ordinal);                                            // 4511
SqlError ViewColumnTwice(std::string_view column, std::string_view view);           // 4506
SqlError ViewColumnListTooLong(std::string_view view);                              // 4502
SqlError ViewColumnListTooShort(std::string_view view);                             // 4501
SqlError BadDateFormat(std::string_view value);                                     // 2741
SqlError NoPrimaryKeyToReference(std::string_view fk, std::string_view ref_table);  // 1773 + 1750
SqlError ForeignKeyColumnMissing(std::string_view fk, std::string_view column, std::string_view table,
                                 bool referenced);       // 1770 / 1769 + 1750
SqlError ForeignKeyColumnCount(std::string_view table);  // 8139 + 1750
SqlError ForeignKeyTypeMismatch(std::string_view ref_column, std::string_view column,
                                std::string_view fk);                            // 1778 + 1750
SqlError OnlyDataColumn(std::string_view column, std::string_view table);        // 4923
SqlError ConstraintMissing(std::string_view name);                               // 4917
SqlError DefaultColumnInvalid(std::string_view column, std::string_view table);  // 1752 + 1750
SqlError DefaultAlreadyBound(std::string_view column, std::string_view table);   // 1781 + 1750
SqlError DefaultOnIdentity(std::string_view table, std::string_view column);     // 1754 + 1750
// 4922 for DROP COLUMN / ALTER COLUMN ("ALTER TABLE DROP COLUMN c failed because ..."), sent
// after the 5074 of each dependent object.
Message ObjectsAccessColumn(std::string_view action, std::string_view column);
SqlError CrossDatabaseForeignKey(std::string_view fk);  // 1763 + 1750

// Storage.
// A failure of the database file that is not the statement's fault (disk full, I/O error, lock
// wait timed out): number 823, batch scope, text naming the database and SQLite's reason.
SqlError StorageFailure(std::string_view db, std::string_view detail);

}  // namespace engine::err
