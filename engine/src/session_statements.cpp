// Statements that change the session rather than a database: SET options and USE. They live
// with the session because they change what every later statement runs with.
#include <optional>

#include "ddl/ddl_common.h"
#include "errors.h"
#include "exec.h"
#include "values.h"

namespace engine {
namespace {

std::optional<DateFormat> ParseDateFormat(std::string_view v) {
  if (CollateEqual(v, "DMY")) return DateFormat::kDmy;
  if (CollateEqual(v, "MDY")) return DateFormat::kMdy;
  if (CollateEqual(v, "YMD")) return DateFormat::kYmd;
  if (CollateEqual(v, "YDM")) return DateFormat::kYdm;
  if (CollateEqual(v, "MYD")) return DateFormat::kMyd;
  if (CollateEqual(v, "DYM")) return DateFormat::kDym;
  return std::nullopt;
}

// SET IDENTITY_INSERT t {ON | OFF}: one table per session at a time.
void SetIdentityInsert(const ast::SetStmt& stmt, bool on, ExecContext& ctx) {
  Store& db = ddl::StoreFor(stmt.table, ctx);
  const TableDef* table = ddl::LookupTable(db, stmt.table);
  std::string written = stmt.table.written.empty() ? stmt.table.name : stmt.table.written;
  if (table == nullptr || table->is_view) throw err::InvalidObject(written);
  if (!table->IdentityColumn()) throw err::NoIdentityProperty(written);
  bool same = ctx.IdentityInsertOn(db.name(), table->id);
  if (!on) {
    if (same) ctx.ClearIdentityInsert();
    return;
  }
  const SessionOptions& o = ctx.options();
  if (o.identity_insert_table != 0 && !same) throw err::IdentityInsertAlreadyOn(o.identity_insert_name, written);
  ctx.SetIdentityInsert(db.name(), table->id, ddl::ThreePartName(db, *table));
}

}  // namespace

// SET NOCOUNT | ANSI_WARNINGS | ANSI_NULL_DFLT_ON | ANSI_NULL_DFLT_OFF | CONCAT_NULL_YIELDS_NULL
//   | ANSI_DEFAULTS {ON | OFF}; SET DATEFORMAT dmy; SET IDENTITY_INSERT t {ON | OFF}.
// Other options are accepted and have no effect.
void ExecSet(const ast::SetStmt& stmt, ExecContext& ctx) {
  const std::string& opt = stmt.option;
  bool on = CollateEqual(stmt.value, "ON");
  if (CollateEqual(opt, "NOCOUNT")) {
    ctx.set_nocount(on);
  } else if (CollateEqual(opt, "ANSI_WARNINGS")) {
    ctx.set_ansi_warnings(on);
  } else if (CollateEqual(opt, "ANSI_NULL_DFLT_ON")) {
    ctx.set_ansi_null_dflt_on(on);
  } else if (CollateEqual(opt, "ANSI_NULL_DFLT_OFF")) {
    if (on) ctx.set_ansi_null_dflt_on(false);
  } else if (CollateEqual(opt, "CONCAT_NULL_YIELDS_NULL")) {
    ctx.set_concat_null_yields_null(on);
  } else if (CollateEqual(opt, "ANSI_DEFAULTS")) {
    ctx.set_ansi_warnings(on);
    ctx.set_ansi_null_dflt_on(on);
  } else if (CollateEqual(opt, "DATEFORMAT")) {
    auto fmt = ParseDateFormat(stmt.value);
    if (!fmt) throw err::BadDateFormat(stmt.value);
    ctx.set_dateformat(*fmt);
  } else if (CollateEqual(opt, "IDENTITY_INSERT")) {
    SetIdentityInsert(stmt, on, ctx);
  }
}

// USE name
void ExecUse(const ast::DatabaseStmt& stmt, ExecContext& ctx) {
  // The current store is inside this statement's transaction: keep it when nothing changes.
  if (CollateEqual(stmt.name, ctx.db_name()) && ctx.server().FindDatabase(stmt.name)) return;
  std::unique_ptr<Store> store = ctx.server().OpenDatabase(stmt.name);
  if (store == nullptr) throw err::DatabaseNotFound(stmt.name);
  ctx.SetDatabase(std::move(store));
}

}  // namespace engine
