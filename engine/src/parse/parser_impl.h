// Recursive-descent parser for T-SQL batches, split by statement family over parser.cpp
// (batch, control flow, SET/USE/transactions), parser_select.cpp (queries and DML),
// parser_ddl.cpp (CREATE/ALTER/DROP) and parser_expr.cpp (expressions).
//
// Every recursion goes through a DepthGuard, and every loop that grows a chain in the tree
// (operators, joins, UNION members) is counted per statement, so that no input can exhaust
// the stack here or in the recursive walks (destructors, executors) that follow.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ast.h"
#include "engine/engine.h"
#include "parse/lexer.h"

namespace engine::parse {

class Parser {
 public:
  Parser(std::string_view text, TokenList tokens);
  ast::Batch ParseBatch();

 private:
  // Bounds recursion; throws 191 when nesting gets too deep.
  class DepthGuard {
   public:
    explicit DepthGuard(Parser& parser);
    ~DepthGuard() { --parser_.depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

   private:
    Parser& parser_;
  };

  // ---- Tokens and errors (parser.cpp) ----
  [[nodiscard]] const Token& Cur() const { return tokens_[index_]; }
  [[nodiscard]] const Token& Peek(size_t ahead = 1) const;
  const Token& Advance();
  [[nodiscard]] bool AtEnd() const { return Cur().kind == TokenKind::kEnd; }
  [[nodiscard]] bool IsKw(std::string_view upper, size_t ahead = 0) const;
  bool AcceptKw(std::string_view upper);
  void ExpectKw(std::string_view upper);
  [[nodiscard]] bool IsSym(std::string_view sym, size_t ahead = 0) const;
  bool AcceptSym(std::string_view sym);
  void ExpectSym(std::string_view sym);
  // A token that can be a name: a bare non-reserved word or a delimited identifier.
  [[nodiscard]] bool IsName(size_t ahead = 0) const;
  std::string ParseName();
  // [server.][db.][schema.]name; empty middle parts allowed (db..t).
  ast::ObjectName ParseObjectName();
  [[noreturn]] void Fail() const { FailAt(Cur()); }
  [[noreturn]] void FailAt(const Token& tok) const;
  [[noreturn]] void FailNested() const;
  [[nodiscard]] std::string TextBetween(size_t from, size_t to) const;
  [[nodiscard]] size_t PrevEnd() const;
  void CountChainNode();

  // ---- Statements (parser.cpp) ----
  ast::StmtPtr ParseStatement();
  void ParseStatementBody(ast::Stmt& stmt);
  void ParseIf(ast::Stmt& stmt);
  void ParseExecute(ast::Stmt& stmt);
  void ParseBegin(ast::Stmt& stmt);
  void ParseEndTransaction();
  void ParseSet(ast::Stmt& stmt);
  std::unique_ptr<ast::SetStmt> ParseSetOption();
  [[noreturn]] void FailUnsupported(std::string_view what) const;

  // ---- Queries and DML (parser_select.cpp) ----
  std::unique_ptr<ast::SelectStmt> ParseSelectStatement(bool allow_into);
  std::unique_ptr<ast::SelectStmt> ParseQueryBlock(bool allow_into);
  void ParseTop(ast::ExprPtr& top, bool* percent);
  void ParseSelectList(ast::SelectStmt& select);
  ast::SelectItem ParseSelectItem();
  std::vector<ast::OrderItem> ParseOrderBy();
  std::vector<ast::TableRefPtr> ParseFromList();
  ast::TableRefPtr ParseTableSource();
  ast::TableRefPtr ParseTablePrimary();
  ast::TableRefPtr ParseJoin(ast::TableRefPtr left);
  [[nodiscard]] bool AtJoin() const;
  std::string ParseOptionalAlias();
  void SkipTableHints();
  std::unique_ptr<ast::InsertStmt> ParseInsert();
  std::unique_ptr<ast::UpdateStmt> ParseUpdate();
  std::unique_ptr<ast::DeleteStmt> ParseDelete();
  std::vector<std::string> ParseNameList();

