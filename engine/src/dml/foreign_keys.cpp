// FOREIGN KEY enforcement for INSERT, UPDATE and DELETE. Rows whose key columns hold a NULL
// are not checked (MATCH SIMPLE); disabled constraints (NOCHECK CONSTRAINT) are skipped.
#include "dml/dml.h"
#include "errors.h"

namespace engine::dml {
namespace {

bool SeekableAs(const Value& v, const SqlType& column) {
  return (v.type().IsString() && column.IsString()) || (v.type().IsInteger() && column.IsInteger());
}

// Key values of `row` at `cols`, made comparable with `target` columns; false when one is NULL.
bool KeyOf(const Row& row, const std::vector<int>& cols, const TableDef& target, const std::vector<int>& target_cols,
           ExecContext& ctx, std::vector<Value>& key) {
  key.clear();
  for (size_t i = 0; i < cols.size(); ++i) {
    const Value& v = row[cols[i]];
    if (v.is_null()) return false;
    const SqlType& t = target.columns[target_cols[i]].type;
    key.push_back(SeekableAs(v, t) ? v : Convert(v, t, ctx.convert(), ConvertMode::kImplicit));
  }
  return true;
}

std::vector<int64_t> RowsWithKey(Store& store, const TableDef& table, const std::vector<int>& cols,
                                 const std::vector<Value>& key, bool first_only) {
  std::vector<int64_t> ids;
  store.SeekEq(table, cols, key, [&](int64_t rowid, Row&) {
    ids.push_back(rowid);
    return !first_only;
  });
  return ids;
}

std::string ColumnText(const TableDef& table, const std::vector<int>& cols) {
  return cols.size() == 1 ? table.columns[cols[0]].name : std::string();
}

SqlError ReferenceConflict(std::string_view verb, Store& store, const ForeignKeyDef& fk, const TableDef& child) {
  std::string kind = fk.table_id == fk.ref_table_id ? "SAME TABLE REFERENCE" : "REFERENCE";
  return err::ConstraintConflict(verb, kind, fk.name, store.name(), "dbo." + child.name, ColumnText(child, fk.columns));
}

void SetChildColumns(Store& store, const TableDef& child, const ForeignKeyDef& fk, const std::vector<int64_t>& ids,
                     const Row* new_parent, const TableDef& parent, ExecContext& ctx) {
  Row r;
  for (int64_t id : ids) {
    if (!store.Get(child, id, r)) continue;
    for (size_t i = 0; i < fk.columns.size(); ++i) {
      const ColumnDef& c = child.columns[fk.columns[i]];
      Value v = new_parent ? (*new_parent)[fk.ref_columns[i]] : Value::Null(c.type);
      (void)parent;
      v = ToColumn(v, c, ctx);
      if (v.is_null() && !c.nullable) throw err::NullNotAllowed(c.name, ThreePartName(store, child), "UPDATE");
      r[fk.columns[i]] = std::move(v);
    }
    store.Update(child, id, r);
  }
}

void DeleteChildren(Store& store, const TableDef& child, const std::vector<int64_t>& ids, ExecContext& ctx) {
  std::vector<Row> removed;
  Row r;
  bool referenced = IsReferenced(store, child);
  for (int64_t id : ids) {
    if (referenced && store.Get(child, id, r)) removed.push_back(r);
    store.Delete(child, id);
  }
  if (referenced) ParentRowsRemoved(store, child, removed, ctx);
}

}  // namespace

bool IsReferenced(Store& store, const TableDef& table) {
  for (const auto* fk : store.catalog().ReferencesTo(table.id))
    if (fk->enabled) return true;
  return false;
}

void CheckParents(Store& store, const TableDef& child, const Row& row, std::string_view verb, ExecContext& ctx,
                  const std::vector<int>* changed) {
  std::vector<Value> key;
  for (const auto* fk : store.catalog().ReferencesFrom(child.id)) {
    if (!fk->enabled) continue;
    if (changed) {
      bool touches = false;
      for (int c : fk->columns)
        for (int o : *changed) touches = touches || c == o;
      if (!touches) continue;
    }
    const TableDef* parent = store.catalog().TableById(fk->ref_table_id);
    if (!parent) continue;
    if (!KeyOf(row, fk->columns, *parent, fk->ref_columns, ctx, key)) continue;
    if (!RowsWithKey(store, *parent, fk->ref_columns, key, true).empty()) continue;
    std::string kind = fk->table_id == fk->ref_table_id ? "FOREIGN KEY SAME TABLE" : "FOREIGN KEY";
    throw err::ConstraintConflict(verb, kind, fk->name, store.name(), "dbo." + parent->name,
                                  ColumnText(*parent, fk->ref_columns));
  }
}

void ParentRowsRemoved(Store& store, const TableDef& parent, const std::vector<Row>& old_rows, ExecContext& ctx) {
  std::vector<Value> key;
  for (const auto* fk : store.catalog().ReferencesTo(parent.id)) {
    if (!fk->enabled) continue;
    const TableDef* child = store.catalog().TableById(fk->table_id);
    if (!child) continue;
    for (const Row& old : old_rows) {
      if (!KeyOf(old, fk->ref_columns, *child, fk->columns, ctx, key)) continue;
      auto ids = RowsWithKey(store, *child, fk->columns, key, false);
      if (ids.empty()) continue;
      switch (fk->on_delete) {
        case RefActionKind::kCascade:
          DeleteChildren(store, *child, ids, ctx);
          break;
        case RefActionKind::kSetNull:
        case RefActionKind::kSetDefault:
          SetChildColumns(store, *child, *fk, ids, nullptr, parent, ctx);
          break;
        case RefActionKind::kNoAction:
          throw ReferenceConflict("DELETE", store, *fk, *child);
      }
    }
  }
}

void ParentKeysChanged(Store& store, const TableDef& parent, const std::vector<std::pair<Row, Row>>& changes,
                       ExecContext& ctx) {
  std::vector<Value> key, still;
  for (const auto* fk : store.catalog().ReferencesTo(parent.id)) {
    if (!fk->enabled) continue;
    const TableDef* child = store.catalog().TableById(fk->table_id);
    if (!child) continue;
    for (const auto& [old_row, new_row] : changes) {
      bool same = true;
      for (int c : fk->ref_columns) same = same && GroupEqual(old_row[c], new_row[c], ctx.convert());
      if (same) continue;
      if (!KeyOf(old_row, fk->ref_columns, *child, fk->columns, ctx, key)) continue;
      // Another parent row may have taken over the old key within the same statement.
      if (KeyOf(old_row, fk->ref_columns, parent, fk->ref_columns, ctx, still) &&
          !RowsWithKey(store, parent, fk->ref_columns, still, true).empty())
        continue;
      auto ids = RowsWithKey(store, *child, fk->columns, key, false);
      if (ids.empty()) continue;
      switch (fk->on_update) {
        case RefActionKind::kCascade:
          SetChildColumns(store, *child, *fk, ids, &new_row, parent, ctx);
          break;
        case RefActionKind::kSetNull:
        case RefActionKind::kSetDefault:
          SetChildColumns(store, *child, *fk, ids, nullptr, parent, ctx);
          break;
        case RefActionKind::kNoAction:
          throw ReferenceConflict("UPDATE", store, *fk, *child);
      }
    }
  }
}

}  // namespace engine::dml
