// clubiqa-sqlserverd: serves a server directory of the embedded engine over the SQL Server wire
// protocol, so that sqlcmd-like tools and ODBC drivers can reach it like a SQL Server instance.
// This file only reads the command line, waits for SIGTERM/SIGINT and runs the listener.
#include <csignal>

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

#include "clubiqa/version.h"
#include "tds/listener.h"

namespace {

constexpr std::string_view kUsage = "usage: clubiqa-sqlserverd -S DIR [-a ADDRESS] [-p PORT] [--listen-any]";

void PrintHelp() {
  std::cout << kUsage << "\n"
            << "  -S DIR        server directory to serve (created empty when missing)\n"
            << "  -a ADDRESS    address to listen on (default 127.0.0.1)\n"
            << "  -p PORT       TCP port (default 1433; 0 picks a free port)\n"
            << "  --listen-any  allow addresses other than loopback\n"
            << "  --help        print this help and exit\n"
            << "  --version     print the version and exit\n";
}

int UsageError() {
  std::cerr << kUsage << '\n';
  return 1;
}

std::optional<uint16_t> ParsePort(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  int port = std::stoi(text);
  if (port > 65535) return std::nullopt;
  return static_cast<uint16_t>(port);
}

// Returns an exit code when the program ends here (help, version, usage errors).
std::optional<int> ParseArguments(int argc, char** argv, tds::ListenerOptions& options) {
  bool have_dir = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-?") {
      PrintHelp();
      return 0;
    }
    if (arg == "--version") {
      std::cout << "clubiqa-sqlserverd " << clubiqa::kVersion << '\n';
      return 0;
    }
    if (arg == "--listen-any") {
      options.listen_any = true;
      continue;
    }
    if ((arg != "-S" && arg != "-a" && arg != "-p") || i + 1 >= argc) return UsageError();
    const std::string value = argv[++i];
    if (arg == "-S") {
      options.server_dir = value;
      have_dir = true;
    } else if (arg == "-a") {
      options.address = value;
    } else if (std::optional<uint16_t> port = ParsePort(value)) {
      options.port = *port;
    } else {
      return UsageError();
    }
  }
  if (!have_dir || options.server_dir.empty()) return UsageError();
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  tds::ListenerOptions options;
  if (std::optional<int> code = ParseArguments(argc, argv, options)) return *code;

  // SIGTERM and SIGINT are taken by sigwait below; every thread created later inherits the mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  try {
    tds::Listener listener(options);
    std::thread server([&listener] { listener.Run(); });
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    listener.Stop();
    server.join();
  } catch (const tds::ListenError& e) {
    std::cerr << "clubiqa-sqlserverd: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
