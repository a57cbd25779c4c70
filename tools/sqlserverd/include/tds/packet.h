// Packets: the 8-byte header (type, status, big-endian length, SPID, packet id, window) and the
// messages they carry. A message is reassembled from packets until the one marked end of
// message; a reply is split into packets of the negotiated size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "tds/stream.h"
#include "tds/wire.h"

namespace tds {

enum class PacketType : uint8_t {
  kSqlBatch = 0x01,
  kRpc = 0x03,
  kReply = 0x04,
  kAttention = 0x06,
  kBulkLoad = 0x07,
  kTransactionManager = 0x0E,
  kLogin7 = 0x10,
  kSspi = 0x11,
  kPrelogin = 0x12,
};

inline constexpr size_t kHeaderSize = 8;
inline constexpr uint8_t kStatusEndOfMessage = 0x01;
inline constexpr size_t kDefaultPacketSize = 4096;
inline constexpr size_t kMinPacketSize = 512;
inline constexpr size_t kMaxPacketSize = 32767;
// No request of a real client comes near this; anything bigger is refused before it is buffered.
inline constexpr size_t kMaxMessageSize = 64u << 20;

struct Message {
  uint8_t type = 0;
  Bytes payload;
};

class PacketReader {
 public:
  explicit PacketReader(ByteStream& stream, size_t max_message = kMaxMessageSize)
      : stream_(stream), max_message_(max_message) {}
  // The next whole message; nullopt when the peer closed the stream between messages. Throws
  // ProtocolError on a malformed header, an unknown type, a type change inside a message or an oversized
  // message, StreamClosed when the stream ends inside a packet.
  std::optional<Message> ReadMessage();
  // Until the login succeeded only small messages are accepted.
  void set_max_message(size_t max) { max_message_ = max; }

 private:
  // Fills `out` completely; false at the end of the stream before the first byte.
  bool ReadExactly(std::span<uint8_t> out);
  ByteStream& stream_;
  size_t max_message_;
};

class PacketWriter {
 public:
  PacketWriter(ByteStream& stream, uint16_t spid) : stream_(stream), spid_(spid) {}
  void set_packet_size(size_t size) { packet_size_ = size; }
  [[nodiscard]] size_t packet_size() const { return packet_size_; }
  [[nodiscard]] size_t max_payload() const { return packet_size_ - kHeaderSize; }
  // Sends a whole message, split at the packet size.
  void Send(PacketType type, std::span<const uint8_t> payload);
  // Sends one packet of a message (at most max_payload() bytes); `last` marks its end. The
  // packet id restarts at 1 with every message.
  void SendPacket(PacketType type, std::span<const uint8_t> data, bool last);

 private:
  ByteStream& stream_;
  uint16_t spid_;
  size_t packet_size_ = kDefaultPacketSize;
  uint8_t packet_id_ = 1;
  Bytes buffer_;
};

}  // namespace tds
