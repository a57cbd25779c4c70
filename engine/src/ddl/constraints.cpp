#include "ddl/constraints.h"

#include <optional>

#include "ddl/ddl_common.h"
#include "ddl/table_builder.h"
#include "errors.h"
#include "values.h"

namespace engine::ddl {
namespace {

using Kind = ast::ConstraintDef::Kind;

bool IsKey(const ast::ConstraintDef& c) { return c.kind == Kind::kPrimaryKey || c.kind == Kind::kUnique; }

const TableDef& TableOf(Store& db, int32_t table_id) { return *db.catalog().TableById(table_id); }

std::vector<ast::IndexColumn> KeyColumns(const PendingConstraint& p) {
  if (!p.def->columns.empty() || p.column.empty()) return p.def->columns;
  return {ast::IndexColumn{p.column, false}};
}

ObjectDef MakeObject(int32_t id, std::string name, std::string xtype, int32_t parent) {
  ObjectDef o;
  o.id = id;
  o.name = std::move(name);
  o.xtype = std::move(xtype);
  o.parent_id = parent;
  o.crdate = Now();
  return o;
}

RefActionKind ToRefAction(ast::RefAction a) {
  switch (a) {
    case ast::RefAction::kCascade:
      return RefActionKind::kCascade;
    case ast::RefAction::kSetNull:
      return RefActionKind::kSetNull;
    case ast::RefAction::kSetDefault:
      return RefActionKind::kSetDefault;
    case ast::RefAction::kNoAction:
      break;
  }
  return RefActionKind::kNoAction;
}

// Explicit names must be free in the database and distinct within the statement.
void CheckNames(Store& db, const std::vector<PendingConstraint>& list) {
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string& name = list[i].def->name;
    if (name.empty()) continue;
    CheckObjectNameFree(db, name);
    for (size_t j = 0; j < i; ++j) {
      if (CollateEqual(list[j].def->name, name)) throw err::ObjectExists(name);
    }
  }
}

void CheckPrimaryKeyCount(const TableDef& table, const std::vector<PendingConstraint>& list,
                          std::string_view written_table) {
  int count = 0;
  for (const auto& p : list) {
    if (p.def->kind == Kind::kPrimaryKey) ++count;
  }
  if (count == 0) return;
  if (table.PrimaryKey() != nullptr) throw err::AlreadyHasPrimaryKey(written_table);
  if (count > 1) throw err::MultiplePrimaryKeys(written_table);
}

// CLUSTERED for each key constraint of the statement: written CLUSTERED wins (a second
// clustered index is 1902); an unqualified PRIMARY KEY is clustered when nothing else is.
std::vector<bool> DecideClustered(const TableDef& table, const std::vector<PendingConstraint>& list,
                                  const std::vector<std::string>& names, std::string_view written_table) {
  std::vector<bool> clustered(list.size(), false);
  const IndexDef* existing = table.ClusteredIndex();
  std::string clustered_name = existing ? existing->name : "";
  for (size_t i = 0; i < list.size(); ++i) {
    if (!IsKey(*list[i].def) || !list[i].def->clustered.value_or(false)) continue;
    if (!clustered_name.empty()) {
      SqlError e = err::SecondClusteredIndex(clustered_name, written_table);
      throw err::FollowConstraintFailed(e);
    }
    clustered[i] = true;
    clustered_name = names[i];
  }
  for (size_t i = 0; i < list.size(); ++i) {
    const auto& def = *list[i].def;
    if (def.kind == Kind::kPrimaryKey && !def.clustered.has_value() && clustered_name.empty()) {
      clustered[i] = true;
      clustered_name = names[i];
    }
  }
  return clustered;
}

void AddKeyConstraint(Store& db, int32_t table_id, const PendingConstraint& p, int32_t id, const std::string& name,
                      bool clustered, std::string_view written_table) {
  const TableDef& table = TableOf(db, table_id);
  bool primary = p.def->kind == Kind::kPrimaryKey;
  std::vector<ast::IndexColumn> columns = KeyColumns(p);
  IndexDef index;
  for (const auto& c : columns) {
    auto ord = table.FindColumn(c.name);
    if (!ord) {
      SqlError e = err::IndexColumnMissing(c.name);
      throw err::FollowConstraintFailed(e);
    }
    for (int prev : index.columns) {
      if (prev == *ord) throw err::IndexColumnTwice(c.name);
    }
    if (primary && table.columns[*ord].nullable) throw err::NullablePrimaryKey(written_table);
    index.columns.push_back(*ord);
    index.descending.push_back(c.desc);
  }
  index.index_id = NextIndexId(table, clustered);
  index.name = name;
  index.unique = true;
  index.primary_key = primary;
  index.unique_constraint = !primary;
  index.clustered = clustered;
  index.constraint_id = id;
  db.AddObject(MakeObject(id, name, primary ? "PK" : "UQ", table_id));
  db.CreateIndex(table_id, index);
}

bool SameTypeClass(const SqlType& a, const SqlType& b) {
  auto decimal = [](TypeId t) { return t == TypeId::kDecimal || t == TypeId::kNumeric; };
  return a.id == b.id || (decimal(a.id) && decimal(b.id));
}

// The referenced columns of a foreign key: as written, or the referenced table's primary key.
std::vector<int> ReferencedColumns(const TableDef& ref, const ast::ConstraintDef& def, const std::string& fk_name) {
  std::vector<int> out;
  if (def.ref_columns.empty()) {
    const IndexDef* pk = ref.PrimaryKey();
    if (pk == nullptr) throw err::NoPrimaryKeyToReference(fk_name, ref.name);
    return pk->columns;
  }
  for (const auto& name : def.ref_columns) {
    auto ord = ref.FindColumn(name);
    if (!ord) throw err::ForeignKeyColumnMissing(fk_name, name, ref.name, true);
    out.push_back(*ord);
  }
  return out;
}

bool HasCandidateKey(const TableDef& ref, const std::vector<int>& columns) {
  for (const auto& ix : ref.indexes) {
    if (ix.unique && SameColumnSet(ix.columns, columns)) return true;
  }
  return false;
}

void AddForeignKey(Store& db, int32_t table_id, const PendingConstraint& p, bool check, ExecContext& ctx) {
  const ast::ConstraintDef& def = *p.def;
  std::vector<ast::IndexColumn> columns = KeyColumns(p);
  int32_t id = db.AllocateObjectId();
  const TableDef& table = TableOf(db, table_id);
  std::string first_column = columns.empty() ? "" : columns[0].name;
  std::string name = def.name.empty() ? ColumnConstraintName("FK", table.name, first_column, id) : def.name;

  if (!def.ref_table.db.empty() && !CollateEqual(def.ref_table.db, db.name())) throw err::CrossDatabaseForeignKey(name);
  const TableDef* ref = LookupTable(db, def.ref_table);
  if (ref == nullptr || ref->is_view) throw err::ForeignKeyInvalidTable(name, def.ref_table.name);

  ForeignKeyDef fk;
  fk.id = id;
  fk.name = name;
  fk.table_id = table_id;
  fk.ref_table_id = ref->id;
  for (const auto& c : columns) {
    auto ord = table.FindColumn(c.name);
    if (!ord) throw err::ForeignKeyColumnMissing(name, c.name, table.name, false);
    fk.columns.push_back(*ord);
  }
  fk.ref_columns = ReferencedColumns(*ref, def, name);
  if (fk.columns.size() != fk.ref_columns.size()) throw err::ForeignKeyColumnCount(table.name);
  for (size_t i = 0; i < fk.columns.size(); ++i) {
    const ColumnDef& mine = table.columns[fk.columns[i]];
    const ColumnDef& theirs = ref->columns[fk.ref_columns[i]];
    if (!SameTypeClass(mine.type, theirs.type)) {
      throw err::ForeignKeyTypeMismatch(ref->name + "." + theirs.name, table.name + "." + mine.name, name);
    }
  }
  if (!HasCandidateKey(*ref, fk.ref_columns)) throw err::NoCandidateKey(ref->name, name);
  fk.on_delete = ToRefAction(def.on_delete);
  fk.on_update = ToRefAction(def.on_update);
  fk.trusted = check;
  if (check) ValidateForeignKey(db, fk, ctx);
  db.AddObject(MakeObject(id, name, "F", table_id));
  db.AddForeignKey(fk);
}

void AddDefault(Store& db, int32_t table_id, const PendingConstraint& p) {
  const TableDef& table = TableOf(db, table_id);
  const std::string& column = p.column.empty() ? p.def->for_column : p.column;
  auto ord = table.FindColumn(column);
  if (!ord) throw err::DefaultColumnInvalid(column, table.name);
  ColumnDef col = table.columns[*ord];
  if (col.identity) throw err::DefaultOnIdentity(table.name, col.name);
  if (col.default_id != 0) throw err::DefaultAlreadyBound(col.name, table.name);
  int32_t id = db.AllocateObjectId();
  std::string name = p.def->name.empty() ? ColumnConstraintName("DF", table.name, col.name, id) : p.def->name;
  col.default_id = id;
  col.default_text = DefaultText(*p.def);
  db.AddObject(MakeObject(id, name, "D", table_id));
  db.ReplaceColumn(table_id, col);
}

// CHECK constraints are recorded as objects so that probes and DROP CONSTRAINT see them.
void AddCheck(Store& db, int32_t table_id, const PendingConstraint& p) {
  const TableDef& table = TableOf(db, table_id);
  int32_t id = db.AllocateObjectId();
  std::string name = p.def->name.empty() ? ColumnConstraintName("CK", table.name, p.column, id) : p.def->name;
  db.AddObject(MakeObject(id, name, "C", table_id));
}

}  // namespace

