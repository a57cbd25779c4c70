// Syntax tree of a T-SQL batch, as the parser produces it and the executors consume it.
//
// Names are kept exactly as written (brackets and quotes removed, trailing blanks kept):
// matching them against the catalog is the executors' business and follows the collation.
// Every node records the byte offset of its first token in the batch text so that errors can
// name the line.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "engine/engine.h"
#include "values.h"

namespace engine::ast {

struct SelectStmt;
struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;

// The written type and the binary operators are the vocabulary of values.h as well; the tree
// names them as its own.
using engine::BinaryOp;
using engine::TypeSpec;

// [server.][db.][schema.]name; the parts that were not written are empty.
struct ObjectName {
  std::string db;
  std::string schema;
  std::string name;
  size_t pos = 0;
  // The name as written, parts joined with '.', used in error texts (1779, 1913, 3701, 4902).
  std::string written;
};

// ------------------------------------------------------------------------------------------
// Expressions
// ------------------------------------------------------------------------------------------

enum class ExprKind : uint8_t {
  kLiteral,      // literal: a number, 'string', N'string', NULL
  kColumnRef,    // [[db.]schema.][table.]column: `parts` holds the written parts, last = column
  kStar,         // * or t.* (select list, COUNT(*)): `parts` holds the qualifier (may be empty)
  kPlaceholder,  // ? bound by the caller; `placeholder` is its 0-based number
  kUnary,        // `uop` args[0]
  kBinary,       // args[0] `bop` args[1]
  kFunction,     // `func`(args) — scalar functions and aggregates alike; `func` is upper-case
  kCast,         // CAST(args[0] AS cast_type) or CONVERT(cast_type, args[0] [, args[1] = style])
  kCase,         // CASE [case_operand] WHEN args[0] THEN args[1] ... [ELSE case_else] END
  kSubquery,     // (SELECT ...) used as a scalar
  kExists,       // [NOT] EXISTS (subquery)
  kInList,       // args[0] [NOT] IN (args[1], args[2], ...)
  kInSubquery,   // args[0] [NOT] IN (subquery)
  kBetween,      // args[0] [NOT] BETWEEN args[1] AND args[2]
  kLike,         // args[0] [NOT] LIKE args[1] [ESCAPE args[2]]
  kIsNull,       // args[0] IS [NOT] NULL
};

enum class UnaryOp : uint8_t { kNeg, kPlus, kNot, kBitNot };

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
  ExprKind kind = ExprKind::kLiteral;
  size_t pos = 0;

  BinaryOp bop = BinaryOp::kAdd;
  UnaryOp uop = UnaryOp::kNeg;
  bool negated = false;  // NOT IN, NOT LIKE, NOT BETWEEN, NOT EXISTS, IS NOT NULL

  Value literal;                   // kLiteral ('abc' is varchar(3), N'abc' nvarchar(3), 12 int, ...)
  std::vector<std::string> parts;  // kColumnRef, kStar
  std::string func;                // kFunction, upper-case: "COUNT", "ISNULL", "DATEADD"
  bool distinct = false;           // COUNT(DISTINCT x)
  int placeholder = 0;             // kPlaceholder
  TypeSpec cast_type;              // kCast
  bool is_convert = false;         // kCast written as CONVERT(...)

  std::vector<ExprPtr> args;
  ExprPtr case_operand;                  // kCase simple form; null for the searched form
  ExprPtr case_else;                     // kCase; null when absent
  std::unique_ptr<SelectStmt> subquery;  // kSubquery, kExists, kInSubquery

  // Date-part arguments (DATEADD(dd, ...), DATEDIFF(mi, ...), DATEPART(hh, ...)) arrive as a
  // kColumnRef with one part; the evaluator reads them as names, not as columns.
};

// ------------------------------------------------------------------------------------------
// Queries
// ------------------------------------------------------------------------------------------

enum class JoinType : uint8_t { kInner, kLeft, kRight, kFull, kCross };

