// SQL text of the physical SQLite objects behind tables and indexes, and the key texts that
// duplicate-key errors show.
#pragma once

#include <string>

#include "catalog.h"
#include "engine/engine.h"
#include "store.h"

namespace engine::storage {

// "t5_i2"
std::string IndexStorageName(const TableDef& table, const IndexDef& index);
// CREATE [UNIQUE] INDEX t5_i2 ON t5(c1 COLLATE TSQL_CI, c3 DESC)
std::string CreateIndexSql(const TableDef& table, const IndexDef& index);
// "c3 COLLATE TSQL_CI" for string columns, "c3" otherwise: the comparison an index uses.
std::string KeyColumn(const ColumnDef& column);
// "dbo.T", as duplicate-key messages name the object.
std::string ObjectName(const TableDef& table);
// "(1, abc)" from the index columns of `row`; NULL is shown as <NULL>.
std::string KeyText(const IndexDef& index, const Row& row);
// 2627 for a PRIMARY KEY / UNIQUE constraint index, 2601 for a plain unique index.
SqlError DuplicateError(const TableDef& table, const IndexDef& index, const Row& row);

}  // namespace engine::storage
