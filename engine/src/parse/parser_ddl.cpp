// CREATE/ALTER/DROP of tables, indexes, views and databases, and TRUNCATE TABLE.
#include <charconv>

#include "errors.h"
#include "parse/parser_impl.h"

namespace engine::parse {

void Parser::ParseCreate(ast::Stmt& stmt) {
  const size_t create_pos = Advance().pos;
  if (IsKw("TABLE")) {
    ParseCreateTable(stmt);
  } else if (IsKw("UNIQUE") || IsKw("CLUSTERED") || IsKw("NONCLUSTERED") || IsKw("INDEX")) {
    ParseCreateIndex(stmt);
  } else if (IsKw("VIEW")) {
    ParseCreateView(stmt, create_pos);
  } else if (AcceptKw("DATABASE")) {
    stmt.body.emplace<ast::CreateDatabaseStmt>().name = ParseName();
    if (AcceptKw("COLLATE")) ParseName();
  } else if (IsKw("PROCEDURE") || IsKw("PROC") || IsKw("FUNCTION") || IsKw("TRIGGER") || IsKw("SCHEMA") ||
             IsKw("RULE") || IsKw("DEFAULT") || IsKw("SYNONYM") || IsKw("TYPE") || IsKw("LOGIN") || IsKw("USER")) {
    FailUnsupported("CREATE " + AsciiUpper(Cur().text));
  } else {
    Fail();
  }
}

// CREATE TABLE t (column | constraint, ...) [ON fg] [TEXTIMAGE_ON fg] [WITH (...)]
void Parser::ParseCreateTable(ast::Stmt& stmt) {
  ExpectKw("TABLE");
  ast::CreateTableStmt& table = stmt.body.emplace<ast::CreateTableStmt>();
  table.name = ParseObjectName();
  ExpectSym("(");
  do {
    if (IsSym(")") && !table.columns.empty()) break;  // SQL Server tolerates a trailing comma
    if (AtTableConstraint()) {
      table.constraints.push_back(ParseTableConstraint());
    } else {
      table.columns.push_back(ParseColumnDef());
    }
  } while (AcceptSym(","));
  ExpectSym(")");
  SkipStorageOptions(/*option_list=*/false);
}

bool Parser::AtTableConstraint() const {
  return IsKw("CONSTRAINT") || IsKw("PRIMARY") || IsKw("UNIQUE") || IsKw("FOREIGN") || IsKw("CHECK") || IsKw("DEFAULT");
}

ast::ColumnDef Parser::ParseColumnDef() {
  ast::ColumnDef column;
  column.pos = Cur().pos;
  column.name = ParseName();
  column.type = ParseTypeSpec();
  ParseColumnOptions(column);
  return column;
}

// NULL | NOT NULL | IDENTITY [(seed, increment)] | [CONSTRAINT name] DEFAULT/PRIMARY KEY/UNIQUE/
// [FOREIGN KEY] REFERENCES/CHECK | COLLATE name | ROWGUIDCOL | NOT FOR REPLICATION, in any order
void Parser::ParseColumnOptions(ast::ColumnDef& column) {
  for (;;) {
    if (AcceptKw("NULL")) {
      column.nullable = true;
    } else if (IsKw("NOT") && IsKw("NULL", 1)) {
      Advance();
      Advance();
      column.nullable = false;
    } else if (IsKw("NOT") && IsKw("FOR", 1)) {
      Advance();
      Advance();
      ExpectKw("REPLICATION");
    } else if (AcceptKw("IDENTITY")) {
      column.identity = true;
      if (AcceptSym("(")) {
        column.identity_seed = ParseSignedInteger();
        ExpectSym(",");
        column.identity_increment = ParseSignedInteger();
        ExpectSym(")");
      }
    } else if (IsKw("CONSTRAINT") || IsKw("DEFAULT") || IsKw("PRIMARY") || IsKw("UNIQUE") || IsKw("FOREIGN") ||
               IsKw("REFERENCES") || IsKw("CHECK")) {
      ast::ConstraintDef constraint;
      constraint.pos = Cur().pos;
      if (AcceptKw("CONSTRAINT")) constraint.name = ParseName();
      ParseConstraintBody(constraint, /*inline_column=*/true);
      column.constraints.push_back(std::move(constraint));
    } else if (AcceptKw("COLLATE")) {
      ParseName();
    } else if (!AcceptKw("ROWGUIDCOL")) {
      return;
    }
  }
}

ast::ConstraintDef Parser::ParseTableConstraint() {
  ast::ConstraintDef constraint;
  constraint.pos = Cur().pos;
  if (AcceptKw("CONSTRAINT")) constraint.name = ParseName();
  ParseConstraintBody(constraint, /*inline_column=*/false);
  return constraint;
}

void Parser::ParseConstraintBody(ast::ConstraintDef& constraint, bool inline_column) {
  using Kind = ast::ConstraintDef::Kind;
  if (AcceptKw("PRIMARY")) {
    ExpectKw("KEY");
    constraint.kind = Kind::kPrimaryKey;
    ParseKeyOptions(constraint, inline_column);
  } else if (AcceptKw("UNIQUE")) {
    constraint.kind = Kind::kUnique;
    ParseKeyOptions(constraint, inline_column);
  } else if (IsKw("FOREIGN") || IsKw("REFERENCES")) {
    constraint.kind = Kind::kForeignKey;
    if (AcceptKw("FOREIGN")) {
      ExpectKw("KEY");
      if (!inline_column || IsSym("(")) {
        for (std::string& name : ParseNameList()) constraint.columns.push_back({std::move(name), false});
      }
    }
    ParseForeignKeyTail(constraint);
  } else if (AcceptKw("CHECK")) {
    constraint.kind = Kind::kCheck;
    if (IsKw("NOT") && IsKw("FOR", 1)) {
      Advance();
      Advance();
      ExpectKw("REPLICATION");
    }
    ExpectSym("(");
    const size_t start = Cur().pos;
    constraint.expr = ParseCondition();
    constraint.source_text = TextBetween(start, PrevEnd());
    ExpectSym(")");
  } else if (AcceptKw("DEFAULT")) {
    constraint.kind = Kind::kDefault;
    ParseDefault(constraint);
    if (!inline_column && AcceptKw("FOR")) constraint.for_column = ParseName();
    if (IsKw("WITH") && IsKw("VALUES", 1)) {
      Advance();
      Advance();
    }
  } else {
    Fail();
  }
}

// [CLUSTERED|NONCLUSTERED] [(col [ASC|DESC], ...)] [WITH ...] [ON filegroup]
void Parser::ParseKeyOptions(ast::ConstraintDef& constraint, bool inline_column) {
  if (AcceptKw("CLUSTERED")) {
    constraint.clustered = true;
  } else if (AcceptKw("NONCLUSTERED")) {
    constraint.clustered = false;
  }
  if (!inline_column || IsSym("(")) constraint.columns = ParseIndexColumns();
  SkipStorageOptions(/*option_list=*/false);
}

// REFERENCES t [(cols)] [ON DELETE action] [ON UPDATE action] [NOT FOR REPLICATION]
void Parser::ParseForeignKeyTail(ast::ConstraintDef& constraint) {
  ExpectKw("REFERENCES");
  constraint.ref_table = ParseObjectName();
  if (IsSym("(")) constraint.ref_columns = ParseNameList();
  for (;;) {
    if (IsKw("ON") && (IsKw("DELETE", 1) || IsKw("UPDATE", 1))) {
      Advance();
      const bool on_delete = AcceptKw("DELETE");
      if (!on_delete) ExpectKw("UPDATE");
      ast::RefAction& action = on_delete ? constraint.on_delete : constraint.on_update;
      if (AcceptKw("CASCADE")) {
        action = ast::RefAction::kCascade;
      } else if (AcceptKw("NO")) {
        ExpectKw("ACTION");
        action = ast::RefAction::kNoAction;
      } else if (AcceptKw("SET")) {
        if (AcceptKw("NULL")) {
          action = ast::RefAction::kSetNull;
        } else {
          ExpectKw("DEFAULT");
          action = ast::RefAction::kSetDefault;
        }
      } else {
        Fail();
      }
    } else if (IsKw("NOT") && IsKw("FOR", 1)) {
      Advance();
      Advance();
      ExpectKw("REPLICATION");
    } else {
      return;
    }
  }
}

void Parser::ParseDefault(ast::ConstraintDef& constraint) {
  const size_t start = Cur().pos;
  constraint.expr = ParseScalar();
  constraint.source_text = TextBetween(start, PrevEnd());
}

// name [(n) | (max) | (p, s)]; "double precision" is the one type of two words.
ast::TypeSpec Parser::ParseTypeSpec() {
  ast::TypeSpec type;
  type.pos = Cur().pos;
  if (IsKw("DOUBLE") && IsKw("PRECISION", 1)) {
    Advance();
    Advance();
    type.name = "double precision";
    return type;
  }
  type.name = ParseName();
  if (!AcceptSym("(")) return type;
  if (AcceptKw("MAX")) {
    type.length = -1;
  } else {
    const int64_t first = ParseSignedInteger();
    if (first < 0 || first > INT32_MAX) FailAt(tokens_[index_ - 1]);
    if (AcceptSym(",")) {
      const int64_t scale = ParseSignedInteger();
      if (scale < 0 || scale > INT32_MAX) FailAt(tokens_[index_ - 1]);
      type.precision = static_cast<int32_t>(first);
      type.scale = static_cast<int32_t>(scale);
    } else {
      // One number is a length for strings and a precision for decimal and float.
      type.length = static_cast<int32_t>(first);
      type.precision = static_cast<int32_t>(first);
    }
  }
  ExpectSym(")");
  return type;
}

std::vector<ast::IndexColumn> Parser::ParseIndexColumns() {
  ExpectSym("(");
  std::vector<ast::IndexColumn> columns;
  do {
    ast::IndexColumn column;
    column.name = ParseName();
    if (AcceptKw("DESC")) {
      column.desc = true;
    } else {
      AcceptKw("ASC");
    }
    columns.push_back(std::move(column));
  } while (AcceptSym(","));
  ExpectSym(")");
  return columns;
}

// An optionally signed integer literal (IDENTITY seeds, type facets).
int64_t Parser::ParseSignedInteger() {
  const bool negative = AcceptSym("-");
  if (!negative) AcceptSym("+");
  const Token& tok = Cur();
  int64_t value = 0;
  if (tok.kind != TokenKind::kNumber) Fail();
  const char* first = tok.text.data();
  const char* last = first + tok.text.size();
  auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last) Fail();
  Advance();
  return negative ? -value : value;
}