// One item of a FROM clause: a table or view, a derived table, or a join of two items.
struct TableRef {
  enum class Kind : uint8_t { kTable, kDerived, kJoin } kind = Kind::kTable;
  size_t pos = 0;
  ObjectName table;                       // kTable
  std::string alias;                      // kTable, kDerived (empty when none)
  std::unique_ptr<SelectStmt> derived;    // kDerived
  JoinType join = JoinType::kInner;       // kJoin
  std::unique_ptr<TableRef> left, right;  // kJoin
  ExprPtr on;                             // kJoin (null for CROSS JOIN)
};
using TableRefPtr = std::unique_ptr<TableRef>;

struct SelectItem {
  ExprPtr expr;       // a kStar expression for * and t.*
  std::string alias;  // from `expr AS alias`, `expr alias` or `alias = expr`; empty when none
  bool has_alias = false;
};

struct OrderItem {
  ExprPtr expr;  // may be a column alias, a column, an expression, or an integer position
  bool desc = false;
};

struct SelectStmt {
  size_t pos = 0;
  bool distinct = false;
  ExprPtr top;  // TOP n / TOP (n)
  bool top_percent = false;
  std::vector<SelectItem> items;
  std::vector<TableRefPtr> from;  // comma-separated items are cross joined
  ExprPtr where;
  std::vector<ExprPtr> group_by;
  ExprPtr having;
  std::vector<OrderItem> order_by;
  // UNION [ALL] chain: this SELECT followed by `union_next` (which may chain further).
  std::unique_ptr<SelectStmt> union_next;
  bool union_all = false;
  ObjectName into;  // SELECT ... INTO table (empty name when absent)
};

// ------------------------------------------------------------------------------------------
// DML
// ------------------------------------------------------------------------------------------

struct InsertStmt {
  ObjectName table;
  std::vector<std::string> columns;          // empty: no column list
  std::vector<std::vector<ExprPtr>> values;  // VALUES (...), (...)
  std::unique_ptr<SelectStmt> select;        // INSERT ... SELECT
  bool default_values = false;               // INSERT ... DEFAULT VALUES
};

struct SetClause {
  std::vector<std::string> column;  // written parts; last is the column (SET a.x = ...)
  ExprPtr value;                    // a kLiteral NULL for SET x = NULL; never null
  size_t pos = 0;
};

struct UpdateStmt {
  ExprPtr top;
  ObjectName target;  // a table name or an alias of the FROM clause
  std::vector<SetClause> sets;
  std::vector<TableRefPtr> from;  // empty when no FROM clause
  ExprPtr where;
};

struct DeleteStmt {
  ExprPtr top;
  ObjectName target;
  std::vector<TableRefPtr> from;  // DELETE t FROM t JOIN ... (second FROM)
  ExprPtr where;
};

// ------------------------------------------------------------------------------------------
// DDL
// ------------------------------------------------------------------------------------------

enum class RefAction : uint8_t { kNoAction, kCascade, kSetNull, kSetDefault };

struct IndexColumn {
  std::string name;
  bool desc = false;
};

struct ConstraintDef {
  enum class Kind : uint8_t { kPrimaryKey, kUnique, kForeignKey, kCheck, kDefault } kind = Kind::kPrimaryKey;
  size_t pos = 0;
  std::string name;                  // empty: the server names it
  std::optional<bool> clustered;     // PRIMARY KEY / UNIQUE: CLUSTERED (true), NONCLUSTERED (false)
  std::vector<IndexColumn> columns;  // PK/UNIQUE/FK columns; empty for an inline constraint
  ObjectName ref_table;              // FOREIGN KEY ... REFERENCES ref_table (ref_columns)
  std::vector<std::string> ref_columns;
  RefAction on_delete = RefAction::kNoAction;
  RefAction on_update = RefAction::kNoAction;
  ExprPtr expr;             // CHECK (expr), DEFAULT expr
  std::string for_column;   // ALTER TABLE ... ADD CONSTRAINT d DEFAULT x FOR column
  std::string source_text;  // the CHECK/DEFAULT expression text as written
};

struct ColumnDef {
  std::string name;  // as written, trailing blanks kept
  size_t pos = 0;
  TypeSpec type;
  std::optional<bool> nullable;  // NULL (true), NOT NULL (false), not written (nullopt)
  bool identity = false;
  int64_t identity_seed = 1;
  int64_t identity_increment = 1;
  std::vector<ConstraintDef> constraints;  // inline: PRIMARY KEY, UNIQUE, REFERENCES, CHECK, DEFAULT
};

