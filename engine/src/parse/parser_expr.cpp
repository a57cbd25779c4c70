// T-SQL expressions, lowest precedence first: OR; AND; NOT; predicates (comparisons, IS NULL,
// BETWEEN, IN, LIKE, EXISTS); + - & | ^; * / %; unary + - ~; primaries.
#include <string>

#include "errors.h"
#include "parse/parser_impl.h"
#include "values.h"

namespace engine::parse {
namespace {

using ast::BinaryOp;
using ast::Expr;
using ast::ExprKind;
using ast::ExprPtr;

ExprPtr NewExpr(ExprKind kind, size_t pos) {
  auto expr = std::make_unique<Expr>();
  expr->kind = kind;
  expr->pos = pos;
  return expr;
}

ExprPtr NewBinary(BinaryOp op, ExprPtr left, ExprPtr right) {
  auto expr = NewExpr(ExprKind::kBinary, left->pos);
  expr->bop = op;
  expr->args.push_back(std::move(left));
  expr->args.push_back(std::move(right));
  return expr;
}

bool IsCondition(const Expr& expr) {
  switch (expr.kind) {
    case ExprKind::kBinary:
      return expr.bop != BinaryOp::kAdd && expr.bop != BinaryOp::kSub && expr.bop != BinaryOp::kMul &&
             expr.bop != BinaryOp::kDiv && expr.bop != BinaryOp::kMod && expr.bop != BinaryOp::kBitAnd &&
             expr.bop != BinaryOp::kBitOr && expr.bop != BinaryOp::kBitXor;
    case ExprKind::kUnary:
      return expr.uop == ast::UnaryOp::kNot;
    case ExprKind::kExists:
    case ExprKind::kInList:
    case ExprKind::kInSubquery:
    case ExprKind::kBetween:
    case ExprKind::kLike:
    case ExprKind::kIsNull:
      return true;
    default:
      return false;
  }
}

bool ComparisonOp(const Token& tok, BinaryOp* op) {
  if (tok.kind != TokenKind::kSymbol) return false;
  const std::string& s = tok.text;
  if (s == "=") {
    *op = BinaryOp::kEq;
  } else if (s == "<>" || s == "!=") {
    *op = BinaryOp::kNe;
  } else if (s == "<") {
    *op = BinaryOp::kLt;
  } else if (s == "<=" || s == "!>") {
    *op = BinaryOp::kLe;
  } else if (s == ">") {
    *op = BinaryOp::kGt;
  } else if (s == ">=" || s == "!<") {
    *op = BinaryOp::kGe;
  } else {
    return false;
  }
  return true;
}

bool AdditiveOp(const Token& tok, BinaryOp* op) {
  if (tok.kind != TokenKind::kSymbol || tok.text.size() != 1) return false;
  switch (tok.text[0]) {
    case '+':
      *op = BinaryOp::kAdd;
      return true;
    case '-':
      *op = BinaryOp::kSub;
      return true;
    case '&':
      *op = BinaryOp::kBitAnd;
      return true;
    case '|':
      *op = BinaryOp::kBitOr;
      return true;
    case '^':
      *op = BinaryOp::kBitXor;
      return true;
    default:
      return false;
  }
}

bool MultiplicativeOp(const Token& tok, BinaryOp* op) {
  if (tok.kind != TokenKind::kSymbol || tok.text.size() != 1) return false;
  switch (tok.text[0]) {
    case '*':
      *op = BinaryOp::kMul;
      return true;
    case '/':
      *op = BinaryOp::kDiv;
      return true;
    case '%':
      *op = BinaryOp::kMod;
      return true;
    default:
      return false;
  }
}

// Reserved words that still read as functions when '(' follows.
bool IsReservedFunction(const std::string& upper) {
  return upper == "LEFT" || upper == "RIGHT" || upper == "COALESCE" || upper == "NULLIF";
}

// Reserved words that are functions without parentheses.
bool IsNiladicFunction(const std::string& upper) {
  return upper == "CURRENT_TIMESTAMP" || upper == "CURRENT_USER" || upper == "SESSION_USER" || upper == "SYSTEM_USER" ||
         upper == "USER";
}

}  // namespace

Value StringLiteral(const std::string& text, bool unicode) {
  int64_t chars = 0;
  for (char c : text) chars += (c & 0xC0) != 0x80 ? 1 : 0;
  const int64_t max = unicode ? 4000 : 8000;
  const int32_t length = chars > max ? -1 : static_cast<int32_t>(std::max<int64_t>(chars, 1));
  return Value::String(text, SqlType{unicode ? TypeId::kNVarChar : TypeId::kVarChar, length});
}

ExprPtr Parser::ParseCondition() {
  ExprPtr expr = ParseOr();
  RequireCondition(*expr, Cur());
  return expr;
}

ExprPtr Parser::ParseScalar() { return ParseAdditive(nullptr); }

void Parser::RequireCondition(const Expr& expr, const Token& near) const {
  if (IsCondition(expr)) return;
  const Token& tok = (near.kind == TokenKind::kEnd && tokens_.size() > 1) ? tokens_[tokens_.size() - 2] : near;
  SqlError error = err::NonBooleanNear(tok.text);
  error.message().line = tok.line;
  throw error;
}

ExprPtr Parser::ParseOr() {
  ExprPtr left = ParseAnd();
  while (IsKw("OR")) {
    RequireCondition(*left, Cur());
    Advance();
    ExprPtr right = ParseAnd();
    RequireCondition(*right, Cur());
    CountChainNode();
    left = NewBinary(BinaryOp::kOr, std::move(left), std::move(right));
  }
  return left;
}

ExprPtr Parser::ParseAnd() {
  ExprPtr left = ParseNot();
  while (IsKw("AND")) {
    RequireCondition(*left, Cur());
    Advance();
    ExprPtr right = ParseNot();
    RequireCondition(*right, Cur());
    CountChainNode();
    left = NewBinary(BinaryOp::kAnd, std::move(left), std::move(right));
  }
  return left;
}

ExprPtr Parser::ParseNot() {
  if (!IsKw("NOT")) return ParsePredicate();
  DepthGuard guard(*this);
  const size_t pos = Advance().pos;
  if (IsKw("EXISTS")) {
    ExprPtr exists = ParsePredicate();
    exists->negated = true;
    exists->pos = pos;
    return exists;
  }
  ExprPtr operand = ParseNot();
  RequireCondition(*operand, Cur());
  auto expr = NewExpr(ExprKind::kUnary, pos);
  expr->uop = ast::UnaryOp::kNot;
  expr->args.push_back(std::move(operand));
  return expr;
}

ExprPtr Parser::ParsePredicate() {
  DepthGuard guard(*this);
  if (IsKw("EXISTS")) {
    const size_t pos = Advance().pos;
    return ParseSubqueryExpr(ExprKind::kExists, pos);
  }
  if (IsSym("(") && !IsKw("SELECT", 1)) {
    // A parenthesized condition, or a parenthesized value that begins a longer value.
    Advance();
    ExprPtr inner = ParseOr();
    ExpectSym(")");
    if (IsCondition(*inner)) return inner;
    return ParsePredicateTail(ParseAdditive(std::move(inner)));
  }
  return ParsePredicateTail(ParseAdditive(nullptr));
}

ExprPtr Parser::ParsePredicateTail(ExprPtr left) {
  const size_t pos = left->pos;
  BinaryOp op;
  if (ComparisonOp(Cur(), &op)) {
    Advance();
    return NewBinary(op, std::move(left), ParseAdditive(nullptr));
  }
  bool negated = false;
  if (IsKw("NOT") && (IsKw("IN", 1) || IsKw("LIKE", 1) || IsKw("BETWEEN", 1))) {
    Advance();
    negated = true;
  }
  if (AcceptKw("IN")) return ParseInTail(std::move(left), negated, pos);
  if (AcceptKw("LIKE")) {
    auto expr = NewExpr(ExprKind::kLike, pos);
    expr->negated = negated;
    expr->args.push_back(std::move(left));
    expr->args.push_back(ParseAdditive(nullptr));
    if (AcceptKw("ESCAPE")) expr->args.push_back(ParseAdditive(nullptr));
    return expr;
  }
  if (AcceptKw("BETWEEN")) {
    auto expr = NewExpr(ExprKind::kBetween, pos);
    expr->negated = negated;
    expr->args.push_back(std::move(left));
    expr->args.push_back(ParseAdditive(nullptr));
    ExpectKw("AND");
    expr->args.push_back(ParseAdditive(nullptr));
    return expr;
  }
  if (AcceptKw("IS")) {
    auto expr = NewExpr(ExprKind::kIsNull, pos);
    expr->negated = AcceptKw("NOT");
    ExpectKw("NULL");
    expr->args.push_back(std::move(left));
    return expr;
  }
  return left;
}

// x [NOT] IN (SELECT ...) | x [NOT] IN (a, b, ...)
ExprPtr Parser::ParseInTail(ExprPtr left, bool negated, size_t pos) {
  if (IsKw("SELECT", 1)) {
    ExprPtr expr = ParseSubqueryExpr(ExprKind::kInSubquery, pos);
    expr->negated = negated;
    expr->args.push_back(std::move(left));
    return expr;
  }
  ExpectSym("(");
  auto expr = NewExpr(ExprKind::kInList, pos);
  expr->negated = negated;
  expr->args.push_back(std::move(left));
  do {
    expr->args.push_back(ParseScalar());
  } while (AcceptSym(","));
  ExpectSym(")");
  return expr;
}

// `first`, when given, is an operand the caller already read (a parenthesized value).
ExprPtr Parser::ParseAdditive(ExprPtr first) {
  ExprPtr left = ParseMultiplicative(std::move(first));
  BinaryOp op;
  while (AdditiveOp(Cur(), &op)) {
    Advance();
    ExprPtr right = ParseMultiplicative(nullptr);
    CountChainNode();
    left = NewBinary(op, std::move(left), std::move(right));
  }
  return left;
}

ExprPtr Parser::ParseMultiplicative(ExprPtr first) {
  ExprPtr left = first ? std::move(first) : ParseUnary();
  BinaryOp op;
  while (MultiplicativeOp(Cur(), &op)) {
    Advance();
    ExprPtr right = ParseUnary();
    CountChainNode();
    left = NewBinary(op, std::move(left), std::move(right));
  }
  return left;
}

ExprPtr Parser::ParseUnary() {
  const Token& tok = Cur();
  if (tok.kind != TokenKind::kSymbol || (tok.text != "-" && tok.text != "+" && tok.text != "~")) {
    return ParsePrimary();
  }
  DepthGuard guard(*this);
  auto expr = NewExpr(ExprKind::kUnary, tok.pos);
  expr->uop = tok.text == "-" ? ast::UnaryOp::kNeg : tok.text == "+" ? ast::UnaryOp::kPlus : ast::UnaryOp::kBitNot;
  Advance();
  expr->args.push_back(ParseUnary());
  return expr;
}

ExprPtr Parser::ParsePrimary() {
  DepthGuard guard(*this);
  const Token& tok = Cur();
  switch (tok.kind) {
    case TokenKind::kNumber:
    case TokenKind::kString:
    case TokenKind::kNString:
      return ParseLiteral();
    case TokenKind::kPlaceholder: {
      auto expr = NewExpr(ExprKind::kPlaceholder, tok.pos);
      expr->placeholder = tok.placeholder;
      Advance();
      return expr;
    }
    case TokenKind::kQuotedIdentifier:
      return ParseNamePrimary();
    case TokenKind::kIdentifier:
      break;
    default:
      if (IsSym("(")) return ParseParenthesized();
      Fail();
  }
  const std::string upper = AsciiUpper(tok.text);
  if (upper.starts_with("@@")) {
    // @@IDENTITY, @@ROWCOUNT, @@TRANCOUNT, ...: system functions without parentheses.
    auto expr = NewExpr(ExprKind::kFunction, Advance().pos);
    expr->func = upper;
    return expr;
  }
  if (upper == "NULL") {
    auto expr = NewExpr(ExprKind::kLiteral, Advance().pos);
    return expr;
  }
  if (upper == "CASE") return ParseCase(Advance().pos);
  if (upper == "CONVERT") return ParseConvert(Advance().pos);
  if (upper == "CAST" && IsSym("(", 1)) return ParseCast(Advance().pos);
  if (!tok.reserved) return ParseNamePrimary();
  if (IsReservedFunction(upper) && IsSym("(", 1)) {
    const size_t pos = Advance().pos;
    return ParseFunctionCall(upper, pos);
  }
  if (IsNiladicFunction(upper)) {
    auto expr = NewExpr(ExprKind::kFunction, Advance().pos);
    expr->func = upper;
    return expr;
  }
  Fail();
}

ExprPtr Parser::ParseLiteral() {
  const Token& tok = Advance();
  auto expr = NewExpr(ExprKind::kLiteral, tok.pos);
  if (tok.kind != TokenKind::kNumber) {
    expr->literal = StringLiteral(tok.text, tok.kind == TokenKind::kNString);
    return expr;
  }
  if (tok.text.size() > 1 && (tok.text[1] == 'x' || tok.text[1] == 'X')) FailUnsupported("Binary constants");
  try {
    expr->literal = NumericLiteral(tok.text);
  } catch (SqlError& error) {
    error.set_scope(ErrorScope::kCompile);
    error.message().line = tok.line;
    throw;
  }
  return expr;
}

// (SELECT ...) as a value, or a parenthesized value.
ExprPtr Parser::ParseParenthesized() {
  if (IsKw("SELECT", 1)) return ParseSubqueryExpr(ExprKind::kSubquery, Cur().pos);
  Advance();
  ExprPtr inner = ParseScalar();
  ExpectSym(")");
  return inner;
}

ExprPtr Parser::ParseSubqueryExpr(ExprKind kind, size_t pos) {
  ExpectSym("(");
  if (!IsKw("SELECT")) Fail();
  auto expr = NewExpr(kind, pos);
  expr->subquery = ParseSelectStatement(/*allow_into=*/false);
  ExpectSym(")");
  return expr;
}

// column, t.column, db.schema.t.column, or a function call name(...)
ExprPtr Parser::ParseNamePrimary() {
  const size_t pos = Cur().pos;
  std::vector<std::string> parts;
  parts.push_back(ParseName());
  while (parts.size() < 4 && IsSym(".") && IsName(1)) {
    Advance();
    parts.push_back(Advance().text);
  }
  if (IsSym("(")) {
    std::string name;
    for (const std::string& part : parts) name += (name.empty() ? "" : ".") + part;
    return ParseFunctionCall(AsciiUpper(name), pos);
  }
  if (IsSym(".")) FailAt(Peek(1));
  auto expr = NewExpr(ExprKind::kColumnRef, pos);
  expr->parts = std::move(parts);
  return expr;
}

// name([DISTINCT|ALL] args), COUNT(*)
ExprPtr Parser::ParseFunctionCall(std::string name, size_t pos) {
  ExpectSym("(");
  auto expr = NewExpr(ExprKind::kFunction, pos);
  expr->func = std::move(name);
  if (AcceptSym(")")) return expr;
  if ((expr->func == "COUNT" || expr->func == "COUNT_BIG") && IsSym("*")) {
    expr->args.push_back(NewExpr(ExprKind::kStar, Advance().pos));
    ExpectSym(")");
    return expr;
  }
  if (AcceptKw("DISTINCT")) {
    expr->distinct = true;
  } else {
    AcceptKw("ALL");
  }
  do {
    expr->args.push_back(ParseScalar());
  } while (AcceptSym(","));
  ExpectSym(")");
  return expr;
}

// CAST(x AS type)
ExprPtr Parser::ParseCast(size_t pos) {
  ExpectSym("(");
  auto expr = NewExpr(ExprKind::kCast, pos);
  expr->args.push_back(ParseScalar());
  ExpectKw("AS");
  expr->cast_type = ParseTypeSpec();
  ExpectSym(")");
  return expr;
}

// CONVERT(type, x [, style])
ExprPtr Parser::ParseConvert(size_t pos) {
  ExpectSym("(");
  auto expr = NewExpr(ExprKind::kCast, pos);
  expr->is_convert = true;
  expr->cast_type = ParseTypeSpec();
  ExpectSym(",");
  expr->args.push_back(ParseScalar());
  if (AcceptSym(",")) expr->args.push_back(ParseScalar());
  ExpectSym(")");
  return expr;
}

// CASE [operand] WHEN a THEN b ... [ELSE c] END
ExprPtr Parser::ParseCase(size_t pos) {
  auto expr = NewExpr(ExprKind::kCase, pos);
  if (!IsKw("WHEN")) expr->case_operand = ParseScalar();
  if (!IsKw("WHEN")) Fail();
  while (AcceptKw("WHEN")) {
    expr->args.push_back(expr->case_operand ? ParseScalar() : ParseCondition());
    ExpectKw("THEN");
    expr->args.push_back(ParseScalar());
  }
  if (AcceptKw("ELSE")) expr->case_else = ParseScalar();
  ExpectKw("END");
  return expr;
}

}  // namespace engine::parse
