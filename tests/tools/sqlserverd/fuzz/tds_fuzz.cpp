// Fuzz target for what a client sends: the input is a byte stream of packets, read as the
// server reads a connection; each reassembled message goes to the parser of its type (PRELOGIN,
// LOGIN7, SQL batch, RPC with its parameters). Every input must either parse or be refused with
// ProtocolError, StreamClosed or RequestError; anything else (a crash, a sanitizer report,
// another exception, a hang) is a bug. Built for libFuzzer with clang (target tds_fuzz) and with
// tests/engine/fuzz/standalone_driver.cpp for every compiler (ctest tds_fuzz_smoke). The seeds
// in corpus/ are client streams captured from tsql and the FreeTDS ODBC driver.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "tds/login.h"
#include "tds/packet.h"
#include "tds/requests.h"

namespace {

class InputStream : public tds::ByteStream {
 public:
  explicit InputStream(std::span<const uint8_t> data) : data_(data) {}
  size_t ReadSome(std::span<uint8_t> out) override {
    // Odd-sized reads exercise the reassembly of headers split across reads.
    size_t n = std::min({out.size(), data_.size() - pos_, size_t{777}});
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(pos_), n, out.begin());
    pos_ += n;
    return n;
  }
  void WriteAll(std::span<const uint8_t>) override {}
  bool ReadReady() override { return pos_ < data_.size(); }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

void ParseMessage(const tds::Message& message) {
  switch (static_cast<tds::PacketType>(message.type)) {
    case tds::PacketType::kPrelogin:
      tds::ParsePrelogin(message.payload);
      break;
    case tds::PacketType::kLogin7:
      tds::ParseLogin7(message.payload);
      break;
    case tds::PacketType::kSqlBatch:
      tds::ParseSqlBatch(message.payload, true);
      break;
    case tds::PacketType::kRpc:
      for (const tds::RpcCall& call : tds::ParseRpc(message.payload, true)) {
        tds::ResolveProcId(call);
        for (const tds::RpcParam& p : call.params) static_cast<void>(p.value.ToString());  // converts every value
      }
      break;
    default:
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputStream stream(std::span<const uint8_t>(data, size));
  // A small limit keeps every run quick; the limit check itself is part of what is fuzzed.
  tds::PacketReader reader(stream, 1 << 20);
  try {
    while (std::optional<tds::Message> message = reader.ReadMessage()) {
      try {
        ParseMessage(*message);
      } catch (const tds::RequestError&) {
        // Answered with an error message; the connection goes on with the next message.
      }
    }
  } catch (const tds::ProtocolError&) {
  } catch (const tds::StreamClosed&) {
  }
  return 0;
}
