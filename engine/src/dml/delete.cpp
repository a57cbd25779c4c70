// DELETE [FROM] t [FROM <sources>] [WHERE ...] and TRUNCATE TABLE t.
#include <unordered_set>

#include "dml/dml.h"
#include "errors.h"

namespace engine {

// DELETE [TOP (n)] [FROM] t [FROM t JOIN ...] [WHERE ...]
void ExecDelete(const ast::DeleteStmt& stmt, ExecContext& ctx) {
  query::QueryPlan plan;
  int ti = dml::PrepareTarget(plan, stmt.target, stmt.from, ctx);
  const query::Source& target = *plan.sources[ti];
  const TableDef& table = *target.table;
  Store& store = *target.store;
  query::Scope scope{&plan, nullptr};
  query::Binder binder(ctx, &scope);
  dml::BindWhere(plan, binder, stmt.where.get());
  query::PlanJoins(plan, ctx);
  int64_t limit = dml::TopLimit(stmt.top.get(), ctx);

  std::vector<int64_t> rowids;
  std::unordered_set<int64_t> seen;
  Row row;
  int rowid_slot = target.rowid_slot();
  query::EnumerateRows(plan, row, nullptr, ctx, [&] {
    if (limit >= 0 && static_cast<int64_t>(rowids.size()) >= limit) return false;
    const Value& id = row[rowid_slot];
    if (!id.is_null() && seen.insert(id.as_int()).second) rowids.push_back(id.as_int());
    return true;
  });

  bool referenced = dml::IsReferenced(store, table);
  std::vector<Row> old_rows;
  Row current;
  for (int64_t id : rowids) {
    if (referenced && store.Get(table, id, current)) old_rows.push_back(current);
    store.Delete(table, id);
  }
  if (referenced) dml::ParentRowsRemoved(store, table, old_rows, ctx);
  ctx.Count(static_cast<int64_t>(rowids.size()));
}

// TRUNCATE TABLE t: removes every row and resets the identity to its seed.
void ExecTruncate(const ast::TruncateStmt& stmt, ExecContext& ctx) {
  Store* store = nullptr;
  const TableDef& table = query::ResolveTable(stmt.table, ctx, &store);
  if (table.is_view) throw err::NotSupported("TRUNCATE TABLE of the view '" + table.name + "'");
  store->DeleteAll(table);
  store->ResetIdentity(table);
}

}  // namespace engine
