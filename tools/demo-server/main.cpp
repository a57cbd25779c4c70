// clubiqa-demo-server: builds a demo server for the upgrader.
//
//   clubiqa-demo-server [--replace] [DIR]
//
// Creates DIR/demo-server (DIR defaults to the directory of this program, where the upgrader is built) and
// DIR/SysDBAdo.INI pointing at it. An existing demo server is kept unless --replace is given.
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

#include "demo_server.h"

namespace {

std::filesystem::path ProgramDirectory(const char* argv0) {
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) exe = std::filesystem::absolute(argv0);
  return exe.parent_path();
}

}  // namespace

int main(int argc, char** argv) {
  bool replace = false;
  std::filesystem::path dir;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--replace") {
      replace = true;
    } else if (arg == "-h" || arg == "--help" || (!arg.empty() && arg[0] == '-') || !dir.empty()) {
      std::cerr << "usage: clubiqa-demo-server [--replace] [DIR]\n";
      return arg == "-h" || arg == "--help" ? 0 : 2;
    } else {
      dir = arg;
    }
  }
  if (dir.empty()) dir = ProgramDirectory(argv[0]);
  try {
    if (!demo::BuildDemoServer(dir, replace)) {
      std::cout << "demo server exists: " << (dir / demo::kServerDirName).string() << "\n";
      return 0;
    }
    std::cout << "demo server built: " << (dir / demo::kServerDirName).string() << "\n"
              << "settings written: " << (dir / "SysDBAdo.INI").string() << "\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "clubiqa-demo-server: " << e.what() << "\n";
    return 1;
  }
}
