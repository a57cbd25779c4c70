// T-SQL parser: batch, statement dispatch, control flow, SET/USE/transactions (see
// parser_impl.h for how the parser is split).
#include "parser.h"

#include <algorithm>
#include <array>
#include <span>

#include "errors.h"
#include "parse/parser_impl.h"

namespace engine {

ast::Batch Parse(std::string_view text, std::span<const std::string> parameter_names) {
  parse::Parser parser(text, parse::Tokenize(text, parameter_names));
  return parser.ParseBatch();
}

int LineOf(std::string_view text, size_t pos) {
  pos = std::min(pos, text.size());
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(pos), '\n'));
}

namespace parse {
namespace {

// Far deeper than any real statement nests, and shallow enough that the recursive walks over
// the tree stay well inside a thread's stack, sanitizers included.
constexpr int kMaxDepth = 128;
// Operators, joins and UNION members one statement may chain; each adds a level to the tree.
constexpr int kMaxChainNodes = 4000;

// SET options that take ON or OFF. Any of them may be listed together: SET A, B ON.
constexpr auto kOnOffOptions = std::to_array<std::string_view>({"ANSI_DEFAULTS",
                                                                "ANSI_NULL_DFLT_OFF",
                                                                "ANSI_NULL_DFLT_ON",
                                                                "ANSI_NULLS",
                                                                "ANSI_PADDING",
                                                                "ANSI_WARNINGS",
                                                                "ARITHABORT",
                                                                "ARITHIGNORE",
                                                                "CONCAT_NULL_YIELDS_NULL",
                                                                "CURSOR_CLOSE_ON_COMMIT",
                                                                "FMTONLY",
                                                                "FORCEPLAN",
                                                                "IMPLICIT_TRANSACTIONS",
                                                                "NOCOUNT",
                                                                "NOEXEC",
                                                                "NO_BROWSETABLE",
                                                                "NUMERIC_ROUNDABORT",
                                                                "PARSEONLY",
                                                                "QUOTED_IDENTIFIER",
                                                                "REMOTE_PROC_TRANSACTIONS",
                                                                "SHOWPLAN_ALL",
                                                                "SHOWPLAN_TEXT",
                                                                "SHOWPLAN_XML",
                                                                "XACT_ABORT"});

// SET options that take one word or number.
constexpr auto kValueOptions = std::to_array<std::string_view>(
    {"DATEFIRST", "DATEFORMAT", "DEADLOCK_PRIORITY", "LANGUAGE", "LOCK_TIMEOUT", "ROWCOUNT", "TEXTSIZE"});

// Valid T-SQL statements this engine does not run: a clear message beats a syntax error.
constexpr auto kUnsupportedStatements = std::to_array<std::string_view>(
    {"BREAK", "CLOSE", "CONTINUE", "DBCC", "DEALLOCATE", "DECLARE", "DENY", "FETCH", "GOTO", "GRANT", "MERGE", "OPEN",
     "RAISERROR", "RETURN", "REVOKE", "SAVE", "WAITFOR", "WHILE", "WITH"});

bool Contains(std::span<const std::string_view> list, std::string_view upper) {
  return std::find(list.begin(), list.end(), upper) != list.end();
}

}  // namespace

Parser::DepthGuard::DepthGuard(Parser& parser) : parser_(parser) {
  if (++parser_.depth_ > kMaxDepth) {
    --parser_.depth_;
    parser_.FailNested();
  }
}

Parser::Parser(std::string_view text, TokenList tokens)
    : text_(text), tokens_(std::move(tokens.tokens)), placeholder_count_(tokens.placeholder_count) {}

ast::Batch Parser::ParseBatch() {
  ast::Batch batch;
  while (!AtEnd()) batch.statements.push_back(ParseStatement());
  batch.placeholder_count = placeholder_count_;
  return batch;
}

// ---- Tokens ----------------------------------------------------------------------------------

const Token& Parser::Peek(size_t ahead) const { return tokens_[std::min(index_ + ahead, tokens_.size() - 1)]; }

const Token& Parser::Advance() {
  const Token& tok = tokens_[index_];
  if (index_ + 1 < tokens_.size()) ++index_;
  return tok;
}

bool Parser::IsKw(std::string_view upper, size_t ahead) const {
  const Token& tok = Peek(ahead);
  return tok.kind == TokenKind::kIdentifier && EqualsUpper(tok.text, upper);
}

bool Parser::AcceptKw(std::string_view upper) {
  if (!IsKw(upper)) return false;
  Advance();
  return true;
}

void Parser::ExpectKw(std::string_view upper) {
  if (!AcceptKw(upper)) Fail();
}

bool Parser::IsSym(std::string_view sym, size_t ahead) const {
  const Token& tok = Peek(ahead);
  return tok.kind == TokenKind::kSymbol && tok.text == sym;
}

bool Parser::AcceptSym(std::string_view sym) {
  if (!IsSym(sym)) return false;
  Advance();
  return true;
}

void Parser::ExpectSym(std::string_view sym) {
  if (!AcceptSym(sym)) Fail();
}

bool Parser::IsName(size_t ahead) const {
  const Token& tok = Peek(ahead);
  return tok.kind == TokenKind::kQuotedIdentifier ||
         (tok.kind == TokenKind::kIdentifier && !tok.reserved && !tok.text.starts_with("@"));
}

std::string Parser::ParseName() {
  if (Cur().kind == TokenKind::kIdentifier && Cur().text.starts_with("@")) FailUnsupported("Variables");
  if (!IsName()) Fail();
  return Advance().text;
}

ast::ObjectName Parser::ParseObjectName() {
  const size_t pos = Cur().pos;
  std::vector<std::string> parts;
  parts.push_back(ParseName());
  while (parts.size() < 4 && AcceptSym(".")) {
    if (IsSym(".") && parts.size() < 3) {
      parts.emplace_back();  // db..name: the schema was left out
      continue;
    }
    parts.push_back(ParseName());
  }
  return MakeObjectName(parts, pos);
}

ast::ObjectName MakeObjectName(const std::vector<std::string>& parts, size_t pos) {
  ast::ObjectName name;
  name.pos = pos;
  const size_t n = parts.size();
  if (n == 0) return name;
  name.name = parts[n - 1];
  if (n >= 2) name.schema = parts[n - 2];
  if (n >= 3) name.db = parts[n - 3];
  for (size_t i = 0; i < n; ++i) {
    if (i > 0) name.written += '.';
    name.written += parts[i];
  }
  return name;
}

void Parser::FailAt(const Token& where) const {
  // At the end of the batch SQL Server names the last token it read.
  const Token& tok = (where.kind == TokenKind::kEnd && tokens_.size() > 1) ? tokens_[tokens_.size() - 2] : where;
  SqlError error = tok.reserved ? err::SyntaxNearKeyword(tok.text) : err::SyntaxNear(tok.text);
  error.set_scope(ErrorScope::kCompile);
  error.message().line = tok.line;
  throw error;
}

void Parser::FailNested() const {
  SqlError error = err::NestedTooDeeply();
  error.message().line = Cur().line;
  throw error;
}

void Parser::FailUnsupported(std::string_view what) const {
  SqlError error = err::FeatureNotSupported(what);
  error.set_scope(ErrorScope::kCompile);
  error.message().line = Cur().line;
  throw error;
}

std::string Parser::TextBetween(size_t from, size_t to) const {
  if (from >= text_.size() || to <= from) return {};
  return std::string(text_.substr(from, to - from));
}

size_t Parser::PrevEnd() const { return index_ == 0 ? 0 : tokens_[index_ - 1].end; }

void Parser::CountChainNode() {
  if (++chain_nodes_ > kMaxChainNodes) FailNested();
}

// ---- Statements ------------------------------------------------------------------------------

ast::StmtPtr Parser::ParseStatement() {
  DepthGuard guard(*this);
  auto stmt = std::make_unique<ast::Stmt>();
  stmt->pos = Cur().pos;
  stmt->line = Cur().line;
  chain_nodes_ = 0;
  if (AcceptSym(";")) {
    stmt->body.emplace<ast::EmptyStmt>();
  } else {
    ParseStatementBody(*stmt);
  }
  stmt->text = TextBetween(stmt->pos, PrevEnd());
  first_statement_ = false;
  if (!stmt->get<ast::EmptyStmt>()) AcceptSym(";");
  return stmt;
}

void Parser::ParseStatementBody(ast::Stmt& stmt) {
  const Token& tok = Cur();
  if (tok.kind != TokenKind::kIdentifier) Fail();
  const std::string word = AsciiUpper(tok.text);
  if (word == "SELECT") {
    stmt.body.emplace<ast::SelectStmt>(std::move(*ParseSelectStatement(/*allow_into=*/true)));
  } else if (word == "INSERT") {
    stmt.body.emplace<ast::InsertStmt>(std::move(*ParseInsert()));
  } else if (word == "UPDATE") {
    stmt.body.emplace<ast::UpdateStmt>(std::move(*ParseUpdate()));
  } else if (word == "DELETE") {
    stmt.body.emplace<ast::DeleteStmt>(std::move(*ParseDelete()));
  } else if (word == "TRUNCATE") {
    ParseTruncate(stmt);
  } else if (word == "CREATE") {
    ParseCreate(stmt);
  } else if (word == "DROP") {
    ParseDrop(stmt);
  } else if (word == "ALTER") {
    ParseAlterTable(stmt);
  } else if (word == "USE") {
    Advance();
    stmt.body.emplace<ast::UseStmt>().name = ParseName();
  } else if (word == "SET") {
    ParseSet(stmt);
  } else if (word == "IF") {
    ParseIf(stmt);
  } else if (word == "BEGIN") {
    ParseBegin(stmt);
  } else if (word == "COMMIT") {
    stmt.body.emplace<ast::CommitStmt>();
    ParseEndTransaction();
  } else if (word == "ROLLBACK") {
    stmt.body.emplace<ast::RollbackStmt>();
    ParseEndTransaction();
  } else if (word == "PRINT") {
    Advance();
    stmt.body.emplace<ast::PrintStmt>().expr = ParseScalar();
  } else if (word == "EXEC" || word == "EXECUTE") {
    ParseExecute(stmt);
  } else if (tok.reserved && Contains(kUnsupportedStatements, word)) {
    FailUnsupported("The " + word + " statement");
  } else {
    Fail();
  }
}

// EXEC[UTE] procedure [[@parameter =] value [, ...]]
// The arguments are literals: a statement without separators may follow the last one, and a value
// can only start with a literal, a sign or a parameter name.
void Parser::ParseExecute(ast::Stmt& stmt) {
  Advance();
  if (Cur().kind == TokenKind::kIdentifier && Cur().text.starts_with("@")) FailUnsupported("Variables");
  ast::ExecuteStmt& execute = stmt.body.emplace<ast::ExecuteStmt>();
  execute.procedure = ParseObjectName();
  auto at_argument = [&] {
    const TokenKind kind = Cur().kind;
    return kind == TokenKind::kString || kind == TokenKind::kNString || kind == TokenKind::kNumber || IsSym("-") ||
           (kind == TokenKind::kIdentifier && Cur().text.starts_with("@"));
  };
  if (!at_argument()) return;
  do {
    ast::ExecuteStmt::Argument argument;
    if (Cur().kind == TokenKind::kIdentifier && Cur().text.starts_with("@")) {
      if (Cur().text.starts_with("@@") || !IsSym("=", 1)) FailUnsupported("Variables");
      argument.name = Advance().text;
      Advance();  // =
    }
    argument.value = ParseScalar();
    execute.arguments.push_back(std::move(argument));
  } while (AcceptSym(","));
}

// IF condition statement [ELSE statement]
void Parser::ParseIf(ast::Stmt& stmt) {
  Advance();
  ast::IfStmt& if_stmt = stmt.body.emplace<ast::IfStmt>();
  if_stmt.condition = ParseCondition();
  if (AtEnd() || IsSym(";")) Fail();
  if_stmt.then_branch = ParseStatement();
  if (AcceptKw("ELSE")) {
    if (AtEnd() || IsSym(";")) Fail();
    if_stmt.else_branch = ParseStatement();
  }
}

// BEGIN TRAN[SACTION] [name] | BEGIN statements END
void Parser::ParseBegin(ast::Stmt& stmt) {
  Advance();
  AcceptKw("DISTRIBUTED");
  if (AcceptKw("TRAN") || AcceptKw("TRANSACTION")) {
    stmt.body.emplace<ast::BeginTransactionStmt>();
    if (IsName()) Advance();  // the transaction's name plays no part here
    return;
  }
  if (IsKw("TRY") || IsKw("CATCH")) FailUnsupported("TRY...CATCH");
  ast::BlockStmt& block = stmt.body.emplace<ast::BlockStmt>();
  if (IsKw("END")) Fail();
  while (!AcceptKw("END")) {
    if (AtEnd()) Fail();
    block.statements.push_back(ParseStatement());
  }
}

// COMMIT [TRAN[SACTION] [name] | WORK], ROLLBACK likewise
void Parser::ParseEndTransaction() {
  Advance();
  if (AcceptKw("TRAN") || AcceptKw("TRANSACTION")) {
    if (IsName()) Advance();
  } else {
    AcceptKw("WORK");
  }
}

// SET option[, option] ON|OFF, SET IDENTITY_INSERT t ON|OFF, SET DATEFORMAT dmy, ...
// Several options in one statement become a block of one SET each.
void Parser::ParseSet(ast::Stmt& stmt) {
  Advance();
  std::unique_ptr<ast::SetStmt> first = ParseSetOption();
  if (!IsSym(",")) {
    stmt.body.emplace<ast::SetStmt>(std::move(*first));
    return;
  }
  std::vector<std::unique_ptr<ast::SetStmt>> options;
  options.push_back(std::move(first));
  while (AcceptSym(",")) {
    if (Cur().kind != TokenKind::kIdentifier || !Contains(kOnOffOptions, AsciiUpper(Cur().text))) Fail();
    options.push_back(std::make_unique<ast::SetStmt>());
    options.back()->option = AsciiUpper(Advance().text);
  }
  if (!Contains(kOnOffOptions, options.front()->option)) Fail();
  std::string value;
  if (AcceptKw("ON")) {
    value = "ON";
  } else if (AcceptKw("OFF")) {
    value = "OFF";
  } else {
    Fail();
  }
  ast::BlockStmt& block = stmt.body.emplace<ast::BlockStmt>();
  for (auto& option : options) {
    auto part = std::make_unique<ast::Stmt>();
    part->pos = stmt.pos;
    part->line = stmt.line;
    option->value = value;
    part->body.emplace<ast::SetStmt>(std::move(*option));
    block.statements.push_back(std::move(part));
  }
}

std::unique_ptr<ast::SetStmt> Parser::ParseSetOption() {
  auto set = std::make_unique<ast::SetStmt>();
  if (Cur().kind != TokenKind::kIdentifier) Fail();
  if (Cur().text.starts_with("@")) FailUnsupported("Variables");
  set->option = AsciiUpper(Cur().text);
  if (set->option == "IDENTITY_INSERT") {
    Advance();
    set->table = ParseObjectName();
  } else if (set->option == "STATISTICS") {
    Advance();
    if (Cur().kind != TokenKind::kIdentifier) Fail();
    set->option += " " + AsciiUpper(Advance().text);
  } else if (set->option == "TRANSACTION") {
    Advance();
    ExpectKw("ISOLATION");
    ExpectKw("LEVEL");
    set->option = "TRANSACTION ISOLATION LEVEL";
    while (Cur().kind == TokenKind::kIdentifier && !IsKw("SET") && (IsKw("READ") || !Cur().reserved)) {
      if (!set->value.empty()) set->value += ' ';
      set->value += AsciiUpper(Advance().text);
    }
    if (set->value.empty()) Fail();
    return set;
  } else if (Contains(kValueOptions, set->option)) {
    Advance();
    const bool negative = AcceptSym("-");
    const Token& value = Cur();
    if (value.kind == TokenKind::kNumber ||
        (!negative && (value.kind == TokenKind::kString || value.kind == TokenKind::kNString || IsName()))) {
      set->value = (negative ? "-" : "") + AsciiUpper(Advance().text);
      return set;
    }
    Fail();
  } else if (Contains(kOnOffOptions, set->option)) {
    Advance();
    if (IsSym(",")) return set;  // the value follows the list
  } else {
    Fail();
  }
  if (AcceptKw("ON")) {
    set->value = "ON";
  } else if (AcceptKw("OFF")) {
    set->value = "OFF";
  } else {
    Fail();
  }
  return set;
}

}  // namespace parse
}  // namespace engine
