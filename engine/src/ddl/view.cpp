// CREATE VIEW. The view keeps its SELECT text; its columns are learned by running the query
// once, so that a view over missing tables or columns fails when it is created, as on SQL Server.
#include "ddl/ddl_common.h"
#include "ddl/statements.h"
#include "errors.h"
#include "query/query.h"
#include "values.h"

namespace engine {
namespace {

std::vector<ColumnDef> ViewColumns(const ast::CreateViewStmt& stmt, const ResultSet& rows) {
  const std::string& view = stmt.name.name;
  if (!stmt.columns.empty() && stmt.columns.size() > rows.columns.size()) throw err::ViewColumnListTooLong(view);
  if (!stmt.columns.empty() && stmt.columns.size() < rows.columns.size()) throw err::ViewColumnListTooShort(view);
  std::vector<ColumnDef> columns;
  for (size_t i = 0; i < rows.columns.size(); ++i) {
    ColumnDef col;
    col.colid = static_cast<int32_t>(i) + 1;
    col.name = stmt.columns.empty() ? rows.columns[i].name : stmt.columns[i];
    col.type = rows.columns[i].type;
    col.nullable = rows.columns[i].nullable;
    if (col.name.empty()) throw err::ViewColumnUnnamed(col.colid);
    for (const auto& prev : columns) {
      if (CollateEqual(prev.name, col.name)) throw err::ViewColumnTwice(col.name, view);
    }
    columns.push_back(std::move(col));
  }
  return columns;
}

}  // namespace

// CREATE VIEW [dbo.]v [(c, ...)] AS SELECT ...
void ExecCreateView(const ast::CreateViewStmt& stmt, ExecContext& ctx) {
  Store& db = ddl::StoreFor(stmt.name, ctx);
  if (!ddl::IsDboSchema(stmt.name)) throw err::SchemaMissing(stmt.name.schema);
  ddl::CheckObjectNameFree(db, stmt.name.name);
  if (stmt.select == nullptr) throw err::NotSupported("CREATE VIEW without a query");
  ResultSet rows = RunQuery(*stmt.select, ctx);

  TableDef view;
  view.name = stmt.name.name;
  view.is_view = true;
  view.view_select = stmt.select_text;
  view.view_definition = stmt.definition;
  view.columns = ViewColumns(stmt, rows);
  view.id = db.AllocateObjectId();
  db.CreateView(view, Now());
}

}  // namespace engine
