// A clubiqa-sqlserverd process serving a scratch server directory on a free loopback port, for the tests of the
// ODBC provider. The server runs as a child process, so that a test can kill it like a server that goes away.
//
// The tests reach it through the FreeTDS driver named by its library path (CLUBIQA_FREETDS_DRIVER, found at
// configure time), so that no driver registration outside the checkout is needed; they skip themselves when the
// build found no driver or no server program.
#ifndef CLUBIQA_TESTS_DB_ODBC_TEST_SERVER_H_
#define CLUBIQA_TESTS_DB_ODBC_TEST_SERVER_H_

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include "access_test_support.h"
#include "db/connection.h"
#include "db/connection_items.h"

extern char** environ;

namespace db_test {

#ifndef CLUBIQA_FREETDS_DRIVER
#define CLUBIQA_FREETDS_DRIVER ""
#endif
#ifndef CLUBIQA_SQLSERVERD
#define CLUBIQA_SQLSERVERD ""
#endif

inline std::string FreeTdsDriver() { return CLUBIQA_FREETDS_DRIVER; }
inline std::string ServerProgram() { return CLUBIQA_SQLSERVERD; }

// Skips the current test when the driver or the server program is missing.
#define CLUBIQA_SKIP_WITHOUT_ODBC_SERVER()                                                      \
  do {                                                                                          \
    if (db_test::FreeTdsDriver().empty() || !std::filesystem::exists(db_test::FreeTdsDriver())) \
      GTEST_SKIP() << "no FreeTDS driver in this build";                                        \
    if (db_test::ServerProgram().empty() || !std::filesystem::exists(db_test::ServerProgram())) \
      GTEST_SKIP() << "no clubiqa-sqlserverd program";                                          \
  } while (false)

// The server directory with its trace (and optionally one login) of AccessServer, served over TCP.
class TdsServer : public AccessServer {
 public:
  // With `login`, the server checks logins; it is given that one once it runs, since the server itself opens
  // its directory without a login at start.
  explicit TdsServer(std::string_view login = "", std::string_view password = "")
      : login_(login), password_(password) {}
  ~TdsServer() { Stop(); }

  // Starts the server on a free port (or `port`) and waits until it listens. Throws when it does not.
  void Start(uint16_t port = 0) {
    const std::string log = (base_dir() / "sqlserverd.log").string();
    const std::string dir = server_dir().string();
    const std::string port_text = std::to_string(port);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string program = ServerProgram();
    char* argv[] = {const_cast<char*>(program.c_str()),   const_cast<char*>("-S"),
                    const_cast<char*>(dir.c_str()),       const_cast<char*>("-p"),
                    const_cast<char*>(port_text.c_str()), nullptr};
    const int failed = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw std::runtime_error("cannot start " + program);
    port_ = WaitForPort(log);
    if (!login_.empty()) WriteServerIni(login_, password_);
  }

  // Ends the server as an operator would (SIGTERM) and waits for it.
  void Stop() { End(SIGTERM); }
  // Ends the server at once, as a crash or a pulled cable would.
  void Kill() { End(SIGKILL); }

  uint16_t port() const { return port_; }
  std::string DataSource() const { return "127.0.0.1," + std::to_string(port_); }

  // SysDBAdo.INI that reaches this server through the SQL Server provider and the FreeTDS driver.
  void WriteOdbcSettings(std::string_view user = "sa", std::string_view password = "pw",
                         std::string_view provider = "SQLOLEDB.1") const {
    WriteSettings("[Datenbank]\r\nProvider=" + std::string(provider) + "\r\nPassword=" + std::string(password) +
                  "\r\nPersist Security Info=False\r\nUser ID=" + std::string(user) +
                  "\r\nData Source=" + DataSource() + "\r\nWinAuth=N\r\nODBCDriver=" + FreeTdsDriver() + "\r\n");
  }

  // The upgrader's client connection string for `catalog` on this server.
  std::string OdbcConnectionString(std::string_view catalog, std::string_view user = "sa",
                                   std::string_view password = "pw") const {
    db::ConnectionSettings settings;
    settings.provider = "SQLOLEDB.1";
    settings.user_id = user;
    settings.password = password;
    settings.persist_security_info = "False";
    settings.data_source = DataSource();
    return db::JoinItems(db::ClientConnectionItems(settings, "", catalog));
  }

  static db::ProviderOptions FreeTdsOptions() {
    db::ProviderOptions options;
    options.odbc_driver = FreeTdsDriver();
    return options;
  }

  // Opens `connection` on `catalog` of this server.
  void OpenOn(db::Connection& connection, std::string_view catalog, std::string_view user = "sa",
              std::string_view password = "pw") const {
    connection.set_connection_string(OdbcConnectionString(catalog, user, password));
    connection.set_provider_options(FreeTdsOptions());
    connection.Open(base_dir());
  }

  // What the server wrote to its standard error so far.
  std::string ServerLog() const {
    std::ifstream in(base_dir() / "sqlserverd.log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  // The port of the "listening on <address>:<port>" line of the log.
  uint16_t WaitForPort(const std::string& log) {
    constexpr std::string_view kListening = "listening on ";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      const std::string text = ServerLog();
      if (const size_t at = text.find(kListening); at != std::string::npos) {
        const size_t end = text.find_first_of(", \n", text.find(':', at + kListening.size()));
        const size_t colon = text.rfind(':', end);
        if (end != std::string::npos) return static_cast<uint16_t>(std::stoi(text.substr(colon + 1, end - colon - 1)));
      }
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        throw std::runtime_error("clubiqa-sqlserverd ended at start: " + text);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    throw std::runtime_error("clubiqa-sqlserverd did not listen within 20 s; its log: " + log);
  }

  void End(int signal_number) {
    if (pid_ <= 0) return;
    kill(pid_, signal_number);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

  std::string login_;
  std::string password_;
  pid_t pid_ = -1;
  uint16_t port_ = 0;
};

}  // namespace db_test

#endif  // CLUBIQA_TESTS_DB_ODBC_TEST_SERVER_H_
