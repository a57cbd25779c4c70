// PRELOGIN and LOGIN7 (see login.h).
#include "tds/login.h"

#include <array>

#include "tds/text.h"

namespace tds {
namespace {

constexpr uint8_t kOptionVersion = 0x00;
constexpr uint8_t kOptionEncryption = 0x01;
constexpr uint8_t kOptionInstance = 0x02;
constexpr uint8_t kOptionThreadId = 0x03;
constexpr uint8_t kOptionMars = 0x04;
constexpr uint8_t kOptionTerminator = 0xFF;

// Clients switch features on by the server version; this is the dialect level the engine
// answers (15.0.2000).
constexpr std::array<uint8_t, 6> kVersion = {15, 0, 0x07, 0xD0, 0, 0};

// The fixed part of a TDS 7.1 login ends before cbSSPILong.
constexpr size_t kLogin7MinimumSize = 86;

uint16_t ReadU16Be(std::span<const uint8_t> b, size_t at) { return static_cast<uint16_t>((b[at] << 8) | b[at + 1]); }

// A field of LOGIN7: offset and length in characters, both relative to the start of LOGIN7.
std::span<const uint8_t> Field(std::span<const uint8_t> login, size_t table_at) {
  Reader r(login);
  r.Seek(table_at);
  const size_t offset = r.U16();
  const size_t chars = r.U16();
  if (offset > login.size() || chars * 2 > login.size() - offset) {
    throw ProtocolError("a LOGIN7 field points outside the message");
  }
  return login.subspan(offset, chars * 2);
}

std::string FieldText(std::span<const uint8_t> login, size_t table_at) { return Utf16LeToUtf8(Field(login, table_at)); }

}  // namespace

Prelogin ParsePrelogin(std::span<const uint8_t> payload) {
  Prelogin out;
  for (size_t at = 0;; at += 5) {
    if (at >= payload.size()) throw ProtocolError("PRELOGIN option table without terminator");
    const uint8_t option = payload[at];
    if (option == kOptionTerminator) return out;
    if (payload.size() - at < 5) throw ProtocolError("PRELOGIN option entry cut short");
    const size_t offset = ReadU16Be(payload, at + 1);
    const size_t length = ReadU16Be(payload, at + 3);
    if (offset > payload.size() || length > payload.size() - offset) {
      throw ProtocolError("PRELOGIN option points outside the message");
    }
    if (option == kOptionEncryption && length >= 1) {
      // The client-certificate flag 0x80 may be ORed in; the low bits say what the client wants.
      out.encryption = static_cast<Encryption>(payload[offset] & 0x03);
    }
  }
}

Bytes PreloginReply() {
  struct Option {
    uint8_t token;
    Bytes data;
  };
  const auto options = std::to_array<Option>({
      {kOptionVersion, Bytes(kVersion.begin(), kVersion.end())},
      {kOptionEncryption, {static_cast<uint8_t>(Encryption::kNotSupported)}},
      {kOptionInstance, {0}},
      {kOptionThreadId, {}},
      {kOptionMars, {0}},
  });
  const size_t table = std::size(options) * 5 + 1;
  Bytes out;
  Writer w(out);
  size_t offset = table;
  for (const Option& o : options) {
    w.U8(o.token);
    w.U16Be(static_cast<uint16_t>(offset));
    w.U16Be(static_cast<uint16_t>(o.data.size()));
    offset += o.data.size();
  }
  w.U8(kOptionTerminator);
  for (const Option& o : options) w.Raw(o.data);
  return out;
}

std::string DecodePassword(std::span<const uint8_t> obfuscated) {
  Bytes plain(obfuscated.begin(), obfuscated.end());
  for (uint8_t& b : plain) {
    b ^= 0xA5;
    b = static_cast<uint8_t>((b << 4) | (b >> 4));
  }
  return Utf16LeToUtf8(plain);
}

Login7 ParseLogin7(std::span<const uint8_t> payload) {
  Reader r(payload);
  const uint32_t length = r.U32();
  if (length < kLogin7MinimumSize || length > payload.size()) throw ProtocolError("LOGIN7 length out of range");
  std::span<const uint8_t> login = payload.first(length);
  Login7 out;
  out.tds_version = r.U32();
  out.packet_size = r.U32();
  out.host_name = FieldText(login, 36);
  out.user_name = FieldText(login, 40);
  out.password = DecodePassword(Field(login, 44));
  out.app_name = FieldText(login, 48);
  out.server_name = FieldText(login, 52);
  out.language = FieldText(login, 64);
  out.database = FieldText(login, 68);
  return out;
}

}  // namespace tds
