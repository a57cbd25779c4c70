// Helpers shared by the DDL executors: resolving the database and table a statement names,
// the shared object namespace, system-generated constraint names and index ids.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ast.h"
#include "catalog.h"
#include "ddl/statements.h"
#include "exec_context.h"
#include "store.h"

namespace engine::ddl {

// True when the schema part is empty or dbo (the only schema a database of the engine has).
bool IsDboSchema(const ast::ObjectName& name);

// The store a statement's object name lives in: the current database unless a database part
// names another one. Throws 2702 for an unknown database.
Store& StoreFor(const ast::ObjectName& name, ExecContext& ctx);

// The table or view a name refers to, or nullptr (a schema other than dbo finds nothing).
const TableDef* LookupTable(Store& db, const ast::ObjectName& name);

// Target of ALTER TABLE: throws 4902 when missing, 4909 for a view.
const TableDef& AlterTarget(Store& db, const ast::ObjectName& name);

// Throws 2714 when `name` is taken by any object of the database (tables, views, constraints).
void CheckObjectNameFree(Store& db, std::string_view name);

// Names SQL Server gives constraints written without a name.
std::string KeyConstraintName(std::string_view prefix, std::string_view table, int32_t object_id);  // PK__ / UQ__
std::string ColumnConstraintName(std::string_view prefix, std::string_view table, std::string_view column,
                                 int32_t object_id);  // DF__ / FK__ / CK__

// Index id for a new index: 1 when clustered, otherwise the next free id from 2.
int32_t NextIndexId(const TableDef& table, bool clustered);

// "db.dbo.T", as 515 and 8107 name a table.
std::string ThreePartName(Store& db, const TableDef& table);

// True when the two ordinal lists hold the same columns in any order.
bool SameColumnSet(std::vector<int> a, std::vector<int> b);

}  // namespace engine::ddl
