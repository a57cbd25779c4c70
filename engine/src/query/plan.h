// Compiled queries: bound expression trees and query plans shared by SELECT and the DML
// executors.
//
// An ast::SelectStmt is compiled once per statement into a QueryPlan: its FROM sources get
// fixed slots in one "combined row", every column reference is resolved to (depth, slot) so
// evaluation never looks names up again, and equality conjuncts are turned into index seeks
// or hash joins. Plans live as long as the statement that compiled them; subqueries are plans
// nested in expression nodes.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ast.h"
#include "exec_context.h"
#include "query/query.h"
#include "query/sysview.h"

namespace engine::query {

// Where evaluation finds column values: the combined row of the current query block, the
// aggregate results of the current group (grouped queries only), and the enclosing block.
struct Frame {
  const Value* row = nullptr;
  const Value* aggs = nullptr;
  const Frame* outer = nullptr;
};

enum class Tri : uint8_t { kFalse, kTrue, kUnknown };

struct QueryPlan;

enum class NodeKind : uint8_t {
  kConst,
  kColumn,
  kParam,
  kAgg,
  kUnary,
  kArith,
  kCompare,
  kAnd,
  kOr,
  kNot,
  kIsNull,
  kLike,
  kBetween,
  kInList,
  kInSubquery,
  kExists,
  kSubquery,
  kCase,
  kCast,
  kFunc,
  kDbName,
  kObjectId,
  kTranCount,    // @@TRANCOUNT: the session's open BEGIN TRANSACTION levels
  kAppLockMode,  // APPLOCK_MODE(principal, resource, owner): the session's lock on the resource
};

struct Node;
using NodePtr = std::unique_ptr<Node>;

// Result of an uncorrelated IN (subquery), computed once per statement.
struct InSetCache {
  bool ready = false;
  bool has_null = false;
  bool empty = true;
  int key_class = -1;  // value class of the subquery column; -1 when mixed
  std::vector<Value> values;
  std::unordered_map<std::string, bool> keys;
};

// SQL Server accepts at most 256 table names in a query and answers Msg 106 beyond; a query block
// with more sources is refused when its FROM clause is compiled, so that a block's sources always fit
// a SourceSet.
inline constexpr size_t kMaxTableSources = 256;
// A set of the sources of one query block, by index.
using SourceSet = std::bitset<kMaxTableSources>;
inline SourceSet SourceBit(int index) { return SourceSet().set(static_cast<size_t>(index)); }

struct Node {
  NodeKind kind = NodeKind::kConst;
  ast::BinaryOp op = ast::BinaryOp::kAdd;
  ast::UnaryOp uop = ast::UnaryOp::kNeg;
  bool negated = false;
  Value value;                  // kConst
  int depth = 0;                // kColumn: 0 = current block, 1 = enclosing block, ...
  int slot = 0;                 // kColumn: slot in the combined row; kAgg: aggregate index; kParam
  std::optional<SqlType> type;  // static type when known
  std::string func;             // kFunc
  int style = -1;               // kCast with a CONVERT style argument
  SourceSet sources;            // bit i: reads source i of the current block (depth 0)
  bool outer_refs = false;      // reads columns of enclosing blocks
  std::vector<NodePtr> args;
  NodePtr case_operand, case_else;
  std::shared_ptr<QueryPlan> sub;  // subquery nodes
  // Caches for uncorrelated subqueries.
  mutable std::optional<Value> scalar_cache;
  mutable std::optional<bool> exists_cache;
  mutable std::unique_ptr<InSetCache> in_cache;
};

// One FROM source: a base table (read through Store), a system view (rows built from the
// catalog when the query runs) or materialized rows (view, derived table). It owns `width()` slots starting at
// `offset`; the last one holds the rowid of a base table row (NULL for null-extended rows and for materialized
// sources).
struct Source {
  std::string alias;  // empty when none
  std::string name;   // object name as written (matched when there is no alias)
  Store* store = nullptr;
  const TableDef* table = nullptr;  // base tables
  std::vector<ColumnInfo> columns;
  std::vector<bool> used;  // columns the query reads (others are not copied)
  int offset = 0;
  int index = 0;
  bool null_extendable = false;      // inner side of an outer join: WHERE conjuncts cannot seek it
  std::unique_ptr<SysView> sysview;  // system views
  // Materialized sources.
  std::shared_ptr<QueryPlan> plan;         // view or derived table
  std::shared_ptr<ast::Batch> view_batch;  // keeps the parsed view text alive
  std::optional<std::vector<Row>> rows;    // computed rows (cached when not correlated); every
                                           // row of a system view once a query needed them all

