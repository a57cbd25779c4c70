// The two messages that open a connection: PRELOGIN (version and encryption negotiation) and
// LOGIN7 (who logs in, to which database, with which packet size).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "tds/wire.h"

namespace tds {

// PRELOGIN ENCRYPTION option values.
enum class Encryption : uint8_t { kOff = 0, kOn = 1, kNotSupported = 2, kRequired = 3 };

struct Prelogin {
  Encryption encryption = Encryption::kOff;  // what the client offers or demands
  // True when the client cannot log in without TLS, which this server does not offer.
  [[nodiscard]] bool RequiresEncryption() const {
    return encryption == Encryption::kOn || encryption == Encryption::kRequired;
  }
};

// Throws ProtocolError when the option table points outside the message.
Prelogin ParsePrelogin(std::span<const uint8_t> payload);
// The answer: the server version and ENCRYPTION = NOT_SUP (logins travel unencrypted).
Bytes PreloginReply();

struct Login7 {
  uint32_t tds_version = 0;  // as the client writes it: 0x74000004 for 7.4
  uint32_t packet_size = 0;  // 0: the server's default
  std::string host_name;
  std::string user_name;
  std::string password;  // decoded
  std::string app_name;
  std::string server_name;
  std::string language;
  std::string database;  // empty: the login's default database
};

// Throws ProtocolError when the fixed part is short or a field points outside the message.
Login7 ParseLogin7(std::span<const uint8_t> payload);

// The password as it travels: every byte has its nibbles swapped, then is XORed with 0xA5.
std::string DecodePassword(std::span<const uint8_t> obfuscated);

// TDS 7.2 and later put ALL_HEADERS in front of batches and RPC calls.
inline bool HasAllHeaders(uint32_t tds_version) { return (tds_version >> 24) >= 0x72; }

}  // namespace tds
