// Socket implementation of the byte stream (see stream.h).
#include "tds/stream.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace tds {

SocketStream::~SocketStream() {
  if (fd_ >= 0) ::close(fd_);
}

size_t SocketStream::ReadSome(std::span<uint8_t> out) {
  for (;;) {
    ssize_t n = ::recv(fd_, out.data(), out.size(), 0);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) throw StreamClosed("receive failed");
  }
}

void SocketStream::WriteAll(std::span<const uint8_t> data) {
  size_t done = 0;
  while (done < data.size()) {
    // MSG_NOSIGNAL: a peer that left must not kill the server with SIGPIPE.
    ssize_t n = ::send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw StreamClosed("send failed");
    done += static_cast<size_t>(n);
  }
}

bool SocketStream::ReadReady() {
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

}  // namespace tds
