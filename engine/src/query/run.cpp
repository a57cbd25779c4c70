// Execution of compiled queries: row production, grouping and aggregates, DISTINCT, ORDER BY,
// TOP and UNION. Kept apart from compilation because a plan may run many times: a correlated
// subquery runs once for every outer row, with the names and access paths fixed once.
#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "errors.h"
#include "query/plan.h"

namespace engine::query {
namespace {

const SqlType kInt{TypeId::kInt, 0, 0, 0};

struct AggState {
  int64_t count = 0;
  bool has = false;
  Value acc;
  std::unique_ptr<std::unordered_set<std::string>> seen;
};

struct Group {
  Row first;
  std::vector<AggState> states;
};

void Accumulate(const AggSpec& spec, AggState& st, const Frame& f, ExecContext& ctx) {
  if (spec.kind == AggKind::kCountStar) {
    ++st.count;
    return;
  }
  Value v = Eval(*spec.arg, f, ctx);
  if (v.is_null()) return;
  if (spec.distinct) {
    if (!st.seen) st.seen = std::make_unique<std::unordered_set<std::string>>();
    std::string k;
    AppendKey(v, k);
    if (!st.seen->insert(std::move(k)).second) return;
  }
  ++st.count;
  switch (spec.kind) {
    case AggKind::kSum:
    case AggKind::kAvg:
      if (spec.type.id != TypeId::kNull && !(v.type() == spec.type))
        v = Convert(v, spec.type, ctx.convert(), ConvertMode::kImplicit);
      st.acc = st.has ? Arithmetic(ast::BinaryOp::kAdd, st.acc, v, ctx.convert()) : std::move(v);
      st.has = true;
      break;
    case AggKind::kMin:
    case AggKind::kMax: {
      if (!st.has) {
        st.acc = std::move(v);
        st.has = true;
        break;
      }
      auto c = Compare(v, st.acc, ctx.convert());
      if (c && ((spec.kind == AggKind::kMin && *c < 0) || (spec.kind == AggKind::kMax && *c > 0)))
        st.acc = std::move(v);
      break;
    }
    default:
      break;
  }
}

Value Finish(const AggSpec& spec, const AggState& st, ExecContext& ctx) {
  switch (spec.kind) {
    case AggKind::kCountStar:
    case AggKind::kCount:
      if (st.count > 2147483647) throw err::ArithmeticOverflow("int");
      return Value::Int(st.count);
    case AggKind::kAvg: {
      if (!st.has) return Value::Null(spec.type);
      Value avg = Arithmetic(ast::BinaryOp::kDiv, st.acc, Value::Int(st.count, TypeId::kBigInt), ctx.convert());
      if (spec.type.id != TypeId::kNull) avg = Convert(avg, spec.type, ctx.convert(), ConvertMode::kImplicit);
      return avg;
    }
    default:
      return st.has ? st.acc : Value::Null(spec.type);
  }
}

int64_t TopCount(QueryPlan& plan, const Frame* outer, ExecContext& ctx, size_t rows_total) {
  if (!plan.top) return -1;
  Frame f{nullptr, nullptr, outer};
  Value v = Eval(*plan.top, f, ctx);
  if (v.is_null()) return 0;
  if (plan.top_percent) {
    Value d = Convert(v, SqlType{TypeId::kFloat, 0, 53, 0}, ctx.convert(), ConvertMode::kImplicit);
    double pct = std::clamp(d.as_float(), 0.0, 100.0);
    return static_cast<int64_t>(std::ceil(static_cast<double>(rows_total) * pct / 100.0));
  }
  Value n = Convert(v, SqlType{TypeId::kBigInt, 0, 0, 0}, ctx.convert(), ConvertMode::kImplicit);
  return std::max<int64_t>(0, n.as_int());
}

Row EvalItems(const QueryPlan& plan, const Frame& f, ExecContext& ctx) {
  Row out;
  out.reserve(plan.items.size());
  for (const auto& item : plan.items) out.push_back(Eval(*item, f, ctx));
  return out;
}

// True when every output column is a distinct plain column of the only source: each combined
// row is then read once and overwritten by the next, so its values can move into the output.
bool ItemsMoveFromRow(const QueryPlan& plan) {
  if (plan.aggregate || plan.sources.size() != 1) return false;
  std::vector<int> slots;
  for (const auto& item : plan.items) {
    if (item->kind != NodeKind::kColumn || item->depth != 0) return false;
    if (std::find(slots.begin(), slots.end(), item->slot) != slots.end()) return false;
    slots.push_back(item->slot);
  }
  return true;
}

Row MoveItems(const QueryPlan& plan, Row& row) {
  Row out;
  out.reserve(plan.items.size());
  for (const auto& item : plan.items) out.push_back(std::move(row[static_cast<size_t>(item->slot)]));
  return out;
}

void RunGrouped(QueryPlan& plan, const Frame* outer, ExecContext& ctx, std::vector<Row>& out) {
  std::unordered_map<std::string, size_t> index;
  std::vector<Group> groups;
  Row row;
  std::string key;
  auto new_group = [&](const Row& first) {
    Group g;
    g.first = first;
    g.states.resize(plan.aggs.size());
    groups.push_back(std::move(g));
    return groups.size() - 1;
  };
  EnumerateRows(plan, row, outer, ctx, [&] {
    Frame f{row.data(), nullptr, outer};
    key.clear();
    for (const auto& g : plan.group_by) AppendKey(Eval(*g, f, ctx), key);
    size_t gi;
    auto it = index.find(key);
    if (it == index.end()) {
      gi = new_group(row);
      index.emplace(key, gi);
    } else {
      gi = it->second;
    }
    for (size_t a = 0; a < plan.aggs.size(); ++a) Accumulate(plan.aggs[a], groups[gi].states[a], f, ctx);
    return true;
  });
  if (groups.empty() && plan.group_by.empty()) {
    Row nulls(plan.width);
    for (const auto& s : plan.sources)
      for (size_t c = 0; c < s->columns.size(); ++c) nulls[s->offset + c] = Value::Null(s->columns[c].type);
    new_group(nulls);
  }
  Row aggs(plan.aggs.size());
  for (auto& g : groups) {
    for (size_t a = 0; a < plan.aggs.size(); ++a) aggs[a] = Finish(plan.aggs[a], g.states[a], ctx);
    Frame f{g.first.data(), aggs.data(), outer};
    if (plan.having && Truth(*plan.having, f, ctx) != Tri::kTrue) continue;
    out.push_back(EvalItems(plan, f, ctx));
  }
}

void SortRows(std::vector<Row>& rows, const std::vector<SortKey>& keys, ExecContext& ctx) {
  if (keys.empty()) return;
  std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
    for (const auto& k : keys) {
      const Value& x = a[k.column];
      const Value& y = b[k.column];
      int c;
      if (x.is_null() || y.is_null())
        c = x.is_null() == y.is_null() ? 0 : (x.is_null() ? -1 : 1);
      else
        c = Compare(x, y, ctx.convert()).value_or(0);
      if (c != 0) return k.desc ? c > 0 : c < 0;
    }
    return false;
  });
}

