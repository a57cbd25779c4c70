// SELECT ... INTO: the query layer produces the rows, this writer creates the table and stores them.
#include "dml/dml.h"
#include "errors.h"

namespace engine {

// SELECT <items> INTO t FROM ...: the new table takes the result's column names and types.
void ExecSelectInto(const ast::SelectStmt& stmt, ExecContext& ctx) {
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

}  // namespace engine
