// The listening socket and the connections it accepts, one thread each. Stop() (from any thread)
// ends accepting, shuts the open connections down and lets Run() return once every connection
// thread has finished and closed its session.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <list>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace tds {

struct ListenerOptions {
  std::filesystem::path server_dir;
  std::string address = "127.0.0.1";
  uint16_t port = 1433;     // 0: any free port
  bool listen_any = false;  // allow addresses other than loopback
};

class ListenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Listener {
 public:
  // Opens the server directory (creating an empty server when it does not exist) and binds.
  // Throws ListenError for an address that is not loopback without listen_any, an unusable
  // server directory or a failed bind.
  explicit Listener(ListenerOptions options);
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  [[nodiscard]] uint16_t port() const { return port_; }
  [[nodiscard]] const std::string& address() const { return bound_address_; }
  // Accepts connections until Stop(); returns after all connections ended.
  void Run();
  void Stop();

 private:
  struct Worker {
    std::thread thread;
    int fd = -1;  // -1 once the connection closed its socket
    bool finished = false;
  };
  void Accept();
  void Reap(bool all);
  void ShutdownConnections();

  ListenerOptions options_;
  std::string server_name_;
  std::string bound_address_;
  uint16_t port_ = 0;
  int listen_fd_ = -1;
  std::array<int, 2> wake_pipe_ = {-1, -1};
  uint16_t next_spid_ = 51;
  std::mutex mutex_;
  std::list<std::unique_ptr<Worker>> workers_;
};

// True for 127.0.0.0/8, ::1 and "localhost".
bool IsLoopbackAddress(const std::string& address);

}  // namespace tds