  [[nodiscard]] int width() const { return static_cast<int>(columns.size()) + 1; }
  [[nodiscard]] int rowid_slot() const { return offset + static_cast<int>(columns.size()); }
};

// An equality usable to find rows of one source: source column = expression over sources
// bound earlier (or outer references and constants).
struct EquiKey {
  int column = 0;
  NodePtr expr;
};

struct JoinTree {
  int source = -1;  // leaf: index into QueryPlan::sources
  ast::JoinType type = ast::JoinType::kInner;
  std::unique_ptr<JoinTree> left, right;
  NodePtr on;
  std::vector<EquiKey> keys;      // leaf: seek / hash keys
  std::vector<int> seek_columns;  // leaf base table: index prefix covered by `keys`
  std::vector<int> lookups;       // leaf system view: the keys of `keys` it looks its rows up by
  SourceSet mask;                 // sources in this subtree
};

enum class AggKind : uint8_t { kCountStar, kCount, kSum, kAvg, kMin, kMax };

struct AggSpec {
  AggKind kind = AggKind::kCountStar;
  bool distinct = false;
  NodePtr arg;
  SqlType type;  // result type
};

struct SortKey {
  int column = 0;  // index into the output row (hidden keys follow the visible columns)
  bool desc = false;
};

struct QueryPlan {
  const ast::SelectStmt* stmt = nullptr;
  std::vector<std::unique_ptr<Source>> sources;
  std::unique_ptr<JoinTree> from;  // null: SELECT without FROM
  int width = 0;
  NodePtr where;
  bool aggregate = false;
  std::vector<NodePtr> group_by;
  std::vector<AggSpec> aggs;
  NodePtr having;
  std::vector<NodePtr> items;       // visible columns, then hidden ORDER BY keys
  std::vector<ColumnInfo> columns;  // visible columns
  std::vector<SortKey> order;
  NodePtr top;
  bool top_percent = false;
  bool distinct = false;
  std::shared_ptr<QueryPlan> union_next;
  bool union_all = false;
  bool correlated = false;  // reads columns of an enclosing block
  bool single_use = false;  // run once, then dropped: its result takes `columns` instead of a copy
  // Order of a UNION chain (resolved against the output columns); only on the first member.
  std::vector<SortKey> union_order;
};

// ---- Binding (binder.cpp, bind_expr.cpp) -----------------------------------------------------
struct Scope {
  QueryPlan* plan = nullptr;
  const Scope* parent = nullptr;
};

struct BindOptions {
  bool allow_aggregates = false;
  bool in_where = false;
  bool group_check = false;  // grouped query: columns must be grouped
  const std::vector<const ast::Expr*>* group_exprs = nullptr;
  std::vector<int> group_slots;  // slots of grouped plain columns
};

class Binder {
 public:
  Binder(ExecContext& ctx, const Scope* scope) : ctx_(ctx), scope_(scope) {}
  NodePtr Bind(const ast::Expr& e, const BindOptions& opts = {});
  ExecContext& ctx() { return ctx_; }
  [[nodiscard]] const Scope* scope() const { return scope_; }

