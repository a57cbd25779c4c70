// Store: one T-SQL database kept in one SQLite file.
//
// Layout of the file (documented for support staff in engine/README.md):
//   _meta(key TEXT PRIMARY KEY, value TEXT)      format, schema_version, next_object_id
//   _objects(id, name, xtype, parent_id, crdate) sysobjects rows
//   _tables(id, is_view, view_select, view_definition)
//   _columns(table_id, colid, ordinal, name, type_id, length, precision, scale, nullable,
//            is_identity, seed, increment, default_id, default_text)
//   _indexes(table_id, index_id, name, is_unique, is_primary_key, is_unique_constraint,
//            is_clustered, columns, descending, constraint_id)
//   _foreign_keys(id, table_id, columns, ref_table_id, ref_columns, on_delete, on_update,
//            trusted, enabled)
//   _identity(table_id PRIMARY KEY, current_value, has_value)
//   t<id>(c<colid>, ...)                          the rows of table <id>; rowid is the row id
//   t<id>_i<index_id>                             SQLite index of each T-SQL index
// Values are stored as: integers and bit INTEGER; float/real REAL; strings TEXT (UTF-8);
// decimal/numeric/money TEXT with the column's scale ("1190.00"); datetime TEXT
// "YYYY-MM-DD HH:MM:SS.mmm"; uniqueidentifier TEXT. String index columns use the collation
// TSQL_CI, which every connection of the engine registers.
//
// Durability: WAL journal, synchronous=NORMAL: a committed statement survives a killed process.
// Every method throws SqlError; SQLite failures that are not the caller's fault become a
// batch-aborting error with a clear text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "catalog.h"
#include "engine/engine.h"

struct sqlite3;

namespace engine {

using Row = std::vector<Value>;
// Called once per row; return false to stop the scan. `row` may be modified (it is a scratch copy).
using RowCallback = std::function<bool(int64_t rowid, Row& row)>;

class Store {
 public:
  // Opens the SQLite file of database `name`; `create` makes a new, empty database (the file
  // must not exist). Throws SqlError (DatabaseFileUnusable) for a corrupt or foreign file.
  static std::unique_ptr<Store> Open(const std::filesystem::path& file, std::string name, bool create);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  [[nodiscard]] const std::string& name() const { return name_; }
  [[nodiscard]] const std::filesystem::path& file() const { return file_; }
  sqlite3* handle() { return db_; }

  // ---- Transactions -------------------------------------------------------------------------
  // A statement runs between BeginStatement and Commit/RollbackStatement. Outside an explicit
  // transaction this is a whole SQLite transaction (BEGIN IMMEDIATE for `write`), inside one a
  // savepoint, so a failing statement is undone alone.
  void BeginStatement(bool write);
  void CommitStatement();
  void RollbackStatement();
  void BeginTransaction();     // BEGIN TRANSACTION (nesting counts as SQL Server's @@TRANCOUNT)
  void CommitTransaction();    // COMMIT: only the outermost one commits
  void RollbackTransaction();  // ROLLBACK: undoes everything, trancount 0
  [[nodiscard]] int trancount() const { return trancount_; }

  // ---- Schema -------------------------------------------------------------------------------
  // The catalog as of the current statement (reloaded at BeginStatement when another session
  // changed the schema).
  const Catalog& catalog();
  int32_t AllocateObjectId();
  void CreateTable(const TableDef& table, DateTime crdate);  // adds the U row, columns, physical table
  void CreateView(const TableDef& view, DateTime crdate);    // adds the V row, columns
  // Drops table or view `id` with its columns, indexes, constraint objects and foreign keys.
  void DropTable(int32_t id);
  // Adds a column; every existing row gets `fill` (NULL for a plain nullable column).
  void AddColumn(int32_t table_id, const ColumnDef& column, const Value& fill);
  // Replaces the definition of an existing column (same colid); the caller rewrites the data.
  void ReplaceColumn(int32_t table_id, const ColumnDef& column);
  void DropColumn(int32_t table_id, int32_t colid);
  // Creates the SQLite index; a unique index over duplicate keys throws SqlError 1505 (with
  // 1750 when `index.constraint_id` is set) naming the first duplicate key.
  void CreateIndex(int32_t table_id, const IndexDef& index);
  void DropIndex(int32_t table_id, int32_t index_id);
  void AddObject(const ObjectDef& object);  // a constraint row of sysobjects
  void DropObject(int32_t id);
  void AddForeignKey(const ForeignKeyDef& fk);
  void DropForeignKey(int32_t id);
  void SetForeignKeyState(int32_t id, bool trusted, bool enabled);

  // ---- Identity -------------------------------------------------------------------------------
  // Next value for an insert without an explicit value (seed for the first row).
  int64_t NextIdentity(const TableDef& table);
  // Records an explicitly inserted value: moves the current value past it when larger
  // (smaller for a negative increment).
  void NoteIdentity(const TableDef& table, int64_t value);
  void ResetIdentity(const TableDef& table);  // TRUNCATE

  // ---- Rows -----------------------------------------------------------------------------------
  void Scan(const TableDef& table, const RowCallback& cb);
  // Rows whose columns `ordinals` equal `keys` (string columns under TSQL_CI); uses an index
  // when one starts with these columns. The caller only passes keys of the column's type class.
  void SeekEq(const TableDef& table, std::span<const int> ordinals, std::span<const Value> keys, const RowCallback& cb);
  bool Get(const TableDef& table, int64_t rowid, Row& out);
  // Inserts a row already converted to the column types. A unique index violation throws
  // SqlError 2627 (PK/UQ) or 2601 (unique index) with the key values, statement scope.
  int64_t Insert(const TableDef& table, const Row& row);
  void Update(const TableDef& table, int64_t rowid, const Row& row);  // same errors as Insert
  void Delete(const TableDef& table, int64_t rowid);
  void DeleteAll(const TableDef& table);
  int64_t CountRows(const TableDef& table);

  // Like Scan / SeekEq, but only the columns `wanted` (ordinals) are read; the other entries of
  // the row are NULL. Much cheaper for wide tables when a statement needs few columns; an
  // empty `wanted` reads no column at all (counting, collecting row ids).
  void ScanColumns(const TableDef& table, std::span<const int> wanted, const RowCallback& cb);
  void SeekEqColumns(const TableDef& table, std::span<const int> ordinals, std::span<const Value> keys,
                     std::span<const int> wanted, const RowCallback& cb);
  // Number of rows SeekEq would visit, counted inside SQLite without reading them.
  int64_t CountEq(const TableDef& table, std::span<const int> ordinals, std::span<const Value> keys);

 private:
  Store(sqlite3* db, std::filesystem::path file, std::string name);
  std::string name_;
  std::filesystem::path file_;
  sqlite3* db_ = nullptr;
  int trancount_ = 0;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace engine
