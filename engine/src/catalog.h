// In-memory picture of one database's schema: tables, views, their columns, indexes and
// constraints. Loaded from the metadata tables of the database's SQLite file by Store and
// refreshed whenever another session changed the schema. Executors read it; only Store writes
// it (through the DDL methods of store.h).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/engine.h"

namespace engine {

struct ColumnDef {
  int32_t colid = 0;  // 1-based, never reused; SQLite column name is "c<colid>"
  std::string name;   // as created (a trailing blank stays part of the stored name)
  SqlType type;
  bool nullable = true;
  bool identity = false;
  int64_t seed = 1;
  int64_t increment = 1;
  int32_t default_id = 0;    // object id of the DEFAULT constraint, 0 when none
  std::string default_text;  // canonical text as INFORMATION_SCHEMA shows it: "((0))", "('N')"
};

struct IndexDef {
  int32_t index_id = 0;  // 1 = clustered, >= 2 nonclustered (as sysindexes.indid)
  std::string name;
  bool unique = false;
  bool primary_key = false;        // created by a PRIMARY KEY constraint
  bool unique_constraint = false;  // created by a UNIQUE constraint
  bool clustered = false;
  std::vector<int> columns;      // ordinals into TableDef::columns
  std::vector<bool> descending;  // parallel to columns
  int32_t constraint_id = 0;     // object id of the PK/UQ constraint; 0 for a plain index
};

enum class RefActionKind : uint8_t { kNoAction, kCascade, kSetNull, kSetDefault };

struct ForeignKeyDef {
  int32_t id = 0;  // object id of the constraint (xtype F)
  std::string name;
  int32_t table_id = 0;  // referencing table
  std::vector<int> columns;
  int32_t ref_table_id = 0;  // referenced table
  std::vector<int> ref_columns;
  RefActionKind on_delete = RefActionKind::kNoAction;
  RefActionKind on_update = RefActionKind::kNoAction;
  bool trusted = true;  // false after WITH NOCHECK
  bool enabled = true;  // false after NOCHECK CONSTRAINT
};

// One row of sysobjects: tables (U), views (V) and constraints (PK, UQ, F, D, C).
struct ObjectDef {
  int32_t id = 0;
  std::string name;
  std::string xtype;      // "U", "V", "PK", "UQ", "F", "D", "C" (unpadded)
  int32_t parent_id = 0;  // owning table of a constraint, 0 otherwise
  DateTime crdate;
};

struct TableDef {
  int32_t id = 0;
  std::string name;
  bool is_view = false;
  std::string view_select;         // views: the SELECT text, re-parsed when the view is queried
  std::string view_definition;     // views: the whole CREATE VIEW text
  std::vector<ColumnDef> columns;  // in column order
  std::vector<IndexDef> indexes;   // PK/UQ indexes and plain indexes

  // SQLite names of the physical table and columns.
  std::string StorageName() const { return "t" + std::to_string(id); }
  static std::string StorageColumn(const ColumnDef& c) { return "c" + std::to_string(c.colid); }

  // Column ordinal by name (case-insensitive, accent-sensitive, trailing blanks ignored).
  std::optional<int> FindColumn(std::string_view name) const;
  std::optional<int> IdentityColumn() const;
  const IndexDef* PrimaryKey() const;
  const IndexDef* ClusteredIndex() const;
  const IndexDef* FindIndex(std::string_view name) const;

  // Lookup cache of FindColumn (collation key -> ordinal), rebuilt on demand. Whoever changes
  // `columns` in place (Store does) calls InvalidateLookup().
  void InvalidateLookup() const { column_index_.clear(); }
  mutable std::unordered_map<std::string, int> column_index_;
};

class Catalog {
 public:
  std::vector<ObjectDef> objects;      // sysobjects rows in id order
  std::map<int32_t, TableDef> tables;  // tables and views by object id
  std::vector<ForeignKeyDef> foreign_keys;

  // Names compare under the database collation (case-insensitive, trailing blanks ignored).
  const TableDef* FindTable(std::string_view name) const;  // tables and views
  const ObjectDef* FindObject(std::string_view name) const;
  const ObjectDef* ObjectById(int32_t id) const;
  const TableDef* TableById(int32_t id) const;
  // Every object of that name, in the order of `objects`.
  std::vector<const ObjectDef*> ObjectsNamed(std::string_view name) const;
  // Every index of that name with its table, in table id order and index order within a table
  // (index names are unique per table only).
  struct NamedIndex {
    const TableDef* table;
    const IndexDef* index;
  };
  std::vector<NamedIndex> IndexesNamed(std::string_view name) const;
  // Foreign keys whose referenced table is `table_id` / whose referencing table is `table_id`.
  std::vector<const ForeignKeyDef*> ReferencesTo(int32_t table_id) const;
  std::vector<const ForeignKeyDef*> ReferencesFrom(int32_t table_id) const;

  // Name lookup caches of FindTable/FindObject, rebuilt on demand; Store calls
  // InvalidateLookup() after every change of `objects` or `tables`.
  void InvalidateLookup() const {
    table_index_.clear();
    object_index_.clear();
    objects_by_name_.clear();
    indexes_by_name_.clear();
    name_lists_ready_ = false;
  }
  mutable std::unordered_map<std::string, int32_t> table_index_;   // collation key -> table id
  mutable std::unordered_map<std::string, int32_t> object_index_;  // collation key -> object id

 private:
  void BuildNameLists() const;
  // Collation key -> positions in `objects`, and -> (table id, position in its `indexes`).
  mutable std::unordered_map<std::string, std::vector<size_t>> objects_by_name_;
  mutable std::unordered_map<std::string, std::vector<std::pair<int32_t, size_t>>> indexes_by_name_;
  mutable bool name_lists_ready_ = false;
};

}  // namespace engine