struct CreateTableStmt {
  ObjectName name;
  std::vector<ColumnDef> columns;
  std::vector<ConstraintDef> constraints;  // table-level constraints
};

struct AlterTableStmt {
  enum class Action : uint8_t {
    kAdd,              // ADD column(s) and/or constraint(s)
    kAlterColumn,      // ALTER COLUMN c type [NULL|NOT NULL]
    kDropConstraint,   // DROP CONSTRAINT a[, b]
    kDropColumn,       // DROP COLUMN a[, b]
    kCheckConstraint,  // [WITH CHECK] CHECK CONSTRAINT name|ALL
    kNoCheckConstraint,
  } action = Action::kAdd;
  ObjectName table;
  std::optional<bool> with_check;  // WITH CHECK (true) / WITH NOCHECK (false) before ADD
  std::vector<ColumnDef> add_columns;
  std::vector<ConstraintDef> add_constraints;
  ColumnDef alter_column;
  std::vector<std::string> names;  // constraints or columns to drop; CHECK/NOCHECK targets
};

struct CreateIndexStmt {
  std::string name;
  ObjectName table;
  bool unique = false;
  std::optional<bool> clustered;
  std::vector<IndexColumn> columns;
};

struct DropIndexStmt {
  struct Target {
    ObjectName table;
    std::string index;
  };
  std::vector<Target> targets;  // DROP INDEX t.ix, DROP INDEX ix ON t
};

struct CreateViewStmt {
  ObjectName name;
  std::vector<std::string> columns;  // optional column list
  std::unique_ptr<SelectStmt> select;
  std::string select_text;  // the SELECT as written, stored and re-parsed when the view is used
  std::string definition;   // the whole CREATE VIEW text
};

struct DropStmt {  // DROP TABLE / DROP VIEW
  std::vector<ObjectName> names;
  bool if_exists = false;
};

struct DatabaseStmt {  // CREATE DATABASE / DROP DATABASE / USE
  std::string name;
};

struct SetStmt {
  std::string option;  // upper-case: "NOCOUNT", "ANSI_WARNINGS", "IDENTITY_INSERT", "DATEFORMAT", ...
  std::string value;   // upper-case: "ON", "OFF", "DMY", "YMD", ...
  ObjectName table;    // IDENTITY_INSERT
};

struct IfStmt {
  ExprPtr condition;
  StmtPtr then_branch;
  StmtPtr else_branch;  // may be null
};

struct BlockStmt {  // BEGIN ... END
  std::vector<StmtPtr> statements;
};

struct PrintStmt {
  ExprPtr expr;
};

struct TruncateStmt {
  ObjectName table;
};

struct ExecuteStmt {
  struct Argument {
    std::string name;  // "@Resource" for a named argument; empty for a positional one
    ExprPtr value;
  };
  std::string status_variable;  // the variable that receives the return status; empty when none
  ObjectName procedure;
  std::vector<Argument> arguments;
};

// Statements that share a shape but not a meaning are distinct types, so that every dispatch
// over Stmt::body names each of them.
struct DropTableStmt : DropStmt {};
struct DropViewStmt : DropStmt {};
struct CreateDatabaseStmt : DatabaseStmt {};
struct DropDatabaseStmt : DatabaseStmt {};
struct UseStmt : DatabaseStmt {};
struct BeginTransactionStmt {};
struct CommitStmt {};
struct RollbackStmt {};
struct EmptyStmt {};  // a lone ';'

// One alternative per statement. Executors dispatch with std::visit and one overload per
// alternative, so a statement added here does not compile until every dispatch handles it.
// The order is StmtKind's.
using StmtBody = std::variant<SelectStmt, InsertStmt, UpdateStmt, DeleteStmt, TruncateStmt, CreateTableStmt,
                              DropTableStmt, AlterTableStmt, CreateIndexStmt, DropIndexStmt, CreateViewStmt,
                              DropViewStmt, CreateDatabaseStmt, DropDatabaseStmt, UseStmt, SetStmt, IfStmt, BlockStmt,
                              BeginTransactionStmt, CommitStmt, RollbackStmt, PrintStmt, ExecuteStmt, EmptyStmt>;

