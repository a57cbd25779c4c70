// The run's application lock (see run_lock.h).
#include "app/run_lock.h"

#include <vector>

#include "db/connection_items.h"
#include "db/query.h"

namespace app {

std::string RunLockText() {
  const std::string resource = "N'" + std::string(kRunLockResource) + "'";
  return "EXEC sp_getapplock @Resource = " + resource +
         ", @LockMode = 'Exclusive', @LockOwner = 'Session', @LockTimeout = 0\r\n"
         "SELECT APPLOCK_MODE('public', " +
         resource + ", 'Session') AS LockMode";
}

namespace {

bool IsCatalogKey(std::string_view key) {
  constexpr std::string_view kCatalog = "initial catalog";
  if (key.size() != kCatalog.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    const char c = key[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kCatalog[i]) return false;
  }
  return true;
}

}  // namespace

std::string MasterConnectionString(std::string_view connection_string) {
  std::vector<std::string> items;
  bool catalog_seen = false;
  for (auto& [key, value] : db::ParseConnectionString(connection_string)) {
    const bool catalog = IsCatalogKey(key);
    catalog_seen = catalog_seen || catalog;
    items.push_back(db::FormatItem(key, catalog ? std::string("master") : value));
  }
  if (!catalog_seen) items.push_back(db::FormatItem("Initial Catalog", "master"));
  return db::JoinItems(items);
}

bool RunLock::Acquire(std::string_view server_connection_string, const std::filesystem::path& exe_dir) {
  connection_.Close();
  connection_.set_connection_string(MasterConnectionString(server_connection_string));
  connection_.Open(exe_dir);
  db::Query lock(connection_);
  lock.set_text(RunLockText());
  lock.Open();
  const bool granted = lock.AsString("LockMode") == "Exclusive";
  lock.Close();
  if (granted) return true;
  connection_.Close();
  ui_.ShowBox(ui::BoxKind::kError, kRunLockedText);
  return false;
}

}  // namespace app