// WITH (option = value, ...) | WITH FILLFACTOR = n | ON filegroup | TEXTIMAGE_ON filegroup:
// storage details that mean nothing to this engine. `option_list` admits the old
// unparenthesized list of CREATE INDEX (WITH PAD_INDEX, FILLFACTOR = 80).
void Parser::SkipStorageOptions(bool option_list) {
  for (;;) {
    if (IsKw("WITH") &&
        (IsSym("(", 1) || IsKw("FILLFACTOR", 1) || (option_list && Peek(1).kind == TokenKind::kIdentifier))) {
      SkipWithOptions(option_list);
    } else if (IsKw("ON") && !IsKw("DELETE", 1) && !IsKw("UPDATE", 1)) {
      Advance();
      SkipFileGroup();
    } else if (AcceptKw("TEXTIMAGE_ON")) {
      SkipFileGroup();
    } else {
      return;
    }
  }
}

void Parser::SkipWithOptions(bool option_list) {
  ExpectKw("WITH");
  if (AcceptSym("(")) {
    do {
      if (Cur().kind != TokenKind::kIdentifier) Fail();
      Advance();
      ExpectSym("=");
      const TokenKind kind = Cur().kind;
      if (kind != TokenKind::kIdentifier && kind != TokenKind::kNumber && kind != TokenKind::kString) Fail();
      Advance();
    } while (AcceptSym(","));
    ExpectSym(")");
    return;
  }
  do {
    if (Cur().kind != TokenKind::kIdentifier) Fail();
    Advance();
    if (AcceptSym("=")) {
      if (Cur().kind != TokenKind::kIdentifier && Cur().kind != TokenKind::kNumber) Fail();
      Advance();
    }
  } while (option_list && AcceptSym(","));
}

