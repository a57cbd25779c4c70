// System views as FROM sources. A view knows its columns when a query is compiled; its rows are
// built from the catalog when the query runs: all of them, or, when WHERE or ON fixes one of its
// key columns (an object, table or index name, an object id), only the rows with that key, so
// that a probe for one object does not build the rows of every other one.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "catalog.h"
#include "exec.h"

namespace engine {

// A key column and its value: a string for name columns, an integer for id columns.
struct SysViewKey {
  int column = 0;
  Value value;
};

struct SysView {
  std::vector<ColumnInfo> columns;
  std::vector<int> key_columns;  // columns `rows` can look up, the most selective first
  // Appends the rows whose key column equals `key` (all rows when `key` is null), in the order
  // of the whole view. Rows of a key are exactly the rows of the whole view that have it.
  std::function<void(const SysViewKey* key, std::vector<Row>& out)> rows;
};

// The system view `name` names in `db`, or nullopt when it names none (or a user table shadows
// it).
std::optional<SysView> SystemView(const ast::ObjectName& name, Store& db, ExecContext& ctx);

namespace sysviews {

// The objects, tables and indexes a key selects, in the order of the whole view: every one when
// `key` is null or on another column, the ones of that name when it is on `name_column`, the one
// of that id when it is on `id_column` (-1: the view has no such column).
std::vector<const ObjectDef*> SelectObjects(const Catalog& cat, const SysViewKey* key, int name_column, int id_column);
std::vector<const TableDef*> SelectTables(const Catalog& cat, const SysViewKey* key, int name_column, int id_column);

}  // namespace sysviews
}  // namespace engine