void Distinct(std::vector<Row>& rows, size_t visible) {
  std::unordered_set<std::string> seen;
  std::vector<Row> out;
  std::string key;
  for (auto& r : rows) {
    key.clear();
    for (size_t i = 0; i < visible && i < r.size(); ++i) AppendKey(r[i], key);
    if (seen.insert(key).second) out.push_back(std::move(r));
  }
  rows = std::move(out);
}

// Types the compiler could not derive come from the data.
void FillTypes(std::vector<ColumnInfo>& columns, const std::vector<Row>& rows) {
  for (size_t c = 0; c < columns.size(); ++c) {
    if (columns[c].type.id != TypeId::kNull) continue;
    for (const auto& r : rows) {
      if (c < r.size() && r[c].type().id != TypeId::kNull) {
        columns[c].type = r[c].type();
        break;
      }
    }
    if (columns[c].type.id == TypeId::kNull) columns[c].type = kInt;
  }
}

ResultSet RunBlock(QueryPlan& plan, const Frame* outer, ExecContext& ctx, size_t limit) {
  std::vector<Row> rows;
  bool streaming = plan.order.empty() && !plan.distinct && !plan.top_percent;
  if (plan.aggregate) {
    RunGrouped(plan, outer, ctx, rows);
  } else {
    int64_t top = plan.top_percent ? -1 : TopCount(plan, outer, ctx, 0);
    size_t cap = 0;
    if (streaming && top >= 0) cap = static_cast<size_t>(top);
    if (streaming && limit > 0 && (cap == 0 || limit < cap) && top != 0) cap = limit;
    if (streaming && top == 0) return ResultSet{plan.columns, {}};
    Row row;
    bool move = ItemsMoveFromRow(plan);
    EnumerateRows(plan, row, outer, ctx, [&] {
      if (move) {
        rows.push_back(MoveItems(plan, row));
      } else {
        Frame f{row.data(), nullptr, outer};
        rows.push_back(EvalItems(plan, f, ctx));
      }
      return cap == 0 || rows.size() < cap;
    });
  }
  size_t visible = plan.columns.size();
  SortRows(rows, plan.order, ctx);
  if (plan.distinct) Distinct(rows, visible);
  int64_t top = TopCount(plan, outer, ctx, rows.size());
  if (top >= 0 && static_cast<size_t>(top) < rows.size()) rows.resize(static_cast<size_t>(top));
  for (auto& r : rows) r.resize(visible);
  ResultSet rs;
  if (plan.single_use)
    rs.columns = std::move(plan.columns);
  else
    rs.columns = plan.columns;
  rs.rows = std::move(rows);
  FillTypes(rs.columns, rs.rows);
  return rs;
}

