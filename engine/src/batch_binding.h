// Batch compilation check: SQL Server binds every statement of a batch whose tables exist when
// the batch starts, before the first statement runs. A column those tables lack (207) therefore
// rejects the whole batch, even when an earlier statement of the same batch would add it
// (ALTER TABLE t ADD c ... followed by UPDATE t SET c = ...).
#pragma once

#include "ast.h"
#include "exec.h"

namespace engine {

// Throws the 207 (ErrorScope::kCompile) of the first statement that cannot bind; other
// failures are left to the statement's own run.
void BindBatch(const ast::Batch& batch, ExecContext& ctx);

}  // namespace engine
