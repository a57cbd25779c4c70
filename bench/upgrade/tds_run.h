// The whole upgrade over the SQL Server wire protocol: clubiqa-sqlserverd serves a copy of the old-release
// server on a loopback port, and the upgrader reaches it through the ODBC provider and the FreeTDS driver, as
// it would reach a real SQL Server. Built when the build has the ODBC provider, the driver and the server.
#ifndef CLUBIQA_BENCH_UPGRADE_TDS_RUN_H_
#define CLUBIQA_BENCH_UPGRADE_TDS_RUN_H_

#include <filesystem>
#include <string>

namespace bench_upgrade {

// Whether this build can run the upgrade over TDS (server program and driver known and present).
bool CanRunOverTds();

// A clubiqa-sqlserverd child process serving `server_dir` on a free loopback port; ends it when destroyed.
class TdsServerProcess {
 public:
  // Starts the server and waits until it listens; throws std::runtime_error when it does not.
  explicit TdsServerProcess(const std::filesystem::path& server_dir);
  ~TdsServerProcess();
  TdsServerProcess(const TdsServerProcess&) = delete;
  TdsServerProcess& operator=(const TdsServerProcess&) = delete;

  int port() const { return port_; }

 private:
  int pid_ = -1;
  int port_ = 0;
};

// SysDBAdo.INI in `dir` that reaches the server on `port` through the SQL Server provider and FreeTDS.
void WriteTdsSettings(const std::filesystem::path& dir, int port);

}  // namespace bench_upgrade

#endif  // CLUBIQA_BENCH_UPGRADE_TDS_RUN_H_
