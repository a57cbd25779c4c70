// SELECT as a statement: emits its row set. SELECT ... INTO is a writer and lives in dml/.
#include "query/plan.h"

namespace engine {

// SELECT <items> [FROM ...] [WHERE ...] [GROUP BY ...] [HAVING ...] [ORDER BY ...]
void ExecSelect(const ast::SelectStmt& stmt, ExecContext& ctx) { ctx.Rows(RunQuery(stmt, ctx)); }

}  // namespace engine
