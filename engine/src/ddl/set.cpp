// SET options of the session.
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

void ClearIdentityInsert(SessionOptions& o) {
  o.identity_insert_table = 0;
  o.identity_insert_db.clear();
  o.identity_insert_name.clear();
}

// SET IDENTITY_INSERT t {ON | OFF}: one table per session at a time.
void SetIdentityInsert(const ast::SetStmt& stmt, bool on, ExecContext& ctx) {
  Store& db = ddl::StoreFor(stmt.table, ctx);
  const TableDef* table = ddl::LookupTable(db, stmt.table);
  std::string written = stmt.table.written.empty() ? stmt.table.name : stmt.table.written;
  if (table == nullptr || table->is_view) throw err::InvalidObject(written);
  if (!table->IdentityColumn()) throw err::NoIdentityProperty(written);
  SessionOptions& o = ctx.options();
  bool same = o.identity_insert_table == table->id && CollateEqual(o.identity_insert_db, db.name());
  if (!on) {
    if (same) ClearIdentityInsert(o);
    return;
  }
  if (o.identity_insert_table != 0 && !same) throw err::IdentityInsertAlreadyOn(o.identity_insert_name, written);
  o.identity_insert_db = db.name();
  o.identity_insert_table = table->id;
  o.identity_insert_name = ddl::ThreePartName(db, *table);
}

}  // namespace

// SET NOCOUNT | ANSI_WARNINGS | ANSI_NULL_DFLT_ON | ANSI_NULL_DFLT_OFF | CONCAT_NULL_YIELDS_NULL
//   | ANSI_DEFAULTS {ON | OFF}; SET DATEFORMAT dmy; SET IDENTITY_INSERT t {ON | OFF}.
// Other options are accepted and have no effect.
void ExecSet(const ast::SetStmt& stmt, ExecContext& ctx) {
  SessionOptions& o = ctx.options();
  const std::string& opt = stmt.option;
  bool on = CollateEqual(stmt.value, "ON");
  if (CollateEqual(opt, "NOCOUNT")) {
    o.nocount = on;
  } else if (CollateEqual(opt, "ANSI_WARNINGS")) {
    o.convert.ansi_warnings = on;
  } else if (CollateEqual(opt, "ANSI_NULL_DFLT_ON")) {
    o.ansi_null_dflt_on = on;
  } else if (CollateEqual(opt, "ANSI_NULL_DFLT_OFF")) {
    if (on) o.ansi_null_dflt_on = false;
  } else if (CollateEqual(opt, "CONCAT_NULL_YIELDS_NULL")) {
    o.concat_null_yields_null = on;
  } else if (CollateEqual(opt, "ANSI_DEFAULTS")) {
    o.convert.ansi_warnings = on;
    o.ansi_null_dflt_on = on;
  } else if (CollateEqual(opt, "DATEFORMAT")) {
    auto fmt = ParseDateFormat(stmt.value);
    if (!fmt) throw err::BadDateFormat(stmt.value);
    o.convert.dateformat = *fmt;
  } else if (CollateEqual(opt, "IDENTITY_INSERT")) {
    SetIdentityInsert(stmt, on, ctx);
  }
}

}  // namespace engine