 private:
  // Dispatches on the expression kind (binder.cpp); `in_agg`: inside an aggregate's argument.
  NodePtr BindInner(const ast::Expr& e, const BindOptions& opts, bool in_agg);
  NodePtr BindChild(const ast::ExprPtr& e, const BindOptions& opts, bool in_agg);  // null stays null
  const BindOptions& GroupedOptions(const ast::Expr& e, const BindOptions& opts, bool in_agg, BindOptions& relaxed);
  NodePtr BindColumn(const ast::Expr& e, const BindOptions& opts, bool in_agg);
  // One binder per kind or group of kinds (bind_expr.cpp).
  NodePtr BindLiteral(const ast::Expr& e);
  NodePtr BindPlaceholder(const ast::Expr& e);
  NodePtr BindUnary(const ast::Expr& e, const BindOptions& opts, bool in_agg);
  NodePtr BindBinary(const ast::Expr& e, const BindOptions& opts, bool in_agg);
  NodePtr BindCast(const ast::Expr& e, const BindOptions& opts, bool in_agg);
  NodePtr BindCase(const ast::Expr& e, const BindOptions& opts, bool in_agg);
  NodePtr BindPredicate(const ast::Expr& e, const BindOptions& opts, bool in_agg);
  NodePtr BindFunction(const ast::Expr& e, const BindOptions& opts, bool in_agg);
  NodePtr BindAggregate(const ast::Expr& e, const BindOptions& opts);
  NodePtr BindSubquery(const ast::Expr& e, const BindOptions& opts, bool in_agg);
  // Gathers the children's sources and outer references into `n`.
  void Finish(Node& n);
  ExecContext& ctx_;
  const Scope* scope_;
};

// Looks a column up in the sources of a plan; nullopt when absent. Throws 209 when ambiguous.
struct ColumnMatch {
  int source = -1;
  int column = -1;
};
std::optional<ColumnMatch> FindColumnIn(const QueryPlan& plan, const std::vector<std::string>& parts,
                                        bool* qualifier_seen);
bool AstEqual(const ast::Expr& a, const ast::Expr& b);
bool ContainsAggregate(const ast::Expr& e);
bool IsAggregateName(std::string_view upper);

// ---- Evaluation (eval.cpp) -------------------------------------------------------------------
Value Eval(const Node& n, const Frame& f, ExecContext& ctx);
Tri Truth(const Node& n, const Frame& f, ExecContext& ctx);
// 0 strings, 1 numbers, 2 datetime, 3 other.
int ValueClass(const SqlType& t);
// Key such that equal keys <=> equal values within one value class (collation for strings,
// numeric value for numbers); prefixed by the class.
void AppendKey(const Value& v, std::string& out);

// ---- Planning and execution (select.cpp, sources.cpp) ----------------------------------------
std::shared_ptr<QueryPlan> CompileQuery(const ast::SelectStmt& stmt, ExecContext& ctx, const Scope* parent);
// Runs a compiled query. `limit` (> 0) stops after that many output rows when the query
// streams (no ORDER BY, DISTINCT, grouping).
ResultSet RunPlan(QueryPlan& plan, const Frame* outer, ExecContext& ctx, size_t limit = 0);

// FROM clause handling (sources.cpp).
void CompileFrom(QueryPlan& plan, const std::vector<ast::TableRefPtr>& from, ExecContext& ctx, const Scope* parent);
// Adds a base table to the sources (DML targets); returns its index.
int AddTableSource(QueryPlan& plan, const ast::ObjectName& name, const std::string& alias, ExecContext& ctx);
// Chooses seeks and hash keys once WHERE and ON are bound.
void PlanJoins(QueryPlan& plan, ExecContext& ctx);
// Calls `emit` with plan's combined row filled for every row of the FROM clause that passes
// WHERE; `emit` returns false to stop.
void EnumerateRows(QueryPlan& plan, Row& row, const Frame* outer, ExecContext& ctx, const std::function<bool()>& emit);
// Resolves a table name to a store and table definition; throws 208 when unknown.
const TableDef& ResolveTable(const ast::ObjectName& name, ExecContext& ctx, Store** store);

// Runs `f` for each bound node (pre-order), without entering subqueries.
void VisitNodes(const Node& n, const std::function<void(const Node&)>& f);

}  // namespace engine::query
