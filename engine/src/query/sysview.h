// System views as FROM sources. A view knows its columns when a query is compiled; its rows are
// built from the catalog when the query runs: all of them, or, when WHERE or ON fixes one of its
// key columns (an object, table or index name, an object id), only the rows with that key, so
// that a probe for one object does not build the rows of every other one.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "catalog.h"
#include "exec_context.h"

namespace engine {

// A key column and its value: a string for name columns, an integer for id columns.
struct SysViewKey {
  int column = 0;
  Value value;
};
using SysViewKeys = std::vector<SysViewKey>;

struct SysView {
  const std::vector<ColumnInfo>* columns;  // made once per view, for the life of the process
  std::vector<int> key_columns;            // columns `rows` can look up
  // Appends the rows of the whole view (`keys` empty) or at least those whose key columns equal
  // all of `keys`, in the order of the whole view. A view may ignore a key it has no quick way
  // to use; it never leaves out a row that has all the keys.
  std::function<void(const SysViewKeys& keys, std::vector<Row>& out)> rows;
};

// The system view `name` names in `db`, or nullopt when it names none (or a user table shadows
// it).
std::optional<SysView> SystemView(const ast::ObjectName& name, Store& db, ExecContext& ctx);

namespace sysviews {

// The key on `column`, or nullptr.
const SysViewKey* KeyOn(const SysViewKeys& keys, int column);

// The objects and tables keys select, in the order of the whole view: the ones of the name
// given for `name_column`, else the one of the id given for `id_column` (-1: the view has no
// such column), else every one.
std::vector<const ObjectDef*> SelectObjects(const Catalog& cat, const SysViewKeys& keys, int name_column,
                                            int id_column);
std::vector<const TableDef*> SelectTables(const Catalog& cat, const SysViewKeys& keys, int name_column, int id_column);
// Ordinals of the columns of `t` the keys select: the one of the name given for `name_column`,
// else all.
std::vector<size_t> SelectColumns(const TableDef& t, const SysViewKeys& keys, int name_column);

}  // namespace sysviews
}  // namespace engine
