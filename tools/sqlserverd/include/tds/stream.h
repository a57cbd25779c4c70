// The byte stream beneath the packet layer. A connection reads and writes its packets through
// this interface only, so a TLS layer can later be slid in between the socket and the packets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

namespace tds {

// The peer went away or the stream failed; the connection ends quietly.
class StreamClosed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Reads at least one byte and at most out.size(); returns 0 at the end of the stream.
  // Throws StreamClosed on a failure.
  virtual size_t ReadSome(std::span<uint8_t> out) = 0;
  // Writes everything or throws StreamClosed.
  virtual void WriteAll(std::span<const uint8_t> data) = 0;
  // True when a read would not block (data waiting, or the end of the stream).
  virtual bool ReadReady() = 0;
};

// A connected socket; the stream owns the descriptor and closes it.
class SocketStream : public ByteStream {
 public:
  explicit SocketStream(int fd) : fd_(fd) {}
  ~SocketStream() override;
  SocketStream(const SocketStream&) = delete;
  SocketStream& operator=(const SocketStream&) = delete;
  size_t ReadSome(std::span<uint8_t> out) override;
  void WriteAll(std::span<const uint8_t> data) override;
  bool ReadReady() override;
  [[nodiscard]] int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace tds
