// SELECT as a statement: emits its row set, or with INTO creates a table from the result.
#include "dml/dml.h"
#include "errors.h"
#include "query/plan.h"

namespace engine {
namespace {

// SELECT ... INTO t FROM ...: the new table takes the result's column names and types.
void SelectInto(const ast::SelectStmt& stmt, ExecContext& ctx) {
  ResultSet rs = RunQuery(stmt, ctx);
  Store* store = stmt.into.db.empty() ? &ctx.db() : ctx.Database(stmt.into.db);
  if (!store) throw err::InvalidObject(stmt.into.written.empty() ? stmt.into.name : stmt.into.written);
  if (store->catalog().FindObject(stmt.into.name)) throw err::ObjectExists(stmt.into.name);
  TableDef def;
  def.id = store->AllocateObjectId();
  def.name = stmt.into.name;
  for (size_t i = 0; i < rs.columns.size(); ++i) {
    ColumnDef c;
    c.colid = static_cast<int32_t>(i + 1);
    c.name = rs.columns[i].name;
    c.type = rs.columns[i].type.id == TypeId::kNull ? SqlType{TypeId::kInt, 0, 0, 0} : rs.columns[i].type;
    c.nullable = true;
    def.columns.push_back(std::move(c));
  }
  store->CreateTable(def, Now());
  const TableDef* table = store->catalog().FindTable(def.name);
  if (!table) throw err::InvalidObject(def.name);
  for (auto& r : rs.rows) {
    std::vector<std::optional<Value>> values(r.begin(), r.end());
    dml::InsertRowInto(*store, *table, std::move(values), ctx, false);
  }
  ctx.Count(static_cast<int64_t>(rs.rows.size()));
}

}  // namespace

// SELECT <items> [FROM ...] [WHERE ...] [GROUP BY ...] [HAVING ...] [ORDER BY ...]
void ExecSelect(const ast::SelectStmt& stmt, ExecContext& ctx) {
  if (!stmt.into.name.empty()) {
    SelectInto(stmt, ctx);
    return;
  }
  ctx.Rows(RunQuery(stmt, ctx));
}

}  // namespace engine
