// Packet framing (see packet.h).
#include "tds/packet.h"

#include <algorithm>
#include <array>

namespace tds {
namespace {

// Checked at the header, so a stream that is not this protocol at all is refused before its
// "length" is waited for.
bool KnownType(uint8_t type) {
  switch (static_cast<PacketType>(type)) {
    case PacketType::kSqlBatch:
    case PacketType::kRpc:
    case PacketType::kReply:
    case PacketType::kAttention:
    case PacketType::kBulkLoad:
    case PacketType::kTransactionManager:
    case PacketType::kLogin7:
    case PacketType::kSspi:
    case PacketType::kPrelogin:
      return true;
  }
  return false;
}

}  // namespace

bool PacketReader::ReadExactly(std::span<uint8_t> out) {
  size_t done = 0;
  while (done < out.size()) {
    size_t n = stream_.ReadSome(out.subspan(done));
    if (n == 0) {
      if (done == 0) return false;
      throw StreamClosed("stream ended inside a packet");
    }
    done += n;
  }
  return true;
}

std::optional<Message> PacketReader::ReadMessage() {
  Message message;
  bool first = true;
  for (;;) {
    std::array<uint8_t, kHeaderSize> header{};
    if (!ReadExactly(header)) {
      if (first) return std::nullopt;
      throw StreamClosed("stream ended inside a message");
    }
    const size_t length = (static_cast<size_t>(header[2]) << 8) | header[3];
    if (length < kHeaderSize) throw ProtocolError("packet length below the header size");
    if (!KnownType(header[0])) throw ProtocolError("unknown packet type");
    if (first) {
      message.type = header[0];
    } else if (header[0] != message.type) {
      throw ProtocolError("packet type changed inside a message");
    }
    const size_t body = length - kHeaderSize;
    if (message.payload.size() + body > max_message_) throw ProtocolError("message exceeds the size limit");
    const size_t at = message.payload.size();
    message.payload.resize(at + body);
    if (body > 0 && !ReadExactly(std::span<uint8_t>(message.payload).subspan(at))) {
      throw StreamClosed("stream ended inside a packet");
    }
    first = false;
    if ((header[1] & kStatusEndOfMessage) != 0) return message;
  }
}

void PacketWriter::SendPacket(PacketType type, std::span<const uint8_t> data, bool last) {
  const size_t length = data.size() + kHeaderSize;
  buffer_.clear();
  buffer_.push_back(static_cast<uint8_t>(type));
  buffer_.push_back(last ? kStatusEndOfMessage : 0);
  buffer_.push_back(static_cast<uint8_t>(length >> 8));
  buffer_.push_back(static_cast<uint8_t>(length));
  buffer_.push_back(static_cast<uint8_t>(spid_ >> 8));
  buffer_.push_back(static_cast<uint8_t>(spid_));
  buffer_.push_back(packet_id_++);
  buffer_.push_back(0);  // window
  buffer_.insert(buffer_.end(), data.begin(), data.end());
  stream_.WriteAll(buffer_);
  if (last) packet_id_ = 1;
}

void PacketWriter::Send(PacketType type, std::span<const uint8_t> payload) {
  size_t at = 0;
  do {
    size_t n = std::min(max_payload(), payload.size() - at);
    SendPacket(type, payload.subspan(at, n), at + n == payload.size());
    at += n;
  } while (at < payload.size());
}

}  // namespace tds
