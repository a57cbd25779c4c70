#include "ddl/table_builder.h"

#include <cctype>

#include "errors.h"
#include "values.h"

namespace engine::ddl {
namespace {

bool IdentityCapable(const SqlType& t) {
  switch (t.id) {
    case TypeId::kTinyInt:
    case TypeId::kSmallInt:
    case TypeId::kInt:
    case TypeId::kBigInt:
      return true;
    case TypeId::kDecimal:
    case TypeId::kNumeric:
      return t.scale == 0;
    default:
      return false;
  }
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// True when s[0] is '(' and its matching ')' is the last character (quotes respected).
bool WrappedInParens(std::string_view s) {
  if (s.size() < 2 || s.front() != '(' || s.back() != ')') return false;
  int depth = 0;
  bool quoted = false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (quoted) {
      if (c == '\'') quoted = false;
      continue;
    }
    if (c == '\'') {
      quoted = true;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
      if (depth == 0 && i + 1 != s.size()) return false;
    }
  }
  return depth == 0;
}

std::string StripParens(std::string_view s) {
  s = Trim(s);
  while (WrappedInParens(s)) s = Trim(s.substr(1, s.size() - 2));
  return std::string(s);
}

// SQL Server stores function names of defaults in lower case: GETDATE() -> getdate().
std::string LowerFunctionName(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c == '(') break;
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

std::string QuoteString(const Value& v) {
  std::string out = v.type().IsUnicode() ? "N'" : "'";
  for (char c : v.as_string()) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

// Text of a literal when the parser kept no source text.
std::string LiteralText(const Value& v) {
  if (v.is_null()) return "NULL";
  if (v.type().IsString()) return QuoteString(v);
  return v.ToString();
}

}  // namespace

ColumnDef BuildColumn(const ast::ColumnDef& def, int32_t colid, bool in_primary_key, std::string_view table,
                      ExecContext& ctx) {
  ColumnDef col;
  col.colid = colid;
  col.name = def.name;
  col.type = ResolveType(def.type, 1);
  bool sysname = CollateEqual(def.type.name, "sysname");
  if (def.identity) {
    if (!IdentityCapable(col.type)) throw err::IdentityTypeInvalid(def.name);
    if (def.nullable.value_or(false)) throw err::IdentityNullable(def.name, table);
    col.identity = true;
    col.seed = def.identity_seed;
    col.increment = def.identity_increment;
  }
  if (def.nullable) {
    col.nullable = *def.nullable;
  } else {
    col.nullable = !(def.identity || in_primary_key || sysname) && ctx.options().ansi_null_dflt_on;
  }
  return col;
}

std::string DefaultText(const ast::ConstraintDef& def) {
  const ast::Expr* e = def.expr.get();
  std::string text = StripParens(def.source_text);
  if (e == nullptr) return "(" + text + ")";
  if (e->kind == ast::ExprKind::kLiteral) {
    if (text.empty()) text = LiteralText(e->literal);
    if (e->literal.is_null()) return "(NULL)";
    if (e->literal.type().IsString()) return "(" + text + ")";
    return "((" + text + "))";
  }
  if (e->kind == ast::ExprKind::kUnary && e->uop == ast::UnaryOp::kNeg && !e->args.empty() &&
      e->args[0]->kind == ast::ExprKind::kLiteral) {
    if (text.empty()) text = "-" + LiteralText(e->args[0]->literal);
    std::string compact;
    for (char c : text) {
      if (!std::isspace(static_cast<unsigned char>(c))) compact += c;
    }
    return "((" + compact + "))";
  }
  if (e->kind == ast::ExprKind::kFunction) {
    if (text.empty()) text = e->func + "()";
    return "(" + LowerFunctionName(text) + ")";
  }
  return "(" + text + ")";
}

bool HasInlinePrimaryKey(const ast::ColumnDef& def) {
  for (const auto& c : def.constraints) {
    if (c.kind == ast::ConstraintDef::Kind::kPrimaryKey) return true;
  }
  return false;
}

const ast::ConstraintDef* InlineDefault(const ast::ColumnDef& def) {
  for (const auto& c : def.constraints) {
    if (c.kind == ast::ConstraintDef::Kind::kDefault) return &c;
  }
  return nullptr;
}

}  // namespace engine::ddl
