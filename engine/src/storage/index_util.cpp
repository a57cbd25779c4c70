// Physical index SQL and duplicate-key messages.
#include "storage/index_util.h"

#include "errors.h"

namespace engine::storage {

std::string IndexStorageName(const TableDef& table, const IndexDef& index) {
  return table.StorageName() + "_i" + std::to_string(index.index_id);
}

std::string KeyColumn(const ColumnDef& column) {
  std::string out = TableDef::StorageColumn(column);
  if (column.type.IsString()) out += " COLLATE TSQL_CI";
  return out;
}

std::string CreateIndexSql(const TableDef& table, const IndexDef& index) {
  std::string sql = index.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
  sql += IndexStorageName(table, index) + " ON " + table.StorageName() + "(";
  for (size_t i = 0; i < index.columns.size(); ++i) {
    if (i) sql += ", ";
    sql += KeyColumn(table.columns.at(static_cast<size_t>(index.columns[i])));
    if (i < index.descending.size() && index.descending[i]) sql += " DESC";
  }
  return sql + ")";
}

std::string ObjectName(const TableDef& table) { return "dbo." + table.name; }

std::string KeyText(const IndexDef& index, const Row& row) {
  std::string out = "(";
  for (size_t i = 0; i < index.columns.size(); ++i) {
    if (i) out += ", ";
    auto ordinal = static_cast<size_t>(index.columns[i]);
    if (ordinal >= row.size() || row[ordinal].is_null()) {
      out += "<NULL>";
    } else {
      out += row[ordinal].ToString();
    }
  }
  return out + ")";
}

SqlError DuplicateError(const TableDef& table, const IndexDef& index, const Row& row) {
  if (index.primary_key || index.unique_constraint || index.constraint_id != 0) {
    return err::DuplicateKey(index.primary_key, index.name, ObjectName(table), KeyText(index, row));
  }
  return err::DuplicateIndexKey(ObjectName(table), index.name, KeyText(index, row));
}

}  // namespace engine::storage
