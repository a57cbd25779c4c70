#include "db/database_access.h"

#include <exception>
#include <utility>

#include "db/error.h"
#include "db/ini_file.h"

namespace db {

DatabaseAccess::DatabaseAccess(ui::Ui& ui, std::filesystem::path exe_dir) : ui_(ui), exe_dir_(std::move(exe_dir)) {
  qry_mand_.set_text(std::string(kQryMandText));
  qry_mand_all_.set_text(std::string(kQryMandAllText));
}

std::string DatabaseAccess::ReadSettingsFile() {
  IniFile file;
  try {
    file = IniFile::Load(exe_dir_ / kSettingsFileName);
  } catch (const SettingsError& e) {
    ui_.ShowBox(ui::BoxKind::kPlain, e.what());
  }
  std::string win_auth;
  connection_settings_ = ReadSettings(file, &win_auth);
  provider_options_ = ReadProviderOptions(file);
  return win_auth;
}

void DatabaseAccess::pConn(std::string_view catalog) {
  const std::string win_auth = ReadSettingsFile();
  current_catalog_ = catalog;
  Reopen(ado_connection_mand_, ServerConnectionItems(connection_settings_, win_auth, catalog), catalog);
}

void DatabaseAccess::MandantChange(std::string_view name) {
  const std::string win_auth = ReadSettingsFile();
  current_catalog_ = name;
  Reopen(ado_connection_, ClientConnectionItems(connection_settings_, win_auth, name), name);
}

void DatabaseAccess::Reopen(Connection& connection, const std::vector<std::string>& items, std::string_view catalog) {
  connection.Close();
  connection.set_connection_string(JoinItems(items));
  connection.set_provider_options(provider_options_);
  try {
    connection.Open(exe_dir_);
  } catch (const Error& e) {
    ui_.ShowBox(ui::BoxKind::kError, ConnectionErrorText(catalog, e.what()));
  }
}

}  // namespace db
