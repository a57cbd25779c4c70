// CREATE INDEX and DROP INDEX. Plain indexes live only in sysindexes, not in sysobjects.
#include "ddl/ddl_common.h"
#include "ddl/statements.h"
#include "errors.h"
#include "values.h"

namespace engine {
namespace {

std::string Written(const ast::ObjectName& name) { return name.written.empty() ? name.name : name.written; }

IndexDef BuildIndex(const ast::CreateIndexStmt& stmt, const TableDef& table) {
  IndexDef index;
  index.name = stmt.name;
  index.unique = stmt.unique;
  index.clustered = stmt.clustered.value_or(false);
  for (const auto& c : stmt.columns) {
    auto ord = table.FindColumn(c.name);
    if (!ord) throw err::IndexColumnMissing(c.name);
    for (int prev : index.columns) {
      if (prev == *ord) throw err::IndexColumnTwice(c.name);
    }
    index.columns.push_back(*ord);
    index.descending.push_back(c.desc);
  }
  index.index_id = ddl::NextIndexId(table, index.clustered);
  return index;
}

}  // namespace

// CREATE [UNIQUE] [CLUSTERED | NONCLUSTERED] INDEX ix ON t (c [ASC | DESC], ...)
void ExecCreateIndex(const ast::CreateIndexStmt& stmt, ExecContext& ctx) {
  Store& db = ddl::StoreFor(stmt.table, ctx);
  const TableDef* table = ddl::LookupTable(db, stmt.table);
  if (table == nullptr) throw err::IndexTableMissing(Written(stmt.table));
  if (table->is_view) throw err::IndexOnView(stmt.table.name);
  if (table->FindIndex(stmt.name) != nullptr) throw err::IndexExists(stmt.name, stmt.table.name);
  if (stmt.clustered.value_or(false)) {
    if (const IndexDef* existing = table->ClusteredIndex()) {
      throw err::SecondClusteredIndex(existing->name, stmt.table.name);
    }
  }
  db.CreateIndex(table->id, BuildIndex(stmt, *table));
}

// DROP INDEX t.ix[, ...] | DROP INDEX ix ON t
void ExecDropIndex(const ast::DropIndexStmt& stmt, ExecContext& ctx) {
  for (const auto& target : stmt.targets) {
    Store& db = ddl::StoreFor(target.table, ctx);
    const TableDef* table = ddl::LookupTable(db, target.table);
    std::string written = target.table.name + "." + target.index;
    const IndexDef* index = table ? table->FindIndex(target.index) : nullptr;
    if (index == nullptr) throw err::IndexNotFound(written);
    if (index->constraint_id != 0) throw err::IndexOfConstraint(table->name + "." + index->name, index->primary_key);
    db.DropIndex(table->id, index->index_id);
  }
}

}  // namespace engine
