// CREATE DATABASE and DROP DATABASE.
#include "ddl/statements.h"
#include "errors.h"
#include "values.h"

namespace engine {

// CREATE DATABASE name
void ExecCreateDatabase(const ast::DatabaseStmt& stmt, ExecContext& ctx) {
  if (ctx.server().FindDatabase(stmt.name)) throw err::DatabaseExists(stmt.name);
  ctx.server().CreateDatabase(stmt.name);
}

// DROP DATABASE name
void ExecDropDatabase(const ast::DatabaseStmt& stmt, ExecContext& ctx) {
  if (CollateEqual(stmt.name, "master")) throw err::SystemDatabase(stmt.name);
  if (!ctx.server().FindDatabase(stmt.name)) throw err::CannotDrop("database", stmt.name);
  if (CollateEqual(stmt.name, ctx.db_name())) throw err::DatabaseInUse(stmt.name);
  // A store this session kept open from an earlier USE or three-part name must not outlive
  // the file (Windows refuses to delete an open file).
  ctx.ForgetDatabase(stmt.name);
  ctx.server().DropDatabase(stmt.name);
}

}  // namespace engine
