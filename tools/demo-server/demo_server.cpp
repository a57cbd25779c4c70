#include "demo_server.h"

#include <fstream>
#include <stdexcept>

#include "demo_content.h"
#include "engine/engine.h"

namespace demo {
namespace {

std::unique_ptr<engine::Session> OpenServer(const std::filesystem::path& server_dir, std::string catalog) {
  engine::OpenOptions options;
  options.data_source = server_dir;
  options.create_server = true;
  options.initial_catalog = std::move(catalog);
  return engine::Session::Open(options);
}

void Run(engine::Session& session, std::string_view batch) {
  engine::BatchResult result = session.Execute(batch);
  if (const engine::Message* error = result.FirstError()) {
    throw std::runtime_error("demo server: " + error->text + "\nin: " + std::string(batch.substr(0, 200)));
  }
}

}  // namespace

std::vector<DemoDatabase> DemoDatabases() {
  return {{"Zentix", true}, {"ZENTIX001", true}, {"ZENTIX002", true}, {"ZENTIXTMP1", true}, {"Vereinsarchiv", false}};
}

std::string SettingsFileText() {
  return "[Datenbank]\r\n"
         "Provider=Clubiqa.Embedded\r\n"
         "Data Source=" +
         std::string(kServerDirName) +
         "\r\n"
         "Persist Security Info=False\r\n"
         "User ID=sa\r\n"
         "Password=\r\n"
         "WinAuth=N\r\n"
         "Initial Catalog=Zentix\r\n"
         "\r\n"
         "[Verzeichnis]\r\n"
         "HauptVerz=.\r\n";
}

bool BuildDemoServer(const std::filesystem::path& dir, bool replace) {
  const std::filesystem::path server_dir = dir / kServerDirName;
  if (std::filesystem::exists(server_dir)) {
    if (!replace) return false;
    std::filesystem::remove_all(server_dir);
  }
  {
    auto master = OpenServer(server_dir, "");
    for (const DemoDatabase& database : DemoDatabases()) Run(*master, "CREATE DATABASE [" + database.name + "]");
  }
  for (const DemoDatabase& database : DemoDatabases()) {
    auto session = OpenServer(server_dir, database.name);
    for (const std::string& batch : database.club_data ? ClubDatabaseBatches(database.name) : ArchiveBatches()) {
      Run(*session, batch);
    }
  }
  std::ofstream settings(dir / "SysDBAdo.INI", std::ios::binary | std::ios::trunc);
  settings << SettingsFileText();
  if (!settings.flush()) throw std::runtime_error("demo server: cannot write " + (dir / "SysDBAdo.INI").string());
  return true;
}

}  // namespace demo
