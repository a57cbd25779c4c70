// UPDATE t SET c = expr [, ...] [FROM <sources>] [WHERE ...]
//
// All new values are computed from the pre-update rows before the first row is written
// (Halloween protection); each target row is updated once even when the join repeats it.
#include <unordered_set>

#include "dml/dml.h"
#include "errors.h"

namespace engine {
namespace {

struct SetTarget {
  int ordinal = 0;
  query::NodePtr value;
};

struct Change {
  int64_t rowid = 0;
  std::vector<Value> values;
};

std::vector<SetTarget> BindSets(const ast::UpdateStmt& stmt, query::QueryPlan& plan, const query::Source& target,
                                query::Binder& binder) {
  std::vector<SetTarget> sets;
  for (const auto& set : stmt.sets) {
    const std::string& name = set.column.back();
    if (set.column.size() >= 2) {
      const std::string& q = set.column[set.column.size() - 2];
      bool ok = target.alias.empty() ? CollateEqual(target.name, q)
                                     : (CollateEqual(target.alias, q) || CollateEqual(target.name, q));
      if (!ok) {
        std::string written;
        for (const auto& p : set.column) written += (written.empty() ? "" : ".") + p;
        throw err::MultiPartNotBound(written);
      }
    }
    auto ord = target.table->FindColumn(name);
    if (!ord) throw err::InvalidColumn(name);
    if (target.table->columns[*ord].identity) throw err::ColumnNotUpdatable(target.table->columns[*ord].name);
    sets.push_back(SetTarget{*ord, binder.Bind(*set.value)});
  }
  (void)plan;
  return sets;
}

bool KeyColumnsChanged(const std::vector<int>& set_ordinals, const std::vector<const ForeignKeyDef*>& fks,
                       bool referenced_side) {
  for (const auto* fk : fks)
    for (int c : referenced_side ? fk->ref_columns : fk->columns)
      for (int o : set_ordinals)
        if (o == c) return true;
  return false;
}

}  // namespace

void ExecUpdate(const ast::UpdateStmt& stmt, ExecContext& ctx) {
  query::QueryPlan plan;
  int ti = dml::PrepareTarget(plan, stmt.target, stmt.from, ctx);
  const query::Source& target = *plan.sources[ti];
  const TableDef& table = *target.table;
  Store& store = *target.store;
  query::Scope scope{&plan, nullptr};
  query::Binder binder(ctx, &scope);
  dml::BindWhere(plan, binder, stmt.where.get());
  std::vector<SetTarget> sets = BindSets(stmt, plan, target, binder);
  query::PlanJoins(plan, ctx);

  int64_t limit = dml::TopLimit(stmt.top.get(), ctx);
  std::vector<Change> changes;
  std::unordered_set<int64_t> seen;
  Row row;
  int rowid_slot = target.rowid_slot();
  query::EnumerateRows(plan, row, nullptr, ctx, [&] {
    if (limit >= 0 && static_cast<int64_t>(changes.size()) >= limit) return false;
    const Value& id = row[rowid_slot];
    if (id.is_null() || !seen.insert(id.as_int()).second) return true;
    query::Frame f{row.data(), nullptr, nullptr};
    Change ch;
    ch.rowid = id.as_int();
    ch.values.reserve(sets.size());
    for (const auto& s : sets) ch.values.push_back(query::Eval(*s.value, f, ctx));
    changes.push_back(std::move(ch));
    return true;
  });

  std::vector<int> ordinals;
  for (const auto& s : sets) ordinals.push_back(s.ordinal);
  auto refs_to = store.catalog().ReferencesTo(table.id);
  bool parent_keys = !refs_to.empty() && KeyColumnsChanged(ordinals, refs_to, true);
  std::vector<std::pair<Row, Row>> key_changes;
  std::string three_part = dml::ThreePartName(store, table);
  Row current;
  for (auto& ch : changes) {
    if (!store.Get(table, ch.rowid, current)) continue;
    Row old;
    if (parent_keys) old = current;
    for (size_t i = 0; i < sets.size(); ++i) {
      const ColumnDef& c = table.columns[sets[i].ordinal];
      Value v = dml::ToColumn(ch.values[i], c, ctx);
      if (v.is_null() && !c.nullable) throw err::NullNotAllowed(c.name, three_part, "UPDATE");
      current[sets[i].ordinal] = std::move(v);
    }
    store.Update(table, ch.rowid, current);
    dml::CheckParents(store, table, current, "UPDATE", ctx, &ordinals);
    if (parent_keys) key_changes.emplace_back(std::move(old), current);
  }
  if (!key_changes.empty()) dml::ParentKeysChanged(store, table, key_changes, ctx);
  ctx.Count(static_cast<int64_t>(changes.size()));
}

}  // namespace engine
