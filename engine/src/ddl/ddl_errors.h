// SQL Server errors that only the DDL executors raise and errors.h does not cover. They follow
// the conventions of errors.h: SQL Server's number, severity, state and English text; DDL
// failures abort the batch.
#pragma once

#include <string_view>

#include "engine/engine.h"

namespace engine::ddl {

// 1750 "Could not create constraint. See previous errors." attached after constraint failures.
SqlError& FollowConstraintFailed(SqlError& e);

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
SqlError SystemDatabase(std::string_view name);                                     // 3708
SqlError NoPrimaryKeyToReference(std::string_view fk, std::string_view ref_table);  // 1773
SqlError ForeignKeyColumnMissing(std::string_view fk, std::string_view column, std::string_view table,
                                 bool referenced);       // 1770 / 1769
SqlError ForeignKeyColumnCount(std::string_view table);  // 8139
SqlError ForeignKeyTypeMismatch(std::string_view ref_column, std::string_view column,
                                std::string_view fk);                            // 1778
SqlError OnlyDataColumn(std::string_view column, std::string_view table);        // 4923
SqlError ConstraintMissing(std::string_view name);                               // 4917
SqlError DefaultColumnInvalid(std::string_view column, std::string_view table);  // 1752
SqlError DefaultAlreadyBound(std::string_view column, std::string_view table);   // 1781
SqlError DefaultOnIdentity(std::string_view table, std::string_view column);     // 1754
// 4922 for DROP COLUMN / ALTER COLUMN ("ALTER TABLE DROP COLUMN c failed because ...").
Message ObjectsAccessColumnMessage(std::string_view action, std::string_view column);
SqlError CrossDatabaseForeignKey(std::string_view fk);  // 1763

}  // namespace engine::ddl