void ApplyConstraints(Store& db, int32_t table_id, const std::vector<PendingConstraint>& list, bool check_foreign_keys,
                      std::string_view written_table, ExecContext& ctx) {
  if (list.empty()) return;
  CheckNames(db, list);
  CheckPrimaryKeyCount(TableOf(db, table_id), list, written_table);
  // Keys are named first: a clash of two clustered keys names the first of them.
  std::vector<int32_t> ids(list.size(), 0);
  std::vector<std::string> names(list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    if (!IsKey(*list[i].def)) continue;
    ids[i] = db.AllocateObjectId();
    bool primary = list[i].def->kind == Kind::kPrimaryKey;
    names[i] = list[i].def->name.empty() ? KeyConstraintName(primary ? "PK" : "UQ", TableOf(db, table_id).name, ids[i])
                                         : list[i].def->name;
  }
  std::vector<bool> clustered = DecideClustered(TableOf(db, table_id), list, names, written_table);
  // Keys first: a foreign key of the same statement may reference them (self-reference).
  for (size_t i = 0; i < list.size(); ++i) {
    if (IsKey(*list[i].def)) AddKeyConstraint(db, table_id, list[i], ids[i], names[i], clustered[i], written_table);
  }
  for (const auto& p : list) {
    switch (p.def->kind) {
      case Kind::kDefault:
        AddDefault(db, table_id, p);
        break;
      case Kind::kCheck:
        AddCheck(db, table_id, p);
        break;
      case Kind::kForeignKey:
        AddForeignKey(db, table_id, p, check_foreign_keys, ctx);
        break;
      case Kind::kPrimaryKey:
      case Kind::kUnique:
        break;
    }
  }
}