ResultSet RunUnion(QueryPlan& head, const Frame* outer, ExecContext& ctx) {
  ResultSet rs = RunBlock(head, outer, ctx, 0);
  bool dedupe = false;
  for (QueryPlan* p = &head; p->union_next; p = p->union_next.get()) {
    dedupe = dedupe || !p->union_all;
    ResultSet next = RunBlock(*p->union_next, outer, ctx, 0);
    if (next.columns.size() != rs.columns.size())
      throw err::NotSupported("all queries combined using a UNION must have an equal number of expressions");
    for (size_t c = 0; c < rs.columns.size(); ++c) {
      const SqlType& a = rs.columns[c].type;
      const SqlType& b = next.columns[c].type;
      rs.columns[c].type = a.id == TypeId::kNull ? b : b.id == TypeId::kNull ? a : CommonType(a, b);
      rs.columns[c].nullable = rs.columns[c].nullable || next.columns[c].nullable;
    }
    for (auto& r : next.rows) rs.rows.push_back(std::move(r));
  }
  for (auto& r : rs.rows)
    for (size_t c = 0; c < r.size(); ++c)
      if (!r[c].is_null() && r[c].type().id != rs.columns[c].type.id)
        r[c] = Convert(r[c], rs.columns[c].type, ctx.convert(), ConvertMode::kImplicit);
  if (dedupe) Distinct(rs.rows, rs.columns.size());
  SortRows(rs.rows, head.union_order, ctx);
  return rs;
}

}  // namespace

ResultSet RunPlan(QueryPlan& plan, const Frame* outer, ExecContext& ctx, size_t limit) {
  if (plan.union_next) return RunUnion(plan, outer, ctx);
  return RunBlock(plan, outer, ctx, limit);
}

}  // namespace engine::query
