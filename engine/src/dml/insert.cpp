// INSERT [INTO] t [(cols)] VALUES (...), (...) | SELECT ... | DEFAULT VALUES.
#include <unordered_map>

#include "dml/dml.h"
#include "errors.h"
#include "parser.h"

namespace engine::dml {
namespace {

// Parsed "SELECT <default text>" per distinct default text; defaults are few and never change
// meaning, so the cache lives for the thread.
const ast::Expr& DefaultExpr(const std::string& text) {
  thread_local std::unordered_map<std::string, std::shared_ptr<ast::Batch>> cache;
  auto it = cache.find(text);
  if (it == cache.end()) {
    if (cache.size() > 512) cache.clear();
    auto batch = std::make_shared<ast::Batch>(Parse("SELECT " + text));
    const ast::SelectStmt* select = batch->statements.empty() ? nullptr : batch->statements[0]->get<ast::SelectStmt>();
    if (!select || select->items.empty()) throw err::NotSupported("default '" + text + "'");
    it = cache.emplace(text, std::move(batch)).first;
  }
  return *it->second->statements[0]->get<ast::SelectStmt>()->items[0].expr;
}

}  // namespace

Value ToColumn(const Value& v, const ColumnDef& c, ExecContext& ctx) {
  if (v.is_null()) return Value::Null(c.type);
  Value out = Convert(v, c.type, ctx.convert(), ConvertMode::kAssign);
  if (c.type.IsFixedString() && !out.is_null() && c.type.length > 0) {
    size_t chars = Utf8Length(out.as_string());
    if (chars < static_cast<size_t>(c.type.length)) {
      std::string padded = out.as_string();
      padded.append(static_cast<size_t>(c.type.length) - chars, ' ');
      out = Value::String(std::move(padded), c.type);
    }
  }
  return out;
}

std::string ThreePartName(const Store& store, const TableDef& table) { return store.name() + ".dbo." + table.name; }

int64_t InsertRowInto(Store& store, const TableDef& table, std::vector<std::optional<Value>> values, ExecContext& ctx,
                      bool explicit_identity) {
  Row row(table.columns.size());
  for (size_t i = 0; i < table.columns.size(); ++i) {
    const ColumnDef& c = table.columns[i];
    std::optional<Value>* given = i < values.size() && values[i] ? &values[i] : nullptr;
    if (c.identity) {
      if (given && explicit_identity) {
        Value v = ToColumn(**given, c, ctx);
        if (v.is_null()) throw err::NullNotAllowed(c.name, ThreePartName(store, table), "INSERT");
        Value n = Convert(v, SqlType{TypeId::kBigInt, 0, 0, 0}, ctx.convert(), ConvertMode::kImplicit);
        store.NoteIdentity(table, n.as_int());
        row[i] = std::move(v);
      } else {
        row[i] = ToColumn(Value::Int(store.NextIdentity(table), TypeId::kBigInt), c, ctx);
      }
      continue;
    }
    Value v;
    if (given)
      v = ToColumn(**given, c, ctx);
    else if (!c.default_text.empty())
      v = ToColumn(EvalConstant(DefaultExpr(c.default_text), ctx), c, ctx);
    else
      v = Value::Null(c.type);
    if (v.is_null() && !c.nullable) throw err::NullNotAllowed(c.name, ThreePartName(store, table), "INSERT");
    row[i] = std::move(v);
  }
  int64_t rowid = store.Insert(table, row);
  CheckParents(store, table, row, "INSERT", ctx, nullptr);
  return rowid;
}

}  // namespace engine::dml

namespace engine {
namespace {

struct InsertTarget {
  std::vector<int> ordinals;
  bool explicit_identity = false;
};

InsertTarget TargetColumns(const ast::InsertStmt& stmt, const TableDef& table, bool identity_insert) {
  InsertTarget t;
  auto identity = table.IdentityColumn();
  if (stmt.columns.empty()) {
    if (identity_insert && identity) throw err::IdentityColumnListRequired(table.name);
    for (size_t i = 0; i < table.columns.size(); ++i)
      if (!table.columns[i].identity) t.ordinals.push_back(static_cast<int>(i));
    return t;
  }
  for (const auto& name : stmt.columns) {
    auto ord = table.FindColumn(name);
    if (!ord) throw err::InvalidColumn(name);
    for (int o : t.ordinals)
      if (o == *ord) throw err::ColumnSpecifiedTwice(table.columns[*ord].name, table.name);
    t.ordinals.push_back(*ord);
    if (table.columns[*ord].identity) t.explicit_identity = true;
  }
  if (t.explicit_identity && !identity_insert) throw err::IdentityInsertOff(table.name);
  if (identity_insert && identity && !t.explicit_identity) throw err::IdentityValueRequired(table.name);
  return t;
}

// A VALUES row and a SELECT list that do not match the column list have messages of their own.
void CheckCount(size_t given, size_t wanted, bool has_list, bool values_clause) {
  if (given == wanted) return;
  if (!has_list) throw err::InsertCountMismatch();
  if (given < wanted) throw err::MoreColumnsThanValues(values_clause);
  throw err::MoreValuesThanColumns(values_clause);
}

}  // namespace

// INSERT [INTO] t [(c1, c2)] VALUES (...)[, (...)] | SELECT ... | DEFAULT VALUES
void ExecInsert(const ast::InsertStmt& stmt, ExecContext& ctx) {
  Store* store = nullptr;
  const TableDef& table = query::ResolveTable(stmt.table, ctx, &store);
  if (table.is_view) throw err::NotSupported("INSERT into the view '" + table.name + "'");
  bool identity_insert = ctx.IdentityInsertOn(store->name(), table.id);
  InsertTarget target = TargetColumns(stmt, table, identity_insert);
  bool has_list = !stmt.columns.empty();
  int64_t count = 0;
  auto insert = [&](std::vector<Value>& given) {
    std::vector<std::optional<Value>> values(table.columns.size());
    for (size_t j = 0; j < target.ordinals.size(); ++j) values[target.ordinals[j]] = std::move(given[j]);
    dml::InsertRowInto(*store, table, std::move(values), ctx, target.explicit_identity);
    ++count;
  };
  if (stmt.default_values) {
    std::vector<std::optional<Value>> none(table.columns.size());
    dml::InsertRowInto(*store, table, std::move(none), ctx, false);
    ++count;
  } else if (stmt.select) {
    ResultSet rs = RunQuery(*stmt.select, ctx);
    CheckCount(rs.columns.size(), target.ordinals.size(), has_list, false);
    for (auto& r : rs.rows) insert(r);
  } else {
    for (const auto& exprs : stmt.values) CheckCount(exprs.size(), target.ordinals.size(), has_list, true);
    for (const auto& exprs : stmt.values) {
      std::vector<Value> given;
      given.reserve(exprs.size());
      for (const auto& e : exprs) given.push_back(EvalConstant(*e, ctx));
      insert(given);
    }
  }
  ctx.Count(count);
}

}  // namespace engine
