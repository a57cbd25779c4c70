// Enumeration of the rows of a FROM clause: nested loops driven by index seeks where the
// planner found them, hash joins on equality keys otherwise, plain loops over materialized rows
// as the last resort. Base tables stream through Store::Scan; only the columns a query reads
// are copied into the combined row. It only follows the access paths chosen when the statement
// was compiled, so the per-row loop makes no planning decisions of its own.
#include <unordered_map>

#include "errors.h"
#include "query/plan.h"

namespace engine::query {
namespace {

// Rows of a join subtree kept in memory: only the slots the query reads.
struct MatRows {
  std::vector<int> slots;
  std::vector<Value> data;
  size_t count = 0;
  std::unordered_map<std::string, std::vector<uint32_t>> hash;
  bool hashed = false;
};

class Enumerator {
 public:
  Enumerator(QueryPlan& plan, Row& row, const Frame* outer, ExecContext& ctx) : plan_(plan), row_(row), ctx_(ctx) {
    frame_.row = row_.data();
    frame_.outer = outer;
    for (const auto& s : plan_.sources) {
      std::vector<int> cols;
      for (size_t c = 0; c < s->used.size(); ++c)
        if (s->used[c]) cols.push_back(static_cast<int>(c));
      used_.push_back(std::move(cols));
    }
  }

  bool Run(const JoinTree& t, const std::function<bool()>& emit) {
    if (t.source >= 0) return RunLeaf(t, emit);
    if (t.type == ast::JoinType::kFull) return RunFull(t, emit);
    return RunJoin(t, emit);
  }

 private:
  void Load(const Source& s, Row& r, int64_t rowid) {
    for (int c : used_[s.index]) row_[s.offset + c] = std::move(r[c]);
    row_[s.rowid_slot()] = Value::Int(rowid, TypeId::kBigInt);
  }

  void NullFill(const SourceSet& mask) {
    for (const auto& s : plan_.sources) {
      if (!mask.test(static_cast<size_t>(s->index))) continue;
      for (int c : used_[s->index]) row_[s->offset + c] = Value::Null(s->columns[c].type);
      row_[s->rowid_slot()] = Value();
    }
  }

  std::vector<int> SlotsOf(const SourceSet& mask) {
    std::vector<int> slots;
    for (const auto& s : plan_.sources) {
      if (!mask.test(static_cast<size_t>(s->index))) continue;
      for (int c : used_[s->index]) slots.push_back(s->offset + c);
      slots.push_back(s->rowid_slot());
    }
    return slots;
  }

  const std::vector<Row>& RowsOf(Source& s) {
    if (s.sysview) {
      if (!s.rows) s.sysview->rows({}, s.rows.emplace());
      return *s.rows;
    }
    if (!s.rows || s.plan->correlated) s.rows = RunPlan(*s.plan, frame_.outer, ctx_).rows;
    return *s.rows;
  }

  // The keys a system view looks its rows up by. False when a key's value cannot be looked up
  // (another type class than the column's: the comparison converts, so every row is needed);
  // `*none` when a key is NULL, which no row equals.
  bool LookupKeys(const JoinTree& t, const Source& s, SysViewKeys& keys, bool* none) {
    for (int k : t.lookups) {
      const EquiKey& key = t.keys[static_cast<size_t>(k)];
      Value v = Eval(*key.expr, frame_, ctx_);
      if (v.is_null()) {
        *none = true;
        return true;
      }
      const SqlType& ct = s.columns[static_cast<size_t>(key.column)].type;
      bool same = (ct.IsString() && v.type().IsString()) || (ct.IsInteger() && v.type().IsInteger());
      if (!same) return false;
      keys.push_back(SysViewKey{key.column, std::move(v)});
    }
    return true;
  }

