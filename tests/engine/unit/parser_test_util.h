// Helpers of the parser tests: expressions and table sources rendered as prefix S-expressions
// so that one comparison covers a whole tree.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "parser.h"

namespace engine::parser_test {

using ast::ExprKind;
using ast::StmtKind;

inline std::string Render(const ast::Expr& e);  // defined below

inline std::string RenderArgs(const ast::Expr& e, size_t from = 0) {
  std::string out;
  for (size_t i = from; i < e.args.size(); ++i) out += " " + Render(*e.args[i]);
  return out;
}

inline std::string Join(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : ".") + p;
  return out;
}

inline std::string BinaryName(ast::BinaryOp op) {
  static const char* const kNames[] = {"+",  "-", "*",  "/",   "%",  "=", "<>", "<",
                                       "<=", ">", ">=", "AND", "OR", "&", "|",  "^"};
  return kNames[static_cast<int>(op)];
}

inline std::string RenderType(const ast::TypeSpec& t) {
  std::string out = t.name;
  if (t.length == -1) out += "(max)";
  if (t.length >= 0) out += "(" + std::to_string(t.length) + ")";
  if (t.length == -2 && t.precision >= 0)
    out += "(" + std::to_string(t.precision) + "," + std::to_string(t.scale) + ")";
  return out;
}

inline std::string Render(const ast::Expr& e) {
  switch (e.kind) {
    case ExprKind::kLiteral:
      if (e.literal.is_null()) return "NULL";
      if (e.literal.type().id == TypeId::kVarChar) return "'" + e.literal.as_string() + "'";
      if (e.literal.type().id == TypeId::kNVarChar) return "N'" + e.literal.as_string() + "'";
      return e.literal.ToString();
    case ExprKind::kColumnRef:
      return Join(e.parts);
    case ExprKind::kStar:
      return e.parts.empty() ? "*" : Join(e.parts) + ".*";
    case ExprKind::kPlaceholder:
      return "?" + std::to_string(e.placeholder);
    case ExprKind::kUnary: {
      static const char* const kOps[] = {"-", "+", "NOT", "~"};
      return std::string("(") + kOps[static_cast<int>(e.uop)] + RenderArgs(e) + ")";
    }
    case ExprKind::kBinary:
      return "(" + BinaryName(e.bop) + RenderArgs(e) + ")";
    case ExprKind::kFunction:
      return e.func + "(" + (e.distinct ? "DISTINCT" : "") + RenderArgs(e) + ")";
    case ExprKind::kCast:
      return std::string(e.is_convert ? "CONVERT(" : "CAST(") + RenderType(e.cast_type) + RenderArgs(e) + ")";
    case ExprKind::kCase: {
      std::string out = "(CASE";
      if (e.case_operand) out += " " + Render(*e.case_operand);
      for (size_t i = 0; i + 1 < e.args.size(); i += 2) {
        out += " WHEN " + Render(*e.args[i]) + " THEN " + Render(*e.args[i + 1]);
      }
      if (e.case_else) out += " ELSE " + Render(*e.case_else);
      return out + ")";
    }
    case ExprKind::kSubquery:
      return "(SUBQUERY)";
    case ExprKind::kExists:
      return e.negated ? "(NOT EXISTS)" : "(EXISTS)";
    case ExprKind::kInList:
      return std::string(e.negated ? "(NOT IN" : "(IN") + RenderArgs(e) + ")";
    case ExprKind::kInSubquery:
      return std::string(e.negated ? "(NOT IN" : "(IN") + RenderArgs(e) + " SUBQUERY)";
    case ExprKind::kBetween:
      return std::string(e.negated ? "(NOT BETWEEN" : "(BETWEEN") + RenderArgs(e) + ")";
    case ExprKind::kLike:
      return std::string(e.negated ? "(NOT LIKE" : "(LIKE") + RenderArgs(e) + ")";
    case ExprKind::kIsNull:
      return std::string(e.negated ? "(IS NOT NULL" : "(IS NULL") + RenderArgs(e) + ")";
  }
  return "?";
}

inline std::string RenderRef(const ast::TableRef& r) {
  switch (r.kind) {
    case ast::TableRef::Kind::kTable:
      return r.table.written + (r.alias.empty() ? "" : " " + r.alias);
    case ast::TableRef::Kind::kDerived:
      return "(DERIVED) " + r.alias;
    case ast::TableRef::Kind::kJoin: {
      static const char* const kJoins[] = {"INNER", "LEFT", "RIGHT", "FULL", "CROSS"};
      return "[" + RenderRef(*r.left) + " " + kJoins[static_cast<int>(r.join)] + " " + RenderRef(*r.right) +
             (r.on ? " ON " + Render(*r.on) : "") + "]";
    }
  }
  return "?";
}

inline ast::Batch ParseOk(std::string_view text) {
  try {
    return Parse(text);
  } catch (const SqlError& e) {
    ADD_FAILURE() << "Msg " << e.number() << ": " << e.text() << "\nin: " << text;
    return {};
  }
}

// The single statement of a batch.
inline ast::Stmt& One(ast::Batch& batch) {
  static ast::Stmt empty;
  EXPECT_EQ(batch.statements.size(), 1u);
  return batch.statements.empty() ? empty : *batch.statements[0];
}

// Parses "SELECT <expr>" and renders the expression.
inline std::string Expr(std::string_view expr) {
  ast::Batch batch = ParseOk("SELECT " + std::string(expr));
  if (batch.statements.empty() || !batch.statements[0]->get<ast::SelectStmt>()) return "<none>";
  return Render(*batch.statements[0]->get<ast::SelectStmt>()->items.at(0).expr);
}

// Parses "SELECT 1 WHERE <condition>" and renders the condition.
inline std::string Cond(std::string_view condition) {
  ast::Batch batch = ParseOk("SELECT 1 WHERE " + std::string(condition));
  if (batch.statements.empty() || !batch.statements[0]->get<ast::SelectStmt>()) return "<none>";
  return Render(*batch.statements[0]->get<ast::SelectStmt>()->where);
}

// "Msg <number>: <text>" of the error a batch raises, or "ok".
inline std::string ErrorOf(std::string_view text) {
  try {
    Parse(text);
  } catch (const SqlError& e) {
    EXPECT_EQ(e.scope(), ErrorScope::kCompile);
    return "Msg " + std::to_string(e.number()) + ": " + e.text();
  }
  return "ok";
}

}  // namespace engine::parser_test
