// Helpers shared by INSERT, UPDATE and DELETE: storing values into columns, defaults, target
// resolution for the T-SQL FROM forms, and FOREIGN KEY enforcement.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dml/statements.h"
#include "exec_context.h"
#include "query/plan.h"
#include "query/query.h"

namespace engine::dml {

// Converts a value for storage in column `c` (8152 on too long strings, char(n) padded).
Value ToColumn(const Value& v, const ColumnDef& c, ExecContext& ctx);
// "db.dbo.Table" as error 515 names it.
std::string ThreePartName(const Store& store, const TableDef& table);
// Inserts one row into `table` of `store`: identity, defaults, NOT NULL, conversions, foreign keys.
int64_t InsertRowInto(Store& store, const TableDef& table, std::vector<std::optional<Value>> values, ExecContext& ctx,
                      bool explicit_identity);

// The source of an UPDATE/DELETE target inside a plan built from the statement's FROM clause
// (or the target alone); compiles the FROM clause and WHERE.
int PrepareTarget(query::QueryPlan& plan, const ast::ObjectName& target, const std::vector<ast::TableRefPtr>& from,
                  ExecContext& ctx);
// Binds the WHERE clause of an UPDATE/DELETE (may be null) into `plan`.
void BindWhere(query::QueryPlan& plan, query::Binder& binder, const ast::Expr* where);
// The row limit of TOP (n) of an UPDATE/DELETE (may be null): -1 without TOP, 0 for NULL.
int64_t TopLimit(const ast::Expr* top, ExecContext& ctx);

// ---- FOREIGN KEY enforcement (foreign_keys.cpp) -----------------------------------------------
// Child side: every enabled foreign key of `child` whose columns are non-NULL in `row` must find
// its parent row (547 FOREIGN KEY). `changed`: only keys touching these ordinals (UPDATE).
void CheckParents(Store& store, const TableDef& child, const Row& row, std::string_view verb, ExecContext& ctx,
                  const std::vector<int>* changed);
// Parent side after DELETE: children of the removed keys are deleted (CASCADE), set NULL, or the
// statement fails (547 REFERENCE).
void ParentRowsRemoved(Store& store, const TableDef& parent, const std::vector<Row>& old_rows, ExecContext& ctx);
// Parent side after UPDATE of key columns: (old row, new row) pairs.
void ParentKeysChanged(Store& store, const TableDef& parent, const std::vector<std::pair<Row, Row>>& changes,
                       ExecContext& ctx);
// True when some enabled foreign key references `table`.
bool IsReferenced(Store& store, const TableDef& table);

}  // namespace engine::dml