  // A system view with lookup keys builds only the rows of those keys; they belong to this pass
  // alone, so their values move into the combined row.
  bool RunSysView(const JoinTree& t, Source& s, const std::function<bool()>& emit) {
    SysViewKeys keys;
    bool none = false;
    if (t.lookups.empty() || !LookupKeys(t, s, keys, &none)) return RunRows(s, RowsOf(s), emit);
    if (none) return true;
    std::vector<Row> rows;
    s.sysview->rows(keys, rows);
    for (Row& r : rows) {
      for (int c : used_[s.index]) row_[s.offset + c] = std::move(r[c]);
      row_[s.rowid_slot()] = Value();
      if (!emit()) return false;
    }
    return true;
  }

  bool RunRows(const Source& s, const std::vector<Row>& rows, const std::function<bool()>& emit) {
    for (const Row& r : rows) {
      for (int c : used_[s.index]) row_[s.offset + c] = r[c];
      row_[s.rowid_slot()] = Value();
      if (!emit()) return false;
    }
    return true;
  }

  // Seek keys as values of the column's class; false when a key cannot use the index.
  bool SeekKeys(const JoinTree& t, const Source& s, std::vector<Value>& keys, bool* none) {
    for (size_t i = 0; i < t.seek_columns.size(); ++i) {
      Value v = Eval(*t.keys[i].expr, frame_, ctx_);
      if (v.is_null()) {
        *none = true;
        return true;
      }
      const SqlType& ct = s.columns[t.seek_columns[i]].type;
      bool same = (ct.IsString() && v.type().IsString()) || (ct.IsInteger() && v.type().IsInteger());
      if (!same) return false;
      keys.push_back(std::move(v));
    }
    return true;
  }

  bool RunLeaf(const JoinTree& t, const std::function<bool()>& emit) {
    Source& s = *plan_.sources[t.source];
    if (s.sysview) return RunSysView(t, s, emit);
    if (!s.table) return RunRows(s, RowsOf(s), emit);
    bool stopped = false;
    RowCallback cb = [&](int64_t rowid, Row& r) {
      Load(s, r, rowid);
      if (emit()) return true;
      stopped = true;
      return false;
    };
    // Only the columns the query reads are decoded.
    const std::vector<int>& wanted = used_[s.index];
    bool all = wanted.size() == s.columns.size();
    if (!t.seek_columns.empty()) {
      std::vector<Value> keys;
      bool none = false;
      if (SeekKeys(t, s, keys, &none)) {
        if (none) return true;
        if (all)
          s.store->SeekEq(*s.table, t.seek_columns, keys, cb);
        else
          s.store->SeekEqColumns(*s.table, t.seek_columns, keys, wanted, cb);
        return !stopped;
      }
    }
    if (all)
      s.store->Scan(*s.table, cb);
    else
      s.store->ScanColumns(*s.table, wanted, cb);
    return !stopped;
  }

  void Materialize(const JoinTree& t, MatRows& m) {
    m.slots = SlotsOf(t.mask);
    Run(t, [&] {
      for (int slot : m.slots) m.data.push_back(row_[slot]);
      ++m.count;
      return true;
    });
  }

  void Restore(const MatRows& m, size_t r) {
    const Value* src = m.data.data() + r * m.slots.size();
    for (size_t i = 0; i < m.slots.size(); ++i) row_[m.slots[i]] = src[i];
  }

  // Hash keys of a leaf's rows, by the leaf's key columns.
  void BuildHash(const JoinTree& leaf, MatRows& m) {
    const Source& s = *plan_.sources[leaf.source];
    std::vector<size_t> pos;
    for (const auto& k : leaf.keys) {
      int slot = s.offset + k.column;
      for (size_t i = 0; i < m.slots.size(); ++i)
        if (m.slots[i] == slot) pos.push_back(i);
    }
    if (pos.size() != leaf.keys.size()) return;
    std::string key;
    for (size_t r = 0; r < m.count; ++r) {
      key.clear();
      const Value* row = m.data.data() + r * m.slots.size();
      for (size_t p : pos) AppendKey(row[p], key);
      m.hash[key].push_back(static_cast<uint32_t>(r));
    }
    m.hashed = true;
  }