  // ---- DDL (parser_ddl.cpp) ----
  void ParseCreate(ast::Stmt& stmt);
  void ParseCreateTable(ast::Stmt& stmt);
  void ParseCreateIndex(ast::Stmt& stmt);
  void ParseCreateView(ast::Stmt& stmt, size_t create_pos);
  void ParseDrop(ast::Stmt& stmt);
  void ParseDropIndex(ast::Stmt& stmt);
  void ParseAlterTable(ast::Stmt& stmt);
  void ParseAlterAdd(ast::AlterTableStmt& alter);
  void ParseAlterDrop(ast::AlterTableStmt& alter);
  void ParseTruncate(ast::Stmt& stmt);
  [[nodiscard]] bool AtTableConstraint() const;
  ast::ColumnDef ParseColumnDef();
  void ParseColumnOptions(ast::ColumnDef& column);
  ast::ConstraintDef ParseTableConstraint();
  void ParseConstraintBody(ast::ConstraintDef& constraint, bool inline_column);
  void ParseKeyOptions(ast::ConstraintDef& constraint, bool inline_column);
  void ParseForeignKeyTail(ast::ConstraintDef& constraint);
  void ParseDefault(ast::ConstraintDef& constraint);
  ast::TypeSpec ParseTypeSpec();
  std::vector<ast::IndexColumn> ParseIndexColumns();
  int64_t ParseSignedInteger();
  void SkipStorageOptions(bool option_list);
  void SkipWithOptions(bool option_list);
  void SkipFileGroup();

  // ---- Expressions (parser_expr.cpp) ----
  // Conditions (WHERE, HAVING, ON, IF, WHEN, CHECK) and values (everything else) are told
  // apart as SQL Server does: a comparison where a value is expected is a syntax error, a
  // value where a condition is expected is error 4145.
  ast::ExprPtr ParseCondition();
  ast::ExprPtr ParseScalar();
  ast::ExprPtr ParseOr();
  ast::ExprPtr ParseAnd();
  ast::ExprPtr ParseNot();
  ast::ExprPtr ParsePredicate();
  ast::ExprPtr ParsePredicateTail(ast::ExprPtr left);
  ast::ExprPtr ParseInTail(ast::ExprPtr left, bool negated, size_t pos);
  ast::ExprPtr ParseAdditive(ast::ExprPtr first);
  ast::ExprPtr ParseMultiplicative(ast::ExprPtr first);
  ast::ExprPtr ParseUnary();
  ast::ExprPtr ParsePrimary();
  ast::ExprPtr ParseParenthesized();
  ast::ExprPtr ParseNamePrimary();
  ast::ExprPtr ParseFunctionCall(std::string name, size_t pos);
  ast::ExprPtr ParseCast(size_t pos);
  ast::ExprPtr ParseConvert(size_t pos);
  ast::ExprPtr ParseCase(size_t pos);
  ast::ExprPtr ParseLiteral();
  ast::ExprPtr ParseSubqueryExpr(ast::ExprKind kind, size_t pos);
  void RequireCondition(const ast::Expr& expr, const Token& near) const;

  std::string_view text_;
  std::vector<Token> tokens_;
  size_t index_ = 0;
  int depth_ = 0;
  int chain_nodes_ = 0;
  int placeholder_count_ = 0;
  bool first_statement_ = true;
};

// [[server.]db.]schema.]name from the written parts; the server part is dropped.
ast::ObjectName MakeObjectName(const std::vector<std::string>& parts, size_t pos);

// Builds the Value of a string literal: varchar/nvarchar of its length in characters (at
// least 1, max beyond 8000/4000 characters).
Value StringLiteral(const std::string& text, bool unicode);

}  // namespace engine::parse
