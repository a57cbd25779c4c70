// The statements of ddl/, as the session dispatches them: tables, indexes, views, databases.
#pragma once

#include "ast.h"
#include "exec_context.h"

namespace engine {

void ExecCreateTable(const ast::CreateTableStmt& stmt, ExecContext& ctx);
void ExecDropTable(const ast::DropStmt& stmt, ExecContext& ctx);
void ExecDropView(const ast::DropStmt& stmt, ExecContext& ctx);
void ExecAlterTable(const ast::AlterTableStmt& stmt, ExecContext& ctx);
void ExecCreateIndex(const ast::CreateIndexStmt& stmt, ExecContext& ctx);
void ExecDropIndex(const ast::DropIndexStmt& stmt, ExecContext& ctx);
void ExecCreateView(const ast::CreateViewStmt& stmt, ExecContext& ctx);
void ExecCreateDatabase(const ast::DatabaseStmt& stmt, ExecContext& ctx);
void ExecDropDatabase(const ast::DatabaseStmt& stmt, ExecContext& ctx);

}  // namespace engine
