// Helpers of the protocol tests: an in-memory byte stream, builders of client messages
// (PRELOGIN, LOGIN7, SQL batches, RPC calls) and a server on a free port over a temporary server
// directory.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "tds/listener.h"
#include "tds/packet.h"
#include "tds/stream.h"
#include "tds/text.h"
#include "tds/wire.h"

namespace tds::test {

// Reads come from `input` in pieces of at most `chunk` bytes (to exercise partial reads);
// writes are collected in `output`.
class MemoryStream : public ByteStream {
 public:
  explicit MemoryStream(Bytes input = {}, size_t chunk = 1 << 20) : input_(std::move(input)), chunk_(chunk) {}
  size_t ReadSome(std::span<uint8_t> out) override {
    size_t n = std::min({out.size(), input_.size() - pos_, chunk_});
    std::copy_n(input_.begin() + static_cast<std::ptrdiff_t>(pos_), n, out.begin());
    pos_ += n;
    return n;
  }
  void WriteAll(std::span<const uint8_t> data) override { output.insert(output.end(), data.begin(), data.end()); }
  bool ReadReady() override { return pos_ < input_.size(); }
  Bytes output;

 private:
  Bytes input_;
  size_t pos_ = 0;
  size_t chunk_;
};

// One packet with the given header fields.
inline Bytes Packet(uint8_t type, std::span<const uint8_t> data, bool eom = true, uint8_t id = 1) {
  Bytes out;
  const size_t length = data.size() + kHeaderSize;
  out = {type,
         static_cast<uint8_t>(eom ? 1 : 0),
         static_cast<uint8_t>(length >> 8),
         static_cast<uint8_t>(length),
         0,
         0,
         id,
         0};
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

inline Bytes PreloginPayload(uint8_t encryption) {
  // VERSION (6 bytes) and ENCRYPTION (1 byte), as a client sends them.
  return {0x00, 0x00, 0x0B, 0x00, 0x06, 0x01, 0x00, 0x11, 0x00, 0x01, 0xFF, 1, 3, 0, 0, 0, 0, encryption};
}

inline Bytes Obfuscate(const std::string& password) {
  Bytes bytes = Utf8ToUtf16Le(password);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(((b << 4) | (b >> 4)) ^ 0xA5);
  return bytes;
}

struct LoginFields {
  std::string host = "testhost";
  std::string user = "sa";
  std::string password = "x";
  std::string app = "tds_test";
  std::string server = "127.0.0.1";
  std::string language;
  std::string database;
  uint32_t packet_size = 4096;
};

inline LoginFields ToDatabase(const std::string& database) {
  LoginFields f;
  f.database = database;
  return f;
}

// A LOGIN7 as a TDS 7.4 client writes it.
inline Bytes Login7Payload(const LoginFields& f) {
  const Bytes fields[] = {Utf8ToUtf16Le(f.host), Utf8ToUtf16Le(f.user),     Obfuscate(f.password),
                          Utf8ToUtf16Le(f.app),  Utf8ToUtf16Le(f.server),   {},
                          Utf8ToUtf16Le("ODBC"), Utf8ToUtf16Le(f.language), Utf8ToUtf16Le(f.database)};
  Bytes out;
  Writer w(out);
  w.U32(0);  // length, patched below
  w.U32(0x74000004);
  w.U32(f.packet_size);
  w.U32(7);     // client program version
  w.U32(1234);  // client pid
  w.U32(0);     // connection id
  w.U8(0xE0);
  w.U8(0x03);
  w.U8(0x00);
  w.U8(0x00);
  w.U32(0);  // time zone
  w.U32(0x0409);
  size_t offset = 94;
  for (const Bytes& field : fields) {
    w.U16(static_cast<uint16_t>(offset));
    w.U16(static_cast<uint16_t>(field.size() / 2));
    offset += field.size();
  }
  for (int i = 0; i < 6; ++i) w.U8(0);  // client id
  for (int i = 0; i < 3; ++i) {         // SSPI, attach db file, change password
    w.U16(static_cast<uint16_t>(offset));
    w.U16(0);
  }
  w.U32(0);  // long SSPI
  for (const Bytes& field : fields) w.Raw(field);
  const uint32_t length = static_cast<uint32_t>(out.size());
  for (int i = 0; i < 4; ++i) out[static_cast<size_t>(i)] = static_cast<uint8_t>(length >> (8 * i));
  return out;
}

inline Bytes AllHeaders() {
  // Total length 22; one transaction descriptor header (length 18, type 2).
  return {22, 0, 0, 0, 18, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
}

inline Bytes BatchPayload(const std::string& sql) {
  Bytes out = AllHeaders();
  Bytes text = Utf8ToUtf16Le(sql);
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

// An RPC call by procedure id; `params` are the raw bytes of the parameters.
inline Bytes RpcPayload(uint16_t proc_id, const Bytes& params) {
  Bytes out = AllHeaders();
  Writer w(out);
  w.U16(0xFFFF);
  w.U16(proc_id);
  w.U16(0);
  w.Raw(params);
  return out;
}

// An NTEXT parameter (how the ODBC driver passes statement and declaration texts).
inline void NTextParam(Writer& w, const std::string& name, const std::string& text) {
  w.BVarChar(name);
  w.U8(0);
  w.U8(0x63);
  w.U32(0x7FFFFFFE);
  const uint8_t collation[5] = {0x09, 0x04, 0xD0, 0x00, 0x34};
  w.Raw(collation);
  Bytes utf16 = Utf8ToUtf16Le(text);
  w.U32(static_cast<uint32_t>(utf16.size()));
  w.Raw(utf16);
}

inline void IntParam(Writer& w, const std::string& name, int32_t value, bool output = false, bool null = false) {
  w.BVarChar(name);
  w.U8(output ? 1 : 0);
  w.U8(0x26);
  w.U8(4);
  w.U8(null ? 0 : 4);
  if (!null) w.U32(static_cast<uint32_t>(value));
}

// A temporary server directory with one database `shop`, served on a free loopback port by an
// in-process listener.
class TestServer {
 public:
  // `server_ini`: written to server.ini after the database is created (say, a [Logins] section).
  explicit TestServer(const std::string& server_ini = "") {
    static std::atomic<int> counter{0};
    dir_ = std::filesystem::temp_directory_path() /
           ("tds_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(dir_);
    engine::OpenOptions open;
    open.data_source = dir_;
    open.create_server = true;
    engine::Session::Open(open)->ExecuteOrThrow("CREATE DATABASE shop");
    if (!server_ini.empty()) std::ofstream(dir_ / "server.ini") << server_ini;
    ListenerOptions options;
    options.server_dir = dir_;
    options.port = 0;
    listener_ = std::make_unique<Listener>(options);
    thread_ = std::thread([this] { listener_->Run(); });
  }
  ~TestServer() {
    listener_->Stop();
    thread_.join();
    listener_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  uint16_t port() const { return listener_->port(); }
  const std::filesystem::path& dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
  std::unique_ptr<Listener> listener_;
  std::thread thread_;
};

// A raw client socket to the test server.
class RawClient {
 public:
  explicit RawClient(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    timeval timeout{10, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  }
  ~RawClient() { ::close(fd_); }
  bool connected() const { return connected_; }
  void Send(const Bytes& bytes) { [[maybe_unused]] ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  void Send(uint8_t type, const Bytes& payload) { Send(Packet(type, payload)); }
  // The next whole reply message, or nullopt when the server closed the connection.
  std::optional<Message> Receive() {
    SocketStream stream(::dup(fd_));
    PacketReader reader(stream);
    try {
      return reader.ReadMessage();
    } catch (const StreamClosed&) {
      return std::nullopt;
    }
  }
  // True when the server closed the connection (end of stream within the receive timeout).
  bool ClosedByServer() {
    uint8_t byte;
    for (;;) {
      ssize_t n = ::recv(fd_, &byte, 1, 0);
      if (n == 0) return true;
      if (n < 0) return errno == ECONNRESET;
    }
  }
  // PRELOGIN and LOGIN7; true when the login was acknowledged.
  bool Login(const LoginFields& fields = {}) {
    Send(0x12, PreloginPayload(0));
    if (!Receive()) return false;
    Send(0x10, Login7Payload(fields));
    std::optional<Message> reply = Receive();
    // A successful login reply starts with the database change; a refused one with ERROR.
    return reply && !reply->payload.empty() && reply->payload[0] == 0xE3;
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

}  // namespace tds::test
