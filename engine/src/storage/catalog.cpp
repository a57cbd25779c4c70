// Name lookups of the in-memory catalog. Names compare under the database collation, so the
// lookups go through CollateKey; the hash maps are rebuilt lazily because executors look names
// up far more often than DDL changes them.
#include "catalog.h"

#include <algorithm>

#include "values.h"

namespace engine {

namespace {

// Rebuilds `index` from `count` entries when it does not cover them.
template <typename Map, typename Fill>
void EnsureIndex(Map& index, size_t count, Fill&& fill) {
  if (index.size() == count && count != 0) return;
  index.clear();
  fill(index);
}

}  // namespace

std::optional<int> TableDef::FindColumn(std::string_view name) const {
  std::string key = CollateKey(name);
  for (int attempt = 0; attempt < 2; ++attempt) {
    EnsureIndex(column_index_, columns.size(), [&](auto& index) {
      for (size_t i = 0; i < columns.size(); ++i) index.emplace(CollateKey(columns[i].name), static_cast<int>(i));
    });
    auto it = column_index_.find(key);
    if (it == column_index_.end()) return std::nullopt;
    auto ordinal = static_cast<size_t>(it->second);
    if (ordinal < columns.size() && CollateEqual(columns[ordinal].name, name)) return it->second;
    column_index_.clear();  // stale: `columns` changed without InvalidateLookup()
  }
  return std::nullopt;
}

std::optional<int> TableDef::IdentityColumn() const {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].identity) return static_cast<int>(i);
  }
  return std::nullopt;
}

const IndexDef* TableDef::PrimaryKey() const {
  for (const IndexDef& index : indexes) {
    if (index.primary_key) return &index;
  }
  return nullptr;
}

const IndexDef* TableDef::ClusteredIndex() const {
  for (const IndexDef& index : indexes) {
    if (index.clustered) return &index;
  }
  return nullptr;
}

const IndexDef* TableDef::FindIndex(std::string_view name) const {
  for (const IndexDef& index : indexes) {
    if (CollateEqual(index.name, name)) return &index;
  }
  return nullptr;
}

const TableDef* Catalog::FindTable(std::string_view name) const {
  std::string key = CollateKey(name);
  for (int attempt = 0; attempt < 2; ++attempt) {
    EnsureIndex(table_index_, tables.size(), [&](auto& index) {
      for (const auto& [id, table] : tables) index.emplace(CollateKey(table.name), id);
    });
    auto it = table_index_.find(key);
    if (it == table_index_.end()) return nullptr;
    const TableDef* table = TableById(it->second);
    if (table && CollateEqual(table->name, name)) return table;
    table_index_.clear();  // stale: `tables` changed without InvalidateLookup()
  }
  return nullptr;
}

const ObjectDef* Catalog::FindObject(std::string_view name) const {
  std::string key = CollateKey(name);
  for (int attempt = 0; attempt < 2; ++attempt) {
    EnsureIndex(object_index_, objects.size(), [&](auto& index) {
      for (const ObjectDef& object : objects) index.emplace(CollateKey(object.name), object.id);
    });
    auto it = object_index_.find(key);
    if (it == object_index_.end()) return nullptr;
    const ObjectDef* object = ObjectById(it->second);
    if (object && CollateEqual(object->name, name)) return object;
    object_index_.clear();
  }
  return nullptr;
}

const ObjectDef* Catalog::ObjectById(int32_t id) const {
  auto it = std::lower_bound(objects.begin(), objects.end(), id,
                             [](const ObjectDef& o, int32_t value) { return o.id < value; });
  if (it != objects.end() && it->id == id) return &*it;
  // `objects` is kept in id order by Store; tolerate a caller-built catalog that is not.
  for (const ObjectDef& object : objects) {
    if (object.id == id) return &object;
  }
  return nullptr;
}

const TableDef* Catalog::TableById(int32_t id) const {
  auto it = tables.find(id);
  return it == tables.end() ? nullptr : &it->second;
}

void Catalog::BuildNameLists() const {
  objects_by_name_.clear();
  indexes_by_name_.clear();
  for (size_t i = 0; i < objects.size(); ++i) objects_by_name_[CollateKey(objects[i].name)].push_back(i);
  for (const auto& [id, table] : tables) {
    for (size_t i = 0; i < table.indexes.size(); ++i)
      indexes_by_name_[CollateKey(table.indexes[i].name)].emplace_back(id, i);
  }
  name_lists_ready_ = true;
}

// The lists are only as fresh as the last InvalidateLookup(); every entry is checked against the
// catalog itself, so that a stale list is rebuilt rather than believed.
std::vector<const ObjectDef*> Catalog::ObjectsNamed(std::string_view name) const {
  std::string key = CollateKey(name);
  std::vector<const ObjectDef*> out;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!name_lists_ready_) BuildNameLists();
    out.clear();
    auto it = objects_by_name_.find(key);
    if (it == objects_by_name_.end()) return out;
    bool stale = false;
    for (size_t i : it->second) {
      stale = stale || i >= objects.size() || !CollateEqual(objects[i].name, name);
      if (!stale) out.push_back(&objects[i]);
    }
    if (!stale) return out;
    name_lists_ready_ = false;
  }
  return out;
}

std::vector<Catalog::NamedIndex> Catalog::IndexesNamed(std::string_view name) const {
  std::string key = CollateKey(name);
  std::vector<NamedIndex> out;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!name_lists_ready_) BuildNameLists();
    out.clear();
    auto it = indexes_by_name_.find(key);
    if (it == indexes_by_name_.end()) return out;
    bool stale = false;
    for (const auto& [table_id, i] : it->second) {
      const TableDef* table = TableById(table_id);
      stale = stale || !table || i >= table->indexes.size() || !CollateEqual(table->indexes[i].name, name);
      if (!stale) out.push_back(NamedIndex{table, &table->indexes[i]});
    }
    if (!stale) return out;
    name_lists_ready_ = false;
  }
  return out;
}

std::vector<const ForeignKeyDef*> Catalog::ReferencesTo(int32_t table_id) const {
  std::vector<const ForeignKeyDef*> out;
  for (const ForeignKeyDef& fk : foreign_keys) {
    if (fk.ref_table_id == table_id) out.push_back(&fk);
  }
  return out;
}

std::vector<const ForeignKeyDef*> Catalog::ReferencesFrom(int32_t table_id) const {
  std::vector<const ForeignKeyDef*> out;
  for (const ForeignKeyDef& fk : foreign_keys) {
    if (fk.table_id == table_id) out.push_back(&fk);
  }
  return out;
}

}  // namespace engine
