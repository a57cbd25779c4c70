// Building a demo server: an embedded server directory with the databases a club office typically has
// (the "Zentix" database, two client databases, a temporary one and an unrelated one) and the SysDBAdo.INI
// that points the upgrader at it.
#ifndef CLUBIQA_TOOLS_DEMO_SERVER_DEMO_SERVER_H_
#define CLUBIQA_TOOLS_DEMO_SERVER_DEMO_SERVER_H_

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace demo {

// Name of the server directory, beside SysDBAdo.INI.
inline constexpr std::string_view kServerDirName = "demo-server";

struct DemoDatabase {
  std::string name;
  bool club_data;  // holds a club's tables; false for the unrelated database
};

// The databases of the demo server, in creation order.
std::vector<DemoDatabase> DemoDatabases();

// The SysDBAdo.INI text (CR LF line ends, as Windows editors write it) for a server directory named
// kServerDirName beside the file.
std::string SettingsFileText();

// Creates `dir`/demo-server with every demo database and writes `dir`/SysDBAdo.INI. An existing server
// directory is removed first only when `replace` is true; otherwise it is left alone and false is returned.
// Throws std::runtime_error (with the server's message) when a database cannot be built.
bool BuildDemoServer(const std::filesystem::path& dir, bool replace);

}  // namespace demo

#endif  // CLUBIQA_TOOLS_DEMO_SERVER_DEMO_SERVER_H_
