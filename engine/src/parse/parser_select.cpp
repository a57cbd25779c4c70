// SELECT (with FROM/joins, UNION, ORDER BY, INTO), INSERT, UPDATE and DELETE.
#include "errors.h"
#include "parse/parser_impl.h"

namespace engine::parse {
namespace {

// SQL Server refuses more rows in one VALUES clause.
constexpr size_t kMaxValuesRows = 1000;

}  // namespace

// query [UNION [ALL] query]... [ORDER BY ...]; the ORDER BY of a UNION chain is kept on its
// first SELECT.
std::unique_ptr<ast::SelectStmt> Parser::ParseSelectStatement(bool allow_into) {
  std::unique_ptr<ast::SelectStmt> head = ParseQueryBlock(allow_into);
  ast::SelectStmt* tail = head.get();
  while (IsKw("UNION")) {
    Advance();
    tail->union_all = AcceptKw("ALL");
    CountChainNode();
    if (!IsKw("SELECT")) Fail();
    tail->union_next = ParseQueryBlock(/*allow_into=*/false);
    tail = tail->union_next.get();
  }
  if (IsKw("ORDER")) head->order_by = ParseOrderBy();
  return head;
}

// SELECT [ALL|DISTINCT] [TOP ...] items [INTO t] [FROM ...] [WHERE ...] [GROUP BY ...] [HAVING ...]
std::unique_ptr<ast::SelectStmt> Parser::ParseQueryBlock(bool allow_into) {
  DepthGuard guard(*this);
  auto select = std::make_unique<ast::SelectStmt>();
  select->pos = Cur().pos;
  ExpectKw("SELECT");
  if (AcceptKw("DISTINCT")) {
    select->distinct = true;
  } else {
    AcceptKw("ALL");
  }
  if (IsKw("TOP")) ParseTop(select->top, &select->top_percent);
  ParseSelectList(*select);
  if (IsKw("INTO")) {
    if (!allow_into) Fail();
    Advance();
    select->into = ParseObjectName();
  }
  if (AcceptKw("FROM")) select->from = ParseFromList();
  if (AcceptKw("WHERE")) select->where = ParseCondition();
  if (AcceptKw("GROUP")) {
    ExpectKw("BY");
    do {
      select->group_by.push_back(ParseScalar());
    } while (AcceptSym(","));
  }
  if (AcceptKw("HAVING")) select->having = ParseCondition();
  return select;
}

// TOP n | TOP (n) [PERCENT]; `percent` is null for UPDATE/DELETE, which need the parentheses.
void Parser::ParseTop(ast::ExprPtr& top, bool* percent) {
  ExpectKw("TOP");
  if (AcceptSym("(")) {
    top = ParseScalar();
    ExpectSym(")");
  } else if (percent != nullptr && (Cur().kind == TokenKind::kNumber || Cur().kind == TokenKind::kPlaceholder)) {
    top = ParsePrimary();
  } else {
    Fail();
  }
  if (percent) *percent = AcceptKw("PERCENT");
}

void Parser::ParseSelectList(ast::SelectStmt& select) {
  do {
    select.items.push_back(ParseSelectItem());
  } while (AcceptSym(","));
}

// *, t.*, expr [[AS] alias], alias = expr
ast::SelectItem Parser::ParseSelectItem() {
  ast::SelectItem item;
  size_t k = 0;
  while (IsName(k) && IsSym(".", k + 1)) k += 2;
  if (IsSym("*", k)) {
    auto star = std::make_unique<ast::Expr>();
    star->kind = ast::ExprKind::kStar;
    star->pos = Cur().pos;
    for (size_t i = 0; i < k; i += 2) {
      star->parts.push_back(Advance().text);
      Advance();
    }
    Advance();
    item.expr = std::move(star);
    return item;
  }
  const bool string_alias = Cur().kind == TokenKind::kString || Cur().kind == TokenKind::kNString;
  if ((IsName() || string_alias) && IsSym("=", 1)) {
    item.alias = Advance().text;
    item.has_alias = true;
    Advance();
    item.expr = ParseScalar();
    return item;
  }
  item.expr = ParseScalar();
  if (AcceptKw("AS")) {
    if (!IsName() && Cur().kind != TokenKind::kString && Cur().kind != TokenKind::kNString) Fail();
  } else if (!IsName() && Cur().kind != TokenKind::kString && Cur().kind != TokenKind::kNString) {
    return item;
  }
  item.alias = Advance().text;
  item.has_alias = true;
  return item;
}

std::vector<ast::OrderItem> Parser::ParseOrderBy() {
  ExpectKw("ORDER");
  ExpectKw("BY");
  std::vector<ast::OrderItem> items;
  do {
    ast::OrderItem item;
    item.expr = ParseScalar();
    if (AcceptKw("DESC")) {
      item.desc = true;
    } else {
      AcceptKw("ASC");
    }
    items.push_back(std::move(item));
  } while (AcceptSym(","));
  return items;
}

std::vector<ast::TableRefPtr> Parser::ParseFromList() {
  std::vector<ast::TableRefPtr> from;
  do {
    from.push_back(ParseTableSource());
  } while (AcceptSym(","));
  return from;
}

ast::TableRefPtr Parser::ParseTableSource() {
  ast::TableRefPtr left = ParseTablePrimary();
  while (AtJoin()) left = ParseJoin(std::move(left));
  return left;
}

bool Parser::AtJoin() const {
  return IsKw("JOIN") || IsKw("INNER") || IsKw("LEFT") || IsKw("RIGHT") || IsKw("FULL") || IsKw("CROSS");
}

// [INNER|LEFT [OUTER]|RIGHT [OUTER]|FULL [OUTER]] JOIN right ON condition | CROSS JOIN right.
// A join written before the ON of the enclosing one nests on the right: a JOIN b JOIN c ON x ON y.
ast::TableRefPtr Parser::ParseJoin(ast::TableRefPtr left) {
  DepthGuard guard(*this);
  CountChainNode();
  auto join = std::make_unique<ast::TableRef>();
  join->kind = ast::TableRef::Kind::kJoin;
  join->pos = left->pos;
  join->left = std::move(left);
  if (AcceptKw("CROSS")) {
    ExpectKw("JOIN");
    join->join = ast::JoinType::kCross;
    join->right = ParseTablePrimary();
    return join;
  }
  if (AcceptKw("LEFT")) {
    join->join = ast::JoinType::kLeft;
  } else if (AcceptKw("RIGHT")) {
    join->join = ast::JoinType::kRight;
  } else if (AcceptKw("FULL")) {
    join->join = ast::JoinType::kFull;
  }
  if (join->join != ast::JoinType::kInner) {
    AcceptKw("OUTER");
  } else {
    AcceptKw("INNER");
  }
  ExpectKw("JOIN");
  join->right = ParseTablePrimary();
  while (AtJoin()) join->right = ParseJoin(std::move(join->right));
  ExpectKw("ON");
  join->on = ParseCondition();
  return join;
}

// table [[AS] alias] [WITH (hints)] | (SELECT ...) [AS] alias | (table source)
ast::TableRefPtr Parser::ParseTablePrimary() {
  DepthGuard guard(*this);
  auto ref = std::make_unique<ast::TableRef>();
  ref->pos = Cur().pos;
  if (IsSym("(")) {
    Advance();
    if (!IsKw("SELECT")) {
      ast::TableRefPtr inner = ParseTableSource();
      ExpectSym(")");
      return inner;
    }
    ref->kind = ast::TableRef::Kind::kDerived;
    ref->derived = ParseSelectStatement(/*allow_into=*/false);
    ExpectSym(")");
    ref->alias = ParseOptionalAlias();
    if (ref->alias.empty()) Fail();  // a derived table needs a name
    return ref;
  }
  ref->table = ParseObjectName();
  ref->alias = ParseOptionalAlias();
  SkipTableHints();
  return ref;
}

std::string Parser::ParseOptionalAlias() {
  if (AcceptKw("AS")) return ParseName();
  if (IsName()) return Advance().text;
  return {};
}

// WITH (NOLOCK, INDEX(ix), ...): locking and index hints do not apply here.
void Parser::SkipTableHints() {
  if (!IsKw("WITH") || !IsSym("(", 1)) return;
  Advance();
  Advance();
  int open = 1;
  while (open > 0) {
    if (AtEnd()) Fail();
    if (IsSym("(")) ++open;
    if (IsSym(")")) --open;
    Advance();
  }
}

std::vector<std::string> Parser::ParseNameList() {
  ExpectSym("(");
  std::vector<std::string> names;
  do {
    names.push_back(ParseName());
  } while (AcceptSym(","));
  ExpectSym(")");
  return names;
}

// INSERT [INTO] t [(cols)] VALUES (...)[, (...)] | SELECT ... | DEFAULT VALUES
std::unique_ptr<ast::InsertStmt> Parser::ParseInsert() {
  ExpectKw("INSERT");
  auto insert = std::make_unique<ast::InsertStmt>();
  AcceptKw("INTO");
  insert->table = ParseObjectName();
  if (IsSym("(") && !IsKw("SELECT", 1)) insert->columns = ParseNameList();
  if (AcceptKw("VALUES")) {
    do {
      if (insert->values.size() == kMaxValuesRows) {
        throw err::TooManyRowValues();
      }
      ExpectSym("(");
      std::vector<ast::ExprPtr> row;
      do {
        row.push_back(ParseScalar());
      } while (AcceptSym(","));
      ExpectSym(")");
      insert->values.push_back(std::move(row));
    } while (AcceptSym(","));
  } else if (IsKw("SELECT")) {
    insert->select = ParseSelectStatement(/*allow_into=*/false);
  } else if (IsSym("(") && IsKw("SELECT", 1)) {
    Advance();
    insert->select = ParseSelectStatement(/*allow_into=*/false);
    ExpectSym(")");
  } else if (AcceptKw("DEFAULT")) {
    ExpectKw("VALUES");
    insert->default_values = true;
  } else if (IsKw("EXEC") || IsKw("EXECUTE")) {
    FailUnsupported("INSERT ... EXECUTE");
  } else {
    Fail();
  }
  return insert;
}

// UPDATE [TOP (n)] target SET col = value[, ...] [FROM ...] [WHERE ...]
std::unique_ptr<ast::UpdateStmt> Parser::ParseUpdate() {
  ExpectKw("UPDATE");
  auto update = std::make_unique<ast::UpdateStmt>();
  if (IsKw("TOP")) ParseTop(update->top, nullptr);
  update->target = ParseObjectName();
  SkipTableHints();
  ExpectKw("SET");
  do {
    ast::SetClause set;
    set.pos = Cur().pos;
    set.column.push_back(ParseName());
    while (set.column.size() < 4 && AcceptSym(".")) set.column.push_back(ParseName());
    ExpectSym("=");
    set.value = ParseScalar();
    update->sets.push_back(std::move(set));
  } while (AcceptSym(","));
  if (AcceptKw("FROM")) update->from = ParseFromList();
  if (AcceptKw("WHERE")) update->where = ParseCondition();
  return update;
}

// DELETE [TOP (n)] [FROM] target [FROM ...] [WHERE ...]
std::unique_ptr<ast::DeleteStmt> Parser::ParseDelete() {
  ExpectKw("DELETE");
  auto del = std::make_unique<ast::DeleteStmt>();
  if (IsKw("TOP")) ParseTop(del->top, nullptr);
  AcceptKw("FROM");
  del->target = ParseObjectName();
  SkipTableHints();
  if (AcceptKw("FROM")) del->from = ParseFromList();
  if (AcceptKw("WHERE")) del->where = ParseCondition();
  return del;
}

}  // namespace engine::parse
