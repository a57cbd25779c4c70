// DROP TABLE and DROP VIEW.
#include "ddl/ddl_common.h"
#include "ddl/statements.h"
#include "errors.h"

namespace engine {
namespace {

std::string Written(const ast::ObjectName& name) { return name.written.empty() ? name.name : name.written; }

void CheckNotReferenced(Store& db, const TableDef& table, const ast::ObjectName& name) {
  for (const ForeignKeyDef* fk : db.catalog().ReferencesTo(table.id)) {
    if (fk->table_id != table.id) throw err::ReferencedByForeignKey(name.name);
  }
}

// A dropped table can no longer have IDENTITY_INSERT on.
void ForgetIdentityInsert(Store& db, const TableDef& table, ExecContext& ctx) {
  if (ctx.IdentityInsertOn(db.name(), table.id)) ctx.ClearIdentityInsert();
}

void DropObjects(const ast::DropStmt& stmt, ExecContext& ctx, bool view) {
  const char* kind = view ? "view" : "table";
  for (const auto& name : stmt.names) {
    Store& db = ddl::StoreFor(name, ctx);
    const TableDef* table = ddl::LookupTable(db, name);
    if (table == nullptr) {
      if (stmt.if_exists) continue;
      throw err::CannotDrop(kind, Written(name)).set_scope(ErrorScope::kStatement);
    }
    if (table->is_view != view) {
      throw view ? err::WrongDropKind("VIEW", name.name, "a table", "TABLE")
                 : err::WrongDropKind("TABLE", name.name, "a view", "VIEW");
    }
    if (!view) CheckNotReferenced(db, *table, name);
    ForgetIdentityInsert(db, *table, ctx);
    db.DropTable(table->id);
  }
}

}  // namespace

// DROP TABLE [IF EXISTS] t[, ...]
void ExecDropTable(const ast::DropStmt& stmt, ExecContext& ctx) { DropObjects(stmt, ctx, false); }

// DROP VIEW [IF EXISTS] v[, ...]
void ExecDropView(const ast::DropStmt& stmt, ExecContext& ctx) { DropObjects(stmt, ctx, true); }

}  // namespace engine
