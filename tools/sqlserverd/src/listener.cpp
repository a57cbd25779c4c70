// Listening and connection threads (see listener.h).
#include "tds/listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "engine/engine.h"
#include "tds/connection.h"
#include "tds/log.h"
#include "tds/stream.h"

namespace tds {
namespace {

std::string PeerName(const sockaddr_storage& addr) {
  std::array<char, INET6_ADDRSTRLEN> host = {'?'};
  uint16_t port = 0;
  if (addr.ss_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(&addr);
    inet_ntop(AF_INET, &in->sin_addr, host.data(), host.size());
    port = ntohs(in->sin_port);
  } else if (addr.ss_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&addr);
    inet_ntop(AF_INET6, &in6->sin6_addr, host.data(), host.size());
    port = ntohs(in6->sin6_port);
  }
  return std::string(host.data()) + ":" + std::to_string(port);
}

std::string HostName() {
  std::array<char, 256> name{};
  if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') return "localhost";
  return name.data();
}

// A first session checks the directory (and creates an empty server in a new one) before any
// client depends on it.
void PrepareServer(const std::filesystem::path& dir) {
  engine::OpenOptions options;
  options.data_source = dir;
  options.create_server = true;
  try {
    engine::Session::Open(options);
  } catch (const engine::SqlError& e) {
    // A server with [Logins] refuses this anonymous session, which proves the directory usable.
    if (e.number() != 18456) throw ListenError("cannot serve " + dir.string() + ": " + e.text());
  }
}

addrinfo* Resolve(const std::string& address, uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (int rc = ::getaddrinfo(address.c_str(), service.c_str(), &hints, &found); rc != 0) {
    throw ListenError("cannot resolve address '" + address + "': " + gai_strerror(rc));
  }
  return found;
}

}  // namespace

bool IsLoopbackAddress(const std::string& address) {
  if (address == "localhost" || address == "::1") return true;
  in_addr v4{};
  if (inet_pton(AF_INET, address.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  return false;
}

Listener::Listener(ListenerOptions options) : options_(std::move(options)), server_name_(HostName()) {
  if (!options_.listen_any && !IsLoopbackAddress(options_.address)) {
    throw ListenError("refusing to listen on '" + options_.address +
                      "': only loopback addresses (127.0.0.0/8, ::1, localhost) without --listen-any");
  }
  options_.server_dir = std::filesystem::absolute(options_.server_dir);
  PrepareServer(options_.server_dir);
  addrinfo* found = Resolve(options_.address, options_.port);
  std::string failure = "no usable address";
  for (addrinfo* ai = found; ai != nullptr && listen_fd_ < 0; ai = ai->ai_next) {
    int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) continue;
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, ai->ai_addr, ai->ai_addrlen) == 0 && ::listen(fd, 64) == 0) {
      listen_fd_ = fd;
    } else {
      failure = std::strerror(errno);
      ::close(fd);
    }
  }
  ::freeaddrinfo(found);
  if (listen_fd_ < 0) {
    throw ListenError("cannot listen on " + options_.address + ":" + std::to_string(options_.port) + ": " + failure);
  }
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&bound), &length);
  const std::string name = PeerName(bound);
  port_ = static_cast<uint16_t>(std::stoi(name.substr(name.rfind(':') + 1)));
  bound_address_ = name.substr(0, name.rfind(':'));
  if (::pipe2(wake_pipe_.data(), O_CLOEXEC) != 0) throw ListenError("cannot create the wake-up pipe");
}

Listener::~Listener() {
  Stop();
  Reap(true);
  if (listen_fd_ >= 0) ::close(listen_fd_);
  for (int fd : wake_pipe_) {
    if (fd >= 0) ::close(fd);
  }
}

void Listener::Stop() {
  if (wake_pipe_[1] < 0) return;
  const char byte = 1;
  // Async-signal-safe on purpose: a signal handler may call Stop().
  [[maybe_unused]] ssize_t n = ::write(wake_pipe_[1], &byte, 1);
}

void Listener::Run() {
  LogLine("listening on " + bound_address_ + ":" + std::to_string(port_) + ", serving " + options_.server_dir.string());
  for (;;) {
    std::array<pollfd, 2> fds = {{{listen_fd_, POLLIN, 0}, {wake_pipe_[0], POLLIN, 0}}};
    if (::poll(fds.data(), fds.size(), 1000) < 0 && errno != EINTR) break;
    if (fds[1].revents != 0) break;
    if (fds[0].revents != 0) Accept();
    Reap(false);
  }
  LogLine("stopping: closing open connections");
  ShutdownConnections();
  Reap(true);
  LogLine("stopped");
}

void Listener::Accept() {
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  int fd = ::accept4(listen_fd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
  if (fd < 0) return;
  auto worker = std::make_unique<Worker>();
  Worker* w = worker.get();
  w->fd = fd;
  const uint16_t spid = next_spid_;
  next_spid_ = next_spid_ >= 32000 ? 51 : static_cast<uint16_t>(next_spid_ + 1);
  ConnectionConfig config{options_.server_dir, server_name_};
  std::string peer_name = PeerName(peer);
  std::lock_guard lock(mutex_);
  w->thread = std::thread([this, w, fd, spid, config = std::move(config), peer_name = std::move(peer_name)] {
    auto connection = std::make_unique<Connection>(std::make_unique<SocketStream>(fd), config, spid, peer_name);
    connection->Run();
    // The descriptor closes with the connection; ShutdownConnections must not touch it after.
    std::lock_guard done(mutex_);
    connection.reset();
    w->fd = -1;
    w->finished = true;
  });
  workers_.push_back(std::move(worker));
}

void Listener::ShutdownConnections() {
  std::lock_guard lock(mutex_);
  for (const auto& w : workers_) {
    if (w->fd >= 0) ::shutdown(w->fd, SHUT_RDWR);
  }
}

void Listener::Reap(bool all) {
  std::list<std::unique_ptr<Worker>> done;
  {
    std::lock_guard lock(mutex_);
    for (auto it = workers_.begin(); it != workers_.end();) {
      if (all || (*it)->finished) {
        done.push_back(std::move(*it));
        it = workers_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& w : done) {
    if (w->thread.joinable()) w->thread.join();
  }
}

}  // namespace tds