// [PRIMARY] | "default" | name | scheme(column)
void Parser::SkipFileGroup() {
  if (!AcceptKw("PRIMARY")) ParseName();
  if (IsSym("(")) ParseNameList();
}

// CREATE [UNIQUE] [CLUSTERED|NONCLUSTERED] INDEX ix ON t (cols) [INCLUDE (cols)] [WITH ...] [ON fg]
void Parser::ParseCreateIndex(ast::Stmt& stmt) {
  ast::CreateIndexStmt& index = stmt.body.emplace<ast::CreateIndexStmt>();
  index.unique = AcceptKw("UNIQUE");
  if (AcceptKw("CLUSTERED")) {
    index.clustered = true;
  } else if (AcceptKw("NONCLUSTERED")) {
    index.clustered = false;
  }
  ExpectKw("INDEX");
  index.name = ParseName();
  ExpectKw("ON");
  index.table = ParseObjectName();
  index.columns = ParseIndexColumns();
  if (AcceptKw("INCLUDE")) ParseNameList();  // covering columns change no result
  SkipStorageOptions(/*option_list=*/true);
}

// CREATE VIEW v [(cols)] [WITH SCHEMABINDING|ENCRYPTION|VIEW_METADATA] AS select [WITH CHECK OPTION]
void Parser::ParseCreateView(ast::Stmt& stmt, size_t create_pos) {
  if (depth_ > 1) Fail();  // not inside IF or BEGIN...END
  if (!first_statement_) {
    SqlError error = err::CreateViewNotFirst();
    error.message().line = Cur().line;
    throw error;
  }
  ExpectKw("VIEW");
  ast::CreateViewStmt& view = stmt.body.emplace<ast::CreateViewStmt>();
  view.name = ParseObjectName();
  if (IsSym("(")) view.columns = ParseNameList();
  if (AcceptKw("WITH")) {
    do {
      if (!IsKw("SCHEMABINDING") && !IsKw("ENCRYPTION") && !IsKw("VIEW_METADATA")) Fail();
      Advance();
    } while (AcceptSym(","));
  }
  ExpectKw("AS");
  if (!IsKw("SELECT")) Fail();
  const size_t select_start = Cur().pos;
  view.select = ParseSelectStatement(/*allow_into=*/false);
  view.select_text = TextBetween(select_start, PrevEnd());
  if (IsKw("WITH") && IsKw("CHECK", 1)) {
    Advance();
    Advance();
    ExpectKw("OPTION");
  }
  view.definition = TextBetween(create_pos, PrevEnd());
  // Whatever follows would belong to the view's definition, which is one SELECT.
  if (IsSym(";")) Advance();
  if (!AtEnd()) Fail();
}

