// ALTER TABLE: dispatch, DROP CONSTRAINT, DROP COLUMN and [NO]CHECK CONSTRAINT.
#include "ddl/alter_table.h"

#include <algorithm>

#include "ddl/constraints.h"
#include "ddl/ddl_common.h"
#include "errors.h"
#include "values.h"

namespace engine {
namespace ddl {
namespace {

bool Contains(const std::vector<int>& v, int x) { return std::find(v.begin(), v.end(), x) != v.end(); }

// A foreign key depends on the unique index whose columns it references; another unique index
// over the same columns could serve it as well, as SQL Server would have bound it to one of them.
const ForeignKeyDef* ReferencingKey(Store& db, const TableDef& table, const IndexDef& index) {
  for (const ForeignKeyDef* fk : db.catalog().ReferencesTo(table.id)) {
    if (!SameColumnSet(fk->ref_columns, index.columns)) continue;
    bool other = std::any_of(table.indexes.begin(), table.indexes.end(), [&](const IndexDef& ix) {
      return ix.unique && ix.index_id != index.index_id && SameColumnSet(ix.columns, index.columns);
    });
    if (!other) return fk;
  }
  return nullptr;
}

void DropKeyConstraint(Store& db, const TableDef& table, const ObjectDef& object) {
  const IndexDef* index = nullptr;
  for (const auto& ix : table.indexes) {
    if (ix.constraint_id == object.id) index = &ix;
  }
  if (index != nullptr) {
    if (const ForeignKeyDef* fk = ReferencingKey(db, table, *index)) {
      const TableDef* child = db.catalog().TableById(fk->table_id);
      throw err::ConstraintReferenced(object.name, child ? child->name : "", fk->name);
    }
    db.DropIndex(table.id, index->index_id);
  }
}

void DropDefaultConstraint(Store& db, const TableDef& table, const ObjectDef& object) {
  for (const auto& col : table.columns) {
    if (col.default_id != object.id) continue;
    ColumnDef changed = col;
    changed.default_id = 0;
    changed.default_text.clear();
    db.ReplaceColumn(table.id, changed);
    return;
  }
}

// ALTER TABLE t DROP CONSTRAINT a[, b]
void DropConstraints(Store& db, int32_t table_id, const ast::AlterTableStmt& stmt) {
  for (const auto& name : stmt.names) {
    const TableDef& table = *db.catalog().TableById(table_id);
    const ObjectDef* found = db.catalog().FindObject(name);
    if (found == nullptr || found->parent_id != table_id) throw err::NotAConstraint(name);
    ObjectDef object = *found;
    if (object.xtype == "PK" || object.xtype == "UQ") {
      DropKeyConstraint(db, table, object);
    } else if (object.xtype == "F") {
      db.DropForeignKey(object.id);
    } else if (object.xtype == "D") {
      DropDefaultConstraint(db, table, object);
    }
    // The storage may already have removed the sysobjects row with the index or key.
    if (db.catalog().ObjectById(object.id) != nullptr) db.DropObject(object.id);
  }
}

// ALTER TABLE t DROP COLUMN a[, b]
void DropColumns(Store& db, int32_t table_id, const ast::AlterTableStmt& stmt) {
  for (const auto& name : stmt.names) {
    const TableDef& table = *db.catalog().TableById(table_id);
    auto ord = table.FindColumn(name);
    if (!ord) throw err::ColumnDoesNotExist("ALTER TABLE DROP COLUMN", name, table.name);
    std::vector<ColumnDependent> deps = ColumnDependents(db, table, *ord);
    if (!deps.empty()) ThrowDependents(deps, "DROP COLUMN", name);
    if (table.columns.size() == 1) throw err::OnlyDataColumn(name, table.name);
    db.DropColumn(table_id, table.columns[*ord].colid);
  }
}

// ALTER TABLE t [WITH CHECK | WITH NOCHECK] {CHECK | NOCHECK} CONSTRAINT {ALL | a[, b]}
void SetChecking(Store& db, int32_t table_id, const ast::AlterTableStmt& stmt, bool enable, ExecContext& ctx) {
  // The parser leaves the list empty for ALL.
  bool all = stmt.names.empty() || (stmt.names.size() == 1 && CollateEqual(stmt.names[0], "ALL"));
  std::vector<ForeignKeyDef> keys;
  for (const ForeignKeyDef* fk : db.catalog().ReferencesFrom(table_id)) keys.push_back(*fk);
  if (!all) {
    for (const auto& name : stmt.names) {
      const ObjectDef* object = db.catalog().FindObject(name);
      if (object == nullptr || object->parent_id != table_id || (object->xtype != "F" && object->xtype != "C")) {
        throw err::ConstraintMissing(name);
      }
    }
  }
  for (const ForeignKeyDef& fk : keys) {
    bool named = all || std::any_of(stmt.names.begin(), stmt.names.end(),
                                    [&](const std::string& n) { return CollateEqual(n, fk.name); });
    if (!named) continue;
    // Re-enabling trusts the key again only when WITH CHECK validated the rows.
    bool validate = enable && stmt.with_check.value_or(false);
    if (validate) ValidateForeignKey(db, fk, ctx);
    db.SetForeignKeyState(fk.id, enable ? (validate || fk.trusted) : false, enable);
  }
}

}  // namespace

std::vector<ColumnDependent> ColumnDependents(Store& db, const TableDef& table, int ordinal) {
  std::vector<ColumnDependent> deps;
  for (const auto& ix : table.indexes) {
    if (!Contains(ix.columns, ordinal)) continue;
    if (ix.primary_key) {
      deps.push_back({ColumnDependent::Kind::kPrimaryKey, ix.name});
    } else if (ix.unique_constraint) {
      deps.push_back({ColumnDependent::Kind::kUniqueKey, ix.name});
    } else {
      deps.push_back({ColumnDependent::Kind::kIndex, ix.name, ix.unique});
    }
  }
  for (const ForeignKeyDef* fk : db.catalog().ReferencesFrom(table.id)) {
    if (Contains(fk->columns, ordinal)) deps.push_back({ColumnDependent::Kind::kForeignKey, fk->name});
  }
  for (const ForeignKeyDef* fk : db.catalog().ReferencesTo(table.id)) {
    bool listed = std::any_of(deps.begin(), deps.end(), [&](const ColumnDependent& d) { return d.name == fk->name; });
    if (!listed && Contains(fk->ref_columns, ordinal)) deps.push_back({ColumnDependent::Kind::kForeignKey, fk->name});
  }
  const ColumnDef& col = table.columns[ordinal];
  if (col.default_id != 0) {
    const ObjectDef* d = db.catalog().ObjectById(col.default_id);
    deps.push_back({ColumnDependent::Kind::kDefault, d ? d->name : ""});
  }
  return deps;
}

void ThrowDependents(const std::vector<ColumnDependent>& deps, std::string_view action, std::string_view column) {
  auto word = [](const ColumnDependent& d) { return d.kind == ColumnDependent::Kind::kIndex ? "index" : "object"; };
  SqlError e = err::DependentObject(word(deps[0]), deps[0].name, column);
  for (size_t i = 1; i < deps.size(); ++i) {
    SqlError next = err::DependentObject(word(deps[i]), deps[i].name, column);
    e.Follow(next.number(), next.severity(), next.state(), next.text());
  }
  Message last = err::ObjectsAccessColumn(action, column);
  e.Follow(last.number, last.severity, last.state, last.text);
  e.set_scope(ErrorScope::kBatch);
  throw e;
}

}  // namespace ddl

// ALTER TABLE [db.][dbo.]t {ADD ... | ALTER COLUMN ... | DROP CONSTRAINT ... | DROP COLUMN ... |
//   [WITH {CHECK | NOCHECK}] {CHECK | NOCHECK} CONSTRAINT ...}
void ExecAlterTable(const ast::AlterTableStmt& stmt, ExecContext& ctx) {
  Store& db = ddl::StoreFor(stmt.table, ctx);
  const TableDef& table = ddl::AlterTarget(db, stmt.table);
  int32_t table_id = table.id;
  using Action = ast::AlterTableStmt::Action;
  switch (stmt.action) {
    case Action::kAdd:
      ddl::AlterAdd(db, table, stmt, ctx);
      break;
    case Action::kAlterColumn:
      ddl::AlterColumn(db, table, stmt, ctx);
      break;
    case Action::kDropConstraint:
      ddl::DropConstraints(db, table_id, stmt);
      break;
    case Action::kDropColumn:
      ddl::DropColumns(db, table_id, stmt);
      break;
    case Action::kCheckConstraint:
      ddl::SetChecking(db, table_id, stmt, true, ctx);
      break;
    case Action::kNoCheckConstraint:
      ddl::SetChecking(db, table_id, stmt, false, ctx);
      break;
  }
}

}  // namespace engine
