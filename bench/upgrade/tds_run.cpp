#include "tds_run.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace bench_upgrade {
namespace {

#ifndef CLUBIQA_SQLSERVERD
#define CLUBIQA_SQLSERVERD ""
#endif
#ifndef CLUBIQA_FREETDS_DRIVER
#define CLUBIQA_FREETDS_DRIVER ""
#endif

constexpr std::string_view kServerProgram = CLUBIQA_SQLSERVERD;
constexpr std::string_view kDriver = CLUBIQA_FREETDS_DRIVER;

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The port of the server's "listening on <address>:<port>, serving ..." line, or 0 while there is none.
int ListeningPort(const std::string& log) {
  constexpr std::string_view kListening = "listening on ";
  const size_t at = log.find(kListening);
  if (at == std::string::npos) return 0;
  const size_t end = log.find(',', at);
  const size_t colon = log.rfind(':', end);
  if (end == std::string::npos || colon == std::string::npos || colon < at) return 0;
  return std::stoi(log.substr(colon + 1, end - colon - 1));
}

}  // namespace

bool CanRunOverTds() {
  return !kServerProgram.empty() && !kDriver.empty() && std::filesystem::exists(kServerProgram) &&
         std::filesystem::exists(kDriver);
}

TdsServerProcess::TdsServerProcess(const std::filesystem::path& server_dir) {
  const std::string log = (server_dir.parent_path() / "sqlserverd.log").string();
  const std::string program(kServerProgram);
  const std::string dir = server_dir.string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  char* argv[] = {const_cast<char*>(program.c_str()),
                  const_cast<char*>("-S"),
                  const_cast<char*>(dir.c_str()),
                  const_cast<char*>("-p"),
                  const_cast<char*>("0"),
                  nullptr};
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error("cannot start " + program);
  pid_ = pid;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while ((port_ = ListeningPort(ReadAll(log))) == 0) {
    if (std::chrono::steady_clock::now() > deadline || waitpid(pid_, nullptr, WNOHANG) == pid_) {
      throw std::runtime_error("clubiqa-sqlserverd did not start: " + ReadAll(log));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

TdsServerProcess::~TdsServerProcess() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

void WriteTdsSettings(const std::filesystem::path& dir, int port) {
  std::ofstream(dir / "SysDBAdo.INI", std::ios::binary | std::ios::trunc)
      << "[Datenbank]\r\nProvider=SQLOLEDB.1\r\nData Source=127.0.0.1," << port
      << "\r\nPersist Security Info=False\r\nUser ID=sa\r\nPassword=\r\nWinAuth=N\r\nODBCDriver=" << kDriver << "\r\n";
}

}  // namespace bench_upgrade