void Parser::ParseDrop(ast::Stmt& stmt) {
  Advance();
  if (IsKw("TABLE") || IsKw("VIEW")) {
    ast::DropStmt& drop = IsKw("TABLE") ? static_cast<ast::DropStmt&>(stmt.body.emplace<ast::DropTableStmt>())
                                        : static_cast<ast::DropStmt&>(stmt.body.emplace<ast::DropViewStmt>());
    Advance();
    if (IsKw("IF") && IsKw("EXISTS", 1)) {
      Advance();
      Advance();
      drop.if_exists = true;
    }
    do {
      drop.names.push_back(ParseObjectName());
    } while (AcceptSym(","));
  } else if (IsKw("INDEX")) {
    ParseDropIndex(stmt);
  } else if (AcceptKw("DATABASE")) {
    stmt.body.emplace<ast::DropDatabaseStmt>().name = ParseName();
  } else if (IsKw("PROCEDURE") || IsKw("PROC") || IsKw("FUNCTION") || IsKw("TRIGGER") || IsKw("SCHEMA") ||
             IsKw("RULE") || IsKw("DEFAULT") || IsKw("SYNONYM") || IsKw("TYPE") || IsKw("LOGIN") || IsKw("USER")) {
    FailUnsupported("DROP " + AsciiUpper(Cur().text));
  } else {
    Fail();
  }
}