void ValidateForeignKey(Store& db, const ForeignKeyDef& fk, ExecContext& ctx) {
  const TableDef& table = TableOf(db, fk.table_id);
  const TableDef& ref = TableOf(db, fk.ref_table_id);
  std::optional<SqlError> failure;
  db.Scan(table, [&](int64_t, Row& row) {
    std::vector<Value> keys;
    for (size_t i = 0; i < fk.columns.size(); ++i) {
      const Value& v = row[fk.columns[i]];
      if (v.is_null()) return true;  // MATCH SIMPLE: a NULL part exempts the row
      keys.push_back(Convert(v, ref.columns[fk.ref_columns[i]].type, ctx.convert(), ConvertMode::kImplicit));
    }
    bool found = false;
    db.SeekEq(ref, fk.ref_columns, keys, [&](int64_t, Row&) {
      found = true;
      return false;
    });
    if (found) return true;
    std::string column = fk.ref_columns.size() == 1 ? ref.columns[fk.ref_columns[0]].name : "";
    failure = err::ConstraintConflict("ALTER TABLE", "FOREIGN KEY", fk.name, db.name(), "dbo." + ref.name, column);
    return false;
  });
  if (failure) {
    // ALTER TABLE reports the conflict alone and ends the batch.
    failure->follow().clear();
    failure->set_scope(ErrorScope::kBatch);
    throw *failure;
  }
}

}  // namespace engine::ddl
