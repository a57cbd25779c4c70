// Writers of the metadata tables shared by the DDL files (store_ddl.cpp, store_constraints.cpp).
#pragma once

#include <sqlite3.h>

#include <string>

#include "catalog.h"

namespace engine::storage {

// Inserts or replaces `object` in the id-ordered list of the catalog.
void PutObject(Catalog& c, const ObjectDef& object);
void WriteObject(sqlite3* db, const std::string& name, const ObjectDef& o);
void WriteColumn(sqlite3* db, const std::string& name, int32_t table_id, size_t ordinal, const ColumnDef& c);
// Column lists are written as colids, which stay valid when other columns are dropped.
void WriteIndex(sqlite3* db, const std::string& name, const TableDef& table, const IndexDef& index);
void WriteForeignKey(sqlite3* db, const std::string& name, const Catalog& c, const ForeignKeyDef& fk);
// Runs one statement whose only parameter ?1 is `id` (deletes by id).
void RunWithId(sqlite3* db, const std::string& name, const char* sql, int64_t id);

}  // namespace engine::storage