// DROP INDEX t.ix[, ...] | DROP INDEX ix ON t[, ...]
void Parser::ParseDropIndex(ast::Stmt& stmt) {
  ExpectKw("INDEX");
  ast::DropIndexStmt& drop_index = stmt.body.emplace<ast::DropIndexStmt>();
  do {
    const size_t pos = Cur().pos;
    std::vector<std::string> parts;
    parts.push_back(ParseName());
    while (parts.size() < 4 && AcceptSym(".")) parts.push_back(ParseName());
    ast::DropIndexStmt::Target target;
    target.index = parts.back();
    if (parts.size() == 1 && AcceptKw("ON")) {
      target.table = ParseObjectName();
      if (IsKw("WITH") && IsSym("(", 1)) SkipWithOptions(false);
    } else if (parts.size() == 1) {
      SqlError error = err::DropIndexNeedsTable();
      error.message().line = Cur().line;
      throw error;
    } else {
      parts.pop_back();
      target.table = MakeObjectName(parts, pos);
    }
    drop_index.targets.push_back(std::move(target));
  } while (AcceptSym(","));
}

// ALTER TABLE t [WITH CHECK|NOCHECK] ADD ... | ALTER COLUMN ... | DROP ... | [NO]CHECK CONSTRAINT ...
void Parser::ParseAlterTable(ast::Stmt& stmt) {
  using Action = ast::AlterTableStmt::Action;
  Advance();
  if (!IsKw("TABLE")) {
    if (IsKw("VIEW") || IsKw("PROCEDURE") || IsKw("PROC") || IsKw("FUNCTION") || IsKw("DATABASE") || IsKw("INDEX") ||
        IsKw("TRIGGER")) {
      FailUnsupported("ALTER " + AsciiUpper(Cur().text));
    }
    Fail();
  }
  Advance();
  ast::AlterTableStmt& alter = stmt.body.emplace<ast::AlterTableStmt>();
  alter.table = ParseObjectName();
  if (AcceptKw("WITH")) {
    if (AcceptKw("CHECK")) {
      alter.with_check = true;
    } else {
      ExpectKw("NOCHECK");
      alter.with_check = false;
    }
  }
  if (AcceptKw("ADD")) {
    alter.action = Action::kAdd;
    ParseAlterAdd(alter);
  } else if (IsKw("CHECK") || IsKw("NOCHECK")) {
    alter.action = IsKw("CHECK") ? Action::kCheckConstraint : Action::kNoCheckConstraint;
    Advance();
    ExpectKw("CONSTRAINT");
    // ALL leaves `names` empty.
    if (!AcceptKw("ALL")) {
      do {
        alter.names.push_back(ParseName());
      } while (AcceptSym(","));
    }
  } else if (!alter.with_check.has_value() && AcceptKw("ALTER")) {  // WITH [NO]CHECK goes with ADD or CHECK only
    ExpectKw("COLUMN");
    alter.action = Action::kAlterColumn;
    alter.alter_column.pos = Cur().pos;
    alter.alter_column.name = ParseName();
    alter.alter_column.type = ParseTypeSpec();
    if (AcceptKw("COLLATE")) ParseName();
    if (AcceptKw("NULL")) {
      alter.alter_column.nullable = true;
    } else if (IsKw("NOT") && IsKw("NULL", 1)) {
      Advance();
      Advance();
      alter.alter_column.nullable = false;
    }
  } else if (!alter.with_check.has_value() && AcceptKw("DROP")) {
    ParseAlterDrop(alter);
  } else {
    Fail();
  }
}

// ADD column | constraint [, ...]
void Parser::ParseAlterAdd(ast::AlterTableStmt& alter) {
  do {
    if (AtTableConstraint()) {
      alter.add_constraints.push_back(ParseTableConstraint());
    } else {
      alter.add_columns.push_back(ParseColumnDef());
    }
  } while (AcceptSym(","));
}

// DROP COLUMN a[, b] | DROP [CONSTRAINT] a[, [CONSTRAINT] b]
void Parser::ParseAlterDrop(ast::AlterTableStmt& alter) {
  const bool columns = AcceptKw("COLUMN");
  alter.action = columns ? ast::AlterTableStmt::Action::kDropColumn : ast::AlterTableStmt::Action::kDropConstraint;
  do {
    if (!columns) AcceptKw("CONSTRAINT");
    alter.names.push_back(ParseName());
  } while (AcceptSym(","));
}

void Parser::ParseTruncate(ast::Stmt& stmt) {
  Advance();
  ExpectKw("TABLE");
  stmt.body.emplace<ast::TruncateStmt>().table = ParseObjectName();
}

}  // namespace engine::parse
