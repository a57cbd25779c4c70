// UPDATE t SET c = expr [, ...] [FROM <sources>] [WHERE ...]
//
// Two phases with a PlannedUpdate between them. Collecting binds the statement and computes every
// new value from the pre-update rows before the first row is written (Halloween protection);
// each target row is updated once even when the join repeats it. Applying then stores the rows
// one by one with their checks.
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
  std::vector<Value> values;  // in the order of `PlannedUpdate::ordinals`, not yet converted
};

// What an UPDATE will write, collected before the first write.
struct PlannedUpdate {
  std::vector<int> ordinals;    // target column of each SET item, in SET order
  std::vector<Change> changes;  // each target row once, in the order the FROM clause produced them
  bool parent_keys = false;     // a SET item changes a column that a foreign key references
};

std::vector<SetTarget> BindSets(const ast::UpdateStmt& stmt, const query::Source& target, query::Binder& binder) {
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

// Runs the plan and evaluates the SET expressions for each target row, at most `limit` rows
// (TOP; -1 for all); rows the join repeats or null-extends are skipped.
std::vector<Change> EvaluateChanges(query::QueryPlan& plan, const query::Source& target,
                                    const std::vector<SetTarget>& sets, int64_t limit, ExecContext& ctx) {
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
  return changes;
}

// Binds WHERE, then the SET list (207, 4104, 8102), then TOP, then evaluates every
// change. Errors of this phase leave the table untouched.
PlannedUpdate CollectChanges(const ast::UpdateStmt& stmt, query::QueryPlan& plan, const query::Source& target,
                             ExecContext& ctx) {
  query::Scope scope{&plan, nullptr};
  query::Binder binder(ctx, &scope);
  dml::BindWhere(plan, binder, stmt.where.get());
  std::vector<SetTarget> sets = BindSets(stmt, target, binder);
  query::PlanJoins(plan, ctx);
  int64_t limit = dml::TopLimit(stmt.top.get(), ctx);
  PlannedUpdate planned;
  planned.changes = EvaluateChanges(plan, target, sets, limit, ctx);
  for (const auto& s : sets) planned.ordinals.push_back(s.ordinal);
  auto refs_to = target.store->catalog().ReferencesTo(target.table->id);
  planned.parent_keys = !refs_to.empty() && KeyColumnsChanged(planned.ordinals, refs_to, true);
  return planned;
}

// Converts the new values into `row` (8152, conversion errors) and refuses NULL in NOT NULL
// columns (515).
void AssignValues(const PlannedUpdate& planned, const Change& ch, const TableDef& table, const std::string& three_part,
                  Row& row, ExecContext& ctx) {
  for (size_t i = 0; i < planned.ordinals.size(); ++i) {
    const ColumnDef& c = table.columns[planned.ordinals[i]];
    Value v = dml::ToColumn(ch.values[i], c, ctx);
    if (v.is_null() && !c.nullable) throw err::NullNotAllowed(c.name, three_part, "UPDATE");
    row[planned.ordinals[i]] = std::move(v);
  }
}

// Writes the rows one at a time. Conversion and NOT NULL are checked per row here rather than
// while collecting, so that the first failing row decides which error the statement reports
// (an earlier row's 2627 or 547 comes before a later row's 515). Referencing rows of changed
// parent keys are handled once all rows are written.
void ApplyChanges(const PlannedUpdate& planned, const TableDef& table, Store& store, ExecContext& ctx) {
  std::vector<std::pair<Row, Row>> key_changes;
  std::string three_part = dml::ThreePartName(store, table);
  Row current;
  for (const auto& ch : planned.changes) {
    if (!store.Get(table, ch.rowid, current)) continue;
    Row old;
    if (planned.parent_keys) old = current;
    AssignValues(planned, ch, table, three_part, current, ctx);
    store.Update(table, ch.rowid, current);
    dml::CheckParents(store, table, current, "UPDATE", ctx, &planned.ordinals);
    if (planned.parent_keys) key_changes.emplace_back(std::move(old), current);
  }
  if (!key_changes.empty()) dml::ParentKeysChanged(store, table, key_changes, ctx);
  ctx.Count(static_cast<int64_t>(planned.changes.size()));
}

}  // namespace

void ExecUpdate(const ast::UpdateStmt& stmt, ExecContext& ctx) {
  query::QueryPlan plan;
  int ti = dml::PrepareTarget(plan, stmt.target, stmt.from, ctx);
  const query::Source& target = *plan.sources[ti];
  PlannedUpdate planned = CollectChanges(stmt, plan, target, ctx);
  ApplyChanges(planned, *target.table, *target.store, ctx);
}

}  // namespace engine