enum class StmtKind : uint8_t {
  kSelect,
  kInsert,
  kUpdate,
  kDelete,
  kTruncate,
  kCreateTable,
  kDropTable,
  kAlterTable,
  kCreateIndex,
  kDropIndex,
  kCreateView,
  kDropView,
  kCreateDatabase,
  kDropDatabase,
  kUse,
  kSet,
  kIf,
  kBlock,
  kBeginTransaction,
  kCommit,
  kRollback,
  kPrint,
  kExecute,  // EXEC[UTE] [@status =] procedure [@param =] value [, ...]
  kEmpty,    // a lone ';'
};

// StmtKind names the alternatives by position; these checks keep the two in step.
template <StmtKind kind, typename T>
inline constexpr bool kStmtKindIs = std::is_same_v<std::variant_alternative_t<static_cast<size_t>(kind), StmtBody>, T>;
static_assert(std::variant_size_v<StmtBody> == static_cast<size_t>(StmtKind::kEmpty) + 1);
static_assert(kStmtKindIs<StmtKind::kSelect, SelectStmt> && kStmtKindIs<StmtKind::kInsert, InsertStmt> &&
              kStmtKindIs<StmtKind::kUpdate, UpdateStmt> && kStmtKindIs<StmtKind::kDelete, DeleteStmt> &&
              kStmtKindIs<StmtKind::kTruncate, TruncateStmt> && kStmtKindIs<StmtKind::kCreateTable, CreateTableStmt> &&
              kStmtKindIs<StmtKind::kDropTable, DropTableStmt> && kStmtKindIs<StmtKind::kAlterTable, AlterTableStmt> &&
              kStmtKindIs<StmtKind::kCreateIndex, CreateIndexStmt> &&
              kStmtKindIs<StmtKind::kDropIndex, DropIndexStmt> && kStmtKindIs<StmtKind::kCreateView, CreateViewStmt> &&
              kStmtKindIs<StmtKind::kDropView, DropViewStmt> &&
              kStmtKindIs<StmtKind::kCreateDatabase, CreateDatabaseStmt> &&
              kStmtKindIs<StmtKind::kDropDatabase, DropDatabaseStmt> && kStmtKindIs<StmtKind::kUse, UseStmt> &&
              kStmtKindIs<StmtKind::kSet, SetStmt> && kStmtKindIs<StmtKind::kIf, IfStmt> &&
              kStmtKindIs<StmtKind::kBlock, BlockStmt> &&
              kStmtKindIs<StmtKind::kBeginTransaction, BeginTransactionStmt> &&
              kStmtKindIs<StmtKind::kCommit, CommitStmt> && kStmtKindIs<StmtKind::kRollback, RollbackStmt> &&
              kStmtKindIs<StmtKind::kPrint, PrintStmt> && kStmtKindIs<StmtKind::kExecute, ExecuteStmt> &&
              kStmtKindIs<StmtKind::kEmpty, EmptyStmt>);

struct Stmt {
  size_t pos = 0;    // byte offset of the first token in the batch
  int line = 1;      // 1-based line of the first token
  std::string text;  // the statement's own text (for error messages and view definitions)
  StmtBody body = EmptyStmt{};

  // Which statement this is, as a value (tests compare it; dispatch visits `body` instead).
  [[nodiscard]] StmtKind kind() const { return static_cast<StmtKind>(body.index()); }
  // The statement as type T, or nullptr when it is another one.
  template <typename T>
  [[nodiscard]] const T* get() const {
    return std::get_if<T>(&body);
  }
  template <typename T>
  T* get() {
    return std::get_if<T>(&body);
  }
};

// Builds the visitor of a std::visit from one lambda per alternative.
template <typename... Fs>
struct Overloaded : Fs... {
  using Fs::operator()...;
};
template <typename... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

// For one overload that handles several alternatives alike: `[](const OneOf<A, B> auto&) {...}`.
template <typename T, typename... Ts>
concept OneOf = (std::is_same_v<T, Ts> || ...);

struct Batch {
  std::vector<StmtPtr> statements;
  int placeholder_count = 0;
};

}  // namespace engine::ast