  // Probe key of the current left row; false when the values cannot use the hash table.
  bool ProbeKey(const JoinTree& leaf, std::string& key, bool* none) {
    const Source& s = *plan_.sources[leaf.source];
    key.clear();
    for (const auto& k : leaf.keys) {
      Value v = Eval(*k.expr, frame_, ctx_);
      if (v.is_null()) {
        *none = true;
        return true;
      }
      if (ValueClass(v.type()) != ValueClass(s.columns[k.column].type)) return false;
      AppendKey(v, key);
    }
    return true;
  }

  bool RunJoin(const JoinTree& t, const std::function<bool()>& emit) {
    const JoinTree& right = *t.right;
    bool leaf = right.source >= 0;
    const Source* rs = leaf ? plan_.sources[right.source].get() : nullptr;
    bool seek = rs && ((rs->table && !right.seek_columns.empty()) || (rs->sysview && !right.lookups.empty()));
    MatRows mat;
    if (!seek) {
      Materialize(right, mat);
      if (leaf && !right.keys.empty()) BuildHash(right, mat);
    }
    bool outer = t.type == ast::JoinType::kLeft;
    std::string key;
    return Run(*t.left, [&] {
      bool matched = false;
      auto candidate = [&]() -> bool {
        if (t.on && Truth(*t.on, frame_, ctx_) != Tri::kTrue) return true;
        matched = true;
        return emit();
      };
      if (seek) {
        if (!RunLeaf(right, candidate)) return false;
      } else {
        bool none = false;
        if (mat.hashed && ProbeKey(right, key, &none)) {
          if (!none) {
            auto it = mat.hash.find(key);
            if (it != mat.hash.end()) {
              for (uint32_t r : it->second) {
                Restore(mat, r);
                if (!candidate()) return false;
              }
            }
          }
        } else {
          for (size_t r = 0; r < mat.count; ++r) {
            Restore(mat, r);
            if (!candidate()) return false;
          }
        }
      }
      if (!matched && outer) {
        NullFill(right.mask);
        return emit();
      }
      return true;
    });
  }

  bool RunFull(const JoinTree& t, const std::function<bool()>& emit) {
    MatRows left, right;
    Materialize(*t.left, left);
    Materialize(*t.right, right);
    std::vector<bool> right_matched(right.count, false);
    for (size_t l = 0; l < left.count; ++l) {
      bool matched = false;
      for (size_t r = 0; r < right.count; ++r) {
        Restore(left, l);
        Restore(right, r);
        if (t.on && Truth(*t.on, frame_, ctx_) != Tri::kTrue) continue;
        matched = true;
        right_matched[r] = true;
        if (!emit()) return false;
      }
      if (!matched) {
        Restore(left, l);
        NullFill(t.right->mask);
        if (!emit()) return false;
      }
    }
    for (size_t r = 0; r < right.count; ++r) {
      if (right_matched[r]) continue;
      Restore(right, r);
      NullFill(t.left->mask);
      if (!emit()) return false;
    }
    return true;
  }

  QueryPlan& plan_;
  Row& row_;
  ExecContext& ctx_;
  Frame frame_;
  std::vector<std::vector<int>> used_;
};

}  // namespace

void EnumerateRows(QueryPlan& plan, Row& row, const Frame* outer, ExecContext& ctx, const std::function<bool()>& emit) {
  row.assign(plan.width, Value());
  Frame frame{row.data(), nullptr, outer};
  auto filtered = [&]() -> bool {
    if (plan.where && Truth(*plan.where, frame, ctx) != Tri::kTrue) return true;
    return emit();
  };
  if (!plan.from) {
    filtered();
    return;
  }
  Enumerator e(plan, row, outer, ctx);
  e.Run(*plan.from, filtered);
}

}  // namespace engine::query
